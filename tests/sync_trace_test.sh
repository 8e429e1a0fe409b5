#!/usr/bin/env bash
# What the system is asked to do, as strace sees it: with --sync each output is flushed before it
# takes its name (documents prepared ahead flush on their own threads), and the folders once at
# the end; without it nothing is flushed.
set -euo pipefail
program=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

trace() {  # the traced calls, one a line, in the order they began
    rm -rf "$work/old"
    mkdir "$work/old"
    cp "$samples"/old/* "$work/old/"
    strace -f -qq -o "$work/trace" -e trace=fsync,fdatasync,rename,renameat,renameat2,linkat \
        "$program" "$@" "$samples/orba.html" "$work/old" >/dev/null
    sed -E 's/^[0-9]+ +//' "$work/trace" | grep -vE '^(\+\+\+|---|<\.\.\.)'
}

outputs=$(find "$samples/old" -maxdepth 1 -iname '*.html' -exec grep -l 'id="DATA_SAVER"' {} + | wc -l)
# Each output's file is named through /proc/self/fd/N: its flush, fdatasync(N), came before.
verdict=$(trace --sync | awk -v outputs="$outputs" '
    /^fdatasync\(/ { fd = $0; sub(/^fdatasync\(/, "", fd); sub(/[^0-9].*/, "", fd); flushed[fd] = 1; n++ }
    /^linkat\(/ { fd = $0; sub(/.*\/proc\/self\/fd\//, "", fd); sub(/[^0-9].*/, "", fd)
                  if (!flushed[fd]) { print "named before its flush: " $0; bad = 1 }
                  delete flushed[fd]; named++ }
    /^rename(at2?)?\(/ { renamed++ }
    /^fsync\(/ { folders++; if (renamed < outputs) { print "a folder flushed before the last rename"; bad = 1 } }
    END { if (n != outputs || named != outputs || renamed != outputs || folders != 2)
              print "flushes " n ", names " named ", renames " renamed ", folder flushes " folders \
                    ", for " outputs " outputs"
          else if (!bad) print "ok" }')
if [[ $verdict != ok ]]; then
    printf 'with --sync: %s\n' "$verdict"
    exit 1
fi
if trace | grep -qE '^f(data)?sync'; then
    echo "without --sync, something was flushed"
    exit 1
fi
echo "sync trace: $outputs outputs flushed before their names, then the folders"

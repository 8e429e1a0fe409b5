#!/usr/bin/env bash
# What the system is asked to do, as strace sees it: with --sync the outputs are put on the disk
# a batch at a time (one syncfs of their file system, or each file's fdatasync where syncfs does
# not report failed writes), every output after its last write and before it takes its name, and
# the folders once at the end; without it nothing is flushed.
set -euo pipefail
program=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

trace() {  # the traced calls, one a line, in the order they began
    rm -rf "$work/old"
    mkdir "$work/old"
    cp "$samples"/old/* "$work/old/"
    strace -f -qq -o "$work/trace" \
        -e trace=openat,pwrite64,fsync,fdatasync,syncfs,rename,renameat,renameat2,linkat \
        "$program" "$@" "$samples/orba.html" "$work/old" >/dev/null
    sed -E 's/^[0-9]+ +//' "$work/trace" | grep -vE '^(\+\+\+|---|<\.\.\.)'
}

outputs=$(find "$samples/old" -maxdepth 1 -iname '*.html' -exec grep -l 'id="DATA_SAVER"' {} + | wc -l)
# Each output's file is named through /proc/self/fd/N: a flush that covers it came after its last
# write to N, either fdatasync(N) or a syncfs of the file system.
verdict=$(trace --sync | awk -v outputs="$outputs" '
    function fd_of(call) { fd = $0; sub("^" call "\\(", "", fd); sub(/[^0-9].*/, "", fd); return fd }
    /^openat\(.*O_TMPFILE/ { fd = $0; sub(/.*= /, "", fd); written[fd] = 0; covered[fd] = 0 }
    /^pwrite64\(/ { fd = fd_of("pwrite64"); written[fd] = 1; covered[fd] = 0 }
    /^fdatasync\(/ { covered[fd_of("fdatasync")] = 1; flushes++ }
    /^syncfs\(/ { for (fd in written) if (written[fd]) covered[fd] = 1; flushes++ }
    /^linkat\(/ { fd = $0; sub(/.*\/proc\/self\/fd\//, "", fd); sub(/[^0-9].*/, "", fd)
                  if (!covered[fd]) { print "named before its flush: " $0; bad = 1 }
                  delete written[fd]; delete covered[fd]; named++ }
    /^rename(at2?)?\(/ { renamed++ }
    /^fsync\(/ { folders++; if (renamed < outputs) { print "a folder flushed before the last rename"; bad = 1 } }
    END { if (flushes < 1 || flushes > outputs || named != outputs || renamed != outputs || folders != 2)
              print "flushes " flushes ", names " named ", renames " renamed ", folder flushes " folders \
                    ", for " outputs " outputs"
          else if (!bad) print "ok " flushes }')
if [[ $verdict != ok* ]]; then
    printf 'with --sync: %s\n' "$verdict"
    exit 1
fi
if trace | grep -qE '^(f(data)?sync|syncfs)'; then
    echo "without --sync, something was flushed"
    exit 1
fi
echo "sync trace: $outputs outputs flushed before their names with ${verdict#ok } flushes, then the folders"

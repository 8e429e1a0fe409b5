#!/usr/bin/env bash
# What the system is asked to do, as strace sees it: with --sync each output is flushed before it
# takes its name, and the folders once at the end; without it nothing is flushed.
set -euo pipefail
program=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

calls() {  # the names of the traced calls, one a line, in the order they were made
    rm -rf "$work/old"
    mkdir "$work/old"
    cp "$samples"/old/* "$work/old/"
    strace -f -qq -o "$work/trace" -e trace=fsync,fdatasync,rename,renameat2,linkat \
        "$program" "$@" "$samples/orba.html" "$work/old" >/dev/null
    sed -E 's/^[0-9]+ +//; s/\(.*//' "$work/trace" | grep -vE '^(\+\+\+|---)'
}

outputs=$(find "$samples/old" -maxdepth 1 -iname '*.html' -exec grep -l 'id="DATA_SAVER"' {} + | wc -l)
expected=$(for _ in $(seq "$outputs"); do printf 'fdatasync\nlinkat\nrename\n'; done; printf 'fsync\nfsync\n')
got=$(calls --sync)
if [[ $got != "$expected" ]]; then
    printf 'with --sync, expected:\n%s\ngot:\n%s\n' "$expected" "$got"
    exit 1
fi
got=$(calls)
if grep -qE 'sync' <<<"$got"; then
    printf 'without --sync, nothing is flushed; got:\n%s\n' "$got"
    exit 1
fi
echo "sync trace: $outputs outputs flushed before their names, then the folders"

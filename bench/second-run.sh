#!/usr/bin/env bash
# A second run over unchanged outputs: DOCUMENTS maps upgraded once, then again with nothing
# changed, on the ordinary disk and on the slow-device model (bench/slow_device/common.sh). For
# each, with a template of 9 KB, the time of the second run (plain and --sync) and the bytes it wrote (strace: every write
# but to standard output and error). BEFORE, where given, is another orba-upgrade to compare.
#   bench/second-run.sh [DOCUMENTS] [BEFORE]   (2000 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
documents=${1:-2000}
programs=("$PWD/build/bin/orba-upgrade")
[ -n "${2:-}" ] && programs+=("$(realpath "$2")")
source bench/slow_device/common.sh
skip_without_devices "second run"
command -v strace >/dev/null || tools/setup-deps.sh test >/dev/null
cmake --build build --target orba-upgrade >/dev/null

work=$(mktemp -d)
trap 'unmount_slow_device "$work/model" 2>/dev/null || true; rm -rf "$work"' EXIT
mount_slow_device "$work/model" 10
small_template "$work/small.html"
make_documents "$work/plain" "$documents" "$work/small.html"
cp -r "$work/plain/." "$work/model/disk/"

# The bytes the command wrote, but to descriptors 1 and 2.
written() {
    strace -f -qq -e trace=write,pwrite64,writev,pwritev,pwritev2 -o "$work/trace" "$@" \
        >/dev/null 2>&1 || true
    awk '!/write[v]?\((1|2),/ && /= [0-9]+$/ { sum += $NF } END { print sum + 0 }' "$work/trace"
}
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    printf '%.2f' "$(echo "$end - $start" | bc)"
}
for where in plain model/disk; do
    at="$work/$where"
    for program in "${programs[@]}"; do
        for sync in "" --sync; do
            rm -rf "$at/old/NewORBA"
            "$program" $sync "$at/orba.html" "$at/old" >/dev/null 2>&1 || true
            sync
            time=$(seconds "$program" $sync "$at/orba.html" "$at/old")
            bytes=$(written "$program" $sync "$at/orba.html" "$at/old")
            printf '%-10s %-60s %-7s second run %6s s, %12s bytes written\n' "$where" \
                "$program" "${sync:-plain}" "$time" "$bytes"
        done
    done
done

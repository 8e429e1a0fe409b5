#!/usr/bin/env bash
# The slow-device model: ext4 on a loop device whose backing file lies on a FUSE file system that
# makes every flush wait DELAY_MS, one at a time (bench/slow_device/delay_fs.py), as a USB stick
# or a network share does. With the same documents, on the model and on the ordinary disk, it
# times `cp -r` followed by `sync`, orba-upgrade without and with --sync, and a run as the window
# makes it (every output flushed, a 5 ms pause after each), and counts the flushes that reached
# the model's device. It also times copying the outputs themselves, the same bytes as a run writes,
# and, where Wine and the Windows build are there, the Windows build's runs. Root only; without FUSE or loop devices it says so in one line and exits 0.
#   bench/slow-device.sh [DOCUMENTS] [DELAY_MS] [TEMPLATE]
#   (200, 10 and the samples' template, examples/orba.html, by default)
set -euo pipefail
cd "$(dirname "$0")/.."
documents=${1:-200}
delay=${2:-10}
template=$(realpath "${3:-examples/orba.html}")

source bench/slow_device/common.sh
skip_without_devices "slow device"
cmake --build build --target orba-upgrade bench_window_flush >/dev/null

work=$(mktemp -d)
mkdir "$work/plain"
count="$work/flushes"
teardown() {
    [ -d "$work/wine" ] && WINEPREFIX="$work/wine" /usr/lib/wine/wineserver -k 2>/dev/null || true
    unmount_slow_device "$work"
    rm -rf "$work"
}
trap teardown EXIT
mount_slow_device "$work" "$delay"


flushes() { cat "$count"; }
# label, the folder it works in, then the command: its time and, on the model, its flushes
measure() {
    local label=$1 where=$2 before start end
    shift 2
    rm -rf "$where/old/NewORBA" "$where/copy"
    sync
    before=$(flushes)
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    if [[ $label == "slow device"* ]]; then
        printf '%-40s %6.2f s  %5d flushes\n' "$label" "$(echo "$end - $start" | bc)" \
            "$(( $(flushes) - before ))"
    else
        printf '%-40s %6.2f s\n' "$label" "$(echo "$end - $start" | bc)"
    fi
}

echo "$documents documents, each flush of the model waits $delay ms"
for place in disk plain; do
    where="$work/$place"
    make_documents "$where" "$documents" "$template"
    name=$([ "$place" = disk ] && echo "slow device" || echo "ordinary disk")
    measure "$name: cp -r && sync" "$where" sh -c "cp -r '$where/old' '$where/copy' && sync"
    # The same bytes as the outputs: with the samples' viewer (about 240 KB) as the template the
    # outputs are many times the old maps' size, and copying them is what a run can be held to.
    build/bin/orba-upgrade "$where/orba.html" "$where/old" >/dev/null
    mv "$where/old/NewORBA" "$where/outputs"
    measure "$name: cp -r of the outputs && sync" "$where" \
        sh -c "cp -r '$where/outputs' '$where/copy' && sync"
    measure "$name: orba-upgrade" "$where" build/bin/orba-upgrade "$where/orba.html" "$where/old"
    measure "$name: orba-upgrade --sync" "$where" \
        build/bin/orba-upgrade --sync "$where/orba.html" "$where/old"
    measure "$name: the window's run" "$where" \
        build/bin/bench_window_flush --template "$where/orba.html" --folder "$where/old"
    # The Windows build under Wine, on the same files: its flushes are FlushFileBuffers on each
    # output of a batch, together. Wine's start is in both rows.
    if [ -x /usr/lib/wine/wine64 ] && [ -f build-windows/bin/orba-upgrade.exe ]; then
        wine=(env WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
              /usr/lib/wine/wine64 build-windows/bin/orba-upgrade.exe)
        "${wine[@]}" --version >/dev/null 2>&1 || true  # the prefix made once, outside the times
        windows="Z:${where//\//\\}"
        measure "$name: orba-upgrade.exe (Wine)" "$where" \
            "${wine[@]}" "$windows\\orba.html" "$windows\\old"
        measure "$name: orba-upgrade.exe --sync (Wine)" "$where" \
            "${wine[@]}" --sync "$windows\\orba.html" "$windows\\old"
    fi
done

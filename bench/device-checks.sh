#!/usr/bin/env bash
# What `--sync` promises, checked on real file systems that a healthy local disk hides: status 0
# means every output is on the device, and any other status names a file.
#  1. a failing device: ext4 on a loop device whose backing file lies on the device model
#     (bench/slow_device/delay_fs.py) failing every write to a block never written before: the
#     run fails naming an output, and after a remount every output there is whole;
#  2. a pass-through FUSE file system over a loop-mounted ext4, and 3. an exfat-fuse volume on a
#     loop device: a copy of the device taken right after status 0 holds every output whole;
#  4. a nearly full disk: a --sync re-run over 60 existing outputs of 240 KB, with 2.3 MB free,
#     completes;
#  5. a stop (SIGINT) during a slow batch flush (each write of the device 2 ms): the seconds from
#     the signal to the end;
#  5b. NewORBA a link to another mount of FOLDER itself: refused, no document changed;
#  6. a killed --sync run of 120 maps on exfat-fuse (no unnamed files): the temporaries it left.
# The Windows build under Wine takes check 1 too, where Wine and the build are there. One line per
# check, "ok" or "FAILED"; the exit status is 1 when any failed. Root only; without FUSE or loop
# devices it says so in one line and exits 0.
#   bench/device-checks.sh [TEMPLATE]   (the samples' template, examples/orba.html, by default)
set -euo pipefail
cd "$(dirname "$0")/.."
template=$(realpath "${1:-examples/orba.html}")

source bench/slow_device/common.sh
skip_without_devices "device checks"
cmake --build build --target orba-upgrade >/dev/null
program=$PWD/build/bin/orba-upgrade

work=$(mktemp -d)
loops=()
mounts=()
teardown() {
    [ -d "$work/wine" ] && WINEPREFIX="$work/wine" /usr/lib/wine/wineserver -k 2>/dev/null || true
    local at
    for ((at = ${#mounts[@]} - 1; at >= 0; at--)); do
        [ -n "${mounts[at]}" ] || continue
        umount "${mounts[at]}" 2>/dev/null || umount -l "${mounts[at]}" 2>/dev/null || true
    done
    for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap teardown EXIT
failures=0
# A FUSE model over BACKING at MOUNTPOINT: flush delay, write delay, the arming file.
model() {
    mkdir -p "$2"
    /usr/bin/python3 bench/slow_device/delay_fs.py "$1" "$2" "${3:-0}" "$work/flushes" "${4:-0}" \
        ${5:+"$5"} &
    for _ in $(seq 100); do mountpoint -q "$2" && break; sleep 0.1; done
    mounts+=("$2")
}
# An image file as a loop device mounted at MOUNTPOINT (ext4 or exfat-fuse).
attach() {  # image, mountpoint, kind, [options]
    local loop
    loop=$(losetup -f --show "$1")
    loops+=("$loop")
    mkdir -p "$2"
    if [ "$3" = exfat ]; then
        mount.exfat-fuse ${4:+-o "$4"} "$loop" "$2" >/dev/null 2>&1
    else
        mount ${4:+-o "$4"} "$loop" "$2"
    fi
    mounts+=("$2")
}
new_ext4() { truncate -s "$2" "$1" && mkfs.ext4 -q -E lazy_itable_init=0,lazy_journal_init=0 "$1"; }
new_exfat() { truncate -s "$2" "$1" && mkfs.exfat "$1" >/dev/null; }

# The outputs as a run on the ordinary disk writes them.
make_documents "$work/reference" 120 "$template"
"$program" "$work/reference/orba.html" "$work/reference/old" >/dev/null
# Every output in FOLDER is the reference's, byte for byte, and there are at least MIN of them.
outputs_whole() {
    local folder=$1 least=$2 n=0 name
    for name in "$folder"/*.html; do
        [ -e "$name" ] || continue
        cmp -s "$name" "$work/reference/old/NewORBA/$(basename "$name")" || {
            echo "  not whole: $name"
            return 1
        }
        n=$((n + 1))
    done
    [ "$n" -ge "$least" ] || { echo "  $n outputs, $least expected"; return 1; }
}

# 1. The failing device.
failing_device() {  # label, then the command that upgrades TEMPLATE FOLDER (appended)
    local label=$1 at=$work/failing-$2 status=0
    shift 2
    mkdir -p "$at/backing"
    model "$at/backing" "$at/model" 0 0 "$at/armed"
    new_ext4 "$at/model/disk.img" 64M
    attach "$at/model/disk.img" "$at/disk" ext4
    make_documents "$at/disk" 64 "$template"
    sync
    touch "$at/armed"
    "$@" "$at/disk/orba.html" "$at/disk/old" >"$at/out" 2>"$at/err" || status=$?
    rm "$at/armed"
    umount "$at/disk" 2>/dev/null || true
    mount "${loops[-1]}" "$at/disk"
    check "failing device, $label: status $status" test "$status" -eq 1
    check "failing device, $label: names an output: $(head -c 300 "$at/err" | tr '\n' ' ')" \
        grep -q "NewORBA" "$at/err"
    check "failing device, $label: no closing entry" bash -c "! grep -q '处理结束' '$at/out'"
    check "failing device, $label: every output there whole after a remount" \
        outputs_whole "$at/disk/old/NewORBA" 0
}
failing_device "orba-upgrade --sync" linux "$program" --sync
if [ -x /usr/lib/wine/wine64 ] && [ -f build-windows/bin/orba-upgrade.exe ]; then
    wine_upgrade() {
        WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            /usr/lib/wine/wine64 build-windows/bin/orba-upgrade.exe --sync \
            "Z:${1//\//\\}" "Z:${2//\//\\}"
    }
    WINEPREFIX="$work/wine" /usr/lib/wine/wine64 build-windows/bin/orba-upgrade.exe --version \
        >/dev/null 2>&1 || true
    failing_device "orba-upgrade.exe --sync (Wine)" windows wine_upgrade
fi

# 2 and 3. A copy of the device right after status 0.
copy_after_status_0() {  # label, image, kind, the maps' folder, the copy's mountpoint
    local label=$1 image=$2 kind=$3 folder=$4 copy=$5 status=0
    "$program" --sync "$folder/orba.html" "$folder/old" >/dev/null || status=$?
    cp "$image" "$image.copy"
    attach "$image.copy" "$copy" "$kind"
    check "$label: status $status" test "$status" -eq 0
    check "$label: the device's copy right after it holds every output whole" \
        outputs_whole "$copy/maps/old/NewORBA" 40
}
new_ext4 "$work/inner.img" 128M
attach "$work/inner.img" "$work/inner" ext4
model "$work/inner" "$work/passthrough"
make_documents "$work/passthrough/maps" 40 "$template"
sync
copy_after_status_0 "pass-through FUSE over ext4" "$work/inner.img" ext4 \
    "$work/passthrough/maps" "$work/inner-copy"
new_exfat "$work/exfat.img" 64M
attach "$work/exfat.img" "$work/exfat" exfat
make_documents "$work/exfat/maps" 40 "$template"
sync
copy_after_status_0 "exfat-fuse" "$work/exfat.img" exfat "$work/exfat/maps" "$work/exfat-copy"

# 4. A nearly full disk.
new_ext4 "$work/full.img" 64M
attach "$work/full.img" "$work/full" ext4
make_documents "$work/full" 60 "$template"
"$program" "$work/full/orba.html" "$work/full/old" >/dev/null
free=$(($(stat -f -c '%a * %S' "$work/full") ))
fallocate -l $((free - 2300 * 1024)) "$work/full/filler"
status=0
"$program" --sync "$work/full/orba.html" "$work/full/old" >/dev/null 2>"$work/full.err" || status=$?
check "nearly full disk, 2.3 MB free: --sync re-run over 60 outputs, status $status" \
    test "$status" -eq 0

# 5. A stop during a slow batch flush: each write of the device 2 ms.
mkdir -p "$work/slow-backing"
model "$work/slow-backing" "$work/slow-model" 0 2
new_ext4 "$work/slow-model/disk.img" 128M
attach "$work/slow-model/disk.img" "$work/slow" ext4
make_documents "$work/slow" 64 "$template"
sync
# A background job of a script starts with SIGINT ignored, and the program keeps it so: SIGINT is
# given back its default, as a terminal's foreground job has it.
env --default-signal=INT "$program" --sync "$work/slow/orba.html" "$work/slow/old" >/dev/null 2>&1 &
run=$!
sleep 1
signalled=$(date +%s.%N)
kill -INT "$run"
status=0
wait "$run" || status=$?
ended=$(date +%s.%N)
seconds=$(echo "$ended - $signalled" | bc)
check "SIGINT during a slow batch flush: status $status" test "$status" -eq 130
check "SIGINT during a slow batch flush: ended $seconds s after the signal" \
    test "$(echo "$seconds < 2" | bc)" -eq 1

# 5b. NewORBA a link to another mount of FOLDER itself (a pass-through FUSE view of it): the run
# and the dry run refuse it, and no document changes.
make_documents "$work/mirror" 8 "$template"
cp -r "$work/mirror/old" "$work/mirror/before"
model "$work/mirror/old" "$work/mirror-view"
ln -s "$work/mirror-view" "$work/mirror/old/NewORBA"
for way in -n --sync; do
    status=0
    "$program" "$way" "$work/mirror/orba.html" "$work/mirror/old" >/dev/null 2>&1 || status=$?
    check "NewORBA another mount of FOLDER, $way: status $status, no document changed" \
        bash -c "[ $status -eq 1 ] && diff -r --exclude=NewORBA '$work/mirror/before' '$work/mirror/old'"
done

# 6. A killed --sync run on a file system without unnamed files.
temporaries() {  # in its NewORBA, which the run makes
    find "$work/exfat/many/old/NewORBA" -name '.orba-upgrade-*' 2>/dev/null | wc -l || true
}
make_documents "$work/exfat/many" 120 "$template"
sync
"$program" --sync "$work/exfat/many/orba.html" "$work/exfat/many/old" >/dev/null 2>&1 &
run=$!
# The temporaries counted every few milliseconds; the run killed after 20 counts that found some.
most=0
seen=0
while kill -0 "$run" 2>/dev/null; do
    n=$(temporaries)
    most=$((n > most ? n : most))
    if [ "$n" -gt 0 ]; then seen=$((seen + 1)); fi
    if [ "$seen" -ge 20 ]; then kill -KILL "$run" 2>/dev/null || true; fi
    sleep 0.005
done
wait "$run" 2>/dev/null || true
left=$(temporaries)
check "--sync run on exfat-fuse: at most $most temporaries at a time" test "$most" -le 16
check "killed --sync run on exfat-fuse: $left temporaries left" test "$left" -le 16

echo "device checks: $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# The upgrade on real shares (bench/shares/shares.sh): Samba through smbnetfs, and SFTP through
# sshfs, both on the loopback. On each, with the samples and with 200 maps of real text: the
# command line plain, again over its outputs, with --sync, -n against -v, and the window's run,
# every output byte-exact against the same run on a local folder; a stop (SIGINT) in the middle;
# on the Samba share 20 --sync runs killed at random moments, then a run that completes. And the
# time of each against cp -r. One line per check, "ok" or "FAILED"; the exit status is 1 when any
# failed. Root only; where a part is missing it says so in one line and exits 0.
#   bench/share-checks.sh [smb|sftp]...   (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ] || [ ! -e /dev/fuse ]; then
    echo "share checks: skipped, they need root and FUSE"
    exit 0
fi
source bench/shares/shares.sh
source bench/slow_device/common.sh
share_packages
tools/setup-deps.sh bench >/dev/null
cmake --build build --target orba-upgrade bench_window_flush >/dev/null
program=$PWD/build/bin/orba-upgrade

work=$(mktemp -d)
kinds=("${@:-smb sftp}")
teardown() {
    for kind in smb sftp; do share_down "$kind" "$work/$kind" 2>/dev/null || true; done
    rm -rf "$work"
}
trap teardown EXIT
failures=0
# The outputs of two folders are the same files, byte for byte; no temporary stands in the first.
same_outputs() {
    diff -r "$1" "$2" >/dev/null && ! ls -A "$1" | grep -q '^\.orba-upgrade-'
}
timed() {  # prints the wall time of the command in seconds, to the hundredth
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || return 1
    end=$(date +%s.%N)
    printf '%.2f' "$(echo "$end - $start" | bc)"
}

# The same maps on a local folder: the reference outputs.
mkdir -p "$work/local/samples"
cp -r examples/old "$work/local/samples/old"
cp examples/orba.html "$work/local/samples/orba.html"
make_documents "$work/local/maps" 200 examples/orba.html
for set in samples maps; do
    "$program" "$work/local/$set/orba.html" "$work/local/$set/old" >/dev/null
done

for kind in ${kinds[@]}; do
    if ! share=$(share_up "$kind" "$work/$kind"); then
        echo "share checks, $kind: skipped, the share could not be set up"
        continue
    fi
    for set in samples maps; do
        at="$share/$set"
        mkdir -p "$at"
        cp -r "$work/local/$set/old" "$work/local/$set/orba.html" "$at/"
        rm -rf "$at/old/NewORBA"
        reference="$work/local/$set/old/NewORBA"
        status=0
        "$program" "$at/orba.html" "$at/old" >/dev/null 2>"$work/err" || status=$?
        check "$kind, $set: plain run, status $status $(head -c 200 "$work/err" | tr '\n' ' ')" \
            same_outputs "$at/old/NewORBA" "$reference"
        status=0
        "$program" "$at/orba.html" "$at/old" >/dev/null 2>"$work/err" || status=$?
        check "$kind, $set: again over its outputs, status $status" \
            same_outputs "$at/old/NewORBA" "$reference"
        rm -rf "$at/old/NewORBA"
        status=0
        "$program" --sync "$at/orba.html" "$at/old" >/dev/null 2>"$work/err" || status=$?
        check "$kind, $set: --sync, status $status $(head -c 200 "$work/err" | tr '\n' ' ')" \
            same_outputs "$at/old/NewORBA" "$reference"
        "$program" -n "$at/orba.html" "$at/old" >"$work/dry" 2>&1 || true
        "$program" -v "$at/orba.html" "$at/old" >/dev/null 2>"$work/verbose" || true
        check "$kind, $set: -n names what -v passes over" bash -c \
            "diff <(grep '^pass over' '$work/dry') <(grep '^pass over' '$work/verbose') >/dev/null"
        rm -rf "$at/old/NewORBA"
        build/bin/bench_window_flush --template "$at/orba.html" --folder "$at/old" >/dev/null 2>&1 ||
            true
        check "$kind, $set: the window's run" same_outputs "$at/old/NewORBA" "$reference"
    done

    # The Windows build under Wine, through a UNC path (Wine's dosdevices/unc): told, not
    # checked. Wine renames a file through a handle it holds open, which this share refuses.
    if [ "$kind" = smb ] && [ -x /usr/lib/wine/wine64 ] && [ -f build-windows/bin/orba-upgrade.exe ]; then
        WINEPREFIX="$work/wine" WINEDEBUG=-all /usr/lib/wine/wine64 \
            build-windows/bin/orba-upgrade.exe --version >/dev/null 2>&1 || true
        mkdir -p "$work/wine/dosdevices/unc/nas"
        ln -sfn "$share" "$work/wine/dosdevices/unc/nas/maps"
        rm -rf "$share/samples/old/NewORBA"
        status=0
        WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            /usr/lib/wine/wine64 build-windows/bin/orba-upgrade.exe \
            '\\nas\maps\samples\orba.html' '\\nas\maps\samples\old' >/dev/null \
            2>"$work/err" || status=$?
        echo "told   $kind: orba-upgrade.exe (Wine) through \\\\nas\\maps: status $status," \
             "$(tr '\n' ' ' <"$work/err" | head -c 160)"
        WINEPREFIX="$work/wine" /usr/lib/wine/wineserver -k 2>/dev/null || true
        rm -rf "$share/samples/old/NewORBA"
    fi

    at="$share/maps"
    # A stop in the middle: status 130, every output as it was or whole, none half-written.
    rm -rf "$at/old/NewORBA"
    # SIGINT given back its default, which a script's background job starts without.
    env --default-signal=INT "$program" --sync "$at/orba.html" "$at/old" >/dev/null 2>&1 &
    run=$!
    sleep 0.5
    kill -INT "$run" 2>/dev/null || true  # it may have completed
    status=0
    wait "$run" || status=$?
    whole=0
    for output in "$at/old/NewORBA"/*.html; do
        [ -e "$output" ] || continue
        cmp -s "$output" "$work/local/maps/old/NewORBA/$(basename "$output")" || whole=1
    done
    check "$kind: SIGINT during --sync, status $status, every output there whole" \
        test "$whole" = 0 -a \( "$status" = 130 -o "$status" = 0 \)

    if [ "$kind" = smb ]; then
        for _ in $(seq 20); do
            "$program" --sync "$at/orba.html" "$at/old" >/dev/null 2>&1 &
            run=$!
            sleep "0.$((RANDOM % 10))$((RANDOM % 10))"
            kill -KILL "$run" 2>/dev/null || true
            wait "$run" 2>/dev/null || true
            for output in "$at/old/NewORBA"/*.html; do
                [ -e "$output" ] || continue
                cmp -s "$output" "$work/local/maps/old/NewORBA/$(basename "$output")" ||
                    { echo "  not whole: $output"; failures=$((failures + 1)); }
            done
        done
        status=0
        "$program" --sync "$at/orba.html" "$at/old" >/dev/null 2>&1 || status=$?
        check "$kind: after 20 killed runs, a run completes (status $status), no temporary left" \
            same_outputs "$at/old/NewORBA" "$work/local/maps/old/NewORBA"
    fi

    # The time of 200 maps against copying them, side by side, three times: with the samples'
    # template (each output about 250 KB against the map's 13 KB) against copying the outputs
    # themselves, and with a template of 9 KB against copying the maps.
    small_template "$at/small.html"
    for round in 1 2 3; do
        for template in orba small; do
            rm -rf "$at/old/NewORBA" "$at/copy"
            from="$at/old"
            [ "$template" = orba ] && from="$work/local/maps/old/NewORBA"
            copy=$(timed cp -r "$from" "$at/copy")
            plain=$(timed "$program" "$at/$template.html" "$at/old")
            rm -rf "$at/old/NewORBA" "$at/copy"
            copysync=$(timed sh -c "cp -r '$from' '$at/copy' && sync")
            synced=$(timed "$program" --sync "$at/$template.html" "$at/old")
            echo "time   $kind, 200 maps, $template template: cp -r ${copy} s," \
                 "orba-upgrade ${plain} s; cp -r && sync ${copysync} s, --sync ${synced} s"
        done
    done
    share_down "$kind" "$work/$kind"
done
echo "share checks: $failures failed"
[ "$failures" -eq 0 ]

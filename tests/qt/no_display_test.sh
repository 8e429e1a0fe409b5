#!/usr/bin/env bash
# Without a display the window program says so in one line, names the command line, and ends
# with status 1, not with Qt's abort.
set -uo pipefail
program=$1
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 "$program" 2>&1 >/dev/null)
status=$?
if [[ $status != 1 || $(wc -l <<<"$err") != 1 || $err != *"orba-upgrade TEMPLATE FOLDER"* ]]; then
    printf 'status %s, said:\n%s\n' "$status" "$err"
    exit 1
fi
echo "without a display: one line, status 1"

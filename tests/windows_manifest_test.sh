#!/usr/bin/env bash
# Both programs declare the systems they were made for, Windows 7 to 11, in the manifest built
# into them, so that Windows 8.1 and later give them their own behaviour rather than Windows 8's;
# the window keeps per-monitor density where the system has it.
# Usage: windows_manifest_test.sh WINDOW_PROGRAM COMMAND_LINE_PROGRAM
set -euo pipefail
window=$1
command_line=$2
failed=0
for program in "$window" "$command_line"; do
    for id in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
              1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        if ! grep -qaF "{$id}" "$program"; then
            echo "$program does not declare the system {$id}"
            failed=1
        fi
    done
done
for setting in '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' \
               '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>'; do
    if ! grep -qaF "$setting" "$window"; then
        echo "$window lacks $setting"
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "both manifests declare Windows 7, 8, 8.1, 10 and 11"
exit $failed

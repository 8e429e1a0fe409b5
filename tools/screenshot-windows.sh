#!/usr/bin/env bash
# Takes pictures of the Windows window under Wine on a virtual display, into
# build-windows/screenshots/: the window (main_window.png), the window with the focus on the log box
# (main_window_log_focus.png), the message box of a run without a
# template (message_box.png) and the folder picker (folder_picker.png). Needs a build
# (tools/build-windows.sh); installs what else it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh screenshots
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/orba-wine-prefix-$(id -u)}"
tools/wine-run.sh wineboot.exe --init
# Wine has no 宋体; AR PL UMing CN, with its metrics, stands in, and Wine's dialogs fall back to it.
tools/wine-fonts.sh
/usr/lib/wine/wineserver -w  # the next start must see the display
pictures="$PWD/build-windows/screenshots"
mkdir -p "$pictures"
# A copy of the program without the default template beside it: its template box stays empty, so
# the start button shows a message.
bare=$(mktemp -d)
trap 'rm -rf "$bare"' EXIT
cp "build-windows/bin/ORBA批量升级工具.exe" "$bare/"
xvfb-run -a -s "-screen 0 1280x720x24" bash -c "
    tools/wine-run.sh 'build-windows/bin/ORBA批量升级工具.exe' &
    sleep 10
    import -window root -crop 1070x475+0+0 +repage '$pictures/main_window.png'
    xdotool key Tab Tab Tab Tab Tab Tab Tab  # from the start button to the log box
    sleep 1
    import -window root -crop 1070x475+0+0 +repage '$pictures/main_window_log_focus.png'
    /usr/lib/wine/wineserver -k
    tools/wine-run.sh '$bare/ORBA批量升级工具.exe' &
    sleep 8
    xdotool key Return  # the start button has the focus
    sleep 3
    import -window root -crop 1070x475+0+0 +repage '$pictures/message_box.png'
    /usr/lib/wine/wineserver -k
    tools/wine-run.sh '$bare/ORBA批量升级工具.exe' &
    sleep 8
    xdotool mousemove 699 203 click 1  # 浏览
    sleep 4
    import -window root -crop 1070x475+0+0 +repage '$pictures/folder_picker.png'
    /usr/lib/wine/wineserver -k"
echo "Wrote $pictures/main_window.png, main_window_log_focus.png, message_box.png and folder_picker.png"

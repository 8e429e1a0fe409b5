#!/usr/bin/env bash
# Takes a picture of the Windows window under Wine on a virtual display, to
# build-windows/screenshots/main_window.png. Needs a build (tools/build-windows.sh), and Debian's
# wine64, xvfb and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/orba-wine-prefix-$(id -u)}"
# Wine has no 宋体; AR PL UMing CN, with its metrics, stands in, and Wine's dialogs fall back to it.
tools/wine-fonts.sh
/usr/lib/wine/wineserver -w  # the next start must see the display
mkdir -p build-windows/screenshots
picture="$PWD/build-windows/screenshots/main_window.png"
xvfb-run -a -s "-screen 0 1280x720x24" bash -c "
    tools/wine-run.sh 'build-windows/bin/ORBA批量升级工具.exe' &
    sleep 10
    import -window root -crop 1070x475+0+0 +repage '$picture'
    /usr/lib/wine/wineserver -k"
echo "Wrote $picture"

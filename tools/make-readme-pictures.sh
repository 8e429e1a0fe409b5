#!/usr/bin/env bash
# Makes the README's pictures in docs/pictures/: the window as the tests draw it after a run
# (main_window.png), and a sample map before and after the upgrade in the browser, side by side
# (before_after.png). Needs a build (tools/run.sh or tools/test.sh); installs what else it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh pictures
mkdir -p docs/pictures
QT_QPA_PLATFORM=offscreen build/bin/window_test --gtest_filter='WindowTest.PictureOfTheWindow' \
    >/dev/null
cp build/screenshots/main_window.png docs/pictures/main_window.png

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/old "$work/old"
build/bin/orba-upgrade examples/orba.html "$work/old" >/dev/null
shoot() {
    chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" --hide-scrollbars --window-size=720,460 \
        --screenshot="$2" "file://$1" 2>/dev/null
}
shoot "$work/old/读书笔记.html" "$work/before.png"
shoot "$work/old/NewORBA/读书笔记.html" "$work/after.png"
convert "$work/before.png" "$work/after.png" -bordercolor '#888888' -border 1 +append \
    docs/pictures/before_after.png
echo "Wrote docs/pictures/main_window.png and docs/pictures/before_after.png"

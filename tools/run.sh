#!/usr/bin/env bash
# Sets up and builds the program, then opens the window. Without a display it says so and runs the
# command line on a temporary copy of the bundled sample documents instead, printing the log.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh build

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orba-window orba-upgrade

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "build/bin/ORBA批量升级工具"
fi

echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): the window cannot open here."
echo "Running the command line on a copy of the sample documents instead."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/old "$work/old"
echo "Upgrading a copy of examples/old with examples/orba.html:"
status=0
build/bin/orba-upgrade examples/orba.html "$work/old" || status=$?
echo
echo "Written:"
ls -l "$work/old/NewORBA" 2>/dev/null || true
exit "$status"

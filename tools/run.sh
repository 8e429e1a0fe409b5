#!/usr/bin/env bash
# Sets up and builds the program, then opens the window. Without a display it says so and runs the
# command line on a copy of the bundled sample documents in build/samples instead, printing the
# log; the upgraded copies stay there.
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
exec tools/upgrade-samples.sh build/bin/orba-upgrade build/samples

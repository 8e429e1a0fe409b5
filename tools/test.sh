#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux build, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh test

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_BUILD_TESTS=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORBA_SANITIZE=ON \
      -DORBA_BUILD_BENCH=OFF -DORBA_BUILD_TESTS=ON
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

tools/build-windows.sh
# A prefix of our own, made afresh. Its server is started and the prefix booted once, before the
# tests start side by side: Wine processes that start together on a new prefix can miss each
# other's server. The boot runs on the virtual display the window tests need, as the desktop
# process it starts keeps that display. The display is large enough for the window at twice the scale.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap 'rm -rf "$WINEPREFIX"' EXIT
xvfb-run -a -s "-screen 0 2560x1440x24" bash -c "
    set -e
    /usr/lib/wine/wineserver -p
    trap '/usr/lib/wine/wineserver -k || true' EXIT
    tools/wine-run.sh wineboot.exe --init
    tools/wine-fonts.sh
    ctest --test-dir build-windows --output-on-failure -j $jobs"

# The Windows installer: made, installed silently into a fresh prefix, checked, removed silently.
(cd build-windows && cpack -G NSIS >/dev/null)
xvfb-run -a tools/test-windows-installer.sh

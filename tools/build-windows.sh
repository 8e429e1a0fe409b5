#!/usr/bin/env bash
# Cross-compiles orba-upgrade.exe and the Windows test programs into build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh windows
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DORBA_BUILD_GUI=OFF -DORBA_BUILD_BENCH=OFF -DORBA_BUILD_TESTS=ON
cmake --build build-windows -j "$(nproc)"

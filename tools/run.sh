#!/usr/bin/env bash
# Sets up and builds the program, then runs it on a temporary copy of the bundled sample documents
# and prints the progress log.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh build

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orba-upgrade

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

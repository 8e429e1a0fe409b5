#!/usr/bin/env bash
# Upgrades a copy of the bundled sample documents with the command line, printing the log, and
# leaves the copy with its NewORBA in FOLDER (made afresh) for a look.
# Usage: tools/upgrade-samples.sh PROGRAM FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
program=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cp -r examples/old "$work/old"
echo "Upgrading a copy of examples/old with examples/orba.html:"
status=0
"$program" examples/orba.html "$work/old" || status=$?
echo
echo "The upgraded samples are in $(cd "$work/old" && pwd)/NewORBA:"
ls -l "$work/old/NewORBA" 2>/dev/null || true
exit "$status"

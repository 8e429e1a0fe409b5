#!/usr/bin/env bash
# Sets up, builds and runs every test suite: the Linux build, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build under Wine, and the Windows installer. Every suite
# runs even when an earlier one fails; one line per suite, then the totals, end the output, and
# the exit status is 1 when any test failed or any suite could not be built.
#   ORBA_SUITES="linux sanitize windows installer"  the suites to run (all by default)
#   ORBA_CTEST_ARGS="..."                           more arguments for every ctest
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/test-suites.sh

tools/setup-deps.sh test || exit 1
for suite in ${ORBA_SUITES:-linux sanitize windows installer}; do
    run_suite "$suite"
done
print_summary

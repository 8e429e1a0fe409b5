#!/usr/bin/env bash
# Runs the test suites again and again beside a load on every core, to show that a red run means a
# fault and not a busy machine: the Linux and sanitizer suites N times (default 10), the Windows
# suite under Wine N/2 times, each test run once per round. Prints each test that failed and how
# often, and exits 1 when any did. The whole output of each round that failed is kept in
# stress-logs/ for the cause to be read.
#   tools/stress-tests.sh [N]
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/test-suites.sh
rounds=${1:-10}

tools/setup-deps.sh test || exit 1
tools/setup-deps.sh stress || exit 1
build_linux >/dev/null && build_sanitize >/dev/null && build_windows >/dev/null ||
    { echo "stress: the suites could not be built"; exit 1; }

# A CPU worker on every core, at the lowest priority so that it takes what the tests leave, plus a
# worker that keeps the disk busy.
stress-ng --cpu "$jobs" --hdd 1 --hdd-bytes 256M --temp-path "${TMPDIR:-/tmp}" --timeout 0 \
    --quiet &
load=$!
trap 'kill $load 2>/dev/null; wait $load 2>/dev/null' EXIT

failures=$(mktemp)
rm -rf stress-logs && mkdir stress-logs
run_round() {
    local name=$1 round=$2 log before
    log=$(mktemp)
    before=$(wc -l <"$failures")
    "test_$name" >"$log" 2>&1
    sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^\s+[0-9]+ - ' |
        sed -E "s/^\s+[0-9]+ - ([^ ]+).*/$name \1/" >>"$failures"
    grep -qE '^[0-9]+% tests passed' "$log" || echo "$name (the suite did not finish)" >>"$failures"
    if [ "$(wc -l <"$failures")" -gt "$before" ]; then
        mv "$log" "stress-logs/$name-round-$round.log"
    else
        rm -f "$log"
    fi
}

start=$(date +%s)
for ((round = 1; round <= rounds; round++)); do
    echo "round $round of $rounds"
    run_round linux "$round"
    run_round sanitize "$round"
    if ((round % 2 == 0)); then
        run_round windows "$round"
    fi
done
echo "stress: $rounds rounds in $(( $(date +%s) - start )) s beside stress-ng --cpu $jobs --hdd 1"
if [ -s "$failures" ]; then
    echo "failed (times, suite, test):"
    sort "$failures" | uniq -c | sort -rn
    rm -f "$failures"
    exit 1
fi
rm -f "$failures"
echo "stress: 0 failures"

#!/usr/bin/env bash
# Sets up and runs the benchmarks whose figures docs/PERFORMANCE.md records: the marker search and
# the command line against cp -r, on documents of real text and on filler.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh bench
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_BUILD_BENCH=ON
cmake --build build -j "$(nproc)"
build/bin/bench_data_block --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
build/bin/bench_cli_vs_copy --corpus store
build/bin/bench_cli_vs_copy --corpus real
build/bin/bench_cli_vs_copy --corpus huge --runs 3
build/bin/bench_cli_vs_copy --corpus filler

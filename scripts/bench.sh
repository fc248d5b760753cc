#!/usr/bin/env bash
# Builds the benchmarks optimised and runs every one of them; they make their own Schedule files.
# Extra arguments go to each benchmark (e.g. --benchmark_filter=Slot).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDADUVOV_TESTS=OFF -DDADUVOV_BENCH=ON >/dev/null
cmake --build build-bench
for bench in build-bench/bench/daduvov_bench_*; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench" --benchmark_counters_tabular=true "$@"
done

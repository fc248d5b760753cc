#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; they make their own Schedule files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDADUVOV_TESTS=OFF -DDADUVOV_BENCH=ON >/dev/null
cmake --build build-bench --target daduvov_bench_store
build-bench/bench/daduvov_bench_store --benchmark_counters_tabular=true "$@"

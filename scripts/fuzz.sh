#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a bounded time
# (default 60 seconds each) on a copy of its seed corpus in fuzz/corpus/<target>/, so the runs
# never grow the corpus kept in the repository. Fails when a target crashes, leaks, hangs or
# reports undefined behaviour; the input that did it is kept in build-fuzz/artifacts/<target>/.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/deps.sh

targets=(fuzz_settings fuzz_like fuzz_list_query fuzz_ical_reader fuzz_multistatus)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDADUVOV_TESTS=OFF -DDADUVOV_FUZZ=ON >/dev/null
cmake --build build-fuzz --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TZ=Asia/Tokyo LANG=C.UTF-8

failed=()
for target in "${targets[@]}"; do
    cp -r "fuzz/corpus/$target" "$work/$target"
    artifacts="build-fuzz/artifacts/$target"
    mkdir -p "$artifacts"
    log="$work/$target.log"
    echo "== $target: ${seconds}s"
    if "build-fuzz/fuzz/$target" "$work/$target" -dict="fuzz/dict/$target.dict" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" >"$log" 2>&1; then
        grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    else
        tail -n 60 "$log"
        echo "== $target FAILED; the input is in $artifacts/ (run build-fuzz/fuzz/$target <file> to repeat it)"
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "Fuzzing: no faults in ${#targets[@]} targets (${seconds}s each)"

#!/usr/bin/env bash
# Builds the benchmarks optimised and runs every one of them; they make their own Schedule files.
# Then measures the whole program under its own Xvfb (bench/measure_process.sh) and prints one
# table of every figure with its target.
#
# usage: scripts/bench.sh [--quick|--long] [benchmark arguments…]
#   --quick  fewer program starts and 20 s instead of 180 s of idle sampling
#   --long   600 s of idle sampling
#   other arguments go to each benchmark (e.g. --benchmark_filter=Slot)
set -euo pipefail
cd "$(dirname "$0")/.."

quick=
args=()
for arg in "$@"; do
    case "$arg" in
    --quick | --long) quick=$arg ;;
    *) args+=("$arg") ;;
    esac
done

scripts/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDADUVOV_TESTS=OFF -DDADUVOV_BENCH=ON >/dev/null
cmake --build build-bench

results=build-bench/results
rm -rf "$results"
mkdir -p "$results"
for bench in build-bench/bench/daduvov_bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue # not the *_autogen folders
    name=$(basename "$bench")
    echo "== $name"
    "$bench" --benchmark_counters_tabular=true --benchmark_out="$results/$name.json" \
        --benchmark_out_format=json "${args[@]}"
done

echo "== whole program under Xvfb"
bench/measure_process.sh build-bench "$results/process.txt" $quick

# Google Benchmark's JSON has one key per line; runs are blocks from "name" to the closing brace.
# One field of the named run, a time converted to ms; empty when the run is missing.
json_value() { # file run field
    [ -f "$results/$1.json" ] || return 0
    awk -F'"' -v run="$2" -v field="$3" '
        $2 == "name" { current = ($4 == run) }
        current && $2 == "time_unit" { unit = $4 }
        current && $2 == field { value = $3; gsub(/[:, ]/, "", value) }
        current && /^ *}/ { exit }
        END {
            if (value == "") exit
            if (field ~ /_time$/) value *= (unit == "us" ? 0.001 : unit == "ns" ? 1e-6 : unit == "s" ? 1000 : 1)
            printf "%.3g\n", value
        }' "$results/$1.json"
}
# The largest value of a field over the single runs (not the aggregates) whose name starts so.
json_max() { # file run-prefix field
    [ -f "$results/$1.json" ] || return 0
    awk -F'"' -v run="$2" -v field="$3" '
        $2 == "name" { current = index($4, run) == 1 }
        $2 == "run_type" && $4 != "iteration" { current = 0 }
        current && $2 == field { v = $3; gsub(/[:, ]/, "", v); if (!seen || v + 0 > max) max = v + 0; seen = 1 }
        END { if (seen) printf "%.3g\n", max }' "$results/$1.json"
}
process_value() { awk -v k="$1" '$1 == k { print $2 }' "$results/process.txt"; }

rows=()
row() { # figure, target text, upper limit, measured, unit; passes when measured < limit
    local verdict="missing"
    if [ -n "$4" ]; then
        verdict=$(awk -v m="$4" -v l="$3" 'BEGIN { print (m + 0 < l + 0) ? "pass" : "FAIL" }')
    fi
    rows+=("$1|$2|${4:-n/a}${4:+ $5}|$verdict")
}
row "Start-up, empty file (launch → calendar painted)" "< 250 ms" 250 "$(process_value startup_painted_empty)" ms
row "Start-up, 100,000 Day records" "< 150 ms" 150 "$(process_value startup_painted_100k)" ms
row "Start-up, 1,000,000 Day records" "< 400 ms" 400 "$(process_value startup_painted_1m)" ms
row "kareSET with KARE_ON, 100,000 records" "< 2 ms" 2 \
    "$(json_value daduvov_bench_calendar BM_KareSET/repeats:5/real_time_median real_time)" ms
row "Month spin step until repainted, median" "< 16 ms" 16 \
    "$(json_value daduvov_bench_calendar BM_MonthSpinHold/iterations:4/repeats:5/real_time_median stepMedianMs)" ms
row "Month spin step until repainted, worst of 5×4×60" "< 16 ms" 16 \
    "$(json_max daduvov_bench_calendar BM_MonthSpinHold stepWorstMs)" ms
row "Entry window open/save/close" "< 20 ms" 20 \
    "$(json_value daduvov_bench_calendar BM_EntryRoundTrip/repeats:5/real_time_median real_time)" ms
row "Day display open/close" "< 10 ms" 10 \
    "$(json_value daduvov_bench_calendar BM_DayDisplay/repeats:5/real_time_median real_time)" ms
idle_s=$(process_value idle_seconds)
row "Idle CPU, calendar shown, 100,000 records (${idle_s} s)" "< 1 % of a core" 1 "$(process_value idle_cpu_pct)" "%"
row "Resident memory growth while idle (${idle_s} s)" "none (< 1024 kB)" 1024 "$(process_value rss_growth_kb)" kB
row "Peak memory, calendar alone (VmHWM)" "< 80 MB" 80 "$(process_value calendar_hwm_mb)" MB
row "iCalendar export, 1,000,000 Day records" "< 10 s" 10000 \
    "$(json_value daduvov_bench_exchange BM_ExportMillion/iterations:1/repeats:3_median real_time)" ms
row "iCalendar import, 10,000 events" "< 5 s" 5000 \
    "$(json_value daduvov_bench_exchange BM_ImportTenThousand/iterations:1/repeats:3_median real_time)" ms
row "Peak memory, list window on 1,000,000 rows (VmHWM)" "< 300 MB" 300 \
    "$(json_max daduvov_bench_list BM_ListOpen peakMB)" MB

{
    echo
    printf '| %s | %s | %s | %s |\n' "figure" "target" "measured (median)" "result"
    printf '|---|---|---|---|\n'
    for r in "${rows[@]}"; do
        IFS='|' read -r figure target measured verdict <<<"$r"
        printf '| %s | %s | %s | %s |\n' "$figure" "$target" "$measured" "$verdict"
    done
    echo
    echo "Start-up CPU time until painted (all threads): empty $(process_value startup_cpu_empty) ms," \
        "100,000 $(process_value startup_cpu_100k) ms, 1,000,000 $(process_value startup_cpu_1m) ms;" \
        "load average at the end $(process_value load_average)."
    echo "Day display of 2,000 different dates: resident memory" \
        "$(json_value daduvov_bench_calendar BM_DayDisplayBrowse/iterations:2000/real_time 'rssKB/1000') kB more" \
        "per 1,000 dates."
} | tee "$results/table.md"

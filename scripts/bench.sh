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
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDADUVOV_TESTS=OFF -DDADUVOV_BENCH=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
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

# The calendar and the list window's first screen again on files made without the index.
for bench in calendar list; do
    filter=()
    [ "$bench" = list ] && filter=(--benchmark_filter=BM_ListOpen)
    echo "== daduvov_bench_$bench on a file made with plain CREATE TABLE"
    DADUVOV_BENCH_PLAIN=1 "build-bench/bench/daduvov_bench_$bench" --benchmark_counters_tabular=true \
        --benchmark_out="$results/daduvov_bench_${bench}_plain.json" --benchmark_out_format=json \
        "${filter[@]}" "${args[@]}"
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
# Whole-program figures for both kinds of file: made by CREATE_SDB, and made with plain CREATE
# TABLE without the index (each start on a fresh copy, so indexing it is included).
for kind in "" _plain; do
    label=" (CREATE_SDB)"
    [ -n "$kind" ] && label=" (plain CREATE TABLE, indexed at start)"
    row "Start-up, empty file (launch → calendar painted)$label" "< 250 ms" 250 \
        "$(process_value startup_painted_empty$kind)" ms
    row "Start-up CPU until painted, empty file, median$label" "< 50 ms" 50 \
        "$(process_value startup_cpu_empty$kind)" ms
    row "Start-up CPU until painted, empty file, worst start$label" "< 80 ms" 80 \
        "$(process_value startup_cpu_max_empty$kind)" ms
    if [ -n "$kind" ]; then
        row "First open, 100,000 Day records, index made (launch → painted)" "< 300 ms" 300 \
            "$(process_value startup_painted_100k_plain)" ms
        row "First open, 1,000,000 Day records, index made (launch → painted)" "< 3000 ms" 3000 \
            "$(process_value startup_painted_1m_plain)" ms
    else
        row "Start-up, 100,000 Day records$label" "< 150 ms" 150 "$(process_value startup_painted_100k)" ms
        row "Start-up, 1,000,000 Day records$label" "< 400 ms" 400 "$(process_value startup_painted_1m)" ms
    fi
    for bench in daduvov_bench_calendar${kind}; do
        row "kareSET with KARE_ON, 100,000 records$label" "< 2 ms" 2 \
            "$(json_value $bench BM_KareSET/repeats:5/real_time_median real_time)" ms
        row "Month spin step until repainted, median$label" "< 16 ms" 16 \
            "$(json_value $bench BM_MonthSpinHold/iterations:4/repeats:5/real_time_median stepMedianMs)" ms
        row "Month spin step until repainted, worst of 5×4×60$label" "< 16 ms" 16 \
            "$(json_max $bench BM_MonthSpinHold stepWorstMs)" ms
        row "Entry window open/save/close$label" "< 20 ms" 20 \
            "$(json_value $bench BM_EntryRoundTrip/repeats:5/real_time_median real_time)" ms
        row "Day display open/close$label" "< 10 ms" 10 \
            "$(json_value $bench BM_DayDisplay/repeats:5/real_time_median real_time)" ms
    done
    list_open=$(json_value daduvov_bench_list$kind BM_ListOpen/real_time real_time)
    if [ -z "$kind" ]; then
        list_open_created=$list_open
        row "List window first screen, 1,000,000 rows$label" "(reference)" 1e9 "$list_open" ms
    else
        row "List window first screen, 1,000,000 rows$label" "< 1.5 × CREATE_SDB file" \
            "$(awk -v r="${list_open_created:-0}" 'BEGIN { print 1.5 * r }')" "$list_open" ms
    fi
    idle_s=$(process_value idle_seconds)
    row "Idle CPU, calendar shown, 100,000 records (${idle_s} s)$label" "< 1 % of a core" 1 \
        "$(process_value idle_cpu_pct$kind)" "%"
    row "Resident memory growth while idle (${idle_s} s)$label" "none (< 1024 kB)" 1024 \
        "$(process_value rss_growth_kb$kind)" kB
    row "Peak memory, calendar alone (VmHWM)$label" "< 80 MB" 80 "$(process_value calendar_hwm_mb$kind)" MB
done
row "Missed alarms at start-up, query of 7 days, 1,000,000 rows" "< 5 ms" 5 \
    "$(json_value daduvov_bench_alarm BM_MissedAlarmsAtStartUp real_time)" ms
row "Idle CPU, calendar shown, 1,000,000 records, file without index at start (${idle_s} s)" \
    "< 0.5 % of a core" 0.5 "$(process_value idle_cpu_pct_1m_plain)" "%"
for idle_file in "_empty|empty file" "_1m|1,000,000 records" "_1m_readonly|1,000,000 records, file open read-only"; do
    row "Idle CPU with a window manager, ${idle_file#*|} (${idle_s} s)" "< 0.05 % of a core" 0.05 \
        "$(process_value "idle_cpu_pct${idle_file%%|*}")" "%"
done
row "Start-up CPU until painted, 100,000 Day records, median (CREATE_SDB)" "< 40 ms" 40 \
    "$(process_value startup_cpu_100k)" ms
for idle_file in "_empty|empty file" "_1m|1,000,000 records"; do
    row "System calls on the Schedule file while idle, ${idle_file#*|} (${idle_s} s)" "none (< 1)" 1 \
        "$(process_value "idle_file_syscalls${idle_file%%|*}")" ""
    row "System calls on the local zone's file while idle, ${idle_file#*|} (${idle_s} s)" "none (< 1)" 1 \
        "$(process_value "idle_zone_syscalls${idle_file%%|*}")" ""
    row "System calls of the whole program while idle, ${idle_file#*|}" "(reference)" 1e9 \
        "$(process_value "idle_syscalls_per_s${idle_file%%|*}")" "/ s"
done
row "iCalendar export, 1,000,000 Day records" "< 10 s" 10000 \
    "$(json_value daduvov_bench_exchange BM_ExportMillion/iterations:1/repeats:3_median real_time)" ms
row "iCalendar import, 10,000 events" "< 5 s" 5000 \
    "$(json_value daduvov_bench_exchange BM_ImportTenThousand/iterations:1/repeats:3_median real_time)" ms
row "Peak memory, list window on 1,000,000 rows (VmHWM)" "< 300 MB" 300 \
    "$(json_max daduvov_bench_list BM_ListOpen peakMB)" MB
# Sync with a local Radicale: wall time, CPU of this side and of the server, requests, memory.
for sync in "FirstDownload|first sync of 10,000 events into an empty file|1e9|(reference)" \
    "NoChange|sync with nothing changed, 10,000 items|1000|< 1 s and 1 request" \
    "FirstUpload|first sync of ${DADUVOV_BENCH_SYNC_UPLOAD:-2000} Day records into an empty calendar|1e9|(reference)"; do
    IFS='|' read -r run label limit target <<<"$sync"
    run="BM_Sync$run/iterations:1/real_time"
    row "Sync, $label (wall clock)" "$target" "$limit" "$(json_value daduvov_bench_sync "$run" real_time)" ms
    row "Sync, $label: CPU here / on the server" "(reference)" 1e9 \
        "$(json_value daduvov_bench_sync "$run" cpuS) s / $(json_value daduvov_bench_sync "$run" serverCpuS)" s
    row "Sync, $label: requests, peak memory" "(reference)" 1e9 \
        "$(json_value daduvov_bench_sync "$run" requests) / $(json_value daduvov_bench_sync "$run" peakMB)" MB
done

{
    echo
    printf '| %s | %s | %s | %s |\n' "figure" "target" "measured (median)" "result"
    printf '|---|---|---|---|\n'
    for r in "${rows[@]}"; do
        IFS='|' read -r figure target measured verdict <<<"$r"
        printf '| %s | %s | %s | %s |\n' "$figure" "$target" "$measured" "$verdict"
    done
    echo
    for kind in "" _plain; do
        echo "Start-up CPU time until painted (all threads)${kind:+, plain files}:" \
            "empty $(process_value startup_cpu_empty$kind) ms," \
            "100,000 $(process_value startup_cpu_100k$kind) ms, 1,000,000 $(process_value startup_cpu_1m$kind) ms."
    done
    echo "Load average at the end $(process_value load_average)."
    echo "Day display of 2,000 different dates: resident memory" \
        "$(json_value daduvov_bench_calendar BM_DayDisplayBrowse/iterations:2000/real_time 'rssKB/1000') kB more" \
        "per 1,000 dates."
} | tee "$results/table.md"

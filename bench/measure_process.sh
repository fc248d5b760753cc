#!/usr/bin/env bash
# Whole-process figures of the real program under its own Xvfb server, for both kinds of Schedule
# file: made by CREATE_SDB (with the index on 年月日, 項目番号) and made with plain CREATE TABLE
# (no index, keys with the suffix _plain):
#   start-up (launch until the calendar is painted) with an empty Schedule file, 100,000 and
#   1,000,000 Day records, KARE_ON set, median and worst of its CPU over several starts; a plain
#   file is a fresh copy for every start, so each start includes indexing it;
#   idle CPU, resident memory growth and peak memory with the calendar shown on 100,000 records,
#   and idle CPU on an empty file, on 1,000,000 records (indexed, of a plain file, and of a file
#   the program can only open read-only), each with a window manager running when one is
#   installed (openbox);
#   system calls while idle (strace -f -y over the idle time, attached once the calendar is
#   painted), on the empty file and on 1,000,000 records: all of them, and those that name the
#   Schedule file or its journal (file calls, fcntl locks, preads).
# The Schedule files are generated deterministically (daduvov_make_day_records) in a temporary
# folder; every start gets a fresh program folder whose ZIZARU.INI names the file.
#
# usage: bench/measure_process.sh <build folder> <result file> [--quick|--long]
#   --quick  3 starts per file and 20 s idle instead of 9 starts and 60 s
#   --long   600 s idle (ten minutes of memory samples)
# Writes "key value" lines to the result file (the medians and the idle figures).
set -euo pipefail

build=$(realpath "$1")
result=$2
quick=${3:-}
runs=9
idle=60
if [ "$quick" = "--quick" ]; then
    runs=3
    idle=20
elif [ "$quick" = "--long" ]; then
    idle=600
fi

program=$build/daduvov
driver=$build/bench/daduvov_process_driver
generator=$build/bench/daduvov_make_day_records
for exe in "$program" "$driver" "$generator"; do
    [ -x "$exe" ] || { echo "missing $exe" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
bus_pid=
cleanup() {
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
    if [ -n "${logs:-}" ]; then rm -rf "$logs"; fi
}
trap cleanup EXIT

# A display number of our own: the first one without a lock file or socket.
display=
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=$n
        break
    fi
done
[ -n "$display" ] || { echo "no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -br -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.05
done
unset QT_QPA_PLATFORM
# Qt wants a private runtime folder; without one it warns on every start.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A session bus of our own, as every desktop session has one: without it, each start would have
# the D-Bus library launch one (a fork and exec of dbus-launch), which a desktop never sees.
if command -v dbus-daemon >/dev/null; then
    bus=$(dbus-daemon --session --fork --print-address 1 --print-pid 1 --nopidfile)
    export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
    bus_pid=${bus##*$'\n'}
else
    echo "dbus-daemon is not installed: the starts include launching a session bus" >&2
fi

echo "generating Schedule files…" >&2
# A folder of their own: the program notices what is made in the folder of its Schedule file.
files=$work/files
mkdir "$files"
for size in empty:0 100k:100000 1m:1000000; do
    "$generator" "$files/${size%%:*}.sdb" "${size#*:}"
    "$generator" "$files/${size%%:*}_plain.pristine" "${size#*:}" plain
done

# The file to start with for $1 (empty, 100k_plain …): a plain one is copied afresh, unindexed.
schedule_file() {
    if [ -e "$files/$1.pristine" ]; then
        cp "$files/$1.pristine" "$files/$1.sdb"
    fi
    echo "$files/$1.sdb"
}

# A fresh program folder with a Settings file that names $1; prints the XDG_DATA_HOME to use.
# The calendar sits at the top left (TOP/LEFT 300 twips), where the centred splash does not cover
# it, so the driver can see its first frame.
program_folder() {
    local xdg
    xdg=$(mktemp -d "$work/xdg.XXXXXX")
    mkdir -p "$xdg/daduvov"
    printf '[Daduvov]\r\n[CONFIG FILE]\r\nSTART_FILE=%s\r\nKARE_ON=True\r\nkareCRL=8454143\r\nSTART_MIN=False\r\nSTART_OUT=False\r\nToDo_ON=False\r\nTOP=300\r\nLEFT=300\r\n' \
        "$1" >"$xdg/daduvov/ZIZARU.INI"
    echo "$xdg"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
maximum() { sort -n | tail -1; }

: >"$result"
for file in empty 100k 1m empty_plain 100k_plain 1m_plain; do
    # One start first that is not counted: it brings the program and the file into the page cache.
    "$driver" "$program" "$(program_folder "$(schedule_file "$file")")" >/dev/null
    : >"$work/starts"
    for _ in $(seq "$runs"); do
        "$driver" "$program" "$(program_folder "$(schedule_file "$file")")" >>"$work/starts"
    done
    shown=$(sed -n 's/^shown_ms=//p' "$work/starts" | median)
    painted=$(sed -n 's/^painted_ms=//p' "$work/starts" | median)
    painted_max=$(sed -n 's/^painted_ms=//p' "$work/starts" | maximum)
    cpu=$(sed -n 's/^painted_cpu_ms=//p' "$work/starts" | median)
    cpu_max=$(sed -n 's/^painted_cpu_ms=//p' "$work/starts" | maximum)
    {
        echo "startup_shown_$file $shown"
        echo "startup_painted_$file $painted"
        echo "startup_painted_max_$file $painted_max"
        echo "startup_cpu_$file $cpu"
        echo "startup_cpu_max_$file $cpu_max"
    } >>"$result"
    echo "start-up with $file: shown $shown ms, painted $painted ms (worst $painted_max)," \
        "CPU $cpu ms (worst $cpu_max; $runs starts)" >&2
done

# The idle figures with a window manager, as on a desktop (the start-ups above are without one).
if command -v openbox >/dev/null; then
    openbox >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    sleep 1
fi

# A copy of the 1,000,000-record file that the program can only open read-only.
cp "$files/1m.sdb" "$files/1m_readonly.sdb"
chmod a-w "$files/1m_readonly.sdb"

# Idle with the calendar shown: $1 the file, $2 the key suffix.
idle_run() {
    echo "idle for ${idle} s on $1…" >&2
    if ! "$driver" "$program" "$(program_folder "$(schedule_file "$1")")" --idle "$idle" >"$work/idle"; then
        echo "  no idle figures for $1" >&2
        return
    fi
    cat "$work/idle" >&2
    awk -F= -v s="$idle" -v k="$2" '
        /^idle_cpu_pct=/ { print "idle_cpu_pct" k, $2 }
        /^rss_first_kb=/ { first = $2 }
        /^rss_last_kb=/ { last = $2 }
        /^hwm_kb=/ { printf "calendar_hwm_mb%s %.1f\n", k, $2 / 1024 }
        END { printf "rss_growth_kb%s %d\n", k, last - first }' "$work/idle" >>"$result"
}
idle_run 100k ""
idle_run 100k_plain _plain
idle_run 1m_plain _1m_plain
idle_run empty _empty
idle_run 1m _1m
idle_run 1m_readonly _1m_readonly

# System calls of the idle program: strace attached once the calendar is painted, for the idle
# time. $1 the file, $2 the key suffix.
logs=$(mktemp -d)
strace_run() {
    command -v strace >/dev/null || { echo "strace is not installed: no system call counts" >&2; return; }
    echo "system calls over ${idle} s idle on $1…" >&2
    local file
    file=$(schedule_file "$1")
    rm -f "$work/strace_driver" # the wait below must not read the last run's lines
    "$driver" "$program" "$(program_folder "$file")" --idle $((idle + 3)) >"$work/strace_driver" &
    local driver_pid=$! pid=
    for _ in $(seq 400); do
        grep -q '^painted_ms=' "$work/strace_driver" 2>/dev/null && break
        sleep 0.05
    done
    pid=$(pgrep -P "$driver_pid" | head -1)
    if [ -z "$pid" ]; then
        wait "$driver_pid" || true
        echo "the program did not start for strace" >&2
        return
    fi
    sleep 1 # the splash and start-up settle
    # The log lies outside the Schedule file's folder: a file made there is a change the program sees.
    timeout -s INT "$idle" strace -f -y -qq -p "$pid" -o "$logs/strace.log" 2>/dev/null || true
    wait "$driver_pid" || true
    # strace -y writes each descriptor with its path: fd<path>.
    local all named
    all=$(grep -vc -e ' resumed>' -e '^[0-9]* +++' -e '^[0-9]* ---' "$logs/strace.log" || true)
    named=$(grep -F "$file" "$logs/strace.log" | grep -vc ' resumed>' || true)
    grep -F "$file" "$logs/strace.log" | head -5 >&2 || true
    # The C library's look at the local zone's file, which it makes at every local-time
    # conversion unless TZ names the zone.
    zone=$(grep -F '/etc/localtime' "$logs/strace.log" | grep -vc ' resumed>' || true)
    {
        echo "idle_syscalls_per_s$2 $(awk -v n="$all" -v s="$idle" 'BEGIN { printf "%.1f\n", n / s }')"
        echo "idle_file_syscalls$2 $named"
        echo "idle_zone_syscalls$2 $zone"
    } >>"$result"
    echo "  $all system calls, $named of them on the Schedule file, $zone on the zone file" >&2
}
strace_run empty _empty
strace_run 1m _1m
echo "idle_seconds $idle" >>"$result"
# The machine's load when the run ended: start-up times stretch when other work holds the CPUs.
echo "load_average $(cut -d' ' -f1-3 /proc/loadavg | tr ' ' '/')" >>"$result"

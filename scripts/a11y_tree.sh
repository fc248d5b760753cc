#!/usr/bin/env bash
# Starts the program on a virtual screen (Xvfb, display $A11Y_DISPLAY or :91) with a window
# manager and the accessibility bus, and writes what a screen reader sees over AT-SPI: the tree
# of the program's windows once it has started (the calendar, with days that have items marked),
# then of the entry window (opened with Ctrl+I). With a fourth argument, also takes a screenshot
# of each into PREFIX-calendar.png and PREFIX-entry.png.
#
#   scripts/a11y_tree.sh PROGRAM SCHEDULE.SDB OUT.txt [PREFIX]
#
# Extra environment for the program passes through unchanged, for example a larger font with
# QT_FONT_DPI=144 QT_ENABLE_HIGHDPI_SCALING=0. A11Y_DARK=1 gives the program a dark palette through
# Qt's own KDE theme (a kdeglobals colour scheme), which needs no theme plug-in.
set -euo pipefail
program=$(realpath "$1")
schedule=$(realpath "$2")
out=$3
shots=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
display=${A11Y_DISPLAY:-:91}

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${A11Y_IN_SESSION:-}" ]; then
    A11Y_IN_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
sleep 1

export XDG_DATA_HOME="$work/xdg"
mkdir -p "$XDG_DATA_HOME/daduvov"
printf '[Daduvov]\nSTART_FILE=%s\nKARE_ON=True\n' "$schedule" >"$XDG_DATA_HOME/daduvov/ZIZARU.INI"
if [ -n "${A11Y_DARK:-}" ]; then
    export XDG_CONFIG_HOME="$work/config" XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 KDE_FULL_SESSION=true
    mkdir -p "$XDG_CONFIG_HOME"
    cat >"$XDG_CONFIG_HOME/kdeglobals" <<'COLOURS'
[Colors:Window]
BackgroundNormal=35,38,41
ForegroundNormal=239,240,241
[Colors:View]
BackgroundNormal=27,30,32
ForegroundNormal=239,240,241
ForegroundInactive=161,169,177
ForegroundLink=29,153,243
ForegroundVisited=155,89,182
[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=239,240,241
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
[Colors:Tooltip]
BackgroundNormal=49,54,59
ForegroundNormal=239,240,241
COLOURS
fi
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
export ASAN_OPTIONS=detect_leaks=0
"$program" >"$work/app.log" 2>&1 &
pids+=($!)

wait_window() {
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window named $1" >&2
    cat "$work/app.log" >&2
    return 1
}

calendar=$(wait_window "Daduvov")
# The start-up picture closes after five seconds.
sleep 6
{
    echo "== windows after the start (the calendar)"
    /usr/bin/python3 "$here/a11y_tree.py" daduvov
} >"$out"
[ -n "$shots" ] && import -window root "$shots-calendar.png"

xdotool windowfocus --sync "$calendar" key ctrl+i
wait_window "Daduvov-予定入力" >/dev/null
sleep 2
{
    echo
    echo "== entry window"
    /usr/bin/python3 "$here/a11y_tree.py" daduvov "$(/usr/bin/python3 "$here/a11y_tree.py" daduvov | sed -n 's/^[a-z ]* "\(Daduvov-予定入力[^"]*\)".*/\1/p' | head -n 1)"
} >>"$out"
[ -n "$shots" ] && import -window root "$shots-entry.png"
exit 0

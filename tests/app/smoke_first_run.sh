#!/usr/bin/env bash
# First run of the real program on a virtual screen: answer the first-run message, cancel the
# file dialog, start a second copy (it must hand over and end), quit from the calendar, and check that DEFAULT.SDB (both tables) and the 26-line
# ZIZARU.INI were written.
set -u
program=$1

for tool in Xvfb xdotool sqlite3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (scripts/test.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number: choosing one by looking for lock files
# races with other tests starting X servers at the same time.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "SKIP: Xvfb could not start"; exit 77; }
display=":$(tr -d '[:space:]' <"$work/display")"
if ! DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1; then
    echo "SKIP: Xvfb could not start"; exit 77
fi
export DISPLAY=$display
export XDG_DATA_HOME="$work/xdg"
export QT_QPA_PLATFORM=xcb

"$program" >"$work/app.log" 2>&1 &
app_pid=$!

# Wait for a window whose title is exactly the named one.
wait_window() {
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
send_key() { # window key
    xdotool windowfocus "$1" 2>/dev/null
    xdotool key --window "$1" "$2"
}

msg=$(wait_window "Daduvov") || { echo "FAIL: no first-run message"; cat "$work/app.log"; exit 1; }
sleep 0.5
send_key "$msg" Return
dlg=$(wait_window "ファイルを開く") || { echo "FAIL: no file dialog"; cat "$work/app.log"; exit 1; }
sleep 0.5
send_key "$dlg" Escape

# The calendar comes up (the splash hands over within 5 s); quit with Ctrl+Q.
for _ in $(seq 100); do
    main=$(xdotool search --onlyvisible --name '^Daduvov$' 2>/dev/null | tail -n 1)
    [ -n "$main" ] && [ -f "$XDG_DATA_HOME/daduvov/DEFAULT.SDB" ] && break
    sleep 0.1
done
sleep 0.5

# A second start hands over to the running program and ends at once.
timeout 20 "$program" >"$work/second.log" 2>&1
second=$?
[ $second -eq 0 ] || { echo "FAIL: a second start ended with $second"; cat "$work/second.log"; exit 1; }
kill -0 "$app_pid" 2>/dev/null || { echo "FAIL: the first program ended when the second started"; exit 1; }

send_key "$main" ctrl+q
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then echo "FAIL: the program did not end on Ctrl+Q"; cat "$work/app.log"; exit 1; fi
app_pid=""

folder="$XDG_DATA_HOME/daduvov"
fail=0
[ -f "$folder/DEFAULT.SDB" ] || { echo "FAIL: DEFAULT.SDB missing"; fail=1; }
tables=$(sqlite3 "$folder/DEFAULT.SDB" "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;" 2>&1)
echo "$tables" | grep -qx 'ToDoリスト' || { echo "FAIL: table ToDoリスト missing ($tables)"; fail=1; }
echo "$tables" | grep -qx '予定表' || { echo "FAIL: table 予定表 missing ($tables)"; fail=1; }
ini="$folder/ZIZARU.INI"
[ -f "$ini" ] || { echo "FAIL: ZIZARU.INI missing"; exit 1; }
lines=$(tr -cd '\n' <"$ini" | wc -c)
crlf=$(grep -c $'\r$' "$ini")
[ "$lines" -eq 26 ] && [ "$crlf" -eq 26 ] || { echo "FAIL: ZIZARU.INI has $lines lines ($crlf with CR LF)"; fail=1; }
grep -q "^START_FILE=$folder/DEFAULT.SDB"$'\r$' "$ini" || { echo "FAIL: START_FILE does not name DEFAULT.SDB"; fail=1; }
[ $fail -eq 0 ] && echo "smoke test passed"
exit $fail

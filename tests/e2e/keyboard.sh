#!/usr/bin/env bash
# The real window on an X server by keyboard alone: Shift+Tab to the connect switch, Space
# connects the simulated meter, Return disconnects, Ctrl+K connects and disconnects, Ctrl+O opens
# a recording by a path typed into the dialog. Run under xvfb-run.   keyboard.sh <meterdeck-demo>
# Without a window manager a key may be lost: each step is sent again until the demo's log
# (events, focus) shows it taken.
set -euo pipefail
command -v xdotool >/dev/null && command -v xwininfo >/dev/null || { echo "no xdotool, xwininfo"; exit 1; }
dir=$(mktemp -d)
"$1" --no-splash --print-log --quit-after 90000 >"$dir/log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$dir"' EXIT
printf '07.12.2026 10::00::00;3000;кГц;-12.5;дБм\n07.12.2026 10::00::01;3000;кГц;-12.25;дБм\n' >"$dir/saved.csv"
fail() { echo "FAIL: $1"; cat "$dir/log"; exit 1; }
# Whether the log has the text after the line last found; if so that line is the last found.
seen=0
found() {
    local at
    at=$(tail -n +$((seen + 1)) "$dir/log" | grep -nF -m1 -- "$1" | cut -d: -f1) || true
    [ -n "$at" ] && seen=$((seen + at))
}
wait_for() {
    for _ in $(seq 300); do found "$1" && return 0; sleep 0.1; done
    fail "\"$1\" not in the log after line $seen"
}
# The program's windows, "width id" a line, widest last (xdotool by name misses message boxes).
windows() {
    xwininfo -root -tree | awk '/\("meterdeck-demo"/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, "x"); print g[1], $1 } }' | sort -n
}
focus() {
    for _ in $(seq 30); do
        xdotool mousemove --window "$1" 5 5 windowfocus "$1" 2>/dev/null || true
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(($1))" ] && return 0
        sleep 0.5
    done
}
# A message box (a port this user may not open) holds the keys; the operator closes it by Return.
press_until() {
    local text=$1 box
    shift
    for _ in $(seq 10); do
        for box in $(windows | cut -d' ' -f2); do
            [ "$((box))" != "$((win))" ] && focus "$box" && xdotool key Return
        done
        focus "$win"
        xdotool key --delay 100 "$@"
        for _ in $(seq 20); do found "$text" && return 0; sleep 0.1; done
    done
    fail "$* never gave \"$text\""
}

wait_for "window shown"
win=$(windows | tail -1 | cut -d' ' -f2)
wait_for "meters listed: 1"
press_until "focus: onOff" shift+Tab
press_until "Подключаюсь" space
wait_for "Подключение кT9-SIM, SN: 000042 прошло успешно!"
wait_for "Мощность ="
press_until "Устройство отключено" Return
press_until "прошло успешно!" ctrl+k
press_until "Устройство отключено" ctrl+k
# A loaded machine may lose typed keys in the dialog: it is closed and the file asked for again.
opened=0
for _ in $(seq 5); do
    focus "$win"
    xdotool key ctrl+o
    for _ in $(seq 50); do
        dialog=$(xdotool search --onlyvisible --name "Открыть запись" 2>/dev/null | tail -1) && [ -n "$dialog" ] && break
        sleep 0.2
    done
    [ -n "${dialog:-}" ] || continue
    focus "$dialog"
    xdotool type --delay 20 "$dir/saved.csv"
    xdotool key Return
    for _ in $(seq 100); do found "Открыта запись saved.csv: показаний 2." && opened=1 && break; sleep 0.1; done
    [ $opened = 1 ] && break
    for box in $(windows | cut -d' ' -f2); do
        [ "$((box))" != "$((win))" ] && focus "$box" && xdotool key Escape
    done
done
[ $opened = 1 ] || fail "the recording typed into the open dialog was never opened"
echo "PASS: connected, disconnected and opened a recording by keyboard"

#!/usr/bin/env bash
# The real window on an X server, driven by keyboard alone as an operator without a mouse would:
# Shift+Tab to the connect switch, Space connects the simulated meter, Return disconnects, Ctrl+K
# connects and disconnects again, Ctrl+O opens a recording by a path typed into the dialog.
# Run under xvfb-run; needs xdotool.   keyboard.sh <meterdeck-demo>
set -euo pipefail
demo=$1
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
dir=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
printf '07.12.2026 10::00::00;3000;кГц;-12.5;дБм\n07.12.2026 10::00::01;3000;кГц;-12.25;дБм\n' \
    >"$dir/saved.csv"

"$demo" --no-splash --print-log --quit-after 60000 >"$dir/log" 2>&1 &
pid=$!
# Lines of the event log in order: each wait starts after the line the last one found.
seen=0
wait_for() {
    for _ in $(seq 200); do
        local at
        at=$(tail -n +$((seen + 1)) "$dir/log" | grep -nF -m1 -- "$1" | cut -d: -f1) || true
        if [ -n "$at" ]; then
            seen=$((seen + at))
            return 0
        fi
        sleep 0.1
    done
    echo "FAIL: \"$1\" not in the log after line $seen:"
    cat "$dir/log"
    exit 1
}
keys() {
    xdotool key --delay 150 "$@"
}

wait_for "window shown"
win=$(xdotool search --onlyvisible --name "Ортикс-Т9" | tail -1)
xdotool windowfocus --sync "$win"
wait_for "meters listed: 1"
keys shift+Tab space
wait_for "Подключение кT9-SIM, SN: 000042 прошло успешно!"
wait_for "Мощность ="
keys Return
wait_for "Устройство отключено"
keys ctrl+k
wait_for "прошло успешно!"
keys ctrl+k
wait_for "Устройство отключено"
keys ctrl+o
xdotool search --sync --onlyvisible --name "Открыть запись" >/dev/null
xdotool type --delay 20 "$dir/saved.csv"
keys Return
wait_for "Открыта запись saved.csv: показаний 2."
echo "PASS: connected, disconnected and opened a recording by keyboard"

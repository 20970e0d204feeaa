#!/usr/bin/env bash
# CPU and resident memory of the demo build measuring 1, 2, 4 and 8 simulated meters at the
# product's poll (1000 ms), in a 1366x768 X server of its own (xvfb-run). The simulated meters run
# inside the demo's process (threads of it), so their cost is in the figures.
# Figures from /proc/<pid>: utime+stime and VmRSS 5 s after the start and S seconds later.
# Usage: bench/whole/meters_cpu.sh [S, default MD_BENCH_SECONDS or 60] [meter counts, default 1 2 4 8]
# MD_BENCH_LOG=1 adds --print-log and counts each meter's readings (a check that all measure).
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-${MD_BENCH_SECONDS:-60}}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1 2 4 8)
demo=build/tools/demo/meterdeck-demo
goal=3  # % of one core, eight meters
tick=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu_ticks() { # utime + stime of a process, in clock ticks
    local s
    s=$(cat "/proc/$1/stat") || return 1
    s=${s##*) }
    set -- $s
    echo $((${12} + ${13}))
}
# Ticks per thread as "tid name ticks" lines, the main thread named "GUI", the others' numbers
# dropped (llvmpipe-0, llvmpipe-1: Mesa's software rendering under Xvfb); threads left unnamed
# carry the program's.
thread_ticks() {
    local t s name
    for t in /proc/"$1"/task/*; do
        s=$(cat "$t/stat" 2>/dev/null) || continue
        name=${s#*(}
        name=${name%%)*}
        [ "${t##*/}" = "$1" ] && name=GUI
        s=${s##*) }
        set -- "$1" $s
        name=${name%%-[0-9]*}
        echo "${t##*/} ${name// /_} $((${13} + ${14}))"
    done
}
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for n in "${counts[@]}"; do
    extra=()
    [ "${MD_BENCH_LOG:-0}" = 1 ] && extra=(--print-log)
    # Quits 3 s after the last sample; exec keeps the pid the wrapper wrote.
    quit=$(((seconds + 8) * 1000))
    xvfb-run -a -s "-screen 0 1366x768x24" sh -c 'echo $$ >"$0/pid"; exec "$@"' "$work" \
        "$demo" --connect --no-splash --meters "$n" --quit-after "$quit" "${extra[@]}" \
        >"$work/out" 2>"$work/err" &
    runner=$!
    while [ ! -s "$work/pid" ]; do sleep 0.05; done
    pid=$(cat "$work/pid")
    start=$(date +%s.%N)
    sleep 5
    c0=$(cpu_ticks "$pid")
    thread_ticks "$pid" >"$work/threads0"
    r0=$(rss_kib "$pid")
    t0=$(date +%s.%N)
    sleep "$seconds"
    c1=$(cpu_ticks "$pid")
    thread_ticks "$pid" >"$work/threads1"
    r1=$(rss_kib "$pid")
    t1=$(date +%s.%N)
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
    wait "$runner" || true
    rm -f "$work/pid"
    awk -v n="$n" -v c=$((c1 - c0)) -v hz="$tick" -v w0="$t0" -v w1="$t1" -v r0="$r0" \
        -v r1="$r1" -v th="$threads" -v s="$start" -v goal="$goal" 'BEGIN {
        wall = w1 - w0; cpu = c / hz
        printf "%d meter%s: CPU %.2f s over %.1f s = %.2f %% of one core; resident %.1f MB at %.0f s," \
               " %.1f MB at %.0f s (%+.1f MB); %d threads\n",
               n, (n == 1 ? " " : "s"), cpu, wall, 100 * cpu / wall, r0 / 1024, w0 - s, r1 / 1024,
               w1 - s, (r1 - r0) / 1024, th
        if (n == 8) printf "8 meters: goal < %d %% of one core: %s\n", goal, (100 * cpu / wall < goal ? "met" : "MISSED")
    }'
    # Threads that ended between the samples are not in it.
    echo "  by thread (s): $(awk -v hz="$tick" 'NR == FNR { before[$1] = $3; next }
        { cpu[$2] += $3 - before[$1]; count[$2]++ }
        END { for (n in cpu) if (cpu[n] > 0) printf "%s%s %.2f, ", n, (count[n] > 1 ? "(" count[n] ")" : ""), cpu[n] / hz }' \
        "$work/threads0" "$work/threads1" | sed 's/, $//')"
    if [ "${MD_BENCH_LOG:-0}" = 1 ]; then
        echo "  readings logged per meter: $(grep -o 'SN[^:]*: .*Мощность = ' "$work/out" |
            sed 's/: .*//' | sort | uniq -c | tr -s ' \n' ' ') main: $(grep -c '^[^S]*Мощность = ' "$work/out" || true)"
    fi
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/usr/bin/env bash
# Takes the README's picture anew: the demo with its simulated meter connected and recording, on
# a screen of 1366x768 under Xvfb, written to docs/screenshot.png (or the file named).
# Release routine: run it after any visible change, look at the picture, commit it.
#   bash tools/screenshot.sh [file.png]      MD_SCREEN=1280x720 picks another screen size
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
missing=()
command -v import >/dev/null || missing+=(imagemagick)
command -v xdotool >/dev/null || missing+=(xdotool)
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target meterdeck-demo >/dev/null

out=$(realpath -m "${1:-docs/screenshot.png}")
record=$(mktemp -d)
trap 'rm -rf "$record"' EXIT

# A minute of readings on the chart at once, then a few live ones; the window as it opens.
xvfb-run -a -s "-screen 0 ${MD_SCREEN:-1366x768}x24" bash -c '
    out=$1 record=$2
    build/tools/demo/meterdeck-demo --connect --no-splash --prefill 60 \
        --record "$record/demo.csv" --quit-after 30000 &
    demo=$!
    for _ in $(seq 100); do
        win=$(xdotool search --onlyvisible --name "Ортикс-Т9" 2>/dev/null | tail -1) && [ -n "$win" ] && break
        sleep 0.2
    done
    [ -n "${win:-}" ] || { echo "the window did not appear" >&2; kill $demo; exit 1; }
    # The pointer off the controls: no hover halo in the picture.
    xdotool mousemove 1 1
    sleep 8
    import -window "$win" "$out"
    kill $demo
    wait $demo || true
' screenshot "$out" "$record"
echo "$out"

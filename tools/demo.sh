#!/usr/bin/env bash
# Installs what is missing, builds the program with a simulated meter attached, and starts it.
# The meter is listed within about a second (the first discovery pass); switch "connect" on.
# Extra arguments go to the demo (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target meterdeck-demo
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting under xvfb-run (nothing will be visible)." >&2
    exec xvfb-run -a build/tools/demo/meterdeck-demo "$@"
fi
exec build/tools/demo/meterdeck-demo "$@"

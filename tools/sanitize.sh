#!/usr/bin/env bash
# Builds the device, controller and end-to-end suites with AddressSanitizer + UBSan (build-asan)
# and with ThreadSanitizer (build-tsan) and runs them. Safe to run again.
#   bash tools/sanitize.sh            both
#   bash tools/sanitize.sh address    one of them (address | thread)
# Extra ctest arguments may follow the sanitizer name, e.g. `thread --repeat until-fail:3`.
# The checkers' options and suppressions come from the test environment (cmake/MeterdeckTesting.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(tst_device tst_severalmeters tst_control tst_e2e tst_several)
tests='^(tst_device|tst_severalmeters|tst_control|tst_e2e|tst_several)$'
jobs=${MD_JOBS:-2}

sanitizers=(address thread)
if [[ $# -gt 0 && ( $1 == address || $1 == thread ) ]]; then
    sanitizers=("$1")
    shift
fi

status=0
for san in "${sanitizers[@]}"; do
    case $san in
        address) dir=build-asan; type=Debug ;;
        thread) dir=build-tsan; type=RelWithDebInfo ;;
    esac
    echo "== $san: $dir"
    cmake -S . -B "$dir" -G Ninja -DMD_SANITIZER="$san" -DCMAKE_BUILD_TYPE="$type" >/dev/null
    cmake --build "$dir" --target "${targets[@]}" -j"$jobs"
    if ! (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest -R "$tests" --output-on-failure "$@"); then
        status=1
    fi
done
exit $status

#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole test suite. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh
# Every C++ file as .clang-format has it; a deviation fails the run before anything is built.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
# The product's sources must compile for Windows too (syntax only, MinGW-w64).
bash tools/wincheck.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

# qmllint over the documents, with the module the build generated for the C++ types (build/qml).
# It does not know the five objects C++ publishes with setContextProperty (meterdeck,
# deviceModel, powerModel, logsModel, chartBuilder; startup::publish): a warning "Unqualified
# access" is dropped, with the excerpt printed under it, when the name at its line and column
# is one of them. Any other warning fails the run; notes ("Info:") are shown only.
lint_qml() {
    local published=" meterdeck deviceModel powerModel logsModel chartBuilder "
    local out rc=0 line keep=1 failed=0 text name
    out=$(/usr/lib/qt6/bin/qmllint -I build/qml qml/*.qml 2>&1) || rc=$?
    # 255: warnings found; anything else but 0 is qmllint itself failing.
    if [ "$rc" -ne 0 ] && [ "$rc" -ne 255 ]; then
        printf '%s\n' "$out"
        return 1
    fi
    while IFS= read -r line; do
        if [[ $line =~ ^[A-Z][a-z]+:\  ]]; then
            keep=1
            if [[ $line =~ ^Warning:\ (.+):([0-9]+):([0-9]+):\ Unqualified\ access$ ]]; then
                # Columns count characters, hence the UTF-8 locale (the texts are Russian).
                text=$(sed -n "${BASH_REMATCH[2]}p" "${BASH_REMATCH[1]}")
                name=${text:BASH_REMATCH[3]-1}
                name=${name%%[^A-Za-z0-9_]*}
                if [[ $published == *" $name "* ]]; then keep=0; fi
            fi
            if [[ $keep == 1 && $line != Info:* ]]; then failed=1; fi
        fi
        if [[ $keep == 1 ]]; then printf '%s\n' "$line"; fi
    done <<<"$out"
    return "$failed"
}
(export LC_ALL=C.UTF-8 && lint_qml) || { echo "qmllint: warnings in qml/" >&2; exit 1; }

cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 "$@"

#!/usr/bin/env bash
# Compiles every product source as a Windows build would, syntax only: Debian's MinGW-w64 cross
# compiler against Debian's Qt 6 headers. A POSIX-only header or call outside an
# `#if defined(Q_OS_UNIX)` branch fails here, and the Q_OS_WIN branches get compiled at all.
# Nothing is linked or run: that takes Qt built for Windows (docs/packaging.md). Installs the
# compiler when it is missing; safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=x86_64-w64-mingw32-g++-posix
if ! command -v "$cxx" >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        g++-mingw-w64-x86-64-posix
fi
qt=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
libexec=$(qtpaths6 --query QT_HOST_LIBEXECS 2>/dev/null || echo /usr/lib/qt6/libexec)
generated=$(mktemp -d)
trap 'rm -rf "$generated"' EXIT

# The product's folders; the simulator (tools/simmeter) is POSIX by design and left out.
sources=$(find app device control models files -name '*.cpp' | sort)
ours=()
for d in $(find app device control models files -name '*.h' -printf '%h\n' | sort -u); do
    ours+=(-I "$d")
done
# -isystem: Qt's own headers warn under MinGW (friend functions redeclared without dllimport);
# that is Qt's to fix, not ours. Only the modules the product links, as in CMake.
qtinc=(-isystem "$qt")
for m in Core Gui Widgets Qml QmlIntegration QmlModels Quick QuickControls2 SerialPort Charts; do
    qtinc+=(-isystem "$qt/Qt$m")
done
flags=(
    -std=c++17 -fsyntax-only
    # Warnings clean on Windows too: the flags CMake gives GCC.
    -Wall -Wextra -Wpedantic -Werror
    # What Qt's CMake package adds to every Windows target (wide Win32 API names).
    -DUNICODE -D_UNICODE
    # Q_OS_WIN follows from the compiler's own _WIN32. Debian's qconfig.h describes the Linux
    # build, but nothing in it decides a Windows parse: its -fPIC check applies to ELF only.
    "${qtinc[@]}" "${ours[@]}" -I "$generated"
)

# A source that includes its own moc output ("startup.moc") needs it to parse.
for f in $(grep -l '#include ".*\.moc"' $sources); do
    "$libexec/moc" "${ours[@]}" -I "$qt" "$f" -o "$generated/$(basename "${f%.cpp}").moc"
done

# The set-up itself: Q_OS_WIN in force, or this check would prove nothing.
echo '#include <QtGlobal>
#ifndef Q_OS_WIN
#error Q_OS_WIN is not defined
#endif' | "$cxx" "${flags[@]}" -x c++ -

export cxx
# One compiler per core; every failing source is named, not only the first.
printf '%s\n' $sources | xargs -P "$(nproc)" -I{} sh -c \
    '"$cxx" "$@" {} || { echo "wincheck: {} does not compile for Windows" >&2; exit 1; }' _ "${flags[@]}" ||
    { echo "wincheck: product sources do not compile for Windows (see above)" >&2; exit 1; }
echo "wincheck: $(echo "$sources" | wc -l) product sources compile for Windows (syntax only)"

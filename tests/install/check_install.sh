#!/usr/bin/env bash
# Installs the built program into a scratch prefix and checks what a desktop needs is there;
# with dpkg-deb present, also builds the Debian package and checks it depends on runtime packages
# only. Arguments: the build folder.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null
for f in bin/meterdeck share/applications/meterdeck.desktop \
         share/icons/hicolor/48x48/apps/meterdeck.png share/icons/hicolor/256x256/apps/meterdeck.png \
         share/icons/hicolor/scalable/apps/meterdeck.svg; do
    [ -e "$scratch/usr/$f" ] || { echo "missing after install: $f"; exit 1; }
done
[ -x "$scratch/usr/bin/meterdeck" ] || { echo "bin/meterdeck is not executable"; exit 1; }
desktop=$scratch/usr/share/applications/meterdeck.desktop
grep -qx 'Exec=meterdeck' "$desktop" && grep -qx 'Icon=meterdeck' "$desktop" ||
    { echo "desktop entry does not start meterdeck with its icon"; exit 1; }
# Nothing of the tests, benchmarks or the simulator is installed.
extra=$(cd "$scratch/usr" && find . -type f | grep -Ev '^\./(bin/meterdeck|share/applications/meterdeck\.desktop|share/icons/hicolor/.*/apps/meterdeck\.(png|svg))$' || true)
[ -z "$extra" ] || { echo "installed but not part of the program: $extra"; exit 1; }

if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    (cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null)
    deb=$(ls "$scratch"/pkg/meterdeck_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    for p in libqt6core6 libqt6quick6 libqt6serialport6 libqt6charts6 qml6-module-qtcharts; do
        grep -q "$p" <<<"$depends" || { echo "package does not depend on $p: $depends"; exit 1; }
    done
    if grep -q -- '-dev' <<<"$depends"; then echo "package depends on a -dev package: $depends"; exit 1; fi
    dpkg-deb -c "$deb" >"$scratch/contents"
    grep -q './usr/bin/meterdeck$' "$scratch/contents" || { echo "package lacks usr/bin/meterdeck"; exit 1; }
fi
echo "install and package checked"

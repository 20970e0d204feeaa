#!/usr/bin/env bash
# Installs the built program into a scratch prefix and checks what a desktop needs is there;
# with dpkg-deb present, also builds the Debian package and checks it depends on runtime packages
# only. Then builds the program alone (-DBUILD_TESTING=OFF). Arguments: the build folder, the
# source folder, the CMake generator, the build type (the build's own).
set -euo pipefail
build=$1 source=$2 generator=$3 type=${4:-Release}
# Inside the build folder, so that ccache (its base_dir the checkout) finds earlier runs.
scratch=$(mktemp -d "$build/install-check.XXXXXX")
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

# A packager's build: configures without Qt Test and builds the program, and nothing of the
# tests, benchmarks, fuzz targets or simulated meter exists.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
product=$scratch/product
cmake -S "$source" -B "$product" -G "$generator" -DCMAKE_BUILD_TYPE="$type" -DBUILD_TESTING=OFF \
    "${launcher[@]}" >"$scratch/log" 2>&1 && cmake --build "$product" >>"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; echo "the program alone does not build"; exit 1; }
[ -x "$product/app/meterdeck" ] || { echo "the program alone: no app/meterdeck"; exit 1; }
if grep -q '^Qt6Test_DIR' "$product/CMakeCache.txt"; then echo "the program alone looks for Qt Test"; exit 1; fi
extra=$(cmake --build "$product" --target help | grep -Eo '(tst_|bench_|fuzz_)[a-z_]*|simmeter|meterdeck-demo' || true)
[ -z "$extra" ] || { echo "the program alone has these targets too: $extra"; exit 1; }
echo "install, package and the program alone checked"

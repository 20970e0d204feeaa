#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need; does nothing when all are present.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-declarative-dev qt6-serialport-dev qt6-charts-dev qt6-svg-dev
    libqt6svg6 qt6-qpa-plugins libgl-dev
    qml6-module-qtquick qml6-module-qtqml qml6-module-qtqml-workerscript
    qml6-module-qtquick-window qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-layouts qml6-module-qtquick-dialogs qml6-module-qt-labs-platform
    qml6-module-qtquick-shapes qml6-module-qtcharts qml6-module-qttest
    qml6-module-qt-labs-folderlistmodel qml6-module-qtquick-controls2-material-style
    xvfb xauth xdotool x11-utils tzdata fonts-dejavu-core qt6-translations-l10n clang-format
    # qmllint, and the type description of QtQml.Models (the item models) that it reads.
    qt6-declarative-dev-tools qml6-module-qtqml-models
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Some package names differ between Debian point releases; install the ones this system knows.
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
known=()
for p in "${missing[@]}"; do
    if apt-cache show "$p" >/dev/null 2>&1; then known+=("$p"); fi
done
[ ${#known[@]} -eq 0 ] && exit 0
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${known[@]}"

#!/usr/bin/env bash
# Renders the raster pictures from the SVG sources in src/. The build uses the committed results,
# so this is only needed after the artwork changes.
# Needs: rsvg-convert (librsvg2-bin) and ImageMagick's convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

rsvg-convert -w 1024 -h 1024 src/main.svg -o main.png
# The splash refers to the emblem by relative name; render from inside src/.
(cd src && rsvg-convert -w 640 -h 360 splash.svg -o "$tmp/splash.png")
cp "$tmp/splash.png" splash.png

sizes=(16 24 32 48 64 128 256)
frames=()
for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" src/main.svg -o "$tmp/main-$s.png"
    frames+=("$tmp/main-$s.png")
done
convert "${frames[@]}" main.ico

# The desktop menu's icon (installed under share/icons/hicolor).
for s in 16 24 32 48 64 128 256 512; do
    mkdir -p "hicolor/${s}x${s}/apps"
    convert main.png -resize "${s}x${s}" "hicolor/${s}x${s}/apps/meterdeck.png"
done
mkdir -p hicolor/scalable/apps
cp src/main.svg hicolor/scalable/apps/meterdeck.svg

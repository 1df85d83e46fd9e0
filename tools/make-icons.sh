#!/usr/bin/env bash
# Renders the programs' icons (packaging/icons/<name>.svg, drawn by hand) to
# the PNG sizes of the hicolor theme: packaging/icons/<size>/<name>.png.
# The PNGs are committed, so a build needs no SVG renderer; run this after
# changing an SVG. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
icons="$root/packaging/icons"
command -v rsvg-convert >/dev/null || { echo "make-icons: needs rsvg-convert (apt-get install librsvg2-bin)" >&2; exit 1; }
for svg in "$icons"/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$icons/$size"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$icons/$size/$name.png"
  done
done
echo "icons written to $icons/<size>/"

#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from pakscope.svg into
# icons/hicolor/<size>x<size>/apps/. Run after changing the SVG; the PNGs are
# kept in the repository so that a build needs no renderer.
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v rsvg-convert >/dev/null; then
  echo "rsvg-convert is missing (Debian package librsvg2-bin)" >&2
  exit 1
fi
for size in 16 24 32 48 64 128 256; do
  dir=icons/hicolor/${size}x${size}/apps
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" pakscope.svg -o "$dir/pakscope.png"
done

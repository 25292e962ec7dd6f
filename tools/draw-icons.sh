#!/usr/bin/env bash
# Draws the demo's icon at the sizes desktops look for, from dist/orbel2.svg
# into dist/icons/ (Debian's librsvg2-bin). Run it after changing the SVG
# and commit the pictures with it, so that building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/../dist"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" orbel2.svg -o "icons/orbel2-$size.png"
done

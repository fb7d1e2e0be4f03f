#!/usr/bin/env bash
# Renders the program's PNG icons from the hand-drawn SVG. Run after changing
# data/icons/hicolor/scalable/apps/vantor.svg and commit the PNGs it writes.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
for px in 16 32 48 64 128 256; do
  mkdir -p "${px}x${px}/apps"
  rsvg-convert -w "$px" -h "$px" scalable/apps/vantor.svg -o "${px}x${px}/apps/vantor.png"
done

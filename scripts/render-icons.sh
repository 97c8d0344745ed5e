#!/usr/bin/env bash
# Renders the icon's PNG sizes from packaging/icons/kavri.svg; run it after changing the SVG and
# commit the PNGs, so that a build needs no SVG renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" kavri.svg --output "kavri-$size.png"
done

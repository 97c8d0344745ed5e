#!/usr/bin/env bash
# Renders the icon's PNG sizes from packaging/icons/kavri.svg, and the Windows programs' icon
# kavri.ico from them; run it after changing the SVG and commit the PNGs and the icon, so that a
# build needs no SVG renderer. Needs rsvg-convert (librsvg2-bin) and convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" kavri.svg --output "kavri-$size.png"
done
convert kavri-16.png kavri-32.png kavri-48.png kavri-64.png kavri-256.png kavri.ico

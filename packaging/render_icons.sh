#!/usr/bin/env bash
# Renders the hicolor PNG sizes of the program icon from icons/daduvov.svg (needs rsvg-convert,
# Debian package librsvg2-bin). The PNGs are kept in the repository, so a build needs no renderer;
# run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --output "daduvov-$size.png" daduvov.svg
done

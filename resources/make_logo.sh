#!/usr/bin/env bash
# Renders the logo from its SVG source into the PNG that the module carries (184 x 107, 8-bit
# RGBA). The PNG is committed; run this after changing logo.svg.
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert --width 184 --height 107 --format png logo.svg --output VSTLogoAlpha.tmp.png
/usr/bin/convert VSTLogoAlpha.tmp.png -strip -define png:color-type=6 -define png:bit-depth=8 PNG32:VSTLogoAlpha.png
rm -f VSTLogoAlpha.tmp.png

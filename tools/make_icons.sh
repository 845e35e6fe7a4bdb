#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws the program's icons from the dove of Nuova, into window/pictures/,
# where they are kept: run it again after tools/make_pictures.py changes the
# dove. Needs ImageMagick (imagemagick); the builds only copy the results.
#   tabellone.ico  the Windows icon, 48, 32 and 16 pixels (tabellone.exe)
#   tabellone.png  the Linux bundle's icon, 128 pixels (Tabellone/tabellone.png)
set -euo pipefail
cd "$(dirname "$0")/../window/pictures"
convert 'colomba.gif[0]' -background none -gravity center -extent 56x56 -resize 48x48 \
    \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) tabellone.ico
convert colomba@3x.png -background none -gravity center -extent 165x165 -resize 128x128 \
    -define png:exclude-chunks=date,time tabellone.png
ls -l tabellone.ico tabellone.png

#!/usr/bin/env bash
# Draws the program's icon (a sheet with a grid and a pen) with ImageMagick and
# writes resources/icons/app-<N>.png. Run once by hand; the PNGs are committed.
# The 32-pixel image is plain 24-bit colour, the larger ones carry an alpha
# channel, as the window system's icon sizes expect.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/lib/common.sh
source "$root/scripts/lib/common.sh"
ensure_packages imagemagick
out=$root/resources/icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tile='#2e6e8e'
sheet='#fbfcfd'
header='#a9d6e5'
line='#5b8ea6'

# Everything is drawn on a 512-pixel canvas and scaled down, so the thin grid
# lines stay sharp at every size.
convert -size 512x512 xc:none \
  -fill "$tile" -draw 'roundrectangle 16,16 495,495 84,84' \
  -fill "$sheet" -draw 'roundrectangle 84,92 428,420 18,18' \
  -fill "$header" -draw 'rectangle 84,150 428,196' \
  -fill "$header" -draw 'roundrectangle 84,92 428,160 18,18' \
  -stroke "$line" -strokewidth 8 \
  -draw 'line 84,196 428,196' -draw 'line 84,252 428,252' \
  -draw 'line 84,308 428,308' -draw 'line 84,364 428,364' \
  -draw 'line 196,150 196,420' -draw 'line 312,150 312,420' \
  -stroke none \
  -fill '#1f3b4d' -draw 'polygon 236,396 262,330 302,370' \
  -fill '#f2a33a' -draw 'polygon 262,330 420,172 460,212 302,370' \
  -fill '#d9822b' -draw 'polygon 282,350 440,192 460,212 302,370' \
  -fill '#e85d5d' -draw 'polygon 420,172 440,152 480,192 460,212' \
  "$work/master.png"

for size in 48 128 256; do
  convert "$work/master.png" -filter Lanczos -resize "${size}x${size}" \
    -depth 8 -define png:color-type=6 -strip "$out/app-$size.png"
done
# No alpha at 32 pixels: the corners take the tile colour instead.
convert "$work/master.png" -background "$tile" -alpha remove -alpha off \
  -filter Lanczos -resize 32x32 -depth 8 -define png:color-type=2 -strip "$out/app-32.png"

identify "$out"/app-*.png

#!/usr/bin/env bash
# Renders the generated icon images and tree picture strips enlarged into one
# PNG, to look at the artwork after editing it.
#   resources/preview.sh BUILD_DIR [OUT.png]    (default OUT: BUILD_DIR/art-preview.png)
# Icon images are shown on a pale blue ground so that transparency stands out;
# each strip is shown as stored (silver = transparent) and on the tree's white.
set -euo pipefail
build=${1:?usage: preview.sh BUILD_DIR [OUT.png]}
gen="$build/resources/generated"
out=${2:-$build/art-preview.png}
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

zoom=8
# Images in the order the icon holds them: 4-bit 16 18 20 22 32, 24-bit 16 32 48, 32-bit 32.
n=$(identify "$gen/ZomaOvaroOrdnerSetzen.ico" | wc -l)
for ((i = 0; i < n; i++)); do
  convert "$gen/ZomaOvaroOrdnerSetzen.ico[$i]" -background '#cfe3f5' -flatten \
    -filter point -resize $((zoom * 100))% -background white -gravity northwest -splice 8x0 "$tmp/icon$i.png"
done
convert $(for ((i = 0; i < n; i++)); do echo "$tmp/icon$i.png"; done) -background white -gravity south +append "$tmp/icons.png"

rows=("$tmp/icons.png")
for size in 16 24 32; do
  strip="$gen/TreePictures$size.bmp"
  convert "$strip" -filter point -resize $((zoom * 100))% "$tmp/s$size.png"
  convert "$strip" -fill white -opaque 'rgb(192,192,192)' -filter point -resize $((zoom * 100))% "$tmp/w$size.png"
  rows+=("$tmp/s$size.png" "$tmp/w$size.png")
done
for f in "${rows[@]}"; do convert "$f" -background white -gravity northwest -splice 0x12 "$f"; done
convert "${rows[@]}" -background white -append "$out"
echo "$out"

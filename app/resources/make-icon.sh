#!/usr/bin/env bash
# Renders kopiavakt.svg into kopiavakt.ico with one image per size Windows asks for (16, 20,
# 24, 32, 48 and 256 pixels). Each size is rendered from the vector source at its own pixel
# size rather than scaled down from a large bitmap, so the small ones stay sharp.
#
# The .ico is committed beside its source, so building needs no image tools; run this after
# changing the SVG (needs Debian's imagemagick with its SVG coder):  app/resources/make-icon.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sizes=(16 20 24 32 48 256)
frames=()
for size in "${sizes[@]}"; do
    # The SVG is 256 units wide at 72 dpi; this density renders it at `size` pixels.
    density=$(awk -v s="$size" 'BEGIN { printf "%.4f", 72 * s / 256 }')
    convert -background none -density "$density" "$here/kopiavakt.svg" \
        -resize "${size}x${size}!" -depth 8 "PNG32:$work/$size.png"
    frames+=("$work/$size.png")
done
convert "${frames[@]}" "$here/kopiavakt.ico"
identify "$here/kopiavakt.ico"

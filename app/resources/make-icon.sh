#!/usr/bin/env bash
# Renders kopiavakt.svg into kopiavakt.ico with one image per size Windows asks for (16, 20,
# 24, 32, 48 and 256 pixels). Each size is rendered from the vector source at its own pixel
# size rather than scaled down from a large bitmap, so the small ones stay sharp.
#
# The tray icon's two other states are the same drawing with a round badge in the lower right
# corner, large enough to be told apart at 16 pixels: an amber one with "!" when a copy needs
# attention (kopiavakt-attention.ico), a red one with a cross when the server did not answer
# (kopiavakt-no-contact.ico).
#
# The list's state icons (state-*.ico, 16 to 32 pixels) tell a row's state by shape as well as
# by colour, for whoever cannot tell red from amber: a green disc with a tick (fresh), a red
# disc with clock hands (outdated), an amber triangle with "?" (unopened), a violet diamond
# with a downward arrow (anomaly), a grey disc with two bars (paused).
#
# The .ico files are committed beside their source, so building needs no image tools; run this
# after changing the SVG (needs Debian's imagemagick with its SVG coder):  app/resources/make-icon.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The badges, on the SVG's 256 grid; the white ring keeps them apart from the shield.
attention_badge='<circle cx="186" cy="186" r="63" fill="#f5a000" stroke="#ffffff" stroke-width="12"/>
  <path d="M186 146 V190" stroke="#1a1a1a" stroke-width="26" stroke-linecap="round"/>
  <circle cx="186" cy="222" r="14" fill="#1a1a1a"/>'
no_contact_badge='<circle cx="186" cy="186" r="63" fill="#c62828" stroke="#ffffff" stroke-width="12"/>
  <path d="M162 162 L210 210 M210 162 L162 210" stroke="#ffffff" stroke-width="24"
        stroke-linecap="round"/>'

# render SVG ICO [SIZES]: every size of the SVG into one .ico.
render() {
    local svg=$1 ico=$2 sizes=${3:-16 20 24 32 48 256} size density frames=()
    for size in $sizes; do
        # The SVG is 256 units wide at 72 dpi; this density renders it at `size` pixels.
        density=$(awk -v s="$size" 'BEGIN { printf "%.4f", 72 * s / 256 }')
        convert -background none -density "$density" "$svg" \
            -resize "${size}x${size}!" -depth 8 "PNG32:$work/$size.png"
        frames+=("$work/$size.png")
    done
    convert "${frames[@]}" "$ico"
    identify "$ico"
}

# with_badge BADGE OUT: the drawing with the badge drawn last, on top.
with_badge() {
    local closing='</svg>'
    awk -v badge="  $1" -v closing="$closing" \
        '$0 == closing { print badge } { print }' "$here/kopiavakt.svg" >"$2"
}

render "$here/kopiavakt.svg" "$here/kopiavakt.ico"
with_badge "$attention_badge" "$work/attention.svg"
render "$work/attention.svg" "$here/kopiavakt-attention.ico"
with_badge "$no_contact_badge" "$work/no-contact.svg"
render "$work/no-contact.svg" "$here/kopiavakt-no-contact.ico"

# state NAME SHAPES: one state icon from its shapes on the 256 grid.
state() {
    printf '%s\n' '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">' \
        "$2" '</svg>' >"$work/state-$1.svg"
    render "$work/state-$1.svg" "$here/state-$1.ico" "16 20 24 32"
}
state fresh '<circle cx="128" cy="128" r="116" fill="#2e7d32"/>
  <path d="M70 132 L110 172 L188 88" fill="none" stroke="#ffffff" stroke-width="34"
        stroke-linecap="round" stroke-linejoin="round"/>'
state outdated '<circle cx="128" cy="128" r="116" fill="#c62828"/>
  <path d="M128 56 V128 L178 166" fill="none" stroke="#ffffff" stroke-width="30"
        stroke-linecap="round" stroke-linejoin="round"/>'
state unopened '<path d="M128 14 L246 236 H10 Z" fill="#f5a000" stroke="#6b4800" stroke-width="10"
        stroke-linejoin="round"/>
  <path d="M98 112 Q98 80 128 80 Q158 80 158 110 Q158 130 128 144 V164" fill="none"
        stroke="#1a1a1a" stroke-width="26" stroke-linecap="round"/>
  <circle cx="128" cy="204" r="16" fill="#1a1a1a"/>'
state anomaly '<path d="M128 8 L248 128 L128 248 L8 128 Z" fill="#6a1b9a"/>
  <path d="M128 60 V180 M82 136 L128 184 L174 136" fill="none" stroke="#ffffff"
        stroke-width="30" stroke-linecap="round" stroke-linejoin="round"/>'
state paused '<circle cx="128" cy="128" r="116" fill="#757575"/>
  <path d="M100 76 V180 M156 76 V180" stroke="#ffffff" stroke-width="34" stroke-linecap="round"/>'

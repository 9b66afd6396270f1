#!/bin/bash
# Draws the application icon (nine sizes plus the Windows .ico) and the 256 px
# logo from geometric primitives and the DejaVu font, so the artwork can be
# regenerated on any machine with ImageMagick 6 or 7 and fonts-dejavu.
#
# Everything is drawn on a 2304 px master, a whole multiple of every target
# size, so no size is resampled by an odd fraction. Output is byte-for-byte
# reproducible (-strip drops the time stamps).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ICONS=$ROOT/resources/icons
WINDIR=$ROOT/resources/windows
mkdir -p "$ICONS" "$WINDIR"

if command -v magick >/dev/null 2>&1; then IM=(magick); else IM=(convert); fi
FONT=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)
[ -f "$FONT" ] || FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$FONT" ] || { echo "DejaVu Sans Bold not found" >&2; exit 1; }

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

S=2304
C=$((S / 2))
u() { echo $((S * $1 / 1024)); }     # design units: 1024 per side

BLUE_TOP='#2f66c4'; BLUE_BOTTOM='#0b2a63'
GOLD_TOP='#ffd45c'; GOLD_BOTTOM='#e0900c'

# One arrow of the change-over ring as a single filled outline: outer edge of
# the arc from a0 to a1 degrees (clockwise on screen), the arrowhead at a1,
# then the inner edge back. Filled outlines avoid stroke-join artefacts.
arrow() { # r w a0 a1
  awk -v c=$C -v r="$1" -v w="$2" -v a0="$3" -v a1="$4" 'BEGIN {
    p = atan2(0, -1) / 180; ro = r + w / 2; ri = r - w / 2
    printf "polygon"
    for (a = a0; a < a1; a++) printf " %.1f,%.1f", c + ro * cos(a * p), c + ro * sin(a * p)
    t = a1 * p; x = c + r * cos(t); y = c + r * sin(t); L = 1.5 * w; H = 1.15 * w
    printf " %.1f,%.1f", c + ro * cos(t), c + ro * sin(t)
    printf " %.1f,%.1f %.1f,%.1f %.1f,%.1f", x + cos(t) * H, y + sin(t) * H, \
           x - sin(t) * L, y + cos(t) * L, x - cos(t) * H, y - sin(t) * H
    printf " %.1f,%.1f", c + ri * cos(t), c + ri * sin(t)
    for (a = a1 - 1; a > a0; a--) printf " %.1f,%.1f", c + ri * cos(a * p), c + ri * sin(a * p)
    printf " %.1f,%.1f", c + ri * cos(a0 * p), c + ri * sin(a0 * p)
  }'
}

# Two arrows chasing each other round the centre (white, opaque).
ring() { # out r w
  "${IM[@]}" -size ${S}x${S} xc:none -fill white \
    -draw "$(arrow "$2" "$3" 150 288)" -draw "$(arrow "$2" "$3" 330 468)" "$1"
}

# Gold euro sign; its bars stick out to the left, so it is nudged left to
# look centred. Writes the coverage mask and the gold fill.
euro() { # mask out pointsize
  "${IM[@]}" -size ${S}x${S} xc:none -font "$FONT" -pointsize "$3" -fill white \
    -gravity center -annotate +$(( -$(u 12) ))+0 '€' "$1"
  "${IM[@]}" -size ${S}x${S} gradient:"$GOLD_TOP"-"$GOLD_BOTTOM" "$1" \
    -compose CopyOpacity -composite "$2"
}

shadow() { # mask out
  "${IM[@]}" "$1" -fill black -colorize 100 -channel A -evaluate multiply 0.45 +channel \
    -blur 0x$((S / 200)) -geometry +$((S / 170))+$((S / 110)) "$2"
}

tile() { # out margin radius
  local m=$2 r=$3
  "${IM[@]}" -size ${S}x${S} gradient:"$BLUE_TOP"-"$BLUE_BOTTOM" \
    \( -size ${S}x${S} xc:none -fill white -draw "roundrectangle $m,$m $((S - m - 1)),$((S - m - 1)) $r,$r" \) \
    -alpha off -compose CopyOpacity -composite "$1"
}

# Full icon: tile, faint ring, euro with a soft shadow.
tile "$T/tile.png" "$(u 40)" "$(u 210)"
ring "$T/ring.png" "$(u 362)" "$(u 50)"
"${IM[@]}" "$T/ring.png" -channel A -evaluate multiply 0.5 +channel "$T/ring-faint.png"
euro "$T/euro-mask.png" "$T/euro.png" "$(u 540)"
shadow "$T/euro-mask.png" "$T/euro-shadow.png"
"${IM[@]}" "$T/tile.png" "$T/ring-faint.png" -compose over -composite \
  "$T/euro-shadow.png" -composite "$T/euro.png" -composite "$T/full.png"

for s in 32 48 64 72 96 128 256; do
  "${IM[@]}" "$T/full.png" -filter Lanczos -resize ${s}x${s} -strip PNG32:"$ICONS/app-$s.png"
done

# 16 and 24 px: the ring would be mush, so only the euro, set by the font's
# own hinted rasteriser at the target size, which keeps its bars crisp. The
# tile is box-filtered so its edge gets no ringing.
tile "$T/tile-small.png" "$(u 24)" "$(u 190)"
for sp in 16:14 24:20; do
  s=${sp%:*}; pt=${sp#*:}
  "${IM[@]}" "$T/tile-small.png" -filter Box -resize ${s}x${s} \
    -font "$FONT" -pointsize "$pt" -fill '#ffc533' -gravity center -annotate +0+0 '€' \
    -strip PNG32:"$ICONS/app-$s.png"
done

# Logo: the emblem alone on a transparent background, in colours that read on
# a light window (blue ring, gold euro with a darker gold rim).
ring "$T/logo-ring-mask.png" "$(u 362)" "$(u 56)"
"${IM[@]}" -size ${S}x${S} gradient:"$BLUE_TOP"-"$BLUE_BOTTOM" "$T/logo-ring-mask.png" \
  -compose CopyOpacity -composite "$T/logo-ring.png"
"${IM[@]}" -size ${S}x${S} xc:none -font "$FONT" -pointsize "$(u 540)" -fill '#9a6206' \
  -stroke '#9a6206' -strokewidth "$(u 14)" -gravity center -annotate +$(( -$(u 12) ))+0 '€' "$T/euro-rim.png"
"${IM[@]}" "$T/logo-ring.png" "$T/euro-shadow.png" -compose over -composite \
  "$T/euro-rim.png" -composite "$T/euro.png" -composite \
  -filter Lanczos -resize 256x256 -strip PNG32:"$ROOT/resources/logo-256.png"

# Windows icon, largest first; ImageMagick stores the 256 px entry as PNG.
"${IM[@]}" "$ICONS"/app-{256,128,96,72,64,48,32,24,16}.png "$WINDIR/app.ico"

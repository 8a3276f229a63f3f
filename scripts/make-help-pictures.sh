#!/usr/bin/env bash
# Makes the before/after pictures of the help pages (resources/help/images/*.png) with
# lumavex-fx, from sample pictures that this script draws itself. Commands that lumavex-fx does
# not offer yet are skipped and named at the end; run the script again when they exist.
#
#   scripts/make-help-pictures.sh [path/to/lumavex-fx]
set -euo pipefail
cd "$(dirname "$0")/.."
FX=${1:-build/cli/lumavex-fx}
OUT=resources/help/images
[ -x "$FX" ] || { echo "lumavex-fx not found at $FX (build it first)" >&2; exit 1; }
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A 24-bit BMP drawn pixel by pixel by awk. The drawing is the awk function colour(x, y), which
# sets r, g, b; it draws on a 128 x 96 plane that is scaled to the picture's size.
draw_bmp() {  # file width height drawing
    LC_ALL=C awk -v W="$2" -v H="$3" '
        function le32(v) { printf "%c%c%c%c", v % 256, int(v / 256) % 256, int(v / 65536) % 256, int(v / 16777216) % 256 }
        function le16(v) { printf "%c%c", v % 256, int(v / 256) % 256 }
        '"$4"'
        BEGIN {
            stride = int((W * 3 + 3) / 4) * 4
            printf "BM"; le32(54 + stride * H); le32(0); le32(54)
            le32(40); le32(W); le32(H); le16(1); le16(24); le32(0); le32(stride * H)
            le32(2835); le32(2835); le32(0); le32(0)
            for (y = H - 1; y >= 0; y--) {
                for (x = 0; x < W; x++) {
                    colour(x * 128 / W, y * 96 / H)
                    printf "%c%c%c", b, g, r
                }
                for (p = W * 3; p < stride; p++) printf "%c", 0
            }
        }' > "$1"
}

# A house on a hill under a sunny sky: flat colours, so that the effects show clearly.
draw_bmp "$WORK/scene.bmp" 160 120 '
    function colour(x, y,   dx, dy) {
        r = 135; g = 190; b = 235                                     # sky
        dx = x - 100; dy = y - 20
        if (dx * dx + dy * dy <= 144) { r = 250; g = 210; b = 40 }    # sun
        if (y > 58 + 8 * sin(x / 18)) { r = 80; g = 165; b = 70 }     # hill
        if (y >= 84) { r = 55; g = 125; b = 50 }                      # meadow
        if (x >= 24 && x < 58 && y >= 52 && y < 84) { r = 205; g = 70; b = 55 }   # house
        if (y >= 34 && y < 52 && (x - 41 < (y - 34) * 1.1) && (41 - x < (y - 34) * 1.1)) {
            r = 110; g = 45; b = 35                                   # roof
        }
        if (x >= 36 && x < 46 && y >= 66 && y < 84) { r = 95; g = 60; b = 30 }    # door
        if (x >= 28 && x < 34 && y >= 58 && y < 64) { r = 250; g = 245; b = 200 } # window
    }'

# Shapes on white, for the effects that treat white as the background.
draw_bmp "$WORK/shapes.bmp" 160 120 '
    function colour(x, y,   dx, dy) {
        r = 255; g = 255; b = 255
        dx = x - 40; dy = y - 46
        if (dx * dx + dy * dy <= 576) { r = 40; g = 90; b = 200 }
        if (x >= 70 && x < 108 && y >= 26 && y < 64) { r = 215; g = 50; b = 45 }
    }'

# The pasted picture of Merge and MixPaste: an orange disc with a black ring on white.
draw_bmp "$WORK/layer.bmp" 80 60 '
    function colour(x, y,   d) {
        r = 255; g = 255; b = 255
        d = (x - 64) * (x - 64) + (y - 48) * (y - 48)
        if (d <= 1600) { r = 0; g = 0; b = 0 }
        if (d <= 1156) { r = 245; g = 150; b = 40 }
    }'

if ! "$FX" save "$WORK/layer.bmp" "$WORK/probe.png" 2> /dev/null; then
    echo "this lumavex-fx cannot write PNG files yet" >&2
    exit 1
fi

missing=()
has() { "$FX" "$1" --help > /dev/null 2>&1; }
# make NAME INPUT COMMAND [OPTIONS...]: resources/help/images/NAME.png
make() {
    local name=$1 input=$2 command=$3
    shift 3
    if has "$command"; then
        "$FX" "$command" "$@" "$WORK/$input.bmp" "$OUT/$name.png"
    else
        missing+=("$command")
    fi
}

make sample scene save
make shapes shapes save
make layer layer save
make add-shadow scene add-shadow
make add-shadow-soft scene add-shadow-soft
make flame-blur scene flame-blur
make circle-blur scene circle-blur
make ellipse-blur scene ellipse-blur
make panel scene panel
make blur scene blur
make drop-blur-shadow shapes drop-blur-shadow
make merge scene merge --layer "$WORK/layer.bmp"
make mix-paste scene mix-paste --layer "$WORK/layer.bmp" --x 72 --y 8
make text-out scene text-out --text "Lumavex" --x 10 --y 6 --size 34 --color "#FFFFFF" \
    --bevel --top-left 2 --bottom-right 2
make text-texture scene text-texture --text "Lumavex" --x 6 --y 34 --size 38
make fl-mask scene fl-mask --rect 16,16,96,64
make hflip scene hflip
make vflip scene vflip
make negative scene negative
make gray scene gray
make rotate scene rotate --angle 30
make resample scene resample --width 80 --height 60
make resize scene resize --width 200 --height 100
make convert scene convert --colors 2

if [ ${#missing[@]} -gt 0 ]; then
    echo "lumavex-fx has no command yet for: ${missing[*]}" >&2
fi
ls -l "$OUT"

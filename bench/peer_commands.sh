#!/usr/bin/env bash
# Times whole commands (decode a 12-megapixel JPEG, one operation, encode) of lumavex-fx against
# libvips, Pillow and ImageMagick, each at its default thread count, and prints each peer's
# median time as a ratio to ours (below 1: the peer is faster).
# Usage: bench/peer_commands.sh [BUILD_DIR] [RUNS]
# Needs hyperfine, libvips-tools, python3-pil and ImageMagick (scripts/setup-bench.sh).
set -euo pipefail
build=${1:-build}
runs=${2:-7}
fx=$(realpath "$build/cli/lumavex-fx")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The Debian binary itself, not any wrapper earlier on the PATH.
im=$(command -v convert-im6.q16 || command -v convert)
cd "$work"
"$im" -seed 1 -size 4000x3000 plasma:fractal -attenuate 0.3 +noise Gaussian -quality 90 photo.jpg
printf '3 3 9 0\n1 1 1\n1 1 1\n1 1 1\n' >box.mat
pillow() {  # the body of a Python function of im, the opened picture
    echo "/usr/bin/python3 -c 'from PIL import Image, ImageFilter; im = Image.open(\"photo.jpg\"); $1'"
}

# Each operation: ours, then libvips, Pillow and ImageMagick doing the same work. JPEG output at
# quality 75 everywhere; the rotation enlarges the picture and fills the corners with black.
declare -A ours vips pil magick
ops=(resample-half rotate-30 blur-3x3 gif-256 jpeg-round-trip)
ours[resample-half]="$fx resample --width 2000 --height 1500 photo.jpg o.jpg"
vips[resample-half]="vips resize photo.jpg v.jpg[Q=75] 0.5 --kernel lanczos3"
pil[resample-half]=$(pillow 'im.resize((2000, 1500), Image.LANCZOS).save("p.jpg", quality=75)')
magick[resample-half]="$im photo.jpg -filter Lanczos -resize 2000x1500! -quality 75 m.jpg"
ours[rotate-30]="$fx rotate --angle 30 photo.jpg o.jpg"
vips[rotate-30]="vips rotate photo.jpg v.jpg[Q=75] 30"
pil[rotate-30]=$(pillow 'im.rotate(30, Image.BILINEAR, expand=True).save("p.jpg", quality=75)')
magick[rotate-30]="$im photo.jpg -background black -rotate -30 -quality 75 m.jpg"
ours[blur-3x3]="$fx blur photo.jpg o.jpg"
vips[blur-3x3]="vips conv photo.jpg v.jpg[Q=75] box.mat --precision integer"
pil[blur-3x3]=$(pillow 'im.filter(ImageFilter.BoxBlur(1)).save("p.jpg", quality=75)')
magick[blur-3x3]="$im photo.jpg -define convolve:scale=! -morphology Convolve Square:1 -quality 75 m.jpg"
ours[gif-256]="$fx save photo.jpg o.gif"
vips[gif-256]="vips gifsave photo.jpg v.gif"
pil[gif-256]=$(pillow 'im.quantize(256).save("p.gif")')
magick[gif-256]="$im photo.jpg -colors 256 m.gif"
ours[jpeg-round-trip]="$fx save photo.jpg o.jpg"
vips[jpeg-round-trip]="vips copy photo.jpg v.jpg[Q=75]"
pil[jpeg-round-trip]=$(pillow 'im.save("p.jpg", quality=75)')
magick[jpeg-round-trip]="$im photo.jpg -quality 75 m.jpg"

echo "4000 x 3000 JPEG, $runs runs each, load $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-16s %9s %9s %9s %9s\n' operation "ours (s)" libvips Pillow ImageMagick
for op in "${ops[@]}"; do
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$op.json" \
        "${ours[$op]}" "${vips[$op]}" "${pil[$op]}" "${magick[$op]}" >/dev/null
    /usr/bin/python3 - "$op" "$op.json" <<'EOF'
import json, sys
medians = [r["median"] for r in json.load(open(sys.argv[2]))["results"]]
print("%-16s %9.3f" % (sys.argv[1], medians[0]) + "".join("%9.2fx" % (m / medians[0]) for m in medians[1:]))
EOF
done

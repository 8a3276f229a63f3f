#!/usr/bin/env bash
# Times lumavex-fx run over generated photo-sized JPEG files against a shell loop of single
# commands and against ImageMagick's mogrify doing a comparable bevel-and-shadow chain.
# Usage: bench/batch_throughput.sh [BUILD_DIR] [FILES] [WIDTHxHEIGHT]
# Needs ImageMagick (scripts/setup-bench.sh installs it).
set -euo pipefail
build=${1:-build}
count=${2:-200}
size=${3:-3000x2000}
fx=$(realpath "$build/cli/lumavex-fx")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
# Four different smooth-and-noisy pictures, repeated under their own names.
for seed in 1 2 3 4; do
    convert -seed "$seed" -size "$size" plasma:fractal -attenuate 0.3 +noise Gaussian \
        -quality 90 "$work/base$seed.jpg"
done
for i in $(seq 1 "$count"); do
    cp "$work/base$(( (i - 1) % 4 + 1 )).jpg" "$work/in/photo$i.jpg"
done
chain="panel --width 8; add-shadow --width 6 --color #202020"
rate() {  # NAME COMMAND...: prints files per second
    local name=$1 start end
    shift
    rm -rf "$work/out" && mkdir "$work/out"
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    awk -v n="$count" -v s="$start" -v e="$end" -v name="$name" \
        'BEGIN { printf "%-28s %7.2f files/s (%.1f s)\n", name, n / (e - s), e - s }'
}
loop() {
    for f in "$work"/in/*.jpg; do
        "$fx" panel --width 8 "$f" "$work/out/tmp.bmp"
        "$fx" add-shadow --width 6 --color '#202020' "$work/out/tmp.bmp" \
            "$work/out/$(basename "$f")"
    done
}
echo "$count files of $size, load $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
rate "run -j 1" "$fx" run --quiet -j 1 --chain "$chain" -o "$work/out" "$work"/in/*.jpg
rate "run -j 2" "$fx" run --quiet -j 2 --chain "$chain" -o "$work/out" "$work"/in/*.jpg
rate "shell loop of commands" loop
rate "mogrify (raise, splice)" mogrify -path "$work/out" -quality 75 -raise 8 \
    -background '#202020' -gravity southeast -splice 6x6 "$work"/in/*.jpg

#!/usr/bin/env bash
# Takes docs/screenshot.png: the editor under Xvfb, with a window manager, two documents and
# the processing-parameters dialog open. Run after the build; installs what it needs (Xvfb,
# openbox, xdotool, ImageMagick) when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/lumavex ] || { echo "build/lumavex not found (run scripts/build.sh first)" >&2; exit 1; }
if ! command -v import >/dev/null || ! command -v xdotool >/dev/null || ! command -v openbox >/dev/null; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get install -y -qq --no-install-recommends xvfb xauth openbox xdotool imagemagick
fi

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$work"' EXIT

# Two pictures: a landscape, and a card with Japanese text drawn by lumavex-fx.
convert -size 300x200 gradient:'#78b4f0-#e8f4ff' \
    -fill '#f0c840' -draw 'circle 235,50 235,74' \
    -fill '#3c9a48' -draw 'ellipse 90,230 210,95 0,360' \
    -fill '#2f7d3a' -draw 'ellipse 270,250 170,90 0,360' \
    "$work/風景.png"
convert -size 260x150 xc:'#fff8e8' -fill '#c04030' -draw 'roundrectangle 12,12 248,138 14,14' \
    -fill '#fff8e8' -draw 'roundrectangle 20,20 240,130 10,10' "$work/カード.bmp"
build/cli/lumavex-fx text-out --text '影付けの見本\nLumavex 0.07' --x 34 --y 40 --size 24 \
    --color '#803020' "$work/カード.bmp" "$work/カード.bmp"

convert -size 1280x800 gradient:'#5b86b8-#27466e' "$work/desktop.png"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -e
    display -window root "$4" || true   # the desktop background
    openbox >/dev/null 2>&1 & wm=$!
    sleep 1
    build/lumavex "$1" "$2" >/dev/null 2>&1 & app=$!
    frame=$(xdotool search --sync --onlyvisible --name "^Lumavex$" | head -1)
    sleep 2
    xdotool windowmove "$frame" 24 24 windowsize "$frame" 940 640
    xdotool windowactivate --sync "$frame"
    sleep 1
    xdotool key alt+w t       # ｳｨﾝﾄﾞｳ(&W) > 並べて表示(&T)
    sleep 1
    # ﾌｧｲﾙ(&F) > 処理設定: the ninth item that can be chosen while documents are open.
    xdotool key alt+f
    sleep 0.5
    xdotool key Down Down Down Down Down Down Down Down Return
    dialog=$(xdotool search --sync --onlyvisible --name "^処理パラメータ$" | head -1)
    sleep 0.5
    xdotool windowmove "$dialog" 700 360
    sleep 1
    import -window root "$3"
    kill "$app" "$wm"
' screenshot "$work/風景.png" "$work/カード.bmp" "$PWD/docs/screenshot.png" "$work/desktop.png"
echo "docs/screenshot.png"

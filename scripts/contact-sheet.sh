#!/usr/bin/env bash
# Makes docs/effects.png: every entry of the editor's pop-up menu applied once to the same
# generated landscape, each tile under its caption. Runs the editor's code under Xvfb; run after
# the build (installs Xvfb when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
ninja -C build lumavex-contact-sheet >/dev/null
if ! command -v xvfb-run >/dev/null; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get install -y -qq --no-install-recommends xvfb xauth
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work"
chmod 700 "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
    build/tools/lumavex-contact-sheet "$PWD/docs/effects.png"
echo "docs/effects.png"

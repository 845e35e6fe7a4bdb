#!/usr/bin/env bash
# Installs what is missing, builds the board and runs it. On a desktop it
# opens the window; with no display it starts the board on a virtual display
# (Xvfb), saves a screenshot of the window and says where it is.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh

need_packages "${BUILD_PACKAGES[@]}"
if [ -z "${DISPLAY:-}" ]; then
    need_packages "${DISPLAY_PACKAGES[@]}"
fi
build_project default tabellone

if [ -n "${DISPLAY:-}" ]; then
    exec ./build/tabellone
fi

shot="$PWD/build/tabellone.png"
display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
board=""
cleanup() {
    [ -n "$board" ] && kill "$board" 2>/dev/null
    kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
./build/tabellone &
board=$!
window=$(xdotool search --sync --onlyvisible --name "TABELLONE DELLA SORVINA" | head -n 1)
sleep 1
import -window "$window" "$shot"
echo "No display found: the board ran on the virtual display $display."
echo "Screenshot of its window: $shot"
echo "Round log: $PWD/build/logSorvina.txt"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the board and runs it. On a desktop it
# opens the window; with no display it starts the board on a virtual display
# (Xvfb), saves a screenshot of the window and says where it is.
# `bash run.sh windows` does the same with the Windows executable
# (build-win32/tabellone.exe), run under Wine.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh

if [ "${1:-}" = "windows" ]; then
    need_i386
    need_packages "${WINE_PACKAGES[@]}" cmake ninja-build fonts-comic-neue fonts-liberation2
    build_project win32 tabellone
    build=build-win32
    # A Wine prefix of its own inside the build folder, quiet, and without
    # offers to install Mono or Gecko.
    export WINEPREFIX="$PWD/build-win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
    program=(wine "$PWD/build-win32/tabellone.exe")
else
    need_packages "${BUILD_PACKAGES[@]}"
    if [ -z "${DISPLAY:-}" ]; then
        need_packages "${DISPLAY_PACKAGES[@]}"
    fi
    build_project default tabellone
    build=build
    program=(./build/tabellone)
fi

if [ -n "${DISPLAY:-}" ]; then
    exec "${program[@]}"
fi

shot="$PWD/$build/tabellone.png"
display=":$((90 + RANDOM % 400))"
# A session of its own: the toolkit wants a private runtime folder.
runtime=""
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    runtime=$(mktemp -d)
    export XDG_RUNTIME_DIR="$runtime"
fi
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
board=""
cleanup() {
    [ -n "$board" ] && kill "$board" 2>/dev/null
    [ "$build" = build-win32 ] && wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    if [ -n "$runtime" ]; then rm -rf "$runtime"; fi
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
"${program[@]}" &
board=$!
window=$(xdotool search --sync --onlyvisible --name "^TABELLONE DELLA SORVINA$" | head -n 1)
sleep 1
import -window "$window" "$shot"
echo "No display found: the board ran on the virtual display $display."
echo "Screenshot of its window: $shot"
echo "Round log: $PWD/$build/logSorvina.txt"

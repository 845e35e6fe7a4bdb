#!/usr/bin/env bash
# Installs what is missing, builds the board and every test, and runs them
# all. Needs no display: the widget tests draw offscreen.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh

need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build_project default
ctest --preset default -j "$(nproc)"

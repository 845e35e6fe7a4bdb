#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the board and every test, and runs them
# all, on Linux and, under Wine, for Windows. Needs no display: the widget
# tests draw offscreen, and the tests that drive the real program start
# virtual displays of their own.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh

need_i386
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINE_PACKAGES[@]}"

# The Windows executable and the core's tests as .exe files, run under Wine
# (build-win32/, with a throwaway Wine prefix inside it). Built first, so
# that the end-to-end tests below also play build-win32/tabellone.exe.
build_project win32
ctest --preset win32

build_project default
ctest --preset default -j "$(nproc)"

# Formatting and static analysis of the program's sources.
bash tools/lint.sh build

# The releases, built as a packager would (Release, no preset, no extra
# warnings, no tests) into dist/, then unpacked and played as a user would
# meet them (tools/check_release.sh, under a minute).
bash tools/release.sh

# The unit and widget tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (a second, Debug build in build-sanitize). The
# end-to-end tests and the drills ran above, on the real program; memcheck
# ran there too (drill_valgrind).
build_project sanitize
ctest --preset sanitize -j "$(nproc)" -LE 'e2e|drill' -E '^(e2e|drill_)'

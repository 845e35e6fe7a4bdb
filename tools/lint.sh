#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that the C++ sources are clang-format clean and clang-tidy clean.
# Needs a configured build folder with compile_commands.json (default:
# build); the Windows sources are checked too when build-win32 has one.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

# The source folders as they are, with or without git: a tree unpacked
# from an archive has no .git.
mapfile -t sources < <(find app board bench forms platform roundlog tests tools window \
    -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
clang-format --dry-run -Werror "${sources[@]}"

# Only the program's own translation units; tests and tools follow the same
# style but are not held to every tidy rule.
mapfile -t units < <(find app board forms platform roundlog window -type f -name '*.cpp' | sort)
windows=() linux=()
for unit in "${units[@]}"; do
    case "$unit" in
        forms/win32/* | platform/win32/* | *_win32.cpp) windows+=("$unit") ;;
        *) linux+=("$unit") ;;
    esac
done
printf '%s\n' "${linux[@]}" | xargs -P "$(nproc)" -n 2 clang-tidy -p "$build" --quiet 2>/dev/null

# The Windows sources, as the MinGW cross-compiler sees them: its target and
# its own system headers.
if [ -f build-win32/compile_commands.json ]; then
    args=(--extra-arg-before=--target=i686-w64-mingw32)
    while read -r dir; do
        args+=("--extra-arg=-isystem$dir")
    done < <(echo | i686-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 |
        sed -n '/#include <...> search starts here:/,/End of search list/p' | grep '^ ' | sed 's/^ *//')
    printf '%s\n' "${windows[@]}" |
        xargs -P "$(nproc)" -n 2 clang-tidy -p build-win32 --quiet "${args[@]}" 2>/dev/null
fi
echo "lint: clean"

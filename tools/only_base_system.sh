#!/usr/bin/env bash
# Usage: tools/without_system_qt.sh COMMAND... PROGRAM
# Runs a command as on a desktop without Qt: in a user and mount namespace
# of its own, Qt's folder (its plugins) is empty, and an empty file lies
# over each of the system's Qt libraries and over the system's copy of every
# library in PROGRAM's folder; no QT_* or LD_* variable reaches the command.
# PROGRAM, the last argument, is the program of a Linux bundle.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
    exec unshare --user --map-root-user --mount "$0" --inside "$@"
fi
shift
folder=$(dirname "${!#}")
system=/usr/lib/x86_64-linux-gnu

# A fresh tmpfs over Qt's folder, seen only in this namespace, holding the
# empty file laid over the libraries.
mount -t tmpfs -o size=64k tmpfs "$system/qt6"
empty="$system/qt6/empty"
: >"$empty"
mapfile -t libraries < <(
    for lib in "$system"/libQt6*.so* "$folder"/*.so*; do
        readlink -e "$system/$(basename "$lib")" || true
    done | sort -u
)
for lib in "${libraries[@]}"; do
    mount --bind "$empty" "$lib"
done

for name in $(compgen -e); do
    case "$name" in QT_* | LD_*) unset "$name" ;; esac
done
exec "$@"

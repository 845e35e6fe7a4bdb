#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/only_base_system.sh COMMAND...
# Runs a command as on a bare desktop: in a user and mount namespace of its
# own, the system's library folder holds only the base list's libraries
# (BASE_SYSTEM_LIBRARIES in tools/setup.sh); every other library there, Qt
# and its plugins among them, cannot be found. No QT_* or LD_* variable
# reaches the command. Fails if a base library needs one that is not in the
# base list, so that the list holds what it says it holds.
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
    exec unshare --user --map-root-user --mount "$0" --inside "$@"
fi
shift
source "$(dirname "$0")/setup.sh"
system=/usr/lib/x86_64-linux-gnu  # /lib is /usr/lib on Debian 12

# The base libraries present here (under their sonames), what they need in
# turn, and the files the names lead to.
mapfile -t base < <(cd "$system" && ls | grep -E "$BASE_SYSTEM_LIBRARIES")
declare -A keep=()
for soname in "${base[@]}"; do
    keep[$soname]=1
    while read -r need path; do
        [[ $need =~ $BASE_SYSTEM_LIBRARIES ]] ||
            { echo "only_base_system: $soname needs $need, which is not in the base list" >&2; exit 1; }
        keep[$need]=1
    done < <(ldd "$system/$soname" | awk '$2 == "=>" && $3 ~ /^\// { print $1, $3 }')
done

# A fresh tmpfs with copies of those, laid over the system's folder.
copy=$(mktemp -d)
mount -t tmpfs -o mode=755 tmpfs "$copy"
for soname in "${!keep[@]}"; do
    [ -e "$system/$soname" ] || continue
    cp -a "$system/$soname" "$copy/"
    target=$(readlink -e "$system/$soname")
    [ "$(dirname "$target")" != "$system" ] || cp -an "$target" "$copy/"
done
mount --move "$copy" "$system"
rmdir "$copy"

for name in $(compgen -e); do
    case "$name" in QT_* | LD_*) unset "$name" ;; esac
done
exec "$@"

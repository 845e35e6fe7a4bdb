#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/check_release.sh [DIST]     (DIST: dist/ by default)
# Checks the releases tools/release.sh made, as a user would meet them, and
# fails at the first fault:
#  - SHA256SUMS lists both archives (and the sources, if made) and matches;
#  - what makes two releases of one commit the same, as far as one release
#    shows it: every file in both archives has one time, the programs' own
#    (the PE header's link time) included, owned by nobody in particular,
#    and neither program holds the path of the tree it was built in;
#  - LEGGIMI.txt, the same in both, is UTF-8 with a byte order mark and has
#    CR LF line ends; each archive carries the program's LICENSE and the
#    notices of what it holds;
#  - the Linux bundle, unpacked into a folder whose path holds a space and an
#    accented letter, started where only the base list's libraries can be
#    found (tools/only_base_system.sh): `--version` answers without a display
#    and writes no log; the loader and readelf find every library it needs in
#    the bundle or among the base system's; no image plugin nor libjpeg is
#    in it; under Xvfb it plays the worked example (tests/e2e/run_e2e.py): a
#    header and two calls, each record whole, in the log beside the program;
#    under a headless Wayland compositor (weston), in a Wayland session with
#    no X display, it starts on Wayland and draws the board's 90 cells;
#  - the Windows zip, unpacked under a fresh Wine prefix into
#    "C:\Tombola di Natale": it imports only DLLs that Windows ships, carries
#    the version, and plays the worked example there.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
dist=$(realpath "${1:-dist}")
tools=$PWD/tools
e2e=(/usr/bin/python3 "$PWD/tests/e2e/run_e2e.py")
# The end-to-end suite clicks by the window's layout, which the release's
# Linux build wrote (tools/release.sh).
export TABELLONE_LAYOUT=$dist/build/linux/layout.json

fail() {
    echo "check_release: $*" >&2
    exit 1
}
started=${EPOCHREALTIME/[.,]/}
step() {  # what passed, and the seconds since the checks began
    local micro=$((${EPOCHREALTIME/[.,]/} - started))
    printf 'check_release: %-62s %4d.%d s\n' "$1" $((micro / 1000000)) $((micro / 100000 % 10))
}

# Everything the checks write, Wine's server folder and the end-to-end
# desktops included, goes into one scratch folder, removed at the end.
scratch=$(mktemp -d)
export TMPDIR=$scratch/tmp
mkdir "$TMPDIR"
prefix=$scratch/wine
weston=""
board=""
cleanup() {
    for pid in $board $weston; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    if [ -d "$prefix" ]; then
        WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# --- The archives, the sums, the guide -----------------------------------------
zip=$(cd "$dist" && ls Tabellone-*-Windows.zip)
version=${zip#Tabellone-}
version=${version%-Windows.zip}
tarball=Tabellone-$version-Linux-x86_64.tar.xz
listed=$(cd "$dist" && awk '{ print $2 }' SHA256SUMS | grep -vx "Tabellone-$version-sources.tar" | sort) || true
[ "$listed" = "$(printf '%s\n' "$tarball" "$zip" | sort)" ] ||
    fail "SHA256SUMS does not list exactly $zip and $tarball"
(cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
[ -f "$TABELLONE_LAYOUT" ] || fail "no $TABELLONE_LAYOUT: tools/release.sh writes it"

# One time for every file, that of the sources; root's, in the tarball.
times=$(TZ=UTC tar --full-time -tvJf "$dist/$tarball" | awk '{ print $2, $4, $5 }' | sort -u)
[ "$(wc -l <<<"$times")" = 1 ] && [[ $times == "0/0 "* ]] ||
    fail "$tarball: its files' owners and times differ: $times"
epoch=$(TZ=UTC date -d "${times#* } UTC" +%s)
# A zip keeps times to two seconds, an odd one rounded up.
[ "$(TZ=UTC unzip -Z -T "$dist/$zip" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+[.][0-9]+$/ && length($i) == 15) print $i }' |
    sort -u)" = "$(TZ=UTC date -d "@$((epoch + epoch % 2))" +%Y%m%d.%H%M%S)" ] ||
    fail "$zip: its files' times are not those of $tarball"

place="$scratch/Tombola è qui"
mkdir -p "$place" "$prefix"
tar -xJf "$dist/$tarball" -C "$place"
[ "$(ls -A "$place")" = Tabellone ] || fail "$tarball holds more than the folder Tabellone"
bundle=$place/Tabellone
unzip -q "$dist/$zip" -d "$scratch/zip"

/usr/bin/python3 - "$bundle/LEGGIMI.txt" "$scratch/zip/LEGGIMI.txt" <<'EOF' || fail "LEGGIMI.txt"
import sys
linux, windows = (open(p, "rb").read() for p in sys.argv[1:])
assert linux == windows, "LEGGIMI.txt differs between the archives"
assert linux.startswith(b"\xef\xbb\xbf"), "no UTF-8 byte order mark"
text = linux[3:].decode("utf-8")  # strict: fails on any byte that is not UTF-8
assert "\r\n" in text and text.endswith("\r\n"), "not CR LF lines"
assert text.count("\n") == text.count("\r\n") == text.count("\r"), "a line end that is not CR LF"
assert "è" in text, "no accented letter: the check would prove nothing"
EOF

# Each archive's licence and notices: the program's MIT licence beside
# LICENSES/, and there the guide to them; the fonts' SIL Open Font License
# in both; Qt's LGPL-3 and where its source is, and ICU's word lists', in
# the Linux bundle; the GCC and MinGW-w64 runtimes' in the Windows zip.
has() {
    grep -rlq -- "$2" "$1" || fail "no notice in $1 says: $2"
}
cmp -s LICENSE "$bundle/LICENSE" || fail "the Linux bundle's LICENSE is not the program's"
[ "$(tr -d '\r' <"$scratch/zip/LICENSE")" = "$(cat LICENSE)" ] || fail "the zip's LICENSE is not the program's"
for notices in "$bundle/LICENSES" "$scratch/zip/LICENSES"; do
    has "$notices/LEGGIMI.txt" "common-licenses/"
    [ "$(grep -rl "SIL OPEN FONT LICENSE Version 1.1" "$notices" | wc -l)" -ge 2 ] ||
        fail "$notices: the two fonts' SIL Open Font License"
done
has "$bundle/LICENSES" "GNU LESSER GENERAL PUBLIC LICENSE"
has "$bundle/LICENSES/qt6-base.txt" "License: LGPL-3"
grep -q "^qt6-base .* \*$" "$bundle/LICENSES/SOURCES.txt" || fail "SOURCES.txt does not name Qt's source"
for words in "Chinese/Japanese Word Break" "Lao Word Break" "Burmese Word Break" "Khmer list" "Thai list" \
    "ICU License - ICU 1.8.1 to ICU 57.1"; do
    has "$bundle/LICENSES/icu-upstream.txt" "$words"
done
has "$scratch/zip/LICENSES" "GCC RUNTIME LIBRARY EXCEPTION"
has "$scratch/zip/LICENSES/mingw-w64.txt" "mingw-w64-libraries/winpthreads"
# The tree the programs were built in (any clone's own path) is in neither.
for program in "$bundle/tabellone" "$scratch/zip/tabellone.exe"; do
    # Looked for as the path of a folder of ours: a tree at a short path
    # ("/src") shares it with strings of the runtimes.
    for folder in app board forms platform roundlog window; do
        ! grep -aqF "$PWD/$folder/" "$program" || fail "${program##*/} holds the path $PWD/$folder/"
    done
done
step "archives, times, sums, LEGGIMI.txt (UTF-8, BOM, CR LF), licence, notices"

# --- The Linux bundle ---------------------------------------------------------
hidden=("$tools/only_base_system.sh")
if ! unshare --user --map-root-user --mount true 2>/dev/null; then
    # A container or chroot that makes no user namespace: the libraries
    # beyond the base list cannot be hidden, so the bundle runs beside them.
    # Its own libraries still come first (RPATH $ORIGIN), which the loader's
    # check below holds.
    echo "check_release: no user namespace here: the bundle runs beside the system's libraries" >&2
    hidden=("$(command -v env)")
fi
! find "$bundle" -path '*imageformats*' -o -name 'libjpeg*' | grep -q . ||
    fail "the bundle carries image plugins or libjpeg: every picture is a PNG"
said=$(env -u DISPLAY -u WAYLAND_DISPLAY "${hidden[@]}" "$bundle/tabellone" --version)
[ "$said" = "Tabellone $version" ] || fail "tabellone --version said: $said"
[ ! -e "$bundle/logSorvina.txt" ] || fail "tabellone --version created the log"
readelf -d "$bundle/tabellone" | grep -q 'Library rpath: \[\$ORIGIN\]' || fail "tabellone: no RPATH \$ORIGIN"
needed() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}
# Every library and plugin of the bundle asks only for libraries of the
# bundle or of the base system.
while read -r elf; do
    for soname in $(needed "$elf"); do
        [ -e "$bundle/$soname" ] || [[ $soname =~ $BASE_SYSTEM_LIBRARIES ]] ||
            fail "${elf#"$bundle"/} needs $soname, neither bundled nor in the base system"
    done
done < <(find "$bundle" -type f -name '*.so*')
# Every library the loader finds for the program is the bundle's own, or a
# base system library, or one that those bring in turn.
loaded=$("${hidden[@]}" /lib64/ld-linux-x86-64.so.2 --list "$bundle/tabellone") || fail "the loader: $loaded"
declare -A system=()
while IFS= read -r line; do  # "soname => path (address)", or "soname => not found"
    soname=$(xargs <<<"${line%%=>*}")
    path=${line#*=> }
    path=${path% (0x*}
    case "$path" in
        "$bundle"/*) ;;
        /*) system[$soname]=$path ;;
        *) fail "tabellone: $soname $path" ;;
    esac
done < <(grep '=>' <<<"$loaded")
declare -A brought=()
queue=()
for soname in "${!system[@]}"; do
    if [[ $soname =~ $BASE_SYSTEM_LIBRARIES ]]; then queue+=("$soname"); fi
done
while [ ${#queue[@]} -gt 0 ]; do
    soname=${queue[0]}
    queue=("${queue[@]:1}")
    [ -z "${brought[$soname]:-}" ] || continue
    brought[$soname]=1
    for need in $(needed "${system[$soname]}"); do
        if [ -n "${system[$need]:-}" ]; then queue+=("$need"); fi
    done
done
for soname in "${!system[@]}"; do
    [ -n "${brought[$soname]:-}" ] || fail "tabellone loads ${system[$soname]}, which no base library brings"
done
step "Linux: --version, the loader, readelf"

before=$(cd "$bundle" && find . | sort)
(cd "$dist" && "${e2e[@]}" --program "$bundle/tabellone" --in-place --wrapper "${hidden[0]}" \
    worked_example) || fail "the Linux bundle did not play the worked example"
after=$(cd "$bundle" && find . | sort)
[ "$after" = "$(printf '%s\n./logSorvina.txt' "$before" | sort)" ] ||
    fail "the Linux bundle wrote more than its log: $(comm -13 <(echo "$before") <(echo "$after"))"
step "Linux: the worked example, log of $(stat -c %s "$bundle/logSorvina.txt") bytes beside the program"

# Wayland: a headless weston, and the bundle started in a Wayland session
# with no X display, as a desktop session would start it. Its window is on
# the compositor's screen once a screenshot of it shows the 90 cells.
wayland=$scratch/wayland
mkdir -m 700 "$wayland"
export XDG_RUNTIME_DIR=$wayland
weston --backend=headless-backend.so --use-pixman --debug --socket=check-release --width=1024 \
    --height=768 --idle-time=0 --log="$wayland/weston.log" >/dev/null 2>&1 &
weston=$!
# It makes its socket before it takes clients; started, it answers.
until [ -S "$wayland/check-release" ]; do
    kill -0 "$weston" 2>/dev/null || fail "weston did not start: $(cat "$wayland/weston.log")"
    sleep 0.1
done
env -u DISPLAY WAYLAND_DISPLAY=check-release XDG_SESSION_TYPE=wayland "${hidden[@]}" \
    "$bundle/tabellone" >"$wayland/board.log" 2>&1 &
board=$!
shots=$wayland/shots
mkdir "$shots"
cells=0
for _ in $(seq 300); do
    kill -0 "$board" 2>/dev/null || break
    rm -f "$shots"/*.png
    (cd "$shots" && WAYLAND_DISPLAY=check-release weston-screenshooter >/dev/null 2>&1) || true
    shot=$(ls "$shots"/*.png 2>/dev/null | head -n 1) || true
    [ -n "$shot" ] || continue
    # The cells' teal, pixels of it: about 1900 a cell at 1x.
    cells=$(/usr/bin/python3 -c 'import sys; from PIL import Image
print(sum(1 for p in Image.open(sys.argv[1]).convert("RGB").getdata() if p == (0, 192, 192)))' "$shot")
    [ "$cells" -lt $((90 * 1500)) ] || break
    sleep 0.2  # a screenshot is a whole repaint: not a busy loop
done
for pid in $board $weston; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
done
board=""
weston=""
unset XDG_RUNTIME_DIR
[ "$cells" -ge $((90 * 1500)) ] ||
    fail "the Linux bundle drew no board under Wayland ($cells teal pixels): $(cat "$wayland/board.log")"
step "Linux: started under Wayland (weston, headless), the board drawn"

# --- The Windows zip ----------------------------------------------------------
[ "$(cd "$scratch/zip" && find . -maxdepth 1 | sort | tr '\n' ' ')" = ". ./LEGGIMI.txt ./LICENSE ./LICENSES ./tabellone.exe " ] ||
    fail "$zip holds more than tabellone.exe, LEGGIMI.txt, LICENSE and LICENSES"
exe=$scratch/zip/tabellone.exe
system_dlls='^(kernel32|user32|gdi32|gdiplus|comctl32|uxtheme|shlwapi|ole32|oleaut32|oleacc|msvcrt|advapi32|shell32|comdlg32|winspool)\.dll$'
for dll in $(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p'); do
    [[ ${dll,,} =~ $system_dlls ]] || fail "tabellone.exe imports $dll, which Windows does not ship"
done
linked=$(TZ=UTC i686-w64-mingw32-objdump -p "$exe" | awk '$1 == "Time/Date" { $1 = ""; print }')
[ "$(TZ=UTC date -d "$linked" +%s)" = "$epoch" ] || fail "tabellone.exe: linked at $linked, not at the sources' time"
/usr/bin/python3 - "$exe" "$version" <<'EOF' || fail "tabellone.exe: no version resource of $version"
import re, sys
data, version = open(sys.argv[1], "rb").read(), sys.argv[2]
for key in ("FileVersion", "ProductVersion"):  # key, padding, value, in UTF-16
    assert re.search((key + "\0").encode("utf-16-le") + rb"(\0\0)?" +
                     (version + "\0").encode("utf-16-le"), data), key
EOF

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
env -u DISPLAY WINEPREFIX="$prefix" wineboot --init >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -w
folder="$prefix/drive_c/Tombola di Natale"
unzip -q "$dist/$zip" -d "$folder"
step "Windows: imports, version resource, a fresh Wine prefix"
(cd "$dist" && "${e2e[@]}" --program "$folder/tabellone.exe" --wine "$prefix" --in-place \
    worked_example) || fail "the Windows zip did not play the worked example"
step "Windows: the worked example, log of $(stat -c %s "$folder/logSorvina.txt") bytes in C:\\Tombola di Natale"
echo "check_release: both releases pass"

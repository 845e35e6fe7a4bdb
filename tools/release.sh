#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/release.sh [--sources]
# Makes the releases from a clean checkout, into dist/ and nowhere else:
#   dist/Tabellone-<version>-Windows.zip          tabellone.exe, LEGGIMI.txt, LICENSE, LICENSES/
#   dist/Tabellone-<version>-Linux-x86_64.tar.xz  one folder, Tabellone/: the program,
#       the Qt libraries and plugins it loads, its icon, qt.conf, LEGGIMI.txt,
#       LICENSE, LICENSES/
#   dist/SHA256SUMS
# then checks both as a user would meet them (tools/check_release.sh) and
# fails when they fail. With --sources it also writes
#   dist/Tabellone-<version>-sources.tar  the program's source, and the Debian
#       source packages of every LGPL or GPL library the Linux bundle carries
# (fetched with apt-get source: it needs Debian's mirror), which is published
# beside each release.
# The version is CMake's project(VERSION); the builds stay in dist/build/.
# Two runs on one commit, from any two clones, make the same archives: every
# time in them is SOURCE_DATE_EPOCH, exported before the builds.
# Installs what is missing, as run.sh and test.sh do.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh

sources=false
case "${1:-}" in
    --sources) sources=true ;;
    "") ;;
    *) echo "usage: tools/release.sh [--sources]" >&2; exit 2 ;;
esac

need_i386
need_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "${RELEASE_PACKAGES[@]}"

dist=$PWD/dist
build=$dist/build
stage=$build/stage
rm -rf "$stage" "$dist"/Tabellone-* "$dist/SHA256SUMS"
mkdir -p "$stage"

fail() {
    echo "release: $*" >&2
    exit 1
}

# The time of every file in the archives and of everything the builds
# stamp (rcc's file times in the Linux program, the PE header's link time
# in the Windows one): SOURCE_DATE_EPOCH if given, else the last commit's
# time, else (a tree unpacked from an archive has no .git) the time of
# CMakeLists.txt. The builds also leave the folder they ran in out of the
# programs, so that a clone elsewhere builds the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)}
export SOURCE_DATE_EPOCH
epoch=$SOURCE_DATE_EPOCH
export CXXFLAGS="-ffile-prefix-map=$PWD/="
# Builds made at another time keep it (nothing to rebuild when only the
# commit changed): those start again.
if [ "$(cat "$build/epoch" 2>/dev/null)" != "$epoch" ]; then
    rm -rf "$build/linux" "$build/win32"
fi
mkdir -p "$build"
echo "$epoch" >"$build/epoch"

# The Linux program for a bundle (Qt's libraries found beside it), with the
# window's layout that the checks click by, and the Windows one, static,
# with the linker's map of what went into it.
cmake -S . -B "$build/linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DTABELLONE_BUNDLE=ON -DTABELLONE_LAYOUT_JSON=ON >/dev/null
cmake --build "$build/linux" -j "$(nproc)"
cmake -S . -B "$build/win32" -G Ninja --toolchain "$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build/win32" -j "$(nproc)"

version=$("$build/linux/tabellone" --version)
version=${version#Tabellone }
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "tabellone --version said: $version"

# packages FILE...: the Debian packages that ship the FILEs, each once, as
# package[:architecture]. dpkg knows a file by the path it was installed
# under, /lib or /usr/lib, and by its own name, not a link's.
packages() {
    local file dir name found paths=()
    for file in "$@"; do
        file=$(realpath -s "$file")
        dir=$(dirname "$file")
        name=$(basename "$(readlink -e "$file")")
        paths+=("$dir/$name" "${dir#/usr}/$name" "/usr$dir/$name")
    done
    found=$(dpkg-query -S "${paths[@]}" 2>/dev/null || true)
    for ((i = 0; i < ${#paths[@]}; i += 3)); do
        grep -qxF -e "${paths[i]}" -e "${paths[i + 1]}" -e "${paths[i + 2]}" < <(sed 's/^.*: //' <<<"$found") ||
            fail "no Debian package ships ${paths[i]}"
    done
    sed 's/: .*//; s/, /\n/g' <<<"$found" | sort -u
}

# notices DEST FILE...: the notices of the Debian packages that ship the
# FILEs, from LICENSES/ (each package's copyright file, named after its
# source package, and the texts in common-licenses/ it refers to) into DEST.
# The copies in LICENSES/ must be those of the packages installed here.
notices() {
    local dest=$1 list package source copy text
    shift
    mkdir -p "$dest/common-licenses"
    list=$(packages "$@")
    for package in $list; do
        source=$(dpkg-query -W -f='${source:Package}' "$package")
        copy=LICENSES/$source.txt
        cmp -s "/usr/share/doc/${package%:*}/copyright" "$copy" ||
            fail "$copy is missing or out of date: cp /usr/share/doc/${package%:*}/copyright $copy"
        cp "$copy" "$dest/"
        # The upstream notices Debian's copyright file leaves out, kept as
        # LICENSES/<source>-upstream.txt (ICU's data's word lists).
        if [ -e "LICENSES/$source-upstream.txt" ]; then
            cp "LICENSES/$source-upstream.txt" "$dest/"
        fi
        for text in $(grep -o '/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9]' "$copy" | sort -u); do
            text=$(readlink -e "$text") || continue
            text=$(basename "$text")
            cmp -s "/usr/share/common-licenses/$text" "LICENSES/common-licenses/$text" ||
                fail "LICENSES/common-licenses/$text is missing or out of date: cp /usr/share/common-licenses/$text LICENSES/common-licenses/"
            cp "LICENSES/common-licenses/$text" "$dest/common-licenses/"
        done
    done
}

# The guide for both: UTF-8 with a byte order mark (without one, Notepad on
# Windows 7 may take the accents for another code page) and CR LF line ends.
leggimi() {
    { printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/; s/\$/\r/" docs/LEGGIMI.txt; } >"$1"
}

# The fonts embedded in both programs.
mapfile -t fonts < <(sed -n 's|^ *\(/usr/share/fonts/[^ )]*\.[ot]tf\))\{0,1\}$|\1|p' CMakeLists.txt)
[ ${#fonts[@]} -gt 0 ] || fail "no embedded fonts found in CMakeLists.txt"

# The Debian source packages of the Linux bundle whose libraries come under
# the LGPL or the GPL (alone or as one of a choice): --sources carries their
# source. Every other source package of the bundle is in PERMISSIVE, so that
# a library new to the bundle stops the release until its licence is read.
COPYLEFT=" qt6-base qt6-wayland glib2.0 graphite2 dbus gcc-12 systemd libgcrypt20 libgpg-error "
PERMISSIVE=" icu harfbuzz double-conversion pcre2 md4c libxkbcommon libxcb xcb-util xcb-util-image
    xcb-util-keysyms xcb-util-renderutil xcb-util-wm libb2 wayland libffi lz4 xz-utils libzstd libcap2 "
copyleft() {  # " *" for a copyleft source package, nothing for another
    if [[ $COPYLEFT == *" $1 "* ]]; then echo " *"; fi
}

# How to read the notices, in Italian, for LICENSES/LEGGIMI.txt: the
# Debian copyright files point to /usr/share/common-licenses/NAME, which is
# common-licenses/NAME here (NAME.txt in the Windows zip).
notices_guide() {
    local suffix=$1 linux=$2
    cat <<GUIDE
AVVISI DI LICENZA - Tabellone $version
====================================

Il tabellone è distribuito con la licenza MIT: il testo è nel file
LICENSE, nella cartella sopra questa.

Questa cartella contiene l'avviso di ogni componente che il programma
include: ogni file NOME.txt è il file "copyright" del pacchetto Debian
da cui il componente è preso, con il nome del suo pacchetto sorgente.
Gli avvisi rimandano ai testi delle licenze come
/usr/share/common-licenses/NOME, il percorso che hanno in Debian: qui
ogni testo è in common-licenses/NOME$suffix.
GUIDE
    if $linux; then
        cat <<GUIDE

icu-upstream.txt è la licenza di ICU così come la dà ICU stesso, con gli
avvisi degli elenchi di parole (cinese e giapponese, lao, birmano, khmer,
thailandese) contenuti nei suoi dati, libicudata.

SOURCES.txt elenca il pacchetto sorgente Debian, con la versione, di
ogni libreria di questa cartella. Accanto a ogni versione del tabellone
è pubblicato Tabellone-$version-sources.tar, che contiene il sorgente del
tabellone e i pacchetti sorgente Debian di ogni libreria con licenza
LGPL o GPL inclusa qui.
GUIDE
    fi
}

# --- The Linux bundle -------------------------------------------------------
linux=$stage/Tabellone
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
# The plugins Qt loads for this board: the X window system; Wayland, for a
# Wayland session: Qt's client (the board draws without OpenGL), its
# xdg-shell windows, and the window frames it draws where the compositor
# draws none (weston), which Qt 6.4 draws only with its EGL buffer
# integration at hand; the keyboard's input context. Every picture is a
# PNG, which Qt decodes itself.
plugins=(platforms/libqxcb.so platforms/libqwayland-generic.so
    wayland-shell-integration/libxdg-shell.so wayland-decoration-client/libbradient.so
    wayland-graphics-integration-client/libqt-plugin-wayland-egl.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so)
mkdir -p "$linux"
strip -o "$linux/tabellone" "$build/linux/tabellone"
for plugin in "${plugins[@]}"; do
    mkdir -p "$linux/plugins/$(dirname "$plugin")"
    cp "$qt_plugins/$plugin" "$linux/plugins/$plugin"
done
printf '[Paths]\nPrefix = .\nPlugins = plugins\n' >"$linux/qt.conf"

# Every library the program and the plugins need, and those need in turn,
# beside the program under its soname, except what the base system has.
bundled=()
bundle() {
    local elf soname path
    for elf in "$@"; do
        for soname in $(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
            if [[ $soname =~ $BASE_SYSTEM_LIBRARIES ]] || [ -e "$linux/$soname" ]; then
                continue
            fi
            path=$(/sbin/ldconfig -p | awk -v name="$soname" '$1 == name && /x86-64/ && !found { print $NF; found = 1 }')
            [ -n "$path" ] || fail "$soname, needed by $elf, is not installed"
            cp -L "$path" "$linux/$soname"
            bundled+=("$path")
            bundle "$linux/$soname"
        done
    done
}
bundle "$linux/tabellone" "${plugins[@]/#/$linux/plugins/}"

cp window/pictures/tabellone.png "$linux/tabellone.png"
leggimi "$linux/LEGGIMI.txt"
cp LICENSE "$linux/LICENSE"
notices "$linux/LICENSES" "${fonts[@]}" "${bundled[@]}" "${plugins[@]/#/$qt_plugins/}"
notices_guide "" true >"$linux/LICENSES/LEGGIMI.txt"
list=$(packages "${bundled[@]}" "${plugins[@]/#/$qt_plugins/}")
mapfile -t sourced < <(for package in $list; do
    dpkg-query -W -f='${source:Package} ${source:Version}\n' "$package"
done | sort -u)
for line in "${sourced[@]}"; do
    read -r name _ <<<"$line"
    [[ $COPYLEFT$PERMISSIVE == *[[:space:]]"$name"[[:space:]]* ]] ||
        fail "the bundle now carries $name: read its licence and name it in COPYLEFT or PERMISSIVE"
done
{
    echo "Sources of the libraries in this folder"
    echo "======================================="
    echo
    echo "They are the Debian 12 binaries, unchanged. The complete source of each"
    echo "is its Debian source package, at the version below, from"
    echo "https://snapshot.debian.org/package/SOURCE/VERSION/ (or apt-get source"
    echo "SOURCE=VERSION). Qt's own sources are also at https://download.qt.io/."
    echo "Tabellone-$version-sources.tar, published beside each release, holds"
    echo "the source packages of those under the LGPL or the GPL (marked *)."
    echo
    for line in "${sourced[@]}"; do
        read -r name _ <<<"$line"
        printf '%-22s %s%s\n' "$name" "${line#* }" "$(copyleft "$name")"
    done
} >"$linux/LICENSES/SOURCES.txt"

chmod -R u=rwX,go=rX "$linux"
# xz on one thread: its output then depends on the data alone.
tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner -C "$stage" \
    -cf - Tabellone | xz -T1 -9 >"$dist/Tabellone-$version-Linux-x86_64.tar.xz"

# --- The Windows zip ---------------------------------------------------------
windows=$stage/windows
mkdir -p "$windows"
cp "$build/win32/tabellone.exe" "$windows/"
leggimi "$windows/LEGGIMI.txt"
cp LICENSE "$windows/LICENSE"
# What the linker took from the system: the C and C++ runtimes and the
# Windows import libraries.
mapfile -t linked < <(sed -n 's/^LOAD \(\/usr\/.*\)$/\1/p' "$build/win32/tabellone.map" | sort -u)
[ ${#linked[@]} -gt 0 ] || fail "the linker's map names nothing from the system"
notices "$windows/LICENSES" "${fonts[@]}" "${linked[@]}"
# With a byte order mark, as LEGGIMI.txt, for Notepad.
{ printf '\xef\xbb\xbf'; notices_guide ".txt" false; } >"$windows/LICENSES/LEGGIMI.txt"
# Notepad wants CR LF, and Windows a .txt to open a text at a double-click.
for text in "$windows/LICENSES/common-licenses"/*; do
    mv "$text" "$text.txt"
done
find "$windows/LICENSES" "$windows/LICENSE" -type f -exec sed -i 's/$/\r/' {} +
(
    cd "$windows"
    find . -exec touch -h -d "@$epoch" {} +
    find . -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$dist/Tabellone-$version-Windows.zip"
)

(cd "$dist" && sha256sum "Tabellone-$version-Windows.zip" "Tabellone-$version-Linux-x86_64.tar.xz" >SHA256SUMS)
rm -rf "$stage"

bash tools/check_release.sh "$dist"

# --- The sources --------------------------------------------------------------
# The program's source as committed, and the Debian source package (.dsc,
# upstream and Debian tarballs) of each LGPL or GPL library in the bundle,
# at the version bundled, from the Debian mirrors apt uses here.
if $sources; then
    [ -z "$(git status --porcelain 2>/dev/null)" ] && git rev-parse -q --verify HEAD >/dev/null ||
        fail "--sources takes the program's source from git: commit first"
    need_packages curl
    work=$build/sources
    rm -rf "$work"
    mkdir -p "$work/tree/debian"
    # Each Debian suite apt uses here, as a source list of its own: a mirror
    # may lack a file that its index names (a security update that is also
    # in a point release), and another suite then has it.
    mapfile -t suites < <(apt-get indextargets --format '$(ORIGIN) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
        awk '$1 == "Debian" { print "deb-src", $2, $3, $4 }' | sort -u)
    [ ${#suites[@]} -gt 0 ] || fail "apt uses no Debian mirror here"
    suite_apt() {  # apt-get with the options for suite $1, then the arguments
        local suite=$1
        shift
        apt-get -o Dir::Etc::SourceList="$work/apt/$suite/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
            -o Dir::State::Lists="$work/apt/$suite/lists" -o APT::Sandbox::User=root "$@"
    }
    for i in "${!suites[@]}"; do
        mkdir -p "$work/apt/$i/lists/partial"
        echo "${suites[i]}" >"$work/apt/$i/sources.list"
        suite_apt "$i" -qq update
    done
    # A version the mirrors have moved on from: from snapshot.debian.org,
    # which keeps every file Debian published, by its SHA-1.
    snapshot() {  # snapshot NAME VERSION: its files into the current folder
        local files hash file
        files=$(curl -fsS "https://snapshot.debian.org/mr/package/$1/${2//+/%2B}/srcfiles?fileinfo=1" |
            /usr/bin/python3 -c 'import json, sys
info = json.load(sys.stdin)
for f in info["result"]:
    print(f["hash"], info["fileinfo"][f["hash"]][0]["name"])') || return 1
        [ -n "$files" ] || return 1
        while read -r hash file; do
            curl -fsS -o "$file" "https://snapshot.debian.org/file/$hash" &&
                [ "$(sha1sum <"$file" | cut -d' ' -f1)" = "$hash" ] || return 1
        done <<<"$files"
    }
    for line in "${sourced[@]}"; do
        read -r name at <<<"$line"
        [ -n "$(copyleft "$name")" ] || continue
        fetched=false
        for i in "${!suites[@]}"; do
            if (cd "$work/tree/debian" && suite_apt "$i" -qq source --download-only "$name=$at") >/dev/null 2>&1
            then
                fetched=true
                break
            fi
        done
        $fetched || (cd "$work/tree/debian" && snapshot "$name" "$at") ||
            fail "no source of $name $at on the mirror nor at https://snapshot.debian.org/package/$name/$at/"
    done
    git archive --format=tar --prefix="Tabellone-$version/" HEAD | tar -xf - -C "$work/tree"
    mv "$work/tree/debian" "$work/tree/Tabellone-$version/debian-sources"
    tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner -C "$work/tree" \
        -cf "$dist/Tabellone-$version-sources.tar" "Tabellone-$version"
    rm -rf "$work"
    (cd "$dist" && sha256sum "Tabellone-$version-sources.tar" >>SHA256SUMS)
fi
ls -l "$dist"/Tabellone-* "$dist/SHA256SUMS"

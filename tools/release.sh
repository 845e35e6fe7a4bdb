#!/usr/bin/env bash
# Makes the releases from a clean checkout, into dist/ and nowhere else:
#   dist/Tabellone-<version>-Windows.zip          tabellone.exe, LEGGIMI.txt, LICENSES/
#   dist/Tabellone-<version>-Linux-x86_64.tar.gz  one folder, Tabellone/: the program,
#       the Qt libraries and plugins it loads, its icon, qt.conf, LEGGIMI.txt, LICENSES/
#   dist/SHA256SUMS
# then checks both as a user would meet them (tools/check_release.sh) and
# fails when they fail. The version is CMake's project(VERSION); the builds
# stay in dist/build/. Installs what is missing, as run.sh and test.sh do.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh

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

# The Linux program for a bundle (Qt's libraries found beside it), and the
# Windows one, static, with the linker's map of what went into it.
cmake -S . -B "$build/linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DTABELLONE_BUNDLE=ON >/dev/null
cmake --build "$build/linux" -j "$(nproc)"
cmake -S . -B "$build/win32" -G Ninja --toolchain "$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build/win32" -j "$(nproc)"

version=$("$build/linux/tabellone" --version)
version=${version#Tabellone }
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "tabellone --version said: $version"
# Files in the archives carry a time of the sources, not the time of
# packing: packed again from the same builds, the archives are the same.
# SOURCE_DATE_EPOCH if given, else the last commit's time, else (a tree
# unpacked from an archive has no .git) the time of CMakeLists.txt.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)}

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

# --- The Linux bundle -------------------------------------------------------
linux=$stage/Tabellone
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
# The plugins Qt loads for this board: the X window system, the GIF and JPEG
# pictures (BMP and PNG are built in), and the keyboard's input context.
plugins=(platforms/libqxcb.so imageformats/libqgif.so imageformats/libqjpeg.so
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

convert window/pictures/colomba@3x.png -background none -gravity center -extent 165x165 \
    -resize 128x128 -define png:exclude-chunks=date,time "$linux/tabellone.png"
leggimi "$linux/LEGGIMI.txt"
notices "$linux/LICENSES" "${fonts[@]}" "${bundled[@]}" "${plugins[@]/#/$qt_plugins/}"
list=$(packages "${bundled[@]}" "${plugins[@]/#/$qt_plugins/}")
{
    echo "Sources of the libraries in this folder"
    echo "======================================="
    echo
    echo "They are the Debian 12 binaries, unchanged. The complete source of each"
    echo "is its Debian source package, at the version below, from"
    echo "https://snapshot.debian.org/package/SOURCE/VERSION/ (or apt-get source"
    echo "SOURCE=VERSION). Qt's own sources are also at https://download.qt.io/."
    echo
    for package in $list; do
        dpkg-query -W -f='${source:Package} ${source:Version}\n' "$package"
    done | sort -u | awk '{ printf "%-22s %s\n", $1, $2 }'
} >"$linux/LICENSES/SOURCES.txt"

chmod -R u=rwX,go=rX "$linux"
tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner -C "$stage" \
    -cf - Tabellone | gzip -n >"$dist/Tabellone-$version-Linux-x86_64.tar.gz"

# --- The Windows zip ---------------------------------------------------------
windows=$stage/windows
mkdir -p "$windows"
cp "$build/win32/tabellone.exe" "$windows/"
leggimi "$windows/LEGGIMI.txt"
# What the linker took from the system: the C and C++ runtimes and the
# Windows import libraries.
mapfile -t linked < <(sed -n 's/^LOAD \(\/usr\/.*\)$/\1/p' "$build/win32/tabellone.map" | sort -u)
[ ${#linked[@]} -gt 0 ] || fail "the linker's map names nothing from the system"
notices "$windows/LICENSES" "${fonts[@]}" "${linked[@]}"
# Notepad wants CR LF, and Windows a .txt to open a text at a double-click.
for text in "$windows/LICENSES/common-licenses"/*; do
    mv "$text" "$text.txt"
done
find "$windows/LICENSES" -type f -exec sed -i 's/$/\r/' {} +
(
    cd "$windows"
    find . -exec touch -h -d "@$epoch" {} +
    find . -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$dist/Tabellone-$version-Windows.zip"
)

(cd "$dist" && sha256sum "Tabellone-$version-Windows.zip" "Tabellone-$version-Linux-x86_64.tar.gz" >SHA256SUMS)
rm -rf "$stage"

bash tools/check_release.sh "$dist"
ls -l "$dist"/Tabellone-* "$dist/SHA256SUMS"

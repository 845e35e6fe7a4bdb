# SPDX-License-Identifier: MIT
# Shared by run.sh, test.sh and tools/release.sh: installs the Debian 12
# packages that are missing (with sudo when not root) and builds the project.
# Usage: source tools/setup.sh; need_packages PKG...; build_project PRESET [TARGET...]

need_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the board needs: the compiler, Qt, Xlib, the fonts it
# embeds, and Python with Pillow, which writes its pictures as PNG
# (tools/png_picture.py).
BUILD_PACKAGES=(cmake g++ ninja-build qt6-base-dev libgl-dev libx11-dev fonts-comic-neue
    fonts-liberation2 python3 python3-pil)
# What running it on a virtual display and looking at it needs.
DISPLAY_PACKAGES=(xvfb xauth imagemagick xdotool)

# What the tests need beyond the build: GoogleTest, and a virtual display
# with a window manager and input tools for the tests that drive the real
# program as a user would; a screen reader (Orca) and the speech service
# it talks through, for the test that listens to what it says.
TEST_PACKAGES=(libgtest-dev xvfb xauth xdotool imagemagick openbox x11-utils
    libx11-dev libxtst-dev libxext-dev valgrind clang-format clang-tidy
    dbus at-spi2-core orca speech-dispatcher)

# What the Windows build and its tests under Wine need: the MinGW-w64 cross
# compiler, Python with Pillow (the pictures as PNG), GoogleTest's sources,
# Wine (32-bit, so the i386 architecture first), and a virtual display with
# ImageMagick's import for screenshots.
WINE_PACKAGES=(g++-mingw-w64-i686 python3 python3-pil googletest wine wine32:i386 imagemagick
    xvfb xauth xdotool openbox x11-utils)

# What tools/release.sh needs beyond the two builds: Qt's Wayland client
# (qt6-wayland) for the bundle, the archivers, and a virtual desktop to play
# each release on as a user would (tests/e2e/), and a headless Wayland
# compositor (weston) to start the bundle under.
RELEASE_PACKAGES=(qt6-wayland zip unzip xz-utils python3 xvfb xauth xdotool imagemagick openbox
    x11-utils weston)

# The base list: the libraries the Linux bundle leaves out and loads from the
# system, being what a Debian Xfce, LXDE or MATE desktop installed without
# recommends has. That is glibc; the C++ runtime; the X client libraries
# those desktops' toolkits use (X11 and its xcb bridge, Xau, Xdmcp, the Xext,
# Xrender, Xi, Xfixes, Xcursor, Xrandr, Xinerama, Xcomposite and Xdamage
# extensions, ICE and SM) and the xcb ones under them (xcb, xcb-render and
# xcb-shm, which cairo uses; not xcb's other extensions, nor the xcb-util
# helpers); fontconfig and freetype; GL and EGL (GLVND's front ends, not a
# driver); and the libraries these need in turn in Debian (expat, libpng,
# zlib, brotli, libbsd, libmd, libuuid), which the bundle must not carry
# either: its copy would be loaded in the system's place for them too.
# Everything else is bundled. Matched against sonames;
# tools/only_base_system.sh shows a program these libraries alone.
BASE_SYSTEM_LIBRARIES='^(ld-linux-x86-64|libc|libm|libdl|libpthread|librt|libstdc\+\+|libgcc_s|libX11|libX11-xcb|libXau|libXdmcp|libXext|libXrender|libXi|libXfixes|libXcursor|libXrandr|libXinerama|libXcomposite|libXdamage|libICE|libSM|libxcb|libxcb-render|libxcb-shm|libfontconfig|libfreetype|libGL|libEGL|libGLX|libOpenGL|libGLdispatch|libexpat|libpng16|libz|libbrotlidec|libbrotlicommon|libbsd|libmd|libuuid)\.so\.[0-9]+$'

# Wine's 32-bit half comes from the i386 architecture; call before
# need_packages "${WINE_PACKAGES[@]}".
need_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo dpkg --add-architecture i386
    fi
}

build_project() {
    local preset="$1"
    shift
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" ${1:+--target "$@"}
}

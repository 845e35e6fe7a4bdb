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
    libx11-dev libxtst-dev valgrind clang-format clang-tidy
    dbus at-spi2-core orca speech-dispatcher)

# What the Windows build and its tests under Wine need: the MinGW-w64 cross
# compiler, Python with Pillow (the pictures as PNG), GoogleTest's sources,
# Wine (32-bit, so the i386 architecture first), and a virtual display with
# ImageMagick's import for screenshots.
WINE_PACKAGES=(g++-mingw-w64-i686 python3 python3-pil googletest wine wine32:i386 imagemagick
    xvfb xauth xdotool openbox x11-utils)

# What tools/release.sh needs beyond the two builds: the archivers, and a
# virtual desktop to play each release on as a user would (tests/e2e/).
RELEASE_PACKAGES=(zip unzip python3 xvfb xauth xdotool imagemagick openbox x11-utils)

# The libraries every Linux desktop has, which the Linux bundle leaves out and
# loads from the system: glibc; GCC's C++ runtime and zlib, zstd, PCRE2 (8-bit)
# and libsystemd, which Debian's own apt, dpkg and grep need; the X and xcb
# client libraries (not the xcb-util helpers, which many desktops lack);
# fontconfig; freetype with libpng; and GL. Matched against sonames.
BASE_SYSTEM_LIBRARIES='^(ld-linux-x86-64|libc|libm|libdl|libpthread|librt|libstdc\+\+|libgcc_s|libz|libzstd|libpcre2-8|libsystemd|libX11|libX11-xcb|libXau|libXdmcp|libXext|libXrender|libXcursor|libXfixes|libXi|libICE|libSM|libxcb|libxcb-(composite|damage|dpms|dri2|dri3|glx|present|randr|record|render|res|screensaver|shape|shm|sync|xf86dri|xfixes|xinerama|xinput|xkb|xtest|xv|xvmc)|libfontconfig|libfreetype|libpng16|libGL|libEGL|libGLX|libOpenGL|libGLdispatch)\.so\.[0-9]+$'

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

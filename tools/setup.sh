# Shared by run.sh and test.sh: installs the Debian 12 packages that are
# missing (with sudo when not root) and builds the project.
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

# What building the board needs.
BUILD_PACKAGES=(cmake g++ ninja-build qt6-base-dev libgl-dev fonts-comic-neue fonts-liberation2)
# What running it on a virtual display and looking at it needs.
DISPLAY_PACKAGES=(xvfb xauth imagemagick xdotool)

# What the tests need beyond the build: GoogleTest, and a virtual display
# with a window manager and input tools for the tests that drive the real
# program as a user would; a screen reader (Orca) and the speech service
# it talks through, for the test that listens to what it says.
TEST_PACKAGES=(libgtest-dev xvfb xauth xdotool imagemagick openbox x11-utils
    libx11-dev libxtst-dev valgrind tesseract-ocr tesseract-ocr-ita clang-format clang-tidy
    dbus at-spi2-core orca speech-dispatcher)

# What the Windows build and its tests under Wine need: the MinGW-w64 cross
# compiler, GoogleTest's sources, Wine (32-bit, so the i386 architecture
# first), and the tools that make the icon and cut the fonts.
WINE_PACKAGES=(g++-mingw-w64-i686 googletest wine wine32:i386 fonttools imagemagick
    xvfb xauth xdotool openbox x11-utils)

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

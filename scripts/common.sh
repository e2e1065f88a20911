# Shared by the run and test commands: installs what is missing and builds.
# Sourced, not run.

QUADRELLO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QUADRELLO_BUILD="${QUADRELLO_BUILD:-$QUADRELLO_ROOT/build}"
QUADRELLO_PROGRAM="$QUADRELLO_BUILD/program"
# Further cmake options of the build (the sanitizer build sets some).
QUADRELLO_CMAKE_ARGS=("${QUADRELLO_CMAKE_ARGS[@]}")

# What building and running the program need: all the run command installs.
QUADRELLO_RUN_PACKAGES=(
    g++ cmake ninja-build pkgconf ccache
    qt6-base-dev
    libwmf-dev libemf2svg-dev libuemf-dev libseccomp-dev librsvg2-dev
    libjpeg62-turbo-dev libexif-dev liblcms2-dev
    libsdl2-mixer-dev libfluidsynth3 timgm6mb-soundfont
    libx11-dev libxss-dev libxcb1-dev libxcb-shm0-dev qt6-wayland libwayland-dev wayland-protocols qt6-base-private-dev
    fonts-liberation python3
)
# A private X server with a window manager and screenshots: the run command's tour on a
# machine without a display, and the end-to-end tests.
QUADRELLO_XVFB_PACKAGES=(xvfb xauth xdotool imagemagick jwm x11-utils)
# Debian packages the build, the program and the tests need.
QUADRELLO_PACKAGES=(
    "${QUADRELLO_RUN_PACKAGES[@]}" "${QUADRELLO_XVFB_PACKAGES[@]}"
    libgtest-dev libgmock-dev x11-xserver-utils dbus-daemon desktop-file-utils appstream
    weston xwayland clang-format libfuse3-dev fuse3 sway wtype grim
)

# install_missing [PACKAGE...]: the given packages, or all of QUADRELLO_PACKAGES.
install_missing() {
    local wanted=("$@") missing=()
    [ ${#wanted[@]} -eq 0 ] && wanted=("${QUADRELLO_PACKAGES[@]}")
    for p in "${wanted[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds; QUADRELLO_TESTS=OFF leaves out the tests and the fuzz replays.
build() {
    local werror=OFF
    [ -n "${CI:-}" ] && werror=ON
    cmake -S "$QUADRELLO_ROOT" -B "$QUADRELLO_BUILD" -G Ninja \
        -DCMAKE_BUILD_TYPE="${QUADRELLO_BUILD_TYPE:-RelWithDebInfo}" \
        -DQUADRELLO_WERROR="$werror" -DQUADRELLO_TESTS="${QUADRELLO_TESTS:-ON}" \
        "${QUADRELLO_CMAKE_ARGS[@]}" >/dev/null
    cmake --build "$QUADRELLO_BUILD" -j "$(nproc)"
}

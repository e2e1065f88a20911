# Shared by the run and test commands: installs what is missing and builds.
# Sourced, not run.

QUADRELLO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QUADRELLO_BUILD="${QUADRELLO_BUILD:-$QUADRELLO_ROOT/build}"
QUADRELLO_PROGRAM="$QUADRELLO_BUILD/program"
# Further cmake options of the build (the sanitizer build sets some).
QUADRELLO_CMAKE_ARGS=("${QUADRELLO_CMAKE_ARGS[@]}")

# Debian packages the build, the program and the tests need.
QUADRELLO_PACKAGES=(
    g++ cmake ninja-build pkgconf ccache
    qt6-base-dev libgtest-dev libgmock-dev
    libwmf-dev libemf2svg-dev libuemf-dev libseccomp-dev librsvg2-dev
    libsdl2-mixer-dev libfluidsynth3 timgm6mb-soundfont
    fonts-liberation
    xvfb xauth xdotool imagemagick jwm x11-utils python3
)

install_missing() {
    local missing=()
    for p in "${QUADRELLO_PACKAGES[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local werror=OFF
    [ -n "${CI:-}" ] && werror=ON
    cmake -S "$QUADRELLO_ROOT" -B "$QUADRELLO_BUILD" -G Ninja \
        -DCMAKE_BUILD_TYPE="${QUADRELLO_BUILD_TYPE:-RelWithDebInfo}" \
        -DQUADRELLO_WERROR="$werror" "${QUADRELLO_CMAKE_ARGS[@]}" >/dev/null
    cmake --build "$QUADRELLO_BUILD" -j "$(nproc)"
}

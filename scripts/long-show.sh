#!/usr/bin/env bash
# A long show: TICKS ticks (10 000 by default) over the sample folder, every switch on,
# with the real loader and sound (SDL's silent driver, so nothing is heard), in a private
# X server. Prints the resident memory and open files after the first pass and the last.
# Usage: scripts/long-show.sh [TICKS]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build
ticks="${1:-10000}"
# A small private screen keeps each tick short (the clearing's length follows the width).
source "$QUADRELLO_ROOT/tests/e2e/xenv.sh"
x_start 320x240x24
trap x_stop EXIT
SDL_AUDIODRIVER=dummy "$QUADRELLO_BUILD/tests/long_show" "$QUADRELLO_PROGRAM/esempi" "$ticks"

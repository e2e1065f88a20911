#!/usr/bin/env bash
# Draws the program's pictures anew into assets/pictures (icons and banner bitmaps).
# The icons come out byte for byte the same everywhere; the banners' lettering follows
# the installed Liberation Sans.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
cmake -S "$QUADRELLO_ROOT" -B "$QUADRELLO_BUILD" -G Ninja >/dev/null
cmake --build "$QUADRELLO_BUILD" --target draw_pictures
QT_QPA_PLATFORM=offscreen "$QUADRELLO_BUILD/assets/draw_pictures" "$QUADRELLO_ROOT/assets/pictures"
echo "Pictures written to $QUADRELLO_ROOT/assets/pictures"

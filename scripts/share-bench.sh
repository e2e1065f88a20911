#!/usr/bin/env bash
# Shows from a network share, timed against feh: the test share (2 ms an operation,
# 100 Mbit/s) in front of 9,999 pictures in 999 subfolders and twelve 24 MP photos, under
# Xvfb with jwm at 1920 x 1080. Prints a table; not a test. Takes several minutes (the
# share stays away five minutes; QUADRELLO_STALL_SECONDS to change it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
QUADRELLO_PACKAGES+=(feh)
install_missing
build
source "$QUADRELLO_ROOT/tests/e2e/xenv.sh"
trap x_stop EXIT
x_start 1920x1080x24
python3 "$QUADRELLO_ROOT/bench/sharebench.py" --program "$QUADRELLO_PROGRAM" \
    --slowshare "$QUADRELLO_BUILD/tests/slowshare" \
    --stall-seconds "${QUADRELLO_STALL_SECONDS:-300}" "$@"

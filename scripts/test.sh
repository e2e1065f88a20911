#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build
cd "$QUADRELLO_BUILD"
ctest --output-on-failure --timeout 300 "$@"

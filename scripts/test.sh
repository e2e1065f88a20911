#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh [--sanitize] [ctest arguments...]
# --sanitize: the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-asan/ (QUADRELLO_ASAN_BUILD to change it); any fault fails its test.
set -euo pipefail
if [ "${1:-}" = --sanitize ]; then
    shift
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    QUADRELLO_BUILD="${QUADRELLO_ASAN_BUILD:-$root/build-asan}"
    QUADRELLO_CMAKE_ARGS=(-DQUADRELLO_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
fi
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build
cd "$QUADRELLO_BUILD"
status=0
ctest --output-on-failure --timeout 300 "$@" || status=$?
# A test this machine cannot run (the test share without a usable /dev/fuse) says why.
grep -h '^SKIP: ' Testing/Temporary/LastTest.log 2>/dev/null | sed 's/^/skipped: /' || true
exit "$status"

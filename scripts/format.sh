#!/usr/bin/env bash
# The C++ sources in the project's style (.clang-format), with Debian's clang-format.
#   scripts/format.sh           rewrites every file that is not in the style
#   scripts/format.sh --check   rewrites nothing; names the files that are not, and fails
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing clang-format
cd "$QUADRELLO_ROOT"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
    unformatted=()
    for f in "${files[@]}"; do
        clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
    done
    if [ ${#unformatted[@]} -gt 0 ]; then
        echo "Not in the project's style (scripts/format.sh rewrites them):" >&2
        printf '  %s\n' "${unformatted[@]}" >&2
        exit 1
    fi
    echo "All ${#files[@]} C++ files are in the project's style."
else
    clang-format -i "${files[@]}"
fi

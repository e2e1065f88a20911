#!/usr/bin/env bash
# Makes the broken pictures from the sample folder and checks that each is refused in time
# and that the show goes on over them. Usage: broken_pictures.sh SAMPLE_FOLDER CHECKER
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$here/../../scripts/make-broken-pictures.py" "$1" "$out"
"$2" "$out"

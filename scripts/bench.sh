#!/usr/bin/env bash
# Benchmarks: the walk and the picture decoding (Google Benchmark), then the real program
# under Xvfb 1920 x 1080 with jwm against feh and geeqie on the same generated corpus,
# measured by a pixel probe at the centre of the screen. Prints a table with the ratios
# and the targets. Takes a few minutes; not a test, nothing passes or fails.
#
# Builds in build-bench/ (QUADRELLO_BENCH=ON). Installs what it needs beyond the normal
# packages: Google Benchmark, feh, geeqie and python3-xlib.
# Usage: scripts/bench.sh [PICTURES]   (default 20)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
QUADRELLO_BUILD="$QUADRELLO_ROOT/build-bench"
QUADRELLO_PROGRAM="$QUADRELLO_BUILD/program"
pictures="${1:-20}"

# The peers and the probe come from Debian; the probe runs on the system's python3,
# where python3-xlib installs.
PYTHON=/usr/bin/python3
QUADRELLO_PACKAGES+=(libbenchmark-dev feh geeqie python3-xlib)
install_missing

echo "== Building (build-bench)"
# The options stay in the build folder's cache for the project's own build step.
cmake -S "$QUADRELLO_ROOT" -B "$QUADRELLO_BUILD" -G Ninja \
    -DQUADRELLO_BENCH=ON -DQUADRELLO_TESTS=OFF >/dev/null
build >"$QUADRELLO_BUILD/bench-build.log" 2>&1 || { cat "$QUADRELLO_BUILD/bench-build.log"; exit 1; }

work=$(mktemp -d /tmp/quadrello-bench.XXXXXX)
mkdir "$work/runs"
source "$QUADRELLO_ROOT/tests/e2e/xenv.sh"
cleanup() {
    x_stop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Micro benchmarks (median of 3)"
"$QUADRELLO_BUILD/bench/quadrello_micro" --benchmark_out="$work/micro.json" \
    --benchmark_out_format=json --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '^(Walk|Decode).*_median' || true

echo "== Corpus: $pictures pictures (24 MP, every fifth 2 MP)"
QT_QPA_PLATFORM=offscreen "$QUADRELLO_BUILD/bench/quadrello_corpus" "$work/corpus" "$pictures" 2>/dev/null

echo "== End to end under Xvfb 1920x1080 (each viewer about $((pictures * 2 + 10)) s)"
x_start 1920x1080x24
# Each run ends its viewer itself; the time limit only guards against a hang.
show() { timeout 300 "$PYTHON" "$QUADRELLO_ROOT/bench/showbench.py" "$@" || true; }
show run quadrello --corpus "$work/corpus" --program "$QUADRELLO_PROGRAM" --effects 0 --out "$work/runs/ours.json"
show run quadrello --corpus "$work/corpus" --program "$QUADRELLO_PROGRAM" --effects 1 --out "$work/runs/ours-fx.json"
show run feh --corpus "$work/corpus" --out "$work/runs/feh.json"
show run geeqie --corpus "$work/corpus" --out "$work/runs/geeqie.json"

echo
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine skews the figures)"
shopt -s nullglob
"$PYTHON" "$QUADRELLO_ROOT/bench/showbench.py" table --micro "$work/micro.json" "$work"/runs/*.json

#!/usr/bin/env bash
# Benchmarks: the walk and the picture decoding (Google Benchmark), then the real program
# under Xvfb with jwm against feh and geeqie on the same generated corpus, at 1920 x 1080,
# at 3840 x 2160, at 3840 x 2160 scaled twice, and on the 3840 x 2160 monitor of a pair
# beside a 1920 x 1080 one (QUADRELLO_BENCH_SCREENS to choose),
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

echo "== Corpus: $pictures pictures (in every five: 24 MP progressive, two 24 MP, 100 MP panorama, 2 MP)"
QT_QPA_PLATFORM=offscreen "$QUADRELLO_BUILD/bench/quadrello_corpus" "$work/corpus" "$pictures" 2>/dev/null

# Each screen: WIDTHxHEIGHT and the scale factor the programs are run at; "mixed" is a
# 1920 x 1080 monitor beside a 3840 x 2160 primary one on its right, probed at the
# primary's centre.
screens="${QUADRELLO_BENCH_SCREENS:-1920x1080@1 3840x2160@1 3840x2160@2 mixed@1}"
# The machine's CPU time so far, all and stolen by the host of a virtual machine (which
# slows every figure down, and the worst ticks most): "ALL STOLEN" in clock ticks.
cpu_times() { awk '/^cpu / {print $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9, $9}' /proc/stat; }
# Each run ends its viewer itself; the time limit only guards against a hang.
show() { timeout 600 "$PYTHON" "$QUADRELLO_ROOT/bench/showbench.py" "$@" || true; }
for screen in $screens; do
    size=${screen%@*} scale=${screen#*@}
    runs="$work/runs/$size-x$scale"
    mkdir -p "$runs"
    echo "== End to end under Xvfb $size at scale $scale (each viewer about $((pictures * 2 + 10)) s)"
    if [ "$size" = mixed ]; then
        # The monitors first, then the window manager, which reads them at its start.
        X_NO_WM=1 x_start 5760x2160x24
        xrandr --setmonitor laptop 1920/508x1080/286+0+0 screen >/dev/null
        xrandr --setmonitor '*uhd' 3840/600x2160/340+1920+0 none >/dev/null
        wm_start
        export QUADRELLO_PROBE_AT=3840,1080
    else
        x_start "${size}x24"
    fi
    export QT_SCALE_FACTOR="$scale" GDK_SCALE="$scale"
    read -r all0 stolen0 < <(cpu_times)
    show run quadrello --corpus "$work/corpus" --program "$QUADRELLO_PROGRAM" --effects 0 --out "$runs/ours.json"
    show run quadrello --corpus "$work/corpus" --program "$QUADRELLO_PROGRAM" --effects 1 --out "$runs/ours-fx.json"
    if [ "$screen" = 1920x1080@1 ]; then
        # The memory of a show of camera photos alone: the 24 MP baseline and 2 MP ones.
        mkdir -p "$work/photos"
        grep -E ' (baseline|2mp)$' "$work/corpus/corpus.txt" >"$work/photos/corpus.txt"
        while read -r name _; do ln -sf "$work/corpus/$name" "$work/photos/$name"; done <"$work/photos/corpus.txt"
        show run quadrello --corpus "$work/photos" --program "$QUADRELLO_PROGRAM" --effects 0 \
            --tag photos --out "$runs/ours-photos.json"
    fi
    show run feh --corpus "$work/corpus" --out "$runs/feh.json"
    show run geeqie --corpus "$work/corpus" --out "$runs/geeqie.json"
    read -r all1 stolen1 < <(cpu_times)
    echo $(( (stolen1 - stolen0) * 100 / (all1 - all0 > 0 ? all1 - all0 : 1) )) >"$runs/stolen"
    unset QT_SCALE_FACTOR GDK_SCALE QUADRELLO_PROBE_AT
    x_stop
    XVFB_PID="" WM_PID=""
done

echo
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine skews the figures)"
shopt -s nullglob
first=1
for screen in $screens; do
    size=${screen%@*} scale=${screen#*@}
    echo
    echo "=== $size at scale $scale ($(cat "$work/runs/$size-x$scale/stolen" 2>/dev/null || echo "?") % of the CPU time stolen by the host over these runs)"
    micro=()
    [ -n "$first" ] && micro=(--micro "$work/micro.json")
    first=""
    "$PYTHON" "$QUADRELLO_ROOT/bench/showbench.py" table "${micro[@]}" "$work/runs/$size-x$scale"/*.json
done

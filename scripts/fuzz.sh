#!/usr/bin/env bash
# Fuzzes the parsers of outside input with libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer).
#
#   scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]
#   scripts/fuzz.sh list
#
# Builds build-fuzz/ (QUADRELLO_FUZZ_BUILD to change it) and runs each target for SECONDS,
# one after another, niced. The seeds in fuzz/corpus/<target>/ are read, never written;
# what the run learns is kept in build-fuzz/corpus/<target>/ for the next run. Crashes,
# hangs, leaks and sanitizer reports land in build-fuzz/crashes/<target>/: once fixed,
# copy the input to fuzz/regressions/<target>/, where the test suite replays it. A
# summary of each run goes to build-fuzz/fuzz-summary.txt. Exits non-zero when a target
# found anything.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

TARGETS=(settings number dospath doslist mci registry cmdline wave
         picture_jpeg picture_bmp picture_gif picture_ico picture_cur picture_dib
         picture_wmf picture_emf)

usage() {
    echo "usage: scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]" >&2
    echo "targets: ${TARGETS[*]}" >&2
    exit 2
}
[ "${1:-}" = list ] && { printf '%s\n' "${TARGETS[@]}"; exit 0; }
[ $# -ge 2 ] || usage
which="$1"
seconds="$2"
shift 2
[[ "$seconds" =~ ^[0-9]+$ ]] || usage
if [ "$which" = all ]; then
    run=("${TARGETS[@]}")
else
    [[ " ${TARGETS[*]} " == *" $which "* ]] || usage
    run=("$which")
fi

QUADRELLO_PACKAGES+=(clang libclang-rt-14-dev)
install_missing

fuzzdir="$QUADRELLO_ROOT/fuzz"
build="${QUADRELLO_FUZZ_BUILD:-$QUADRELLO_ROOT/build-fuzz}"
cmake -S "$QUADRELLO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUADRELLO_FUZZ=ON -DQUADRELLO_TESTS=OFF >/dev/null
nice -n 10 cmake --build "$build" -j "$(( $(nproc) < 2 ? $(nproc) : 2 ))" \
    --target "${run[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
# The decoders' warnings about each broken input would fill the logs and slow the runs.
export QT_LOGGING_RULES="qt.gui.imageio*=false"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:handle_abort=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$fuzzdir/lsan.supp:print_suppressions=0"

summary="$build/fuzz-summary.txt"
found=0
for t in "${run[@]}"; do
    work="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$work" "$crashes"
    opts=(-max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$crashes/")
    case "$t" in
        picture_*) opts+=(-timeout=30 -max_len=65536) ;;
        *) opts+=(-timeout=10 -max_len=1024) ;;
    esac
    [ -f "$fuzzdir/dict/$t.dict" ] && opts+=(-dict="$fuzzdir/dict/$t.dict")
    seeds=("$fuzzdir/corpus/$t")
    [ -d "$fuzzdir/regressions/$t" ] && seeds+=("$fuzzdir/regressions/$t")
    log="$build/fuzz-$t.log"
    echo "== $t: $seconds s (log: $log)"
    before=$(find "$crashes" -type f | wc -l)
    set +e
    nice -n 10 "$build/fuzz/fuzz_$t" "${opts[@]}" "$@" "$work" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    set -e
    after=$(find "$crashes" -type f | wc -l)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    line="$(date '+%F %T') $t: ${execs:-?} runs, ${rate:-?}/s, ${cov:-cov ?}, exit $rc, $((after - before)) new finding(s)"
    echo "$line" | tee -a "$summary"
    if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
        found=1
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz: )' "$log" | head -5 || true
    fi
done
exit "$found"

#!/bin/sh
# Whole-job benchmark of `tessara-cli combine` against `cat` of the same inputs
# into one file, in the same run: paired runs (the order alternates), medians.
# Also the combine job's peak memory (/usr/bin/time -v) on the full survey and
# on a quarter of it, which must be alike: memory must not grow with the data.
#
#   bench/combine_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 7, TOTAL_BYTES to
# 1G: the survey is 24 little-endian IEEE files of 5000 samples made by
# tessara-synth --preset big. Default settings (the delay scan on); set
# COMBINE_OPTIONS, e.g. to --no-delay-scan, to run the job otherwise.
# Set BENCH_DIR to keep the survey somewhere other than a temporary folder.
set -eu
BUILD=${1:-build-bench}
ROUNDS=${2:-7}
TOTAL=${3:-1G}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "combine_vs_cat: build tessara-cli and tessara-synth in $BUILD first (make bench)" >&2
    exit 2
}
[ -x /usr/bin/time ] || { echo "combine_vs_cat: /usr/bin/time missing (scripts/install-deps)" >&2; exit 2; }

WORK=${BENCH_DIR:-$(mktemp -d)}
[ -n "${BENCH_DIR:-}" ] || trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out" "$WORK/small"
if [ -z "$(ls "$WORK/in" 2>/dev/null)" ]; then
    "$SYNTH" --out "$WORK/in" --preset big --total-bytes "$TOTAL" >/dev/null
fi
INPUTS=$(ls "$WORK"/in/*.sgy)
BYTES=$(cat $INPUTS | wc -c)
echo "survey: $(echo "$INPUTS" | wc -l) files, $BYTES bytes"

now() { date +%s.%N; }
# Floating-point arithmetic without bc: calc "EXPR" prints its value.
calc() { awk "BEGIN { printf \"%.6f\\n\", $1 }"; }

run_cat() {
    rm -f "$WORK/cat.sgy"
    t0=$(now)
    # shellcheck disable=SC2086
    cat $INPUTS >"$WORK/cat.sgy"
    t1=$(now)
    rm -f "$WORK/cat.sgy"
    calc "$t1 - $t0"
}

run_combine() {
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    t0=$(now)
    # shellcheck disable=SC2086
    "$CLI" combine -o "$WORK/out" ${COMBINE_OPTIONS:-} --log "$WORK/combine.log" $INPUTS >"$WORK/combine.out"
    t1=$(now)
    calc "$t1 - $t0"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Warm the page cache with both programs before timing.
run_cat >/dev/null
run_combine >/dev/null
: >"$WORK/cat.times"
: >"$WORK/combine.times"
: >"$WORK/ratios"
i=1
while [ "$i" -le "$ROUNDS" ]; do
    if [ $((i % 2)) -eq 1 ]; then
        c=$(run_cat)
        j=$(run_combine)
    else
        j=$(run_combine)
        c=$(run_cat)
    fi
    echo "$c" >>"$WORK/cat.times"
    echo "$j" >>"$WORK/combine.times"
    calc "$j / $c" >>"$WORK/ratios"
    printf 'round %d: cat %.3f s, combine %.3f s\n' "$i" "$c" "$j"
    i=$((i + 1))
done
CAT=$(median <"$WORK/cat.times")
JOB=$(median <"$WORK/combine.times")
RATIO=$(median <"$WORK/ratios")
printf 'median: cat %.3f s, combine %.3f s, ratio of medians %.3f, median of paired ratios %.3f\n' \
    "$CAT" "$JOB" "$(calc "$JOB / $CAT")" "$RATIO"
cat "$WORK/combine.out"

peak_kb() {
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    # shellcheck disable=SC2086
    /usr/bin/time -v "$CLI" combine -o "$WORK/out" ${COMBINE_OPTIONS:-} --log "$WORK/combine.log" "$@" \
        2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}
FULL=$(peak_kb $INPUTS)
# shellcheck disable=SC2086
QUARTER=$(peak_kb $(echo "$INPUTS" | head -6))
echo "peak memory: $FULL kB for $BYTES bytes, $QUARTER kB for a quarter of them"
rm -rf "$WORK/out"

#!/bin/sh
# Whole-job benchmark of the speed correction: `tessara-cli combine
# --speed-correction` (default settings otherwise) against the same job without
# it and against `cat` of the same inputs into one file, in the same run:
# paired rounds (the order rotates), medians. The correction must re-read and
# re-write each composite once; what it adds to the job is reported in units
# of `cat`. Also the peak memory of the corrected job on the full survey and on
# a quarter of it: only the fix list (at most 128 bytes a trace) may grow.
#
#   bench/speed_correction_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 5, TOTAL_BYTES to
# 300M: tessara-synth --preset big (positions in seconds of arc). The survey
# and the outputs go to a folder under /dev/shm, removed at the end.
set -eu
BUILD=${1:-build-bench}
ROUNDS=${2:-5}
TOTAL=${3:-300M}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "speed_correction_vs_cat: build tessara-cli and tessara-synth in $BUILD first" >&2
    exit 2
}
[ -x /usr/bin/time ] || { echo "speed_correction_vs_cat: /usr/bin/time missing" >&2; exit 2; }

WORK=$(mktemp -d /dev/shm/tessara-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out"
"$SYNTH" --out "$WORK/in" --preset big --total-bytes "$TOTAL" >/dev/null
INPUTS=$(ls "$WORK"/in/*.sgy)
BYTES=$(cat $INPUTS | wc -c)
echo "survey: $(echo "$INPUTS" | wc -l) files, $BYTES bytes"

now() { date +%s.%N; }
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

# run_job NAME [OPTIONS...]
run_job() {
    name=$1
    shift
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    t0=$(now)
    # shellcheck disable=SC2086
    "$CLI" combine -o "$WORK/out" "$@" --log "$WORK/$name.log" $INPUTS >"$WORK/$name.out"
    t1=$(now)
    rm -rf "$WORK/out"
    calc "$t1 - $t0"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_cat >/dev/null
run_job plain >/dev/null
run_job corrected --speed-correction >/dev/null
: >"$WORK/cat.times"
: >"$WORK/plain.times"
: >"$WORK/corrected.times"
: >"$WORK/added"
i=1
while [ "$i" -le "$ROUNDS" ]; do
    case $((i % 3)) in
    1) c=$(run_cat); p=$(run_job plain); s=$(run_job corrected --speed-correction) ;;
    2) p=$(run_job plain); s=$(run_job corrected --speed-correction); c=$(run_cat) ;;
    *) s=$(run_job corrected --speed-correction); c=$(run_cat); p=$(run_job plain) ;;
    esac
    echo "$c" >>"$WORK/cat.times"
    echo "$p" >>"$WORK/plain.times"
    echo "$s" >>"$WORK/corrected.times"
    calc "($s - $p) / $c" >>"$WORK/added"
    printf 'round %d: cat %.3f s, combine %.3f s, combine --speed-correction %.3f s\n' \
        "$i" "$c" "$p" "$s"
    i=$((i + 1))
done
CAT=$(median <"$WORK/cat.times")
PLAIN=$(median <"$WORK/plain.times")
SC=$(median <"$WORK/corrected.times")
printf 'median: cat %.3f s, combine %.3f s, combine --speed-correction %.3f s\n' "$CAT" "$PLAIN" "$SC"
printf 'the correction adds %.3f cat (medians), %.3f cat (median of paired rounds); target <= 1.0\n' \
    "$(calc "($SC - $PLAIN) / $CAT")" "$(median <"$WORK/added")"
cat "$WORK/corrected.out"

peak_kb() {
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    # shellcheck disable=SC2086
    /usr/bin/time -v "$CLI" combine -o "$WORK/out" --speed-correction --log "$WORK/peak.log" "$@" \
        2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
    rm -rf "$WORK/out"
}
FULL=$(peak_kb $INPUTS)
# shellcheck disable=SC2086
QUARTER=$(peak_kb $(echo "$INPUTS" | head -6))
echo "peak memory with --speed-correction: $FULL kB for $BYTES bytes, $QUARTER kB for a quarter"

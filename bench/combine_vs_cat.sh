#!/bin/sh
# Whole-job benchmark of `tessara-cli combine` against `cat` of the same inputs
# into one file, in the same run: paired runs (the order alternates), medians
# of the paired ratios. The jobs, each on back-to-back files (no gap fill):
#
#   no delay scan       --no-delay-scan on a survey without delay glitches
#   nothing dropped     the default job (delay scan on) on the same survey
#   few dropped         the default job on a survey with rare delay glitches,
#                       whose traces the delay scan removes
#   speed corrected     --speed-correction on the survey with delay glitches
#   dry run             --dry-run on the same: every output decided, nothing
#                       written
#   short traces        the default job on a survey of 500 int16 samples
#                       every 0.1 s (1240-byte records), as many bytes
#   resampling, 1 core  --sampling-frequency 12000 (40 -> 83 us) under
#                       taskset -c 0, on a survey a quarter of the size
#   resampling, all     the same on every processor; the speed-up is the
#                       median of the paired ratios of the two
#
# and the peak memory (/usr/bin/time -v) of every job, plus that of the
# default job on a quarter of its survey: memory must not grow with the data.
#
#   bench/combine_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 7, TOTAL_BYTES to
# 1G: the surveys are 24 little-endian IEEE files of 5000 samples made by
# tessara-synth --preset big. Inputs and outputs live under /dev/shm (a
# temporary folder there, or BENCH_DIR to keep the surveys between runs):
# disk write-back would otherwise swing `cat` by 2x.
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
command -v taskset >/dev/null || { echo "combine_vs_cat: taskset missing (util-linux)" >&2; exit 2; }

if [ -n "${BENCH_DIR:-}" ]; then
    WORK=$BENCH_DIR
else
    [ -d /dev/shm ] || { echo "combine_vs_cat: /dev/shm missing; set BENCH_DIR" >&2; exit 2; }
    WORK=$(mktemp -d -p /dev/shm)
    trap 'rm -rf "$WORK"' EXIT
fi
mkdir -p "$WORK"

# survey NAME SYNTH_OPTIONS...: generated once into $WORK/NAME.
survey() {
    name=$1
    shift
    if [ -z "$(ls "$WORK/$name" 2>/dev/null)" ]; then
        "$SYNTH" --out "$WORK/$name" --preset big "$@" >/dev/null
    fi
}
survey clean --total-bytes "$TOTAL"
survey glitch --total-bytes "$TOTAL" --glitch-rate 0.0005 --seed 7
QUARTER=$(awk -v t="$TOTAL" 'BEGIN {
    n = t + 0; u = substr(t, length(t)); m = (u == "G") ? 1e9 : (u == "M") ? 1e6 : (u == "K") ? 1e3 : 1
    printf "%d\n", n * m / 4 }')
survey resample --total-bytes "$QUARTER" --interval 40
# Short traces: 500 int16 samples (1240-byte records) every 0.1 s, the same
# bytes in 24 files.
SHORT_TRACES=$(awk -v t="$TOTAL" 'BEGIN {
    n = t + 0; u = substr(t, length(t)); m = (u == "G") ? 1e9 : (u == "M") ? 1e6 : (u == "K") ? 1e3 : 1
    printf "%d\n", n * m / 24 / 1240 }')
if [ -z "$(ls "$WORK/short" 2>/dev/null)" ]; then
    "$SYNTH" --out "$WORK/short" --files 24 --traces "$SHORT_TRACES" --samples 500 --format 3 \
        --ping 0.1 >/dev/null
fi

# shellcheck source=bench/timing.sh
. "$(dirname "$0")/timing.sh"

# job_time SURVEY PREFIX OPTIONS...: seconds of one combine job.
job_time() {
    s=$1
    prefix=$2
    shift 2
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    # A dry run writes nothing, a log included.
    case " $* " in
    *" --dry-run "*) log="" ;;
    *) log="--log $WORK/combine.log" ;;
    esac
    t0=$(now)
    # shellcheck disable=SC2086
    $prefix "$CLI" combine -o "$WORK/out" $log "$@" "$WORK/$s"/*.sgy >"$WORK/combine.out"
    t1=$(now)
    rm -rf "$WORK/out"
    calc "$t1 - $t0"
}

# peak_mb SURVEY FILES PREFIX OPTIONS...: peak resident memory of one job on
# the first FILES files of the survey, MB.
peak_mb() {
    s=$1
    files=$2
    prefix=$3
    shift 3
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    case " $* " in
    *" --dry-run "*) log="" ;;
    *) log="--log $WORK/combine.log" ;;
    esac
    # shellcheck disable=SC2086,SC2046
    kb=$(/usr/bin/time -v $prefix "$CLI" combine -o "$WORK/out" $log "$@" \
        $(ls "$WORK/$s"/*.sgy | head -n "$files") 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
    rm -rf "$WORK/out"
    calc "$kb / 1024"
}

# measure LABEL SURVEY PREFIX OPTIONS...: ROUNDS paired rounds of cat and the
# job; prints the medians and the median of the paired ratios.
measure() {
    label=$1
    s=$2
    prefix=$3
    shift 3
    cat_time "$s" >/dev/null # warm the page cache
    job_time "$s" "$prefix" "$@" >/dev/null
    : >"$WORK/c" && : >"$WORK/j" && : >"$WORK/r"
    i=1
    while [ "$i" -le "$ROUNDS" ]; do
        if [ $((i % 2)) -eq 1 ]; then
            c=$(cat_time "$s")
            j=$(job_time "$s" "$prefix" "$@")
        else
            j=$(job_time "$s" "$prefix" "$@")
            c=$(cat_time "$s")
        fi
        echo "$c" >>"$WORK/c" && echo "$j" >>"$WORK/j" && calc "$j / $c" >>"$WORK/r"
        i=$((i + 1))
    done
    printf '%-20s cat %.3f s  job %.3f s  ratio %.2f  peak %.1f MB\n' "$label" \
        "$(median <"$WORK/c")" "$(median <"$WORK/j")" "$(median <"$WORK/r")" \
        "$(peak_mb "$s" 24 "$prefix" "$@")"
}

bytes() { du -cb "$WORK/$1"/*.sgy | tail -n 1 | cut -f 1; }
echo "surveys: $(bytes clean) bytes (clean, glitch), $(bytes resample) bytes (resample); $ROUNDS rounds"

# For scale: cat copies inside the kernel (copy_file_range), one pass over
# the bytes; a plain read/write copy (dd) makes two, as the job must, whose
# every trace header changes on the way.
measure_dd() {
    cat_time clean >/dev/null
    : >"$WORK/c" && : >"$WORK/j"
    i=1
    while [ "$i" -le "$ROUNDS" ]; do
        c=$(cat_time clean)
        rm -f "$WORK/dd.sgy"
        t0=$(now)
        for f in "$WORK"/clean/*.sgy; do dd if="$f" bs=128K status=none; done >"$WORK/dd.sgy"
        t1=$(now)
        rm -f "$WORK/dd.sgy"
        echo "$c" >>"$WORK/c" && calc "($t1 - $t0) / $c" >>"$WORK/j"
        i=$((i + 1))
    done
    printf '%-20s ratio %.2f (read/write copy with dd bs=128K, for scale)\n' "dd" "$(median <"$WORK/j")"
}
measure_dd
measure "no delay scan" clean "" --no-delay-scan
measure "nothing dropped" clean ""
measure "few dropped" glitch ""
grep -h "removed by delay scan" "$WORK/combine.out" | sed 's/^/  few dropped: /'
measure "speed corrected" glitch "" --speed-correction
grep -h "speed corrected at" "$WORK/combine.out" | head -n 1 | sed 's/^.*: /  speed corrected: /'
measure "dry run" glitch "" --dry-run
measure "short traces" short ""
measure "resampling, 1 core" resample "taskset -c 0" --sampling-frequency 12000
measure "resampling, all" resample "" --sampling-frequency 12000

# The speed-up of the resampling job: the job on one processor and on all of
# them in the same round, the order alternating; median of the paired ratios.
: >"$WORK/s"
i=1
while [ "$i" -le "$ROUNDS" ]; do
    if [ $((i % 2)) -eq 1 ]; then
        one=$(job_time resample "taskset -c 0" --sampling-frequency 12000)
        all=$(job_time resample "" --sampling-frequency 12000)
    else
        all=$(job_time resample "" --sampling-frequency 12000)
        one=$(job_time resample "taskset -c 0" --sampling-frequency 12000)
    fi
    calc "$one / $all" >>"$WORK/s"
    i=$((i + 1))
done
printf 'resampling speed-up on %s processors: %.2f (paired rounds)\n' "$(nproc)" "$(median <"$WORK/s")"
printf 'peak memory of the default job: %.1f MB on the whole survey, %.1f MB on a quarter of it\n' \
    "$(peak_mb clean 24 "")" "$(peak_mb clean 6 "")"

#!/bin/sh
# Whole-job benchmark of the positions from a navigation file: a day of 1 Hz
# NMEA (some 86,400 GGA fixes) merged into a survey of the same day whose
# traces carry no position, against the same survey with its positions in the
# headers and against `cat` of the inputs into one file, in the same run:
# paired rounds (the order rotates), medians. What the navigation file adds to
# the job is given in units of `cat` (target: below 0.05).
#
#   bench/navigation_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 7, TOTAL_BYTES to
# 1G: tessara-synth --preset big with a ping every 1.75 s, so that the survey
# spans a day. Inputs and outputs live in a folder under /dev/shm, removed at
# the end: disk write-back would otherwise swing `cat` by 2x.
set -eu
BUILD=${1:-build-bench}
ROUNDS=${2:-7}
TOTAL=${3:-1G}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "navigation_vs_cat: build tessara-cli and tessara-synth in $BUILD first" >&2
    exit 2
}
[ -d /dev/shm ] || { echo "navigation_vs_cat: /dev/shm missing" >&2; exit 2; }
WORK=$(mktemp -d /dev/shm/tessara-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

"$SYNTH" --out "$WORK/pos" --preset big --total-bytes "$TOTAL" --ping 1.75 >/dev/null
"$SYNTH" --out "$WORK/bare" --preset big --total-bytes "$TOTAL" --ping 1.75 \
    --no-header-positions --nmea "$WORK/day.nmea" >/dev/null

# shellcheck source=bench/timing.sh
. "$(dirname "$0")/timing.sh"

# job_time SURVEY OPTIONS...: seconds of one combine job.
job_time() {
    s=$1
    shift
    rm -rf "$WORK/out" && mkdir "$WORK/out"
    t0=$(now)
    "$CLI" combine -o "$WORK/out" --no-delay-scan --log "$WORK/combine.log" "$@" \
        "$WORK/$s"/*.sgy >"$WORK/combine.out"
    t1=$(now)
    rm -rf "$WORK/out"
    calc "$t1 - $t0"
}

echo "survey: $(du -cb "$WORK/pos"/*.sgy | tail -n 1 | cut -f 1) bytes;" \
    "log: $(grep -c GGA "$WORK/day.nmea") fixes; $ROUNDS rounds"
cat_time pos >/dev/null # warm the page cache
job_time pos >/dev/null
job_time bare --navigation "$WORK/day.nmea" >/dev/null
grep -h "Navigation file\|Positions from" "$WORK/combine.log" | tr -d '\r' | sed 's/^\t/  /'
: >"$WORK/c" && : >"$WORK/h" && : >"$WORK/n" && : >"$WORK/rh" && : >"$WORK/rn" && : >"$WORK/d"
i=1
while [ "$i" -le "$ROUNDS" ]; do
    case $((i % 3)) in
    1) c=$(cat_time pos); h=$(job_time pos); n=$(job_time bare --navigation "$WORK/day.nmea") ;;
    2) h=$(job_time pos); n=$(job_time bare --navigation "$WORK/day.nmea"); c=$(cat_time pos) ;;
    *) n=$(job_time bare --navigation "$WORK/day.nmea"); c=$(cat_time pos); h=$(job_time pos) ;;
    esac
    echo "$c" >>"$WORK/c" && echo "$h" >>"$WORK/h" && echo "$n" >>"$WORK/n"
    calc "$h / $c" >>"$WORK/rh" && calc "$n / $c" >>"$WORK/rn" && calc "($n - $h) / $c" >>"$WORK/d"
    i=$((i + 1))
done
printf '%-22s %.3f s\n' "cat" "$(median <"$WORK/c")"
printf '%-22s %.3f s  ratio %.2f\n' "header positions" "$(median <"$WORK/h")" "$(median <"$WORK/rh")"
printf '%-22s %.3f s  ratio %.2f\n' "navigation file" "$(median <"$WORK/n")" "$(median <"$WORK/rn")"
printf '%-22s %.3f x cat (target < 0.05)\n' "added by the file" "$(median <"$WORK/d")"

#!/bin/sh
# `tessara-cli section` of one large composite rendered to a 2000x1000 PNG,
# against `cat FILE > /dev/null` on a warm cache and against the same picture
# made by bench/section_segyio.py (segyio + numpy + matplotlib), in the same
# run: medians of ROUNDS rounds, the ratios taken within each round, for an
# IEEE little-endian and an IBM big-endian composite of 5000 samples per
# trace; and the peak memory of the section command on the full size and on a
# quarter of it. The section command reads with two threads where it has two
# cores: its cpu time is shown beside its wall time.
#
#   bench/section_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 5, TOTAL_BYTES to
# 2G. Files live under /dev/shm (or BENCH_DIR to keep them between runs).
# Each round also paints the section with the display processing of
# PROCESSING (default: DC removal and a 2-8 kHz band-pass), whose cost on top
# of the plain section is shown as a share of cat.
# Targets: within 2x cat for IEEE and 2.5x for IBM, processing within 0.5x
# cat on top, at least 10x faster than the script, peak memory under 64 MB
# whatever the size. Without segyio, numpy and matplotlib for python3 the
# script is left out and said to be.
#
# cat and the section command share the two cores with whatever else runs:
# under load compare their cpu times too (cat's, the section's, and the
# processing's extra), which the load sways less than wall time.
set -eu
BUILD=${1:-build-bench}
ROUNDS=${2:-5}
TOTAL=${3:-2G}
PROCESSING=${PROCESSING:---dc --bandpass 2000,8000}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
SCRIPT=$(dirname "$0")/section_segyio.py
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "section_vs_cat: build tessara-cli and tessara-synth in $BUILD first" >&2
    exit 2
}
[ -x /usr/bin/time ] || { echo "section_vs_cat: /usr/bin/time missing (scripts/install-deps)" >&2; exit 2; }
SCRIPT_OK=1
/usr/bin/python3 -c 'import segyio, numpy, matplotlib' 2>/dev/null || {
    echo "section_vs_cat: python3-segyio, -numpy, -matplotlib missing (scripts/install-deps): no script timed" >&2
    SCRIPT_OK=0
}
if [ -n "${BENCH_DIR:-}" ]; then
    WORK=$BENCH_DIR
else
    WORK=$(mktemp -d -p /dev/shm)
    trap 'rm -rf "$WORK"' EXIT
fi
mkdir -p "$WORK"

# composite NAME TOTAL SYNTH_OPTIONS...: one generated file, $WORK/NAME.sgy.
composite() {
    name=$1
    size=$2
    shift 2
    if [ ! -f "$WORK/$name.sgy" ]; then
        "$SYNTH" --out "$WORK/$name.d" --preset big --files 1 --total-bytes "$size" "$@" >/dev/null
        mv "$WORK/$name.d"/*.sgy "$WORK/$name.sgy"
        rmdir "$WORK/$name.d"
    fi
}
QUARTER=$(awk -v t="$TOTAL" 'BEGIN {
    n = t + 0; u = substr(t, length(t)); m = (u == "G") ? 1e9 : (u == "M") ? 1e6 : (u == "K") ? 1e3 : 1
    printf "%d\n", n * m / 4 }')
composite ieee "$TOTAL"
composite ibm "$TOTAL" --format 1 --byte-order big
composite quarter "$QUARTER"

# measure COMMAND...: "seconds peak_kB cpu_seconds" of one run.
measure() {
    /usr/bin/time -f '%e %M %U %S' -o "$WORK/time" "$@" >/dev/null 2>&1 || {
        echo "section_vs_cat: failed: $*" >&2
        exit 1
    }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$WORK/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Each round runs cat, the section command and the script back to back, and
# the ratios are taken within the round: on a machine shared with other work
# the load then weighs on both sides of each ratio alike.
for name in ieee ibm; do
    f=$WORK/$name.sgy
    cat "$f" >/dev/null # warm the cache
    : >"$WORK/rounds"
    r=0
    while [ "$r" -lt "$ROUNDS" ]; do
        c=$(measure sh -c "cat '$f' >/dev/null")
        s=$(measure "$CLI" section "$f" -o "$WORK/cli.png" --width 2000 --height 1000)
        p="0 0 0"
        [ "$SCRIPT_OK" = 1 ] && p=$(measure /usr/bin/python3 "$SCRIPT" "$f" "$WORK/py.png" 2000 1000)
        d=$(measure "$CLI" section "$f" -o "$WORK/dsp.png" --width 2000 --height 1000 $PROCESSING)
        echo "$c $s $p $d" >>"$WORK/rounds"
        r=$((r + 1))
    done
    col() { awk -v k="$1" '{ print $k }' "$WORK/rounds" | median; }
    cat_s=$(col 1)
    cat_cpu=$(col 3)
    cli_s=$(col 4)
    cli_cpu=$(col 6)
    py_s=$(col 7)
    vs_cat=$(awk '{ print $4 / ($1 > 0 ? $1 : 0.01) }' "$WORK/rounds" | median)
    vs_py=$(awk '{ print $7 / ($4 > 0 ? $4 : 0.01) }' "$WORK/rounds" | median)
    dsp_s=$(col 10)
    dsp_cpu=$(awk '{ print $12 - $6 }' "$WORK/rounds" | median)
    dsp_cat=$(awk '{ print ($10 - $4) / ($1 > 0 ? $1 : 0.01) }' "$WORK/rounds" | median)
    mem=$(awk '{ print $5 }' "$WORK/rounds" | sort -n | tail -1)
    target=2
    [ "$name" = ibm ] && target=2.5
    awk -v n="$name" -v b="$(stat -c %s "$f")" -v c="$cat_s" -v cu="$cat_cpu" -v s="$cli_s" \
        -v u="$cli_cpu" -v rc="$vs_cat" -v t="$target" -v m="$mem" 'BEGIN {
        printf "%-5s %5.2f GB  cat %5.2f s (cpu %4.2f s)  section %5.2f s (cpu %5.2f s; %.2fx cat, target <= %s)  peak %d MB\n",
            n, b / 1e9, c, cu, s, u, rc, t, m / 1024 }'
    if [ "$SCRIPT_OK" = 1 ]; then
        awk -v n="$name" -v p="$py_s" -v rp="$vs_py" 'BEGIN {
            printf "%-5s script %6.2f s (%.1fx section, target >= 10)\n", n, p, rp }'
    else
        echo "$name  script not timed (no segyio for python3)"
    fi
    awk -v n="$name" -v d="$dsp_s" -v r="$dsp_cat" -v u="$dsp_cpu" -v o="$PROCESSING" 'BEGIN {
        printf "%-5s with %s: %5.2f s (cpu +%4.2f s), +%.2fx cat over section alone (target <= 0.5)\n", n, o, d, u, r }'
done
q=$(measure "$CLI" section "$WORK/quarter.sgy" -o "$WORK/q.png" --width 2000 --height 1000 | awk '{ print $2 }')
echo "peak memory on a quarter of the size: $((q / 1024)) MB (target: under 64 MB, not growing with the file)"

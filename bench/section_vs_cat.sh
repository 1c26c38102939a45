#!/bin/sh
# `tessara-cli section` of one large composite rendered to a 2000x1000 PNG,
# against `cat FILE > /dev/null` on a warm cache and against the same picture
# made by bench/section_segyio.py (segyio + numpy + matplotlib), in the same
# run: medians of ROUNDS runs each, for an IEEE little-endian and an IBM
# big-endian composite of 5000 samples per trace; and the peak memory of the
# section command on the full size and on a quarter of it.
#
#   bench/section_vs_cat.sh [BUILD_DIR] [ROUNDS] [TOTAL_BYTES]
#
# BUILD_DIR defaults to build-bench (make bench), ROUNDS to 5, TOTAL_BYTES to
# 2G. Files live under /dev/shm (or BENCH_DIR to keep them between runs).
# Targets: within 3x cat, at least 10x faster than the script, peak memory
# under 64 MB whatever the size.
set -eu
BUILD=${1:-build-bench}
ROUNDS=${2:-5}
TOTAL=${3:-2G}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
SCRIPT=$(dirname "$0")/section_segyio.py
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "section_vs_cat: build tessara-cli and tessara-synth in $BUILD first" >&2
    exit 2
}
[ -x /usr/bin/time ] || { echo "section_vs_cat: /usr/bin/time missing (scripts/install-deps)" >&2; exit 2; }
/usr/bin/python3 -c 'import segyio, numpy, matplotlib' 2>/dev/null || {
    echo "section_vs_cat: python3-segyio, -numpy, -matplotlib missing (scripts/install-deps)" >&2
    exit 2
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

# measure COMMAND...: "seconds peak_kB" of one run.
measure() {
    /usr/bin/time -f '%e %M' -o "$WORK/time" "$@" >/dev/null 2>&1 || {
        echo "section_vs_cat: failed: $*" >&2
        exit 1
    }
    cat "$WORK/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for name in ieee ibm; do
    f=$WORK/$name.sgy
    cat "$f" >/dev/null # warm the cache
    : >"$WORK/cat" ; : >"$WORK/cli" ; : >"$WORK/py" ; : >"$WORK/mem"
    r=0
    while [ "$r" -lt "$ROUNDS" ]; do
        measure sh -c "cat '$f' >/dev/null" | awk '{ print $1 }' >>"$WORK/cat"
        measure "$CLI" section "$f" -o "$WORK/cli.png" --width 2000 --height 1000 >"$WORK/one"
        awk '{ print $1 }' "$WORK/one" >>"$WORK/cli"
        awk '{ print $2 }' "$WORK/one" >>"$WORK/mem"
        measure /usr/bin/python3 "$SCRIPT" "$f" "$WORK/py.png" 2000 1000 | awk '{ print $1 }' >>"$WORK/py"
        r=$((r + 1))
    done
    cat_s=$(median <"$WORK/cat")
    cli_s=$(median <"$WORK/cli")
    py_s=$(median <"$WORK/py")
    mem=$(sort -n "$WORK/mem" | tail -1)
    awk -v n="$name" -v b="$(stat -c %s "$f")" -v c="$cat_s" -v s="$cli_s" -v p="$py_s" -v m="$mem" 'BEGIN {
        printf "%-5s %6.2f GB  cat %6.2f s  section %6.2f s (%.2fx cat, target <= 3)  script %7.2f s (%.1fx section, target >= 10)  peak %d MB\n",
            n, b / 1e9, c, s, s / (c > 0 ? c : 0.01), p, p / (s > 0 ? s : 0.01), m / 1024 }'
done
q=$(measure "$CLI" section "$WORK/quarter.sgy" -o "$WORK/q.png" --width 2000 --height 1000 | awk '{ print $2 }')
echo "peak memory on a quarter of the size: $((q / 1024)) MB (target: under 64 MB, not growing with the file)"

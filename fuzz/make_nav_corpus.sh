#!/bin/sh
# Rebuilds the seed corpus of the navigation fuzz target from the synthetic
# survey generator: two settings bytes (smoothing half-width - 2; bit 0 fixed
# spacing, the rest the spacing - 2 in metres), then the 240-byte trace
# headers of a generated file of one-sample traces, with the position faults
# recorders and their navigation feeds produce. Each input stays under 12 kB.
#   fuzz/make_nav_corpus.sh build/tools/tessara-synth
set -eu
synth=${1:?usage: make_nav_corpus.sh path/to/tessara-synth}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/nav_corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make() { # name, settings bytes (octal escapes), then tessara-synth options
    name=$1
    settings=$2
    shift 2
    "$synth" --out "$work/$name" --files 1 --traces 40 --samples 1 --format 8 --ping 1 "$@" >/dev/null
    {
        printf "$settings"
        tail -c +3601 "$work/$name"/*.sgy | od -An -v -tx1 | tr -s ' \n' '\n\n' | grep . |
            awk '{ if (NR % 241 != 0) printf "%s\n", $0 }' | xxd -r -p
    } >"$corpus/$name"
}

put32() { # file, byte offset, big-endian 32-bit value
    v=$3
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v >> 24 & 255)) $((v >> 16 & 255)) \
        $((v >> 8 & 255)) $((v & 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null
}

mkdir -p "$corpus"
make arcsec_median '\000\000'
make metres_median '\001\000' --units metres
make degrees_fixed_5m '\036\007' --units degrees
make dddmmss_speed_changes '\002\000' --units dddmmss --speed-change 10:8 --speed-change 25:1
make spike '\000\000' --spike 20:8000
make scalar_slip_degrees '\000\000' --units degrees --scalar-slip 20:10
make near_zero_zero '\000\000' --units degrees --spike 20:-6060000
make projected_jump_last '\000\000' --units metres --scalar 1 --spike 40:10000000
make missing_positions '\000\000' --missing-nav-rate 0.3 --seed 4
make clock_reset '\000\000'
# Traces 10 to 17 without a usable year (bytes 156-157 of each header): their
# placeholder times lie before the first fix, a run of bad times.
for k in 10 11 12 13 14 15 16 17; do
    printf '\000\000' | dd of="$corpus/clock_reset" bs=1 seek=$((2 + k * 240 + 156)) conv=notrunc 2>/dev/null
done
make ten_times_refused '\000\001' --speed 40
make standing_still '\000\000' --speed 0
# Two fixes in a row at latitude 99.9999 (sourceY, bytes 76-79, in arc
# seconds at scalar -100), a recorder's fill value: no place on the globe.
make fill_value_pair '\000\000'
for k in 20 21; do
    put32 "$corpus/fill_value_pair" $((2 + k * 240 + 76)) 35999964
done
# Runs of 2 and 10 positions 200 km east of the track (sourceX, bytes 72-75,
# in metres): the longest run the spike repair mends, and a short one.
make spike_runs '\000\000' --units metres --scalar 1
for k in 5 6 20 21 22 23 24 25 26 27 28 29; do
    put32 "$corpus/spike_runs" $((2 + k * 240 + 72)) 700000
done

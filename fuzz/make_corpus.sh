#!/bin/sh
# Rebuilds the seed corpus of the SEG-Y fuzz target from the synthetic survey
# generator: tiny files of every sample format in both byte orders, plus a few
# with the faults recorders produce. Each file stays well under 20 kB.
#   fuzz/make_corpus.sh build/tools/tessara-synth
set -eu
synth=${1:?usage: make_corpus.sh path/to/tessara-synth}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make() { # name, then tessara-synth options
    name=$1
    shift
    "$synth" --out "$work/$name" --files 1 --traces 3 --samples 16 --interval 100 "$@" >/dev/null
    cp "$work/$name"/*.sgy "$corpus/$name.sgy"
}

mkdir -p "$corpus"
for format in 1 2 3 5 8; do
    make "be_format$format" --format "$format" --byte-order big --text ebcdic
    make "le_format$format" --format "$format" --byte-order little --text ascii
done
make truncated_last_trace --format 1 --truncate last
make zero_counts_and_intervals --format 5 --byte-order little --zero-count-rate 0.5 --zero-interval-rate 0.5 --seed 3
make two_channels_glitch --format 3 --channels 2 --channel-field digitizer --glitch-rate 0.5 --traces 4
# A constant-length file whose last 8 bytes, taken by the target as a trace
# index, are 2^60: the byte offset of that trace overflows 64 bits.
{ cat "$corpus/le_format5.sgy"; printf '\000\000\000\000\000\000\000\020'; } >"$corpus/index_far_past_end.sgy"

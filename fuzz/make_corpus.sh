#!/bin/sh
# Rebuilds the seed corpora of the SEG-Y and section fuzz targets from the
# synthetic survey generator: tiny files of every sample format in both byte
# orders, plus a few with the faults recorders produce. Each file stays well
# under 20 kB.
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
# Revision 1 with one extended text header before the traces, and with a
# variable number (-1), which Open refuses; bytes 3500-3505 are the revision,
# the fixed-length flag and the count.
be="$corpus/be_format1.sgy"
{ head -c 3500 "$be"; printf '\001\000\000\001\000\001'; tail -c +3507 "$be" | head -c 94
  head -c 3200 /dev/zero; tail -c +3601 "$be"; } >"$corpus/extended_header_rev1.sgy"
{ head -c 3500 "$be"; printf '\001\000\000\001\377\377'; tail -c +3507 "$be"; } \
    >"$corpus/extended_header_variable.sgy"
# The first trace header says 255 samples where the binary header's 16 fit the
# file length: every trace is read with 16.
{ head -c 3714 "$be"; printf '\000\377'; tail -c +3717 "$be"; } >"$corpus/stale_trace_count.sgy"
# Revision 0 declaring two extended text headers that are there (EBCDIC
# blanks): only the file length shows that the traces follow them.
{ head -c 3500 "$be"; printf '\000\000\000\001\000\002'; tail -c +3507 "$be" | head -c 94
  head -c 6400 /dev/zero | tr '\000' '\100'; tail -c +3601 "$be"; } >"$corpus/extended_header_rev0.sgy"

# The section target's seeds: its 13 option bytes, then the trace records of
# a generated file. Options: columns 64, rows 64 (bytes 0, 1); flags (2): 1
# waterfall, 2 AGC, 4 little endian, 8 time window, 16 trace range, 32 no
# count in the binary header, 64 stopped; format (3): 0 IBM, 1 int32, 2
# int16, 3 IEEE, 4 int8; the rest as fuzz_section.cpp decodes them.
sections="$here/section_corpus"
mkdir -p "$sections"
make_section() { # name, option bytes (octal escapes), then tessara-synth options
    name=$1
    options=$2
    shift 2
    "$synth" --out "$work/$name" --files 1 --traces 8 --samples 24 --interval 100 "$@" >/dev/null
    { printf "$options"; tail -c +3601 "$work/$name"/*.sgy; } >"$sections/$name"
}
make_section ibm_grey '\077\077\000\000\374\000\000\000\000\000\000\000\000' --format 1
make_section ieee_le_agc '\017\007\006\003\200\004\000\000\000\000\000\000\000' --format 5 --byte-order little
make_section int16_window_range '\007\037\030\002\377\000\002\004\000\001\000\002\001' --format 3 --delay 1
make_section int8_delays_step '\077\003\000\004\001\000\000\000\000\000\000\000\003' --format 8 --glitch-rate 0.5 --glitch-delay 2
make_section int32_zero_count '\000\000\040\001\100\000\000\000\000\000\000\000\000' --format 2 --zero-count-rate 0.3 --zero-interval-rate 0.2 --seed 2
make_section waterfall_pairs '\027\007\001\003\360\000\000\000\000\000\000\000\000' --format 5 --channel-field trace-id --first-channel 25
make_section stopped '\077\077\100\000\374\000\000\000\000\000\000\000\000' --format 1

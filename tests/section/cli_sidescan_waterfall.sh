#!/bin/sh
# Sidescan composites of every channel layout combine accepts: the quicklook
# chooses the waterfall by itself, the same picture as section --waterfall
# (the port halves as the job laid them out), not the plain section.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "sidescan waterfall: FAILED: $*"; exit 1; }

# NAME SYNTH-FIELD COMBINE-FIELD [--no-flip-port]; word splitting intended.
layout() {
    mkdir -p "$DIR/$1/out"
    "$SYNTH" --out "$DIR/$1/in" --files 1 --traces 60 --samples 150 --format 5 --year 2023 \
        --channels 2 --first-channel 1 $2 >/dev/null || fail "$1: tessara-synth"
    "$CLI" combine -o "$DIR/$1/out" --no-delay-scan --sidescan 1,2 $3 ${4:-} --quicklook \
        "$DIR/$1"/in/*.sgy >"$DIR/$1/log" 2>&1 || fail "$1: combine: $(cat "$DIR/$1/log")"
    sgy=$(ls "$DIR/$1"/out/*.sgy)
    "$CLI" section "$sgy" --waterfall ${4:-} -o "$DIR/$1/w.png" || fail "$1: section --waterfall"
    "$CLI" section "$sgy" -o "$DIR/$1/s.png" || fail "$1: section"
    cmp -s "${sgy%.sgy}.png" "$DIR/$1/w.png" || fail "$1: the quicklook is no waterfall"
    cmp -s "$DIR/$1/s.png" "$DIR/$1/w.png" && fail "$1: the waterfall is the plain section"
    return 0
}

layout seq-file "--channel-field seq-file" "--channel-field 0"
layout in-ensemble "--channel-field in-ensemble" "--channel-field 1"
layout recorded-order "--channel-field in-ensemble" "--channel-field 1" --no-flip-port
layout trace-id "--channel-field trace-id" "--channel-field 2"
layout digitizer "--channel-field digitizer" "--channel-field 3"
layout bytes "--channel-field bytes --channel-offset 200 --channel-width 1" \
    "--channel-field 4 --channel-start 200 --channel-length 1"
echo "sidescan waterfall: ok"

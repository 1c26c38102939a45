#!/bin/sh
# Sidescan composites of every channel layout combine accepts draw as a
# waterfall: the quicklook chooses it by itself and equals section
# --waterfall of the same composite (the port halves as the job laid them
# out); the plain section of the same file differs.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "sidescan waterfall: FAILED: $*"; exit 1; }

# NAME SYNTH-FIELD COMBINE-FIELD-OPTIONS [--no-flip-port]
layout() {
    name=$1
    synthField=$2
    combineField=$3
    flip=${4:-}
    mkdir -p "$DIR/$name/out"
    # shellcheck disable=SC2086
    "$SYNTH" --out "$DIR/$name/in" --files 1 --traces 60 --samples 150 --format 5 --year 2023 \
        --channels 2 --first-channel 1 $synthField >/dev/null || fail "$name: tessara-synth"
    # shellcheck disable=SC2086
    "$CLI" combine -o "$DIR/$name/out" --no-delay-scan --sidescan 1,2 $combineField $flip \
        --quicklook "$DIR/$name"/in/*.sgy >"$DIR/$name/log" 2>&1 ||
        fail "$name: combine exit $?: $(cat "$DIR/$name/log")"
    sgy=$(ls "$DIR/$name"/out/*.sgy)
    png="${sgy%.sgy}.png"
    [ -s "$png" ] || fail "$name: no quicklook"
    # shellcheck disable=SC2086
    "$CLI" section "$sgy" --waterfall $flip -o "$DIR/$name/w.png" ||
        fail "$name: section --waterfall exit $?"
    cmp -s "$png" "$DIR/$name/w.png" || fail "$name: the quicklook is no waterfall"
    "$CLI" section "$sgy" -o "$DIR/$name/s.png" || fail "$name: section exit $?"
    cmp -s "$png" "$DIR/$name/s.png" && fail "$name: the waterfall is the plain section"
    return 0
}

layout seq-file "--channel-field seq-file" "--channel-field 0"
layout in-ensemble "--channel-field in-ensemble" "--channel-field 1"
layout in-ensemble-recorded "--channel-field in-ensemble" "--channel-field 1" --no-flip-port
layout trace-id "--channel-field trace-id" "--channel-field 2"
layout digitizer "--channel-field digitizer" "--channel-field 3"
layout bytes "--channel-field bytes --channel-offset 200 --channel-width 1" \
    "--channel-field 4 --channel-start 200 --channel-length 1"
echo "sidescan waterfall: ok"

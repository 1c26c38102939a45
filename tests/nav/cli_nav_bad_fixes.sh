#!/bin/sh
# tessara-cli nav on generated tracks with bad positions: traces without a
# position or off the globe are left out and counted, a spike is repaired,
# two fill values cost the corrected file no trace, and a file without
# navigation exits 1.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "nav bad fixes: FAILED: $*"; exit 1; }
synth() { # folder, then options
    out=$1
    shift
    "$SYNTH" --out "$DIR/$out" --files 1 --traces 300 --samples 10 --format 5 --ping 1 \
        --speed 3 "$@" >/dev/null || fail "tessara-synth $*"
}
length() { tail -1 "$1" | awk -F, '{ print int($11) }'; }

synth clean
"$CLI" nav "$DIR/clean"/*.sgy >"$DIR/clean.csv" 2>"$DIR/clean.err" || fail "clean: $(cat "$DIR/clean.err")"
grep -q 'left out\|spikes' "$DIR/clean.err" && fail "clean: $(cat "$DIR/clean.err")"
clean=$(length "$DIR/clean.csv")

# Every fourth ping or so without a position: no fix at 0/0.
synth holes --missing-nav-rate 0.25 --seed 5
"$CLI" nav "$DIR/holes"/*.sgy >"$DIR/holes.csv" 2>"$DIR/holes.err" || fail "holes: $(cat "$DIR/holes.err")"
missing=$(sed -n 's/^\([0-9]*\) of 300 traces without navigation left out$/\1/p' "$DIR/holes.err")
[ -n "$missing" ] && [ "$missing" -gt 30 ] && [ "$missing" -lt 120 ] ||
    fail "holes: $(cat "$DIR/holes.err")"
rows=$(wc -l <"$DIR/holes.csv")
[ "$rows" -eq $((300 - missing + 1)) ] || fail "holes: $rows lines for $missing left out"
grep -q "^$((300 - missing)) fixes, zone 32N (EPSG:32632)," "$DIR/holes.err" || fail "holes: $(cat "$DIR/holes.err")"
holes=$(length "$DIR/holes.csv")
[ "$holes" -gt $((clean - 20)) ] && [ "$holes" -le $((clean + 5)) ] || fail "holes: length $holes, clean $clean"

# A position 8 km off the track, and a scalar of +10 for -100, which puts
# its trace 54,500 degrees north: no position at all.
synth spikes --spike 100:8000 --scalar-slip 200:10
"$CLI" nav "$DIR/spikes"/*.sgy >"$DIR/spikes.csv" 2>"$DIR/spikes.err" || fail "spikes: $(cat "$DIR/spikes.err")"
grep -qx 'Navigation spikes repaired: 1' "$DIR/spikes.err" || fail "spikes: $(cat "$DIR/spikes.err")"
grep -qx '1 of 300 traces without navigation left out (1 off the globe)' "$DIR/spikes.err" ||
    fail "spikes: $(cat "$DIR/spikes.err")"
spikes=$(length "$DIR/spikes.csv")
[ "$spikes" -ge $((clean - 1)) ] && [ "$spikes" -le $((clean + 1)) ] || fail "spikes: length $spikes, clean $clean"

# Fill values of latitude 99.9999 (arc seconds at scalar -100) in traces 150
# and 151 cost the corrected file 64 traces and printed nan on 64 rows.
synth fill
for k in 150 151; do
    printf '\002\045\120\334' | dd of="$(ls "$DIR"/fill/*.sgy)" bs=1 seek=$((3600 + k * 280 + 76)) conv=notrunc 2>/dev/null
done
"$CLI" nav "$DIR/fill"/*.sgy 2>"$DIR/fill.err" | grep -q nan && fail "fill: nan"
grep -qx '2 of 300 traces without navigation left out (2 off the globe)' "$DIR/fill.err" || fail "fill: $(cat "$DIR/fill.err")"
"$CLI" nav --geojson "$DIR/fill"/*.sgy 2>&1 >/dev/null | grep -q ': 2 of 300 positions off the globe left out$' || fail "fill: geojson"
corrected() { # traces of the speed-corrected output
    "$CLI" combine --speed-correction -o "$DIR/$1-out" "$DIR/$1"/*.sgy | sed -n 's/^.*_SC.*: \([0-9]*\) traces, .*$/\1/p'
}
clean_traces=$(corrected clean) fill_traces=$(corrected fill)
[ -n "$clean_traces" ] && [ "$fill_traces" = "$clean_traces" ] || fail "fill: $fill_traces traces, clean $clean_traces"

# No position anywhere: no fix, exit 1.
synth none --missing-nav-rate 1
"$CLI" nav "$DIR/none"/*.sgy >"$DIR/none.csv" 2>"$DIR/none.err"
code=$?
[ "$code" -eq 1 ] || fail "none: exit $code"
grep -q 'no trace carries navigation$' "$DIR/none.err" || fail "none: $(cat "$DIR/none.err")"
[ -s "$DIR/none.csv" ] && fail "none: wrote $(cat "$DIR/none.csv")"

# The generator refuses a malformed spike.
"$SYNTH" --out "$DIR/x" --spike 100 >/dev/null 2>"$DIR/usage.err"
[ $? -eq 2 ] && grep -q 'Spike 100 not in the form TRACE:METRES' "$DIR/usage.err" || fail "synth usage"
echo "nav bad fixes: ok"

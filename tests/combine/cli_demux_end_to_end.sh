#!/bin/sh
# tessara-cli scan and the demultiplex options of combine on a generated
# survey of 250 traces, channels 0 and 1 alternating in byte 180 (trace 0 is
# channel 0, the input's reference trace).
set -u
CLI=$1
SYNTH=$2
HOLDS="python3 $(cd "$(dirname "$0")/../support" && pwd)/json_holds.py"
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "demux end to end: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 1 --traces 250 --samples 150 --format 5 --year 2023 \
    --channels 2 --first-channel 0 --channel-field digitizer >/dev/null || fail "tessara-synth"
IN=$(ls "$DIR"/in/*.sgy)

# The table: the dialog's titles, then the first 100 traces.
"$CLI" scan "$IN" >"$DIR/scan.txt" 2>"$DIR/stderr.txt" || fail "scan exit $?"
[ -s "$DIR/stderr.txt" ] && fail "unexpected stderr: $(cat "$DIR/stderr.txt")"
[ "$(wc -l <"$DIR/scan.txt")" -eq 101 ] || fail "scan lines: $(wc -l <"$DIR/scan.txt")"
head -n 1 "$DIR/scan.txt" | grep -q "^Trace in Original Field Record (col 0)  Trace in Ensemble      (col 1)  Trace Id Code (col 2)  SE880/QELDIG Channel            (col 3)  User Defined (col 4)  Number of Samples$" ||
    fail "titles: $(head -n 1 "$DIR/scan.txt")"
sed -n 3p "$DIR/scan.txt" | grep -Eq "^ +2 +1 +1 +1 +150$" ||
    fail "second trace: $(sed -n 3p "$DIR/scan.txt")"

"$CLI" scan --json --channel-start 180 --channel-length 1 "$IN" >"$DIR/scan.json" ||
    fail "scan --json exit $?"
$HOLDS "$DIR/scan.json" 'sum(list(t.items())[3:] == [("digitizer_channel", 1),
    ("user_defined", 1), ("samples", 150)] for t in d["traces"]) == 50' ||
    fail "json: $(head -c 600 "$DIR/scan.json")"
"$CLI" scan --json --channel-start 180 --channel-length 3 "$IN" >"$DIR/scan.json" ||
    fail "scan --json exit $?"
$HOLDS "$DIR/scan.json" 'all(t["user_defined"] is None for t in d["traces"])' ||
    fail "json without a user-defined value"

# Sidescan: trace 1 is a starboard trace before any port trace (an empty pair
# that fails the plausibility test), then 124 pairs of traces 2..249.
mkdir "$DIR/side"
"$CLI" combine -o "$DIR/side" --no-delay-scan --expedition SS --sidescan 0,1 --channel-field 3 \
    "$IN" >"$DIR/side.txt" 2>&1 || fail "sidescan exit $?: $(cat "$DIR/side.txt")"
grep -q "^Records read 250: written from them 124, reference traces 1, .*channel 0, implausible pairs 1, paired 124," \
    "$DIR/side.txt" || fail "sidescan summary: $(grep '^Traces' "$DIR/side.txt")"
"$CLI" info "$DIR"/side/SS_*.sgy | grep -q "samples per trace: *300 " ||
    fail "pair length: $("$CLI" info "$DIR"/side/SS_*.sgy)"

# Single channel 1 through the user-defined field: traces 1, 3, ..., 249.
mkdir "$DIR/one"
"$CLI" combine -o "$DIR/one" --no-delay-scan --expedition ONE --single-channel 1 \
    --channel-field 4 --channel-start 180 --channel-length 1 "$IN" >"$DIR/one.txt" 2>&1 ||
    fail "single channel exit $?: $(cat "$DIR/one.txt")"
grep -q "^Records read 250: written from them 125, reference traces 1, .*channel 124, implausible pairs 0, paired 0," \
    "$DIR/one.txt" || fail "single channel summary: $(grep '^Traces' "$DIR/one.txt")"
echo "demux end to end: ok"

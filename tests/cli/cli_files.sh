#!/bin/sh
# info, headers and copy on a generated file: what they print, a resampling
# copy's file and trace headers, and the values they refuse.
set -u
CLI=$1
SYNTH=$2
HOLDS="python3 $(cd "$(dirname "$0")/../support" && pwd)/json_holds.py"
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "cli files: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 1 --traces 5 --samples 100 --interval 100 --format 5 \
    --byte-order little >/dev/null || fail "tessara-synth"
F=$(ls "$DIR"/in/*.sgy)

"$CLI" info "$F" >"$DIR/i.txt" || fail "info"
grep -q "byte order:          little" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "samples per trace:   100 (binary header and first trace agree)$" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "traces:              5$" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "first trace time:    2003 255 17:35:00.000$" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"

"$CLI" headers --first 2 "$F" >"$DIR/h.txt" || fail "headers"
[ "$(wc -l <"$DIR/h.txt")" -eq 3 ] || fail "headers --first 2: $(cat "$DIR/h.txt")"
"$CLI" headers --json "$F" >"$DIR/h.json" || fail "headers --json"
$HOLDS --lines "$DIR/h.json" \
    'len(d) == 5 and all((t["samples"], t["sample_interval_us"]) == (100, 100) for t in d)' ||
    fail "headers --json: $(cat "$DIR/h.json")"

# 100 samples at 100 us resampled to 50 us: 200 samples, header and traces.
"$CLI" copy --sample-interval 50 "$F" "$DIR/c.sgy" >"$DIR/o.txt" || fail "copy: $(cat "$DIR/o.txt")"
grep -q "^copied 5 traces to $DIR/c.sgy$" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
"$CLI" info --json "$DIR/c.sgy" >"$DIR/c.json" || fail "info of the copy"
$HOLDS "$DIR/c.json" 'd["byte_order"] == "big" and d["trace_count"] == 5 and
    list(d.items())[4:6] == [("samples_per_trace", 200), ("sample_interval_us", 50)]' ||
    fail "$(cat "$DIR/c.json")"
"$CLI" headers --json "$DIR/c.sgy" >"$DIR/h.json" || fail "headers --json of the copy"
$HOLDS --lines "$DIR/h.json" \
    'len(d) == 5 and all((t["samples"], t["sample_interval_us"]) == (200, 50) for t in d)' ||
    fail "the copy's trace headers: $(cat "$DIR/h.json")"

# A file name that is not UTF-8 still gives a JSON text: its bytes become
# U+FFFD where a command names the file.
ODD="$DIR/odd_$(printf '\377').sgy"
cp "$F" "$ODD"
while IFS='|' read -r args expr; do
    eval "\"\$CLI\" $args \"\$ODD\"" >"$DIR/odd.json" 2>"$DIR/odd.err" ||
        fail "$args: $(cat "$DIR/odd.err")"
    $HOLDS "$DIR/odd.json" "$expr" || fail "$args: $(cat "$DIR/odd.json")"
done <<'EOF'
info --json|d["file"].endswith("/odd_\ufffd.sgy")
scan --json|d["file"].endswith("/odd_\ufffd.sgy")
nav --json|d["file"].endswith("/odd_\ufffd.sgy")
nav --geojson|d["features"][0]["properties"]["name"] == "odd_\ufffd.sgy"
combine --dry-run --json -o "$DIR"|d["output_folder"]["inputs"][0].endswith("/odd_\ufffd.sgy")
EOF

for bad in "--sample-interval 0" "--sample-interval 32768" "--sample-interval ''"; do
    eval "\"$CLI\" copy $bad \"$F\" \"$DIR/x.sgy\"" >"$DIR/o.txt" 2>&1
    [ $? -eq 2 ] || fail "copy $bad: not a usage error: $(cat "$DIR/o.txt")"
    [ "$(wc -l <"$DIR/o.txt")" -eq 1 ] || fail "copy $bad: not one line: $(cat "$DIR/o.txt")"
    grep -q '^tessara-cli: ' "$DIR/o.txt" || fail "copy $bad: $(cat "$DIR/o.txt")"
    [ ! -e "$DIR/x.sgy" ] || fail "copy $bad wrote a file"
done
"$CLI" copy "$F" "$F" >"$DIR/o.txt" 2>&1
[ $? -eq 2 ] || fail "copy onto its input: not refused"
"$CLI" info "$DIR/missing.sgy" >"$DIR/o.txt" 2>&1
[ $? -eq 1 ] || fail "info of a missing file: not exit 1"
grep -q "^tessara-cli: $DIR/missing.sgy: no such file$" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
mkfifo "$DIR/fifo.sgy"
timeout 10 "$CLI" info "$DIR/fifo.sgy" >"$DIR/o.txt" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "info of a FIFO: exit $rc (124: it blocked)"
grep -q "not a regular file" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
echo "cli files: ok"

#!/bin/sh
# info on revision-0 files that declare extended text headers: where the
# first trace is taken and why, in text and in JSON.
set -u
CLI=$1
SYNTH=$2
HOLDS="python3 $(cd "$(dirname "$0")/../support" && pwd)/json_holds.py"
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "cli info extended: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 1 --traces 5 --samples 100 --format 1 \
    --byte-order big >/dev/null || fail "tessara-synth"
F=$(ls "$DIR"/in/*.sgy)

# put BYTES (printf escapes) at OFFSET of FILE
put() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }

# Revision 0 declaring two extended headers, which are there (EBCDIC blanks).
X="$DIR/rev0_ext.sgy"
head -c 3600 "$F" >"$X"
put "$X" 3500 '\000\000\000\000\000\002'
head -c 6400 /dev/zero | tr '\000' '\100' >>"$X"
tail -c +3601 "$F" >>"$X"

"$CLI" info "$X" >"$DIR/i.txt" || fail "info: $(cat "$DIR/i.txt")"
grep -q "^  first trace at:      byte 10000 (after 2 extended text headers in a revision-0 file: .*)$" \
    "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "^  traces:              5$" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "^  samples per trace:   100 " "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
"$CLI" info --json "$X" >"$DIR/i.json" || fail "info --json"
$HOLDS "$DIR/i.json" 'd["first_trace_offset"] == 10000 and d["trace_count"] == 5 and
    d["first_trace_source"].startswith("after 2 extended text headers in a revision-0 file: ")' ||
    fail "$(cat "$DIR/i.json")"

# The same declaration without the headers: the traces stay at 3600.
Y="$DIR/rev0_none.sgy"
cp "$F" "$Y"
put "$Y" 3500 '\000\000\000\000\000\002'
"$CLI" info "$Y" >"$DIR/i.txt" || fail "info: $(cat "$DIR/i.txt")"
grep -q "^  first trace at:      byte 3600 (after the file header: a revision-0 file, .*2 extended text headers.*)$" \
    "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"
grep -q "^  traces:              5$" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"

"$CLI" info "$F" >"$DIR/i.txt" || fail "info"
grep -q "^  first trace at:      byte 3600 (after the file header)$" "$DIR/i.txt" ||
    fail "$(cat "$DIR/i.txt")"
echo "cli info extended: ok"

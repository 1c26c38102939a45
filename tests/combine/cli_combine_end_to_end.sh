#!/bin/sh
# tessara-cli combine on a generated survey: three files, the second boundary
# a long gap. Expects exit 0, two outputs, a CR LF log file and no working file.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "combine end to end: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 3 --traces 20 --samples 100 --format 5 \
    --long-gap 5000 --long-gap-every 2 >/dev/null || fail "tessara-synth"
mkdir "$DIR/out"
"$CLI" combine -o "$DIR/out" --no-delay-scan --expedition E2E --log "$DIR/log.txt" \
    "$DIR"/in/*.sgy >"$DIR/stdout.txt" 2>"$DIR/stderr.txt"
code=$?
[ "$code" -eq 0 ] || fail "exit $code: $(cat "$DIR/stderr.txt")"
[ -s "$DIR/stderr.txt" ] && fail "unexpected stderr: $(cat "$DIR/stderr.txt")"
[ "$(ls "$DIR/out" | grep -c '^E2E_.*\.sgy$')" -eq 2 ] || fail "outputs: $(ls "$DIR/out")"
[ -e "$DIR/out/SegyOut.sgy" ] && fail "working file left behind"
grep -q "$(printf 'File close by file  gap limit .* > 3600\r')" "$DIR/log.txt" ||
    fail "no gap close line with CR LF in the log"
lines=$(grep -c "^$DIR/out/E2E_" "$DIR/stdout.txt")
[ "$lines" -eq 2 ] || fail "expected one line per output: $(cat "$DIR/stdout.txt")"
grep -q "^Records read 60: written from them 57, reference traces 3," "$DIR/stdout.txt" ||
    fail "summary: $(cat "$DIR/stdout.txt")"
echo "combine end to end: ok"

#!/bin/sh
# tessara-cli combine with and without the delay scan on a survey with a few
# glitch delays (fewer than one trace in a thousand, so each is rare): the
# scan removes them, the summary counts them, and --no-delay-scan keeps them.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "combine delay scan: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 2 --traces 3000 --samples 10 --format 5 --gap 5 \
    --glitch-rate 0.0005 --glitch-delay 9000 >/dev/null || fail "tessara-synth"
mkdir "$DIR/scan" "$DIR/keep"
"$CLI" combine -o "$DIR/scan" --log "$DIR/scan.log" "$DIR"/in/*.sgy >"$DIR/scan.txt" 2>&1 ||
    fail "with the scan: $(cat "$DIR/scan.txt")"
"$CLI" combine -o "$DIR/keep" --no-delay-scan --log "$DIR/keep.log" "$DIR"/in/*.sgy \
    >"$DIR/keep.txt" 2>&1 || fail "without the scan: $(cat "$DIR/keep.txt")"

removed=$(sed -n 's/.*traces removed by delay scan \([0-9]*\)$/\1/p' "$DIR/scan.txt")
kept=$(sed -n 's/.*traces removed by delay scan \([0-9]*\)$/\1/p' "$DIR/keep.txt")
[ -n "$removed" ] && [ "$removed" -gt 0 ] || fail "nothing removed: $(cat "$DIR/scan.txt")"
[ "$kept" = 0 ] || fail "--no-delay-scan removed $kept"
with=$(sed -n 's/\.sgy: \([0-9]*\) traces.*/ \1/p' "$DIR/scan.txt" | awk '{ print $NF }')
without=$(sed -n 's/\.sgy: \([0-9]*\) traces.*/ \1/p' "$DIR/keep.txt" | awk '{ print $NF }')
[ "$((without - with))" -eq "$removed" ] ||
    fail "outputs of $with and $without traces, $removed removed"
[ "$(ls "$DIR/scan" | grep -c 'SegyOut')" -eq 0 ] || fail "working files left: $(ls "$DIR/scan")"
echo "combine delay scan: ok"

#!/bin/sh
# tessara-cli combine with the time options on a generated survey that runs
# past midnight: four files of 12 pings 0.25 s apart from 23:59:46.250 on day
# 255, given in reverse order, headers a day early with day 0 in each first
# trace. Gaps from the last trace written to the next file: 10 s, 100.25 s,
# 10 s. Interval after a file: 2.75 s / 8 = 0.34375 s, so 10 s gets
# 10 / 0.34375 - 1 = 28 fill traces and 100.25 s gets 290.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "combine time end to end: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 4 --traces 12 --samples 8 --format 2 --ping 0.25 \
    --day 255 --time 23:59:46.250 --header-day-shift=-1 --zero-day-traces 1 --two-digit-year \
    --gap 9.75 --long-gap 100 --long-gap-every 2 >/dev/null || fail "tessara-synth"
FILES=$(ls -r "$DIR"/in/*.sgy)

run() {
    rm -rf "$DIR/out" && mkdir "$DIR/out"
    # shellcheck disable=SC2086
    "$CLI" combine -o "$DIR/out" --no-delay-scan --expedition E2E --log "$DIR/log.txt" "$@" \
        $FILES >"$DIR/stdout.txt" 2>"$DIR/stderr.txt"
    code=$?
    [ "$code" -eq 0 ] || fail "exit $code with $*: $(cat "$DIR/stderr.txt")"
}

# Day repair and gap filling: one output from day 255 23:59 to day 256 00:01.
run --fix-knudsen yearday
[ "$(ls "$DIR/out")" = "E2E_255_2359_to_256_0001.sgy" ] || fail "outputs: $(ls "$DIR/out")"
[ "$(grep -c "$(printf '^Fill : Time Gap 10 number of fill traces 28\r$')" "$DIR/log.txt")" -eq 2 ] ||
    fail "short gap fill lines: $(cat "$DIR/log.txt")"
grep -q "$(printf '^Fill : Time Gap 100.25 number of fill traces 290\r$')" "$DIR/log.txt" ||
    fail "long gap fill line"
grep -q "^Records read 48: written from them 40, reference traces 8, before output start 0," "$DIR/stdout.txt" ||
    fail "summary: $(cat "$DIR/stdout.txt")"
grep -q "^Fill traces written 346," "$DIR/stdout.txt" || fail "fill count: $(cat "$DIR/stdout.txt")"

# A one-minute gap limit splits at the long gap; no null traces anywhere.
run --fix-knudsen yearday --file-gap 1 --no-null-traces
[ "$(ls "$DIR/out" | tr '\n' ' ')" = "E2E_255_2359_to_256_0000.sgy E2E_256_0001_to_256_0001.sgy " ] ||
    fail "outputs with --file-gap 1: $(ls "$DIR/out")"
grep -q "$(printf 'File close by file  gap limit 100.25 > 60\r')" "$DIR/log.txt" ||
    fail "no gap close line"
grep -q "^Fill traces written 0," "$DIR/stdout.txt" || fail "fill with --no-null-traces"

# One hour later: the name moves with every trace time.
run --fix-knudsen yearday --time-correction 3600
[ "$(ls "$DIR/out")" = "E2E_256_0059_to_256_0101.sgy" ] ||
    fail "outputs with --time-correction: $(ls "$DIR/out")"
# Across New Year: three files of 20 pings 5 s apart from 23:58:00 on 31
# December 2003, the second crossing midnight. Nothing is lost to the date.
"$SYNTH" --out "$DIR/ny" --files 3 --traces 20 --samples 8 --format 2 --ping 5 \
    --year 2003 --day 365 --time 23:58 >/dev/null || fail "tessara-synth New Year"
FILES=$(ls "$DIR"/ny/*.sgy)
run
[ "$(ls "$DIR/out")" = "E2E_365_2358_to_001_0002.sgy" ] || fail "New Year outputs: $(ls "$DIR/out")"
grep -q "^Records read 60: written from them 57, reference traces 3, before output start 0," "$DIR/stdout.txt" ||
    fail "New Year summary: $(cat "$DIR/stdout.txt")"

# A wrong hour in the first trace written of the first file: that trace
# alone is skipped.
"$SYNTH" --out "$DIR/glitch" --files 2 --traces 10 --samples 8 --format 2 --ping 1 \
    --clock-glitch-file 0 --clock-glitch-trace 1 --clock-glitch-hours 5 >/dev/null ||
    fail "tessara-synth clock glitch"
FILES=$(ls "$DIR"/glitch/*.sgy)
run
grep -q "$(printf '^\tClock glitch: trace 2 at 255:22:35:1 skipped\r$')" "$DIR/log.txt" ||
    fail "no clock glitch line: $(cat "$DIR/log.txt")"
grep -q "^Records read 20: written from them 17, reference traces 2, before output start 0,.*, clock glitch 1$" \
    "$DIR/stdout.txt" || fail "clock glitch summary: $(cat "$DIR/stdout.txt")"
echo "combine time end to end: ok"

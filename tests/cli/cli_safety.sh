#!/bin/sh
# The command line's guards for the user's files: --log never takes an input
# or a SEG-Y file, unreadable inputs are named with their reason, a job that
# writes nothing says why, the first SIGINT finishes the job cleanly (exit
# 130) and copy never leaves a partial file under its final name.
set -u
CLI=$1
SYNTH=$2
HOLDS="python3 $(cd "$(dirname "$0")/../support" && pwd)/json_holds.py"
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "cli safety: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 2 --traces 20 --samples 10 --format 5 >/dev/null ||
    fail "tessara-synth"
A=$(ls "$DIR"/in/*.sgy | head -1)
mkdir "$DIR/out"

# --log followed by a glob: the first input would become the log.
cp "$A" "$DIR/a-copy.sgy"
before=$(cksum <"$A")
"$CLI" combine -o "$DIR/out" --log "$DIR"/in/*.sgy >"$DIR/o.txt" 2>&1
[ $? -eq 2 ] || fail "--log on an input: exit not 2: $(cat "$DIR/o.txt")"
grep -q "^tessara-cli: --log $A is an existing SEG-Y file$" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
[ "$(cksum <"$A")" = "$before" ] || fail "the file given to --log was changed"
"$CLI" combine -o "$DIR/out" --log "$A" "$DIR"/in/*.sgy >"$DIR/o.txt" 2>&1
[ $? -eq 2 ] || fail "--log on an input: exit not 2"
grep -q "^tessara-cli: --log $A is one of the inputs$" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
"$CLI" combine -o "$DIR/out" --log "$DIR/a-copy.sgy" "$A" >"$DIR/o.txt" 2>&1
[ $? -eq 2 ] || fail "--log on a SEG-Y file: exit not 2"
grep -q "is an existing SEG-Y file$" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"

# --log on what is no file to write a log to, or on a file the job writes:
# refused before the job (exit 2), the file left as it was.
for row in "$DIR/out|is a directory" \
    "$DIR/out/SegyOut.sgy|is a name the job may give a file in $DIR/out" \
    "$DIR/out/../out/Cruise_100_1000_to_100_1100_SC0.023m_2.png|is a name the job may give a file in $DIR/out"; do
    log=${row%%|*}
    "$CLI" combine -o "$DIR/out" --expedition Cruise --log "$log" "$A" >"$DIR/o.txt" 2>&1
    [ $? -eq 2 ] || fail "--log $log: exit not 2: $(cat "$DIR/o.txt")"
    grep -qF "tessara-cli: --log $log ${row#*|}" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
done
[ -z "$(ls "$DIR/out")" ] || fail "a refused --log left files: $(ls "$DIR/out")"
# A FIFO is written into, never replaced by a file.
mkfifo "$DIR/fifo"
cat "$DIR/fifo" >"$DIR/fifo.txt" &
reader=$!
"$CLI" combine -o "$DIR/out" --log "$DIR/fifo" "$A" >"$DIR/o.txt" 2>&1 ||
    fail "--log FIFO: $(cat "$DIR/o.txt")"
wait $reader
[ -p "$DIR/fifo" ] || fail "--log FIFO: no longer a FIFO"
grep -q "Processing file $A" "$DIR/fifo.txt" || fail "--log FIFO: no log: $(cat "$DIR/fifo.txt")"
rm -rf "$DIR/out" "$DIR/fifo" && mkdir "$DIR/out"

# Into the inputs' own folder: a warning before the job, as the window asks;
# the dry run lists the same finding.
cp "$A" "$DIR/alone.sgy"
"$CLI" combine -o "$DIR" --dry-run --json "$DIR/alone.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
$HOLDS "$DIR/o.txt" "d['output_folder']['inputs'] == ['$DIR/alone.sgy']" || fail "$(cat "$DIR/o.txt")"
"$CLI" combine -o "$DIR" "$DIR/alone.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"
grep -q "^tessara-cli: warning: The output folder $DIR holds inputs of this job:$" "$DIR/e.txt" ||
    fail "$(cat "$DIR/e.txt")"
rm -f "$DIR"/*_to_*.sgy "$DIR/alone.sgy"

# Unreadable inputs: one line each with the reason, exit 1, the rest written.
printf 'short' >"$DIR/short.sgy"
"$CLI" combine -o "$DIR/out" "$A" "$DIR/short.sgy" "$DIR/missing.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "unreadable inputs: exit not 1"
grep -q "^tessara-cli: $DIR/short.sgy: not a SEG-Y file: 5 bytes" "$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"
grep -q "^tessara-cli: $DIR/missing.sgy: no such file$" "$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"
[ "$(ls "$DIR/out" | wc -l)" -eq 1 ] || fail "the readable input was not written: $(ls "$DIR/out")"

# Traces read, no output: a channel no trace carries.
rm -rf "$DIR/out" && mkdir "$DIR/out"
"$CLI" combine -o "$DIR/out" --single-channel 1000 "$A" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "no output: exit not 1"
grep -q "^tessara-cli: no output written: 20 records read, dropped: 1 reference trace, one per input, not written, 19 of another channel$" \
    "$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"

# A second job into a directory another job holds is refused at once.
# (flock from util-linux holds the lock as a job would.)
if command -v flock >/dev/null 2>&1; then
    flock "$DIR/out" sleep 3 &
    sleep 0.5
    "$CLI" combine -o "$DIR/out" "$A" >"$DIR/o.txt" 2>&1
    rc=$?
    wait
    [ $rc -eq 1 ] || fail "locked directory: exit $rc"
    grep -q "^tessara-cli: Output directory $DIR/out is in use by another job$" "$DIR/o.txt" ||
        fail "$(cat "$DIR/o.txt")"
fi

# The first SIGINT stops the job cleanly: outputs complete, exit 130. The
# log goes into a pipe that is read only after the signal, so the job is
# surely in the middle of its inputs when the signal comes.
"$SYNTH" --out "$DIR/big" --files 4 --traces 5000 --samples 20 --format 5 --ping 0.1 \
    >/dev/null || fail "tessara-synth big"
rm -rf "$DIR/out" && mkdir "$DIR/out"
mkfifo "$DIR/pipe"
"$CLI" combine -o "$DIR/out" --verbose "$DIR"/big/*.sgy >"$DIR/pipe" 2>"$DIR/e.txt" &
job=$!
exec 3<"$DIR/pipe"
head -c 100 <&3 >/dev/null
sleep 0.5
kill -INT $job
cat <&3 >"$DIR/log.txt"
exec 3<&-
wait $job
rc=$?
[ $rc -eq 130 ] || fail "SIGINT: exit $rc: $(cat "$DIR/e.txt")"
grep -q "Job stopped by the user" "$DIR/log.txt" || fail "no stop line in the log"
[ -z "$(ls "$DIR/out" | grep SegyOut)" ] || fail "working file left: $(ls "$DIR/out")"
out=$(ls "$DIR"/out/*.sgy | head -1)
[ -n "$out" ] || fail "nothing written before the stop"
"$CLI" info "$out" >"$DIR/i.txt" || fail "the stopped job's output is unreadable"
grep -q "constant length:     true" "$DIR/i.txt" || fail "$(cat "$DIR/i.txt")"

# copy under a file-size limit: no file of the final name.
( ulimit -f 100; "$CLI" copy "$DIR/big/$(ls "$DIR/big" | head -1)" "$DIR/copy.sgy" ) \
    >"$DIR/o.txt" 2>&1
[ $? -eq 1 ] || fail "copy past the file-size limit: $(cat "$DIR/o.txt")"
grep -q "^tessara-cli: $DIR/copy.sgy: write failed" "$DIR/o.txt" || fail "$(cat "$DIR/o.txt")"
[ ! -e "$DIR/copy.sgy" ] || fail "a partial copy has the final name"
[ -z "$(ls "$DIR" | grep '^copy\.sgy\.')" ] || fail "temporary copy left: $(ls "$DIR")"
echo "cli safety: ok"

#!/bin/sh
# A night's recording followed at speed against a job on the finished list:
# a recorder copies FILES files of a generated survey into a folder one after
# the other, each in two chunks, while `tessara-cli combine --follow` takes
# them; once the last is taken the follow is stopped by SIGINT. Then the job
# on the same files as a list. Both jobs' peak memory and CPU time (user +
# system, /usr/bin/time) are compared: each must stay within 1.2x of the
# list's, and the outputs must be the same bytes.
#
#   bench/follow_vs_list.sh [BUILD_DIR] [FILES]
#
# BUILD_DIR defaults to build, FILES to 1000 (a night of 30-second files with
# a few long gaps, 60 traces of 500 IBM samples each: 134 MB). Inputs and outputs
# live under /dev/shm when it exists.
set -eu
BUILD=${1:-build}
FILES=${2:-1000}
CLI=$BUILD/cli/tessara-cli
SYNTH=$BUILD/tools/tessara-synth
[ -x "$CLI" ] && [ -x "$SYNTH" ] || {
    echo "follow_vs_list: build tessara-cli and tessara-synth in $BUILD first" >&2
    exit 2
}
[ -x /usr/bin/time ] || { echo "follow_vs_list: /usr/bin/time missing" >&2; exit 2; }
BASE=/tmp
[ -d /dev/shm ] && BASE=/dev/shm
DIR=$(mktemp -d "$BASE/follow_vs_list.XXXXXX")
RECORDER=
trap '[ -n "$RECORDER" ] && kill "$RECORDER" 2>/dev/null; rm -rf "$DIR"' EXIT

"$SYNTH" --out "$DIR/staged" --files "$FILES" --traces 60 --samples 500 --ping 0.5 \
    --gap 0.5 --long-gap 5400 --long-gap-every 250 >/dev/null
mkdir "$DIR/live" "$DIR/follow" "$DIR/list"

record() {
    for f in $(ls "$DIR/staged"); do
        size=$(stat -c %s "$DIR/staged/$f")
        chunk=$((size / 2 + 1))
        dd if="$DIR/staged/$f" of="$DIR/live/$f" bs=$chunk count=1 status=none
        dd if="$DIR/staged/$f" of="$DIR/live/$f" bs=$chunk skip=1 seek=1 count=1 \
            conv=notrunc status=none
    done
}

record &
RECORDER=$!
/usr/bin/time -f "%M %U %S" -o "$DIR/follow.time" \
    "$CLI" combine --follow --settle ${SETTLE:-0.5} --no-delay-scan --expedition B -o "$DIR/follow" \
    "$DIR/live" >"$DIR/follow.log" 2>&1 &
FOLLOWER=$!
wait "$RECORDER"
RECORDER=
LAST=$(ls "$DIR/staged" | tail -n 1)
while ! grep -q "New input $DIR/live/$LAST" "$DIR/follow.log"; do
    sleep 0.2
done
# The time tool forwards no signal: the stop goes to the job, its child.
kill -INT $(ps -o pid= --ppid "$FOLLOWER")
wait "$FOLLOWER" || { echo "follow failed: $(tail -n 5 "$DIR/follow.log")"; exit 1; }

# shellcheck disable=SC2046
/usr/bin/time -f "%M %U %S" -o "$DIR/list.time" \
    "$CLI" combine --no-delay-scan --expedition B -o "$DIR/list" $(ls "$DIR"/live/*.sgy) \
    >"$DIR/list.log" 2>&1

for f in $(ls "$DIR/list"); do
    cmp -s "$DIR/list/$f" "$DIR/follow/$f" || { echo "follow_vs_list: $f differs"; exit 1; }
done
[ "$(ls "$DIR/list")" = "$(ls "$DIR/follow")" ] || { echo "follow_vs_list: other outputs"; exit 1; }

read -r fmem fuser fsys <"$DIR/follow.time"
read -r lmem luser lsys <"$DIR/list.time"
awk -v fm="$fmem" -v fu="$fuser" -v fs="$fsys" -v lm="$lmem" -v lu="$luser" -v ls="$lsys" \
    -v n="$FILES" -v outs="$(ls "$DIR/list" | wc -l)" 'BEGIN {
    fc = fu + fs; lc = lu + ls
    printf "%d files, %d outputs, the same bytes\n", n, outs
    printf "peak memory: follow %d kB, list %d kB, ratio %.2f\n", fm, lm, fm / lm
    printf "CPU time:    follow %.2f s, list %.2f s, ratio %.2f\n", fc, lc, fc / lc
    if (fm > 1.2 * lm || fc > 1.2 * lc) { print "follow_vs_list: over 1.2x"; exit 1 }
    print "follow_vs_list: ok"
}'

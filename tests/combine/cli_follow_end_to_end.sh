#!/bin/sh
# tessara-cli combine --follow on a folder a recorder writes into: twelve
# files of a generated survey copied in one after the other, each in four
# chunks, with a two-hour gap after the fifth (longer than the 60-minute
# file gap), then a thirteenth file that keeps growing until the stop. The
# followed job's outputs must equal, byte for byte, those of a job on the
# twelve finished files; open.png must show while the line grows, the
# growing file must be named as never completed, and nothing of the job's
# own may stay in the output folder.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
RECORDER=
FOLLOWER=
cleanup() {
    [ -n "$RECORDER" ] && kill "$RECORDER" 2>/dev/null
    [ -n "$FOLLOWER" ] && kill -9 "$FOLLOWER" 2>/dev/null
    rm -rf "$DIR"
}
trap cleanup EXIT
fail() { echo "combine follow end to end: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/staged" --files 12 --traces 40 --samples 64 --ping 0.5 \
    --gap 5 --long-gap 7200 --long-gap-every 7 >/dev/null || fail "tessara-synth"
mkdir "$DIR/live" "$DIR/out" "$DIR/ref"
GROWING="$DIR/live/0099_2003_256_0000.sgy"

record() {
    for f in $(ls "$DIR/staged"); do
        size=$(stat -c %s "$DIR/staged/$f")
        chunk=$((size / 4 + 1))
        for i in 0 1 2 3; do
            dd if="$DIR/staged/$f" of="$DIR/live/$f" bs=$chunk skip=$i seek=$i count=1 \
                conv=notrunc status=none
            sleep 0.05
        done
    done
    # The file in hand when the watch is stopped: it never settles.
    head -c 4000 "$DIR/staged/$f" >"$GROWING"
    n=0
    while [ $n -lt 300 ]; do
        head -c 240 "$DIR/staged/$f" >>"$GROWING"
        sleep 0.1
        n=$((n + 1))
    done
}
record &
RECORDER=$!

"$CLI" combine --follow --settle 0.3 --quicklook --expedition E2E -o "$DIR/out" "$DIR/live" \
    >"$DIR/follow.txt" 2>&1 &
FOLLOWER=$!

# Until the last finished file is taken: open.png must have shown meanwhile.
LAST=$(ls "$DIR/staged" | tail -n 1)
seen_open=no
n=0
while ! grep -q "New input $DIR/live/$LAST" "$DIR/follow.txt"; do
    [ -f "$DIR/out/open.png" ] && seen_open=yes
    n=$((n + 1))
    [ $n -lt 600 ] || fail "the last file was not taken: $(cat "$DIR/follow.txt")"
    sleep 0.05
done
[ -f "$DIR/out/open.png" ] && seen_open=yes
[ $seen_open = yes ] || fail "no open.png while the line grew"

kill -INT "$FOLLOWER"
wait "$FOLLOWER"
code=$?
FOLLOWER=
kill "$RECORDER" 2>/dev/null
wait "$RECORDER" 2>/dev/null
RECORDER=
[ "$code" -eq 0 ] || fail "follow exit $code: $(cat "$DIR/follow.txt")"
grep -q "$GROWING: left out, never completed" "$DIR/follow.txt" ||
    fail "the growing file is not named: $(cat "$DIR/follow.txt")"

# shellcheck disable=SC2046
"$CLI" combine --expedition E2E -o "$DIR/ref" $(ls "$DIR"/live/*.sgy | grep -v 0099_) \
    >"$DIR/ref.txt" 2>&1 || fail "reference job: $(cat "$DIR/ref.txt")"
[ "$(ls "$DIR/ref" | grep -c '\.sgy$')" -eq 2 ] || fail "reference: $(ls "$DIR/ref")"
for f in $(ls "$DIR/ref"); do
    cmp -s "$DIR/ref/$f" "$DIR/out/$f" || fail "$f differs or is missing"
done
EXPECTED=$(ls "$DIR/ref" | sed 's/\.sgy$/.png/' | sort; ls "$DIR/ref")
[ "$(ls "$DIR/out" | sort)" = "$(echo "$EXPECTED" | sort)" ] ||
    fail "output folder holds: $(ls "$DIR/out")"
echo "combine follow end to end: ok"

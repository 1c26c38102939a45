#!/bin/sh
# Exit codes and messages of the command line: standard output that cannot
# be written, a job that reads no trace, options that need another, values
# named as typed, name texts with control characters, an output folder that
# is missing, a link at the working path, copies that resample nothing.
set -u
CLI=$1
SYNTH=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "cli exit codes: FAILED: $*"; exit 1; }

"$SYNTH" --out "$DIR/in" --files 2 --traces 20 --samples 10 --format 5 >/dev/null ||
    fail "tessara-synth"
"$SYNTH" --out "$DIR/nonav" --files 2 --traces 20 --samples 10 --format 5 \
    --missing-nav-rate 1 >/dev/null || fail "tessara-synth without navigation"
A=$(ls "$DIR"/in/*.sgy | head -1)

# Standard output that cannot be written fails every command, checked at exit.
if [ -w /dev/full ]; then
    "$CLI" info "$A" >/dev/full 2>"$DIR/e.txt"
    [ $? -eq 1 ] || fail "info into a full device: not exit 1"
    [ "$(cat "$DIR/e.txt")" = "tessara-cli: cannot write standard output" ] ||
        fail "info into a full device: $(cat "$DIR/e.txt")"
    mkdir "$DIR/full"
    "$CLI" combine -o "$DIR/full" "$DIR"/in/*.sgy >/dev/full 2>"$DIR/e.txt"
    [ $? -eq 1 ] || fail "combine into a full device: not exit 1"
    [ "$(cat "$DIR/e.txt")" = "tessara-cli: cannot write standard output" ] ||
        fail "combine into a full device: $(cat "$DIR/e.txt")"
    # The job itself was not cut short by its log.
    [ "$(ls "$DIR/full" | wc -l)" -eq 1 ] || fail "combine into a full device: $(ls "$DIR/full")"
fi

# Every input without navigation: nothing read, exit 1, each input named.
"$CLI" combine -o "$DIR/nav-out" --speed-correction "$DIR"/nonav/*.sgy >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "no navigation anywhere: not exit 1"
[ "$(cat "$DIR/e.txt")" = "tessara-cli: no output written: no trace was read" ] ||
    fail "no navigation anywhere: $(cat "$DIR/e.txt")"
for f in "$DIR"/nonav/*.sgy; do
    grep -qx "Skipped without navigation: $f" "$DIR/o.txt" || fail "$f not named: $(cat "$DIR/o.txt")"
done
# An input holding no whole trace (a file header and half a trace).
head -c 3800 "$A" >"$DIR/partial.sgy"
"$CLI" combine -o "$DIR/nav-out" "$DIR/partial.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "no whole trace: not exit 1"
grep -qx "tessara-cli: no output written: no trace was read" "$DIR/e.txt" ||
    fail "no whole trace: $(cat "$DIR/e.txt")"

# Options that shape the speed correction need it; ranges quote the value as typed.
expect_usage() {
    expected=$1
    shift
    "$CLI" combine -o "$DIR/usage" "$@" "$A" >"$DIR/o.txt" 2>"$DIR/e.txt"
    rc=$?
    [ $rc -eq 2 ] || fail "$*: exit $rc"
    [ "$(cat "$DIR/e.txt")" = "$expected" ] || fail "$*: $(cat "$DIR/e.txt")"
    [ ! -e "$DIR/usage" ] || fail "$*: a usage error created the output folder"
}
expect_usage "tessara-cli: --trace-spacing needs --speed-correction" --trace-spacing 5
expect_usage "tessara-cli: --nav-average-fixes needs --speed-correction" --nav-average-fixes 10
expect_usage "tessara-cli: --sampling-frequency 0.04 not in 0.1..20000" --sampling-frequency 0.04
expect_usage "tessara-cli: --track t.txt: the name must end in .gpkg or .kml" --track t.txt
expect_usage "tessara-cli: --track-points 0 not in 1..1000000000" --track t.GPKG --track-points 0
expect_usage "tessara-cli: --track cannot be used with --dry-run, which writes nothing" \
    --track t.kml --dry-run
expect_usage "tessara-cli: --trace-spacing 1.994e0 not in 2..100" \
    --speed-correction --trace-spacing 1.994e0
# A control character in a name text, even one too short to enter the name.
expect_usage 'tessara-cli: --expedition "A\nB" cannot be part of a file name: it contains a control character' \
    --expedition "$(printf 'A\nB')"
expect_usage 'tessara-cli: --transducer "\x1b" cannot be part of a file name: it contains a control character' \
    --transducer "$(printf '\033')"

# A missing output folder is made, with its parents.
"$CLI" combine -o "$DIR/new/a/b" "$A" >"$DIR/o.txt" 2>"$DIR/e.txt" || fail "-o new folder: $(cat "$DIR/e.txt")"
[ "$(ls "$DIR/new/a/b" | wc -l)" -eq 1 ] || fail "-o new folder: $(ls -R "$DIR/new")"
"$CLI" combine -o "$A/out" "$A" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "-o under a file: not exit 1"
grep -q "^tessara-cli: cannot create output directory $A/out (" "$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"

# A link at the working path, dangling or not, refuses the folder: the link,
# its target and an existing --log stay as they were.
mkdir "$DIR/linked"
echo "earlier log" >"$DIR/job.log"
echo "the user's file" >"$DIR/target"
for target in "$DIR/target" "$DIR/absent"; do
    ln -sfn "$target" "$DIR/linked/SegyOut.sgy"
    "$CLI" combine -o "$DIR/linked" --log "$DIR/job.log" "$A" >"$DIR/o.txt" 2>"$DIR/e.txt"
    [ $? -eq 1 ] || fail "link to $target: not exit 1"
    [ "$(cat "$DIR/e.txt")" = "tessara-cli: SegyOut.sgy in $DIR/linked is a link: remove it" ] ||
        fail "link to $target: $(cat "$DIR/e.txt")"
    [ -L "$DIR/linked/SegyOut.sgy" ] || fail "the link was removed"
    [ "$(cat "$DIR/job.log")" = "earlier log" ] || fail "the log was touched: $(cat "$DIR/job.log")"
    [ "$(ls "$DIR/linked")" = "SegyOut.sgy" ] || fail "written beside the link: $(ls "$DIR/linked")"
done
[ "$(cat "$DIR/target")" = "the user's file" ] || fail "the link's target was changed"
[ ! -e "$DIR/absent" ] || fail "a file was made at a dangling link's target"

# copy: nothing written when no trace can be resampled (4 ms of samples at a
# 32767 us interval hold none), nor when the header could not state the count.
"$CLI" copy --sample-interval 32767 "$A" "$DIR/c.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "copy resampling nothing: not exit 1"
[ "$(cat "$DIR/e.txt")" = "tessara-cli: $A: no trace could be resampled" ] || fail "$(cat "$DIR/e.txt")"
"$SYNTH" --out "$DIR/long" --files 1 --traces 3 --samples 8000 --interval 100 >/dev/null ||
    fail "tessara-synth long"
L=$(ls "$DIR"/long/*.sgy)
"$CLI" copy --sample-interval 10 "$L" "$DIR/c.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "copy past 65535 samples: not exit 1"
grep -q "^tessara-cli: $L: .* would hold 80000, more than the 65535" "$DIR/e.txt" || fail "$(cat "$DIR/e.txt")"
[ -z "$(ls "$DIR" | grep '^c\.sgy')" ] || fail "copy left a file: $(ls "$DIR")"
# 8 samples at 100 us become 80 at 10 us: the header states them.
"$SYNTH" --out "$DIR/short" --files 1 --traces 3 --samples 8 --interval 100 >/dev/null
"$CLI" copy --sample-interval 10 "$DIR"/short/*.sgy "$DIR/c.sgy" >/dev/null || fail "copy of 8 samples"
"$CLI" info "$DIR/c.sgy" | grep -q "samples per trace:   80 " || fail "$("$CLI" info "$DIR/c.sgy")"
# copy onto a folder, or into a missing one: refused, nothing left beside it.
mkdir "$DIR/cdir"
"$CLI" copy "$A" "$DIR/cdir" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "copy onto a folder: not exit 1"
[ "$(cat "$DIR/e.txt")" = "tessara-cli: $DIR/cdir: is a directory" ] || fail "$(cat "$DIR/e.txt")"
[ -z "$(ls "$DIR" | grep '^cdir\.')" ] || fail "copy onto a folder left: $(ls "$DIR")"
"$CLI" copy "$A" "$DIR/nowhere/c.sgy" >"$DIR/o.txt" 2>"$DIR/e.txt"
[ $? -eq 1 ] || fail "copy into a missing folder: not exit 1"
[ "$(cat "$DIR/e.txt")" = "tessara-cli: $DIR/nowhere/c.sgy: cannot be created" ] || fail "$(cat "$DIR/e.txt")"
# A copy replacing a file has the permissions the umask gives a new file.
( umask 027 && "$CLI" copy "$A" "$DIR/c.sgy" >/dev/null ) || fail "copy over c.sgy"
[ "$(stat -c %a "$DIR/c.sgy")" = 640 ] || fail "copy's mode: $(stat -c %a "$DIR/c.sgy")"
echo "cli exit codes: ok"

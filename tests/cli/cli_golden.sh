#!/bin/sh
# The job's outputs and logs, byte for byte, on generated surveys that take
# every step (delay drops, speed correction at the median and at fixed
# spacings with repeated and dropped traces, sidescan pairs, resampling on
# every core, the Knudsen day repair, gap fill, closing by size and by time,
# demultiplex only, New Year): each output's and each log's SHA-256 against
# the list in cli_golden.txt, made by the job as it was known good. And the
# dry run of every case against what the job then writes.
#
#   cli_golden.sh CLI SYNTH          check
#   cli_golden.sh CLI SYNTH --write  write the list anew (on stdout)
set -u
CLI=$1
SYNTH=$2
WRITE=${3:-}
HERE=$(cd "$(dirname "$0")" && pwd)
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "cli golden: FAILED: $*"; exit 1; }

survey() {
    name=$1
    shift
    "$SYNTH" --out "$DIR/in-$name" "$@" >/dev/null || fail "tessara-synth $name"
}
survey plain --files 6 --traces 300
survey glitch --files 6 --traces 3000 --glitch-rate 0.0005 --samples 500
survey speed --files 5 --traces 400 --speed-change 100:1.0 --speed-change 250:4.0 --missing-nav-rate 0.02
survey speedle --files 4 --traces 300 --byte-order little --format 5 --units degrees --speed-change 100:1.5
survey sidescan --files 4 --traces 400 --channels 2 --channel-field digitizer
survey resamp --files 3 --traces 200 --interval 40 --samples 800
survey knud --files 4 --traces 200 --names day-only --header-day-shift 3 --zero-day-traces 2
survey gaps --files 8 --traces 150 --gap 30 --long-gap 4000 --long-gap-every 3 --shuffle
survey clock --files 4 --traces 200 --clock-glitch-file 1 --clock-glitch-trace 50
survey big --files 6 --traces 600 --samples 2000 --glitch-rate 0.002
survey newyear --files 6 --traces 300 --day 365 --time 23:58

# run CASE SURVEY OPTIONS...: the job, then one line per output and one for
# the log (its input paths made independent of where the survey lies).
run() {
    name=$1
    survey=$2
    shift 2
    out="$DIR/out-$name"
    mkdir "$out"
    if [ "$WRITE" != "--write" ]; then
        "$CLI" combine --dry-run --json -o "$out" "$@" "$DIR/in-$survey"/* >"$DIR/$name.plan" ||
            fail "$name: dry run"
        # One JSON document, whatever the number of outputs.
        if command -v python3 >/dev/null 2>&1; then
            python3 -m json.tool "$DIR/$name.plan" >/dev/null 2>&1 ||
                fail "$name: the dry run's JSON does not parse"
        fi
    fi
    "$CLI" combine -o "$out" --log "$DIR/$name.log" "$@" "$DIR/in-$survey"/* >"$DIR/$name.out" 2>&1 ||
        fail "$name: $(cat "$DIR/$name.out")"
    ls "$out" >"$DIR/$name.files"
    while IFS= read -r f; do
        echo "$name|$f|$(sha256sum <"$out/$f" | cut -c1-64)" >>"$DIR/sums"
        [ "$WRITE" = "--write" ] && continue
        # What the dry run said of this output is what was written.
        line=$(grep -F "\"path\": \"$out/$f\"" "$DIR/$name.plan") || fail "$name: $f not planned"
        traces=$(echo "$line" | sed 's/.*"traces": \([0-9]*\),.*/\1/')
        bytes=$(echo "$line" | sed 's/.*"bytes": \([0-9]*\),.*/\1/')
        [ "$bytes" -eq "$(wc -c <"$out/$f")" ] || fail "$name: $f planned $bytes bytes"
        grep -qF "$out/$f: $traces traces" "$DIR/$name.out" || fail "$name: $f planned $traces traces"
    done <"$DIR/$name.files"
    if [ "$WRITE" != "--write" ]; then
        [ "$(grep -c '"path": "' "$DIR/$name.plan")" -eq "$(wc -l <"$DIR/$name.files")" ] ||
            fail "$name: planned $(cat "$DIR/$name.plan")"
    fi
    echo "$name|log|$(sed "s|$DIR/||g" "$DIR/$name.log" | sha256sum | cut -c1-64)" >>"$DIR/sums"
}

run plain plain
run glitch glitch
run nodelay glitch --no-delay-scan
run speedmed speed --speed-correction
run speedfix speed --speed-correction --trace-spacing 2
run speedfix7 speed --speed-correction --trace-spacing 7 --nav-average-fixes 5
run speedle speedle --speed-correction
run speedglitch glitch --speed-correction --trace-spacing 3
run sidescan sidescan --sidescan 1,2 --channel-field 3
run single sidescan --single-channel 2 --channel-field 3
run resamp resamp --sampling-frequency 12000
run knud knud --fix-knudsen dayonly
run gaps gaps
run gapsnonull gaps --no-null-traces --file-gap 10
run size big --max-file-size 5
run time gaps --time-duration-limit 1
run demux plain --demultiplex-only
run demuxss sidescan --demultiplex-only --sidescan 1,2 --channel-field 3
run clock clock
run newyear newyear
run newyearsc newyear --speed-correction

if [ "$WRITE" = "--write" ]; then
    cat "$DIR/sums"
    exit 0
fi
diff "$HERE/cli_golden.txt" "$DIR/sums" >"$DIR/diff" || fail "outputs differ: $(cat "$DIR/diff")"
echo "cli golden: ok"

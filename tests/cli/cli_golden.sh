#!/bin/sh
# The job's outputs and logs, byte for byte, on generated surveys that take
# every step (delay drops, speed correction at the median and at fixed
# spacings with repeated and dropped traces, sidescan pairs, resampling on
# every core, the Knudsen day repair, gap fill, closing by size and by time,
# demultiplex only, New Year, nothing written): each output's and each log's
# SHA-256 against the list in cli_golden.txt, made by the job as it was
# known good. And the dry run of every case against what the job then
# writes and reports (python3 reads the dry run's JSON).
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

# compare CASE OUTPUT_DIR: what the dry run planned is what the run then
# wrote and reported: each output's traces, fill traces, bytes, times and
# speed correction, every count of the summary and the warning of years.
compare() {
    python3 - "$1" "$DIR/$1.plan" "$DIR/$1.out" "$2" <<'EOF'
import json, os, re, sys
name, plan_path, report_path, out_dir = sys.argv[1:]
def fail(what):
    print(f"cli golden: FAILED: {name}: {what}")
    sys.exit(1)
try:
    plan = json.load(open(plan_path))
except ValueError as e:
    fail(f"the dry run's JSON does not parse: {e}")
report = open(report_path).read()
planned = {o["path"]: (o["traces"], o["fill_traces"], o["bytes"], o["first_trace_time"],
                       o["last_trace_time"], o["replaces_existing"],
                       o.get("spacing_metres"), o.get("traces_before_correction"))
           for o in plan["outputs"]}
line = re.compile(r"(.+): (\d+) traces(?: \((\d+) fill\))?, (\d+\.\d) MB \((\d+) bytes\), (.+?) to (.+?)"
                  r"(, replaced an existing file)?(?:, speed corrected at (\d+\.\d{3}) m from (\d+) traces)?")
written = {}
for m in filter(None, map(line.fullmatch, report.splitlines())):
    if m[4] != f"{int(m[5]) / 1e6:.1f}":
        fail(f"{m[4]} MB for {m[5]} bytes")
    written[m[1]] = (int(m[2]), int(m[3] or 0), int(m[5]), m[6], m[7], m[8] is not None,
                     m[9] and float(m[9]), m[10] and int(m[10]))
# The report gives the spacing to the millimetre, the plan exactly.
planned = {path: o[:6] + (o[6] and round(o[6], 3),) + o[7:] for path, o in planned.items()}
if planned != written:
    fail(f"planned {planned}, reported {written}")
sizes = {os.path.join(out_dir, f): os.path.getsize(os.path.join(out_dir, f))
         for f in os.listdir(out_dir)}
if sizes != {path: o[2] for path, o in planned.items()}:
    fail(f"planned {planned}, written {sizes}")
# The report leaves out some counts while they are 0.
labels = {"Records read": "traces_read", "written from them": "traces_written",
          "reference traces": "dropped_reference",
          "Traces in the outputs": "output_traces",
          "Traces in the outputs after speed correction": "output_traces",
          "before output start": "dropped_before_start",
          "not resampled": "dropped_resampling", "channel": "dropped_channel",
          "implausible pairs": "dropped_implausible", "paired": "merged_into_pairs",
          "no navigation": "dropped_navigation", "without samples": "dropped_empty",
          "clock glitch": "dropped_clock_glitch", "Fill traces written": "traces_filled",
          "traces removed by delay scan": "removed_by_delay_scan", "Outputs": "outputs",
          "discarded without traces": "outputs_discarded", "unreadable": "inputs_unreadable",
          "without navigation": "inputs_without_navigation",
          "same file as an earlier input": "inputs_same_file",
          "Traces of another length than their output's file header": "traces_other_length",
          "Traces converted with loss (floating point to integer, or to a narrower integer)":
              "traces_converted_with_loss"}
counts = {}
for text in report.splitlines():
    if not text.startswith(("Records ", "Traces ", "Fill traces ", "Outputs ")):
        continue
    # Split at the separators of counts, not at a comma inside a label's parentheses.
    parts = re.split(r"[:;] |, (?![^()]*\))", text)
    for m in filter(None, map(re.compile(r"(.+) (\d+)").fullmatch, parts)):
        if m[1] not in labels:
            fail(f"unknown count {m[0]!r}")
        counts[labels[m[1]]] = int(m[2])
summary = dict(plan["summary"], outputs=len(plan["outputs"]),
               output_traces=sum(o["traces"] for o in plan["outputs"]))
differ = {k: (summary.get(k), counts.get(k, 0)) for k in summary.keys() | counts.keys()
          if summary.get(k) != counts.get(k, 0)}
if differ:
    fail(f"planned and reported counts: {differ}")
if plan["inputs_span_years"] != ("Warning: inputs span more than one year" in report):
    fail("the warning of years differs")
EOF
}

# run CASE SURVEY OPTIONS...: the job, then one line per output and one for
# the log (its input paths made independent of where the survey lies). A
# job that writes nothing must say why; its dry run exits as it does and
# gives the same reason.
run() {
    name=$1
    survey=$2
    shift 2
    out="$DIR/out-$name"
    mkdir "$out"
    if [ "$WRITE" != "--write" ]; then
        "$CLI" combine --dry-run --json -o "$out" "$@" "$DIR/in-$survey"/* >"$DIR/$name.plan" \
            2>"$DIR/$name.plan.err"
        planned=$?
    fi
    "$CLI" combine -o "$out" --log "$DIR/$name.log" "$@" "$DIR/in-$survey"/* >"$DIR/$name.out" \
        2>"$DIR/$name.err"
    ran=$?
    [ $ran -eq 0 ] || grep -q "^tessara-cli: no output written: " "$DIR/$name.err" ||
        fail "$name: exit $ran: $(cat "$DIR/$name.err")"
    if [ "$WRITE" != "--write" ]; then
        [ $planned -eq $ran ] && cmp -s "$DIR/$name.plan.err" "$DIR/$name.err" ||
            fail "$name: the dry run: exit $planned, $(cat "$DIR/$name.plan.err");" \
                "the run: exit $ran, $(cat "$DIR/$name.err")"
        compare "$name" "$out" || exit 1
    fi
    ls "$out" | while IFS= read -r f; do
        echo "$name|$f|$(sha256sum <"$out/$f" | cut -c1-64)" >>"$DIR/sums"
    done
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
# Every trace of another channel: nothing written.
run nothing clock --single-channel 1000
run newyear newyear
run newyearsc newyear --speed-correction

if [ "$WRITE" = "--write" ]; then
    cat "$DIR/sums"
    exit 0
fi
diff "$HERE/cli_golden.txt" "$DIR/sums" >"$DIR/diff" || fail "outputs differ: $(cat "$DIR/diff")"
echo "cli golden: ok"

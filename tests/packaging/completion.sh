#!/bin/bash
# The bash completion of tessara-cli against the program it completes:
# commands, options and fixed values as its --help gives them, directories
# after -o (PNG files for section), no file names after an option that takes
# a number, SEG-Y names in either case.
# Not under set -u: bash-completion itself reads unset variables.
CLI=$1
COMPLETION=$2
BASH_COMPLETION=/usr/share/bash-completion/bash_completion
if [ ! -f "$BASH_COMPLETION" ]; then
    echo "completion: skipped (no bash-completion)"
    exit 0
fi
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() {
    echo "completion: FAILED: $*"
    exit 1
}

# shellcheck source=/dev/null
. "$BASH_COMPLETION"
# shellcheck source=/dev/null
. "$COMPLETION"
compopt() { :; } # only valid inside a completion bash itself started

# complete_words WORD...: the sorted completions of the last WORD, one line.
complete_words() {
    COMP_WORDS=("$CLI" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _tessara_cli "$CLI" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {
    local want=$1
    shift
    local got
    got=$(complete_words "$@")
    [ "$got" = "$want" ] || fail "tessara-cli $*: got '$got', want '$want'"
}

cd "$DIR" || fail "cd $DIR"
mkdir out
touch a.sgy B.SEGY c.seg notes.txt line.png survey.toml t.gpkg t.kml

expect "combine copy headers info nav scan section" ""
expect "combine copy" "co"
expect "--version" "--ver"
expect "--max-file-size" combine "--max"
expect "--no-delay-scan --no-flip-port --no-null-traces" combine "--no-"
expect "--first" headers "--fi"
expect "--nav-average-fixes" nav "--nav"
expect "out" combine -o ""
expect "out" combine --output-dir ""
expect "B.SEGY a.sgy c.seg out" info ""
expect "B.SEGY a.sgy c.seg out" combine -o out --no-null-traces ""
expect "" combine --file-gap ""
expect "" headers --first ""
expect "dayonly yearday" combine --fix-knudsen ""
expect "seismic" section a.sgy --palette "s"
expect "grey grey-bipolar grey-bipolar-reversed" section --palette "g"
expect "auto envelope grey grey-bipolar grey-bipolar-reversed seismic" section --palette ""
expect "off only over" section a.sgy --wiggles ""
expect "" section a.sgy --bandpass ""
expect "agc: none" section a.sgy --gain ""
expect "31N 31S" nav --geojson --utm-zone "31"
expect "line.png out" section a.sgy -o ""
expect "line.png out" section --output ""
expect "" section a.sgy --width ""
expect "B.SEGY a.sgy c.seg line.png notes.txt out survey.toml t.gpkg t.kml" combine --log ""
expect "out survey.toml" combine --settings ""
expect "out survey.toml" combine -o out --save-settings ""
expect "out t.gpkg" nav --gpkg ""
expect "out t.kml" nav a.sgy --kml ""
expect "out t.gpkg t.kml" combine --track ""
expect "" nav --points ""
echo "completion: ok"

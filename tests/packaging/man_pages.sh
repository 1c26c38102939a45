#!/bin/sh
# The built man pages show what a reader types (-o DIR, yearday|dayonly,
# FILE...), not the option parser's types, ranges, defaults and REQUIRED.
ls "$1"/*.1.gz >/dev/null 2>&1 || { echo "man pages: skipped (no help2man)"; exit 0; }
for page in "$1"/*.1.gz; do
    bad=$(zcat "$page" | sed 's/\\-/-/g' |
        grep -nE '(^|[ :])(TEXT|INT|UINT|FLOAT|NONNEGATIVE|REQUIRED)([ =:]|$)|Excludes:|Needs:|in \[|:\{')
    [ -z "$bad" ] || { echo "man pages: FAILED: $(basename "$page"): $bad"; exit 1; }
done
echo "man pages: ok"

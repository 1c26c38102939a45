# Timing helpers of the whole-job benchmarks, sourced by them. They expect
# WORK, the folder under /dev/shm that holds the surveys.

now() { date +%s.%N; }
# Floating-point arithmetic without bc: calc "EXPR" prints its value.
calc() { awk "BEGIN { printf \"%.6f\\n\", $1 }"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# cat_time SURVEY: seconds to cat the files of $WORK/SURVEY into one file.
cat_time() {
    rm -f "$WORK/cat.sgy"
    t0=$(now)
    cat "$WORK/$1"/*.sgy >"$WORK/cat.sgy"
    t1=$(now)
    rm -f "$WORK/cat.sgy"
    calc "$t1 - $t0"
}

#!/bin/sh
# tessara-cli nav on generated tracks in all four coordinate units: the ship
# runs at 2 m/s, 6 m/s from 100 s on and 2 m/s again from 200 s on, one ping a
# second. The listed speeds follow the changes, the track is about 1000 m
# long, and the summary names the zone (or says the positions are projected).
set -u
CLI=$1
SYNTH=$2
REAL=${3:-}/segy # recordings of other programs, when present
HOLDS="python3 $(cd "$(dirname "$0")/../support" && pwd)/json_holds.py"
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
fail() { echo "nav end to end: FAILED: $*"; exit 1; }

for units in metres arcsec degrees dddmmss; do
    "$SYNTH" --out "$DIR/$units" --files 1 --traces 300 --samples 10 --format 5 --ping 1 \
        --units "$units" --speed 2 --speed-change 100:6 --speed-change 200:2 >/dev/null ||
        fail "tessara-synth --units $units"
    "$CLI" nav "$DIR/$units"/*.sgy >"$DIR/$units.csv" 2>"$DIR/$units.err" ||
        fail "$units: $(cat "$DIR/$units.err")"
    rows=$(wc -l <"$DIR/$units.csv")
    [ "$rows" -eq 301 ] || fail "$units: $rows lines"
    head -1 "$DIR/$units.csv" | grep -q '^trace,byte_offset,time,latitude,longitude,easting,northing,zone,speed_m_s,spacing_m,distance_m,epsg,trace_number$' ||
        fail "$units: header $(head -1 "$DIR/$units.csv")"
    # Trace 50 (slow), 150 (fast), 250 (slow again): CSV line = trace + 2.
    awk -F, -v u="$units" '
        NR == 52 && ($9 < 1.5 || $9 > 2.5) { print u ": slow speed " $9; bad = 1 }
        NR == 152 && ($9 < 5.5 || $9 > 6.5) { print u ": fast speed " $9; bad = 1 }
        NR == 252 && ($9 < 1.5 || $9 > 2.5) { print u ": slow again " $9; bad = 1 }
        NR == 3 && $3 != "2003-09-12T17:35:01.000" { print u ": time " $3; bad = 1 }
        NR == 301 { if ($11 < 950 || $11 > 1100) { print u ": length " $11; bad = 1 } }
        END { exit bad }' "$DIR/$units.csv" || fail "$(cat "$DIR/$units.csv" | sed -n '52p;152p')"
    if [ "$units" = metres ]; then
        grep -q '^300 fixes, projected, median spacing [0-9.]* m, track length [0-9.]* m, mean speed [0-9.]* m/s$' "$DIR/$units.err" ||
            fail "$units summary: $(cat "$DIR/$units.err")"
    else
        grep -q '^300 fixes, zone 32N (EPSG:32632), median spacing [0-9.]* m, track length [0-9.]* m, mean speed [0-9.]* m/s$' "$DIR/$units.err" ||
            fail "$units summary: $(cat "$DIR/$units.err")"
    fi
done
"$CLI" nav --json "$DIR/arcsec"/*.sgy >"$DIR/nav.json" 2>/dev/null || fail "json exit $?"
$HOLDS "$DIR/nav.json" 'len(d["fixes"]) == 300 and all("speed_m_s" in f for f in d["fixes"])' ||
    fail "json: $(head -c 600 "$DIR/nav.json")"

# The same tracks and shot points north and south of the equator as GeoJSON,
# GeoPackage, KML and the listing, read back by GDAL's Python bindings.
"$SYNTH" --out "$DIR/south" --files 2 --traces 120 --samples 10 --format 5 --ping 1 \
    --day 200 --lat -33.5 --lon 151.3 >/dev/null || fail "tessara-synth south"
"$CLI" nav --geojson --gpkg "$DIR/t.gpkg" --kml "$DIR/t.kml" --points 25 "$DIR/arcsec"/*.sgy \
    "$DIR/south"/*.sgy >"$DIR/t.json" 2>"$DIR/t.err" || fail "tracks: $(cat "$DIR/t.err")"
set --
for f in "$DIR/arcsec"/*.sgy "$DIR/south"/*.sgy; do
    name=$(basename "$f")
    "$CLI" nav --points 25 "$f" >"$DIR/$name.csv" 2>/dev/null || fail "$name: points exit $?"
    set -- "$@" "$name=$DIR/$name.csv"
done
/usr/bin/python3 "$(dirname "$0")/gis_read_back.py" "$DIR/t.json" "$DIR/t.gpkg" "$DIR/t.kml" "$@"
case $? in
0) ;;
77) echo "nav end to end: GIS read back skipped (no python3-gdal)" ;;
*) fail "GIS read back" ;;
esac

# combine --track: one line per output; a track that cannot be written
# fails the job and keeps the output.
"$CLI" combine -o "$DIR/out" --track "$DIR/out/track.gpkg" "$DIR/south"/*.sgy >"$DIR/c.txt" 2>&1 ||
    fail "combine --track: $(cat "$DIR/c.txt")"
grep -qx "Track: $DIR/out/track.gpkg" "$DIR/c.txt" || fail "combine --track: $(cat "$DIR/c.txt")"
if command -v ogrinfo >/dev/null; then
    ogrinfo -so "$DIR/out/track.gpkg" tracks | grep -qx 'Feature Count: 1' ||
        fail "combine --track: $(ogrinfo -so "$DIR/out/track.gpkg" tracks)"
fi
"$CLI" combine -o "$DIR/out2" --track "$DIR/t.json/track.kml" "$DIR/south"/*.sgy >"$DIR/c.txt" 2>&1
[ $? -eq 1 ] || fail "combine --track under a file: not exit 1"
grep -q "^tessara-cli: $DIR/t.json/track.kml: track not written: " "$DIR/c.txt" ||
    fail "combine --track under a file: $(cat "$DIR/c.txt")"
[ "$(ls "$DIR/out2"/*.sgy | wc -l)" -eq 1 ] || fail "combine --track under a file: $(ls "$DIR/out2")"
# Real recordings: equal times of a SyQwest file gave "nan" speeds, and an
# OBS line at 9.5 degrees south had northings without the false northing.
if [ -f "$REAL/obs01.seg" ] && [ -f "$REAL/20180312135640.seg" ]; then
    "$CLI" nav "$REAL/obs01.seg" 2>/dev/null | sed -n 2p | cut -d, -f7,8,12 |
        grep -qx '8945626.643,56S,32756' || fail "obs01.seg: $("$CLI" nav "$REAL/obs01.seg" | sed -n 2p)"
    "$CLI" nav "$REAL/20180312135640.seg" 2>/dev/null | grep -q 'nan\|inf' && fail "SyQwest: nan"
fi
echo "nav end to end: ok"

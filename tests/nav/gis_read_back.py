# A second reader of the tracks: GDAL's Python bindings open the GeoPackage
# and the KML, Python's json the GeoJSON and its csv the listings of the shot
# points; every track position and shot point must agree across them to
# 1e-7 degree, on WGS 84.
#   gis_read_back.py GEOJSON GPKG KML NAME=CSV...
# Exit 77 when the bindings are missing, 1 with the differences printed.
import csv
import json
import sys

try:
    from osgeo import ogr
except ImportError:
    sys.exit(77)


def from_geojson(path):
    tracks = {}
    with open(path, encoding="utf-8") as f:
        for feature in json.load(f)["features"]:
            p, g = feature["properties"], feature["geometry"]
            if "trace" in p:
                tracks[(p["file"], p["trace"])] = [tuple(g["coordinates"])]
            else:
                parts = [g["coordinates"]] if g["type"] == "LineString" else g["coordinates"]
                tracks[p["name"]] = [tuple(c) for part in parts for c in part]
    return tracks


def from_ogr(path):
    tracks = {}
    for layer in ogr.Open(path):
        if layer.GetSpatialRef().GetAuthorityCode(None) != "4326":
            sys.exit(path + ": " + layer.GetName() + " is not on EPSG:4326")
        for f in layer:
            g = f.GetGeometryRef()
            if layer.GetName() == "shot_points":
                tracks[(f.GetField("file"), int(f.GetField("trace")))] = [(g.GetX(), g.GetY())]
            else:
                tracks[f.GetField("name")] = [p[:2] for k in range(g.GetGeometryCount())
                                              for p in g.GetGeometryRef(k).GetPoints()]
    return tracks


def from_csv(pairs):
    points = {}
    for name, path in (pair.split("=", 1) for pair in pairs):
        with open(path, encoding="utf-8") as f:
            for row in csv.DictReader(f):
                position = (float(row["longitude"]), float(row["latitude"]))
                points[(name, int(row["trace_number"]))] = [position]
    return points


def far(a, b):
    return len(a) != len(b) or any(abs(p[k] - q[k]) > 1e-7 for p, q in zip(a, b) for k in (0, 1))


want = from_geojson(sys.argv[1])
points = {key: value for key, value in want.items() if isinstance(key, tuple)}
problems = [] if points and len(points) < len(want) else ["no track or no shot point"]
for what, got in ((sys.argv[2], from_ogr(sys.argv[2])), (sys.argv[3], from_ogr(sys.argv[3])),
                  ("CSV", from_csv(sys.argv[4:]))):
    expected = points if what == "CSV" else want
    if sorted(got, key=str) != sorted(expected, key=str):
        problems.append(what + ": " + repr(sorted(got, key=str)))
    problems += [what + " " + repr(key) for key in expected if key in got and far(expected[key], got[key])]
for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)

# A second reader of the tracks: GDAL's Python bindings open the GeoPackage
# and the KML, Python's json the GeoJSON and its csv the listings of the shot
# points; every track position and shot point must agree across them to
# 1e-7 degree, on WGS 84.
#   gis_read_back.py GEOJSON GPKG KML NAME=CSV...
# Exit 77 when the bindings are missing, 1 with the differences printed.
import csv
import json
import os
import sys

try:
    from osgeo import ogr
except ImportError:
    sys.exit(77)

TOLERANCE = 1e-7


def from_geojson(path):
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    lines, points = {}, {}
    for feature in doc["features"]:
        p, g = feature["properties"], feature["geometry"]
        if g["type"] == "Point" and "trace" in p:
            points[(p["file"], int(p["trace"]))] = tuple(g["coordinates"])
        else:
            parts = [g["coordinates"]] if g["type"] == "LineString" else g["coordinates"]
            lines[p["name"]] = [tuple(c) for part in parts for c in part]
    return lines, points


def from_ogr(path):
    source = ogr.Open(path)
    if source is None:
        sys.exit("cannot open " + path)
    lines, points = {}, {}
    for layer in source:
        srs = layer.GetSpatialRef()
        if srs is None or srs.GetAuthorityCode(None) != "4326":
            sys.exit(path + ": layer " + layer.GetName() + " is not on EPSG:4326")
        for feature in layer:
            g = feature.GetGeometryRef()
            if layer.GetName() == "shot_points":
                key = (feature.GetField("file"), int(feature.GetField("trace")))
                points[key] = (g.GetX(), g.GetY())
            else:
                name = feature.GetField("name") or feature.GetField("Name")
                lines[name] = [(p[0], p[1]) for k in range(g.GetGeometryCount())
                               for p in g.GetGeometryRef(k).GetPoints()]
    return lines, points


def from_csv(pairs):
    points = {}
    for pair in pairs:
        name, path = pair.split("=", 1)
        with open(path, encoding="utf-8") as f:
            for row in csv.DictReader(f):
                points[(name, int(row["trace_number"]))] = (float(row["longitude"]),
                                                           float(row["latitude"]))
    return points


def differences(what, want, got):
    found = []
    if sorted(want) != sorted(got):
        return [what + ": " + repr(sorted(got)) + " instead of " + repr(sorted(want))]
    for key in want:
        a, b = want[key], got[key]
        if not isinstance(a, list):
            a, b = [a], [b]
        if len(a) != len(b):
            found.append(what + " " + repr(key) + ": " + str(len(b)) + " positions, not " + str(len(a)))
            continue
        for p, q in zip(a, b):
            if abs(p[0] - q[0]) > TOLERANCE or abs(p[1] - q[1]) > TOLERANCE:
                found.append(what + " " + repr(key) + ": " + repr(q) + " instead of " + repr(p))
                break
    return found


lines, points = from_geojson(sys.argv[1])
problems = []
if not lines or not points:
    problems.append("the GeoJSON holds no track or no shot point")
for path in sys.argv[2:4]:
    other_lines, other_points = from_ogr(path)
    problems += differences(os.path.basename(path) + " track", lines, other_lines)
    problems += differences(os.path.basename(path) + " shot point", points, other_points)
problems += differences("CSV shot point", points, from_csv(sys.argv[4:]))
for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)

# A second reader of the GeoJSON track: Python's json and PROJ (pyproj), no
# code of ours. Prints one line per position: feature name, longitude,
# latitude, then easting and northing in the UTM zone given (EPSG code); the
# parts of a MultiLineString one after the other.
# Exit 77 when pyproj is missing, 1 when the document is no FeatureCollection.
import json
import sys

try:
    from pyproj import Transformer
except ImportError:
    sys.exit(77)

with open(sys.argv[1], encoding="utf-8") as f:
    doc = json.load(f)
if doc.get("type") != "FeatureCollection" or "crs" in doc:
    sys.exit(1)
utm = Transformer.from_crs("EPSG:4326", sys.argv[2], always_xy=True)
for feature in doc["features"]:
    p = feature["properties"]
    g = feature["geometry"]
    print("feature", p["name"], p["first_time"], p["last_time"], p["trace_count"], g["type"])
    if g["type"] == "MultiLineString":
        positions = [p for line in g["coordinates"] for p in line]
    else:
        positions = g["coordinates"] if g["type"] == "LineString" else [g["coordinates"]]
    for lon, lat in positions:
        e, n = utm.transform(lon, lat)
        print("position", p["name"], repr(lon), repr(lat), repr(e), repr(n))

"""json_holds.py [--lines] FILE EXPR

Exits 0 when the Python expression EXPR is true of d, the JSON document in
FILE; with --lines, d is the list of the values on FILE's lines (one JSON
value a line). A FILE that is not JSON, or not UTF-8, fails with the reason,
so that the scripts check values and key order rather than the layout."""
import json
import sys

args = sys.argv[1:]
lines = args[:1] == ["--lines"]
path, expr = args[1:] if lines else args
try:
    with open(path, encoding="utf-8") as f:
        d = [json.loads(line) for line in f] if lines else json.load(f)
except ValueError as e:
    sys.exit(f"{path}: not JSON: {e}")
# In parentheses, an expression may go on over several lines.
sys.exit(0 if eval(f"({expr})", {"d": d}) else 1)

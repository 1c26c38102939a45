# The reference picture for bench/section_vs_cat.sh: the section of a SEG-Y
# file made as one would with segyio, numpy and matplotlib: traces read in
# blocks, each block of traces and samples per pixel reduced to its largest
# magnitude with its sign, clipped at the 99th percentile, drawn with a
# diverging palette and saved as a WIDTH x HEIGHT PNG. Traces are placed by
# sample index: the benchmark's composites keep one delay throughout, so this
# is their true-time picture. The percentile is taken of the reduced image,
# which costs the script less than one of the samples.
#
#   python3 bench/section_segyio.py FILE OUT.png [WIDTH] [HEIGHT]
import sys

import matplotlib
import numpy as np
import segyio

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402 (after the backend is chosen)

path, out = sys.argv[1], sys.argv[2]
width = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
height = int(sys.argv[4]) if len(sys.argv) > 4 else 1000


def open_either_order(name):
    # segyio must be told the byte order; the format code (bytes 3225-3226)
    # is small in the right one.
    with open(name, "rb") as raw:
        raw.seek(3224)
        code = raw.read(2)
    endian = "big" if 0 < int.from_bytes(code, "big") < 256 else "little"
    return segyio.open(name, ignore_geometry=True, endian=endian)


with open_either_order(path) as f:
    traces = f.tracecount
    samples = len(f.samples)
    columns = min(width, traces)
    rows = min(height, samples)
    row_edges = np.linspace(0, samples, rows + 1).astype(int)
    image = np.zeros((rows, columns), dtype=np.float32)
    edges = np.linspace(0, traces, columns + 1).astype(int)
    for c in range(columns):
        # segyio's fast path: a slice of traces read into one numpy array.
        block = f.trace.raw[edges[c]:max(edges[c + 1], edges[c] + 1)]
        # The largest magnitude with its sign is the larger of the greatest
        # value and the least one negated: two plain reductions, over the
        # traces of the column and then over the samples of each row.
        greatest = np.maximum.reduceat(block.max(axis=0), row_edges[:-1])
        least = np.minimum.reduceat(block.min(axis=0), row_edges[:-1])
        image[:, c] = np.where(greatest >= -least, greatest, least)
clip = np.percentile(np.abs(image), 99) or 1.0
fig = plt.figure(figsize=(width / 100, height / 100), dpi=100)
ax = fig.add_axes([0.05, 0.05, 0.93, 0.9])
ax.imshow(image, aspect="auto", cmap="seismic", vmin=-clip, vmax=clip, interpolation="nearest")
ax.set_title(path)
fig.savefig(out, dpi=100)

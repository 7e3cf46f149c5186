#!/usr/bin/env python3
"""A large synthetic Fe K-edge stack for trying tiles and measuring memory.

    make-large-stack.py OUTDIR [WIDTH HEIGHT [ENERGIES [ROWS_PER_STRIP]]]

Writes OUTDIR/i1 and OUTDIR/i0: uncompressed 16-bit TIFFs in strips of
ROWS_PER_STRIP rows (default 16), the energy in each name, like make-demo's
stack but of any size (default 1024 x 1024 pixels, 77 energies from 6980 to
7400 eV). Compound A (edge 7112 eV) is mixed into B (edge 7124 eV, white
line) from left to right; the middle half of the rows is twice as thick.
Plain Python: every row is one of two patterns per energy.
"""
import math
import os
import struct
import sys
from array import array


def mu_a(e):
    return 0.2 + 1.0 / (1 + math.exp(-(e - 7112) / 1.5))


def mu_b(e):
    return 0.25 + 0.9 / (1 + math.exp(-(e - 7124) / 1.5)) + 0.4 * math.exp(-((e - 7128) / 3) ** 2)


def write_tiff(path, width, height, rows, rows_per_strip):
    """rows: a function y -> bytes of one row of 16-bit samples."""
    strips = (height + rows_per_strip - 1) // rows_per_strip
    data = b"".join(rows(y) for y in range(height))
    strip_bytes = [min(rows_per_strip, height - s * rows_per_strip) * width * 2 for s in range(strips)]
    offsets, at = [], 8
    for n in strip_bytes:
        offsets.append(at)
        at += n
    arrays_at = at
    counts_at = arrays_at + 4 * strips
    ifd_at = counts_at + 4 * strips
    tags = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, 16), (259, 3, 1, 1),
            (262, 3, 1, 1), (273, 4, strips, arrays_at if strips > 1 else offsets[0]),
            (277, 3, 1, 1), (278, 4, 1, rows_per_strip),
            (279, 4, strips, counts_at if strips > 1 else strip_bytes[0])]
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_at))
        f.write(data)
        f.write(struct.pack("<%dI" % strips, *offsets))
        f.write(struct.pack("<%dI" % strips, *strip_bytes))
        f.write(struct.pack("<H", len(tags)))
        for tag, kind, count, value in tags:
            if kind == 3 and count == 1:
                f.write(struct.pack("<HHIHH", tag, kind, count, value, 0))
            else:
                f.write(struct.pack("<HHII", tag, kind, count, value))
        f.write(struct.pack("<I", 0))


def main():
    out = sys.argv[1]
    width = int(sys.argv[2]) if len(sys.argv) > 2 else 1024
    height = int(sys.argv[3]) if len(sys.argv) > 3 else 1024
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 77
    rows_per_strip = int(sys.argv[5]) if len(sys.argv) > 5 else 16
    for d in ("i1", "i0"):
        os.makedirs(os.path.join(out, d), exist_ok=True)
    i0 = 40000.0
    i0_row = array("H", [int(i0)] * width).tobytes()
    for k in range(count):
        e = 6980 + (7400 - 6980) * k / max(count - 1, 1)
        name = "large_%s_%05d_%04d.tif" % ("%s", int(e), int(round((e - int(e)) * 10000)))
        patterns = []
        for t in (0.5, 1.0):
            row = array("H")
            for x in range(width):
                f = x / max(width - 1, 1)
                mut = 0.2 + t * (f * mu_a(e) + (1 - f) * mu_b(e))
                row.append(int(i0 * math.exp(-mut)))
            patterns.append(row.tobytes())
        thick = lambda y: patterns[1] if height // 4 <= y < 3 * height // 4 else patterns[0]
        write_tiff(os.path.join(out, "i1", name % "i1"), width, height, thick, rows_per_strip)
        write_tiff(os.path.join(out, "i0", name % "i0"), width, height, lambda y: i0_row,
                   rows_per_strip)
    print(out)


if __name__ == "__main__":
    main()

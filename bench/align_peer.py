#!/usr/bin/python3
"""Series alignment against scikit-image, on the same images.

Runs BM_AlignSeries of registration_bench (1024 x 1024 images, upsample 20,
2 threads), then scikit-image's phase_cross_correlation with a Hann window,
normalization='phase' and upsample_factor=20 on the same eight images (built
here with the integer arithmetic of peerImage in registration_bench.cpp),
each image against the first, and prints the time per image of both.

usage: /usr/bin/python3 bench/align_peer.py BUILD/bench/registration_bench
needs Debian's python3-numpy and python3-skimage.
"""
import json
import subprocess
import sys
import time

import numpy as np
from skimage.filters import window
from skimage.registration import phase_cross_correlation

SIDE = 1024
IMAGES = 8


def peer_image(side, i):
    """Discs on a 128-pixel lattice moved by (i % 5 - 2, i % 7 - 3) over noise."""
    dx, dy = i % 5 - 2, i % 7 - 3
    y, x = np.mgrid[0:side, 0:side].astype(np.int64)
    cx = ((x - dx) & 127) - 64
    cy = ((y - dy) & 127) - 64
    h = ((x.astype(np.uint32) * np.uint32(73856093))
         ^ (y.astype(np.uint32) * np.uint32(19349663))
         ^ np.uint32((i * 83492791) & 0xFFFFFFFF)) * np.uint32(2654435761)
    disc = np.where(cx * cx + cy * cy < 1600, 3000, 0)
    return (1000 + disc + (h >> np.uint32(24))).astype(np.float64)


def ours(bench):
    out = subprocess.run(
        [bench, "--benchmark_filter=BM_AlignSeries/1024/20/2/",
         "--benchmark_format=json", "--benchmark_min_time=2"],
        check=True, capture_output=True, text=True).stdout
    run = json.loads(out)["benchmarks"][0]
    return run["ms_per_image"], run["dx7"]


def peer():
    images = [peer_image(SIDE, i) for i in range(IMAGES)]
    hann = window("hann", (SIDE, SIDE))
    ref = images[0] * hann
    start = time.perf_counter()
    shifts = [phase_cross_correlation(ref, image * hann, upsample_factor=20,
                                      normalization="phase")[0]
              for image in images[1:]]
    ms = (time.perf_counter() - start) * 1e3 / (IMAGES - 1)
    # scikit-image gives the shift that moves the image onto the reference,
    # (row, column): image 7 against image 0 is (0, -2).
    return ms, shifts[-1]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    ms_ours, dx7 = ours(sys.argv[1])
    ms_peer, shift7 = peer()
    print(f"lumenstack   {ms_ours:8.1f} ms per image (2 threads), image 7 dx {dx7:g}")
    print(f"scikit-image {ms_peer:8.1f} ms per image, image 7 (dy, dx) "
          f"({shift7[0]:g}, {shift7[1]:g})")
    print(f"ratio        {ms_peer / ms_ours:8.1f}x")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""PCA and k-means of a stack's normalised spectra against numpy and scikit-learn.

Runs BM_ComponentRun512/1/2 of analysis_bench (512 x 512 pixels x 161
energies, 1-pixel bins, PCA with 5 components and k-means with 4 clusters on
the scores, 2 threads), then the same analysis written with numpy and
scikit-learn on the same stack (built here as BenchStack in analysis_bench.cpp
builds it, 16-bit I1 and I0): mu*t = ln(I0 / I1), straight pre- and post-edge
lines fitted by least squares below and above the edge, the spectra
normalised by the jump at the edge, then PCA(5) and KMeans(4, n_init=1).
Both figures exclude building the stack.

usage: env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 \\
           bench/components_peer.py BUILD/bench/analysis_bench
needs Debian's python3-numpy (with its OpenBLAS) and python3-sklearn.
"""
import json
import subprocess
import sys
import time

import numpy as np
from sklearn.cluster import KMeans
from sklearn.decomposition import PCA

import peer_stack
from peer_stack import ENERGIES

E0 = 8986.0  # edge between the two references' edges


def normalised(e, i1, i0):
    mut = np.log(i0.astype(np.float64) / i1.astype(np.float64)).reshape(ENERGIES, -1)
    pre, post = e < E0 - 10, e > E0 + 10
    a_pre = np.polyfit(e[pre], mut[pre], 1)  # [slope, intercept] per pixel
    a_post = np.polyfit(e[post], mut[post], 1)
    pre_line = a_pre[0][None, :] * e[:, None] + a_pre[1][None, :]
    jump = (a_post[0] - a_pre[0]) * E0 + (a_post[1] - a_pre[1])
    return ((mut - pre_line) / jump[None, :]).T  # pixels x energies


def peer():
    e, i1, i0 = peer_stack.stack()
    start = time.perf_counter()
    x = normalised(e, i1, i0)
    scores = PCA(n_components=5).fit_transform(x)
    KMeans(n_clusters=4, n_init=1, random_state=1).fit(scores)
    return time.perf_counter() - start


def ours(bench):
    out = subprocess.run(
        [bench, "--benchmark_filter=BM_ComponentRun512/1/2/",
         "--benchmark_format=json", "--benchmark_min_time=1"],
        check=True, capture_output=True, text=True).stdout
    return json.loads(out)["benchmarks"][0]["real_time"] / 1e3


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    s_ours = ours(sys.argv[1])
    s_peer = peer()
    print(f"lumenstack            {s_ours:7.2f} s  PCA(5) + k-means(4), 512 x 512 x 161, 2 threads")
    print(f"numpy + scikit-learn  {s_peer:7.2f} s  normalisation, PCA(5), KMeans(4, n_init=1)")
    print(f"ratio                 {s_peer / s_ours:7.2f}x")


if __name__ == "__main__":
    main()

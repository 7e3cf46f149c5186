#!/usr/bin/python3
"""The LCF map run against a whole-stack LCF written with numpy.

Runs BM_LcfRowRun of lcf_bench (512 x 512 pixels x 161 energies with I0, two
references, 1-pixel bins, the Fe K suggestion; 2 threads, then 1), then the
same LCF written with numpy on the same stack (built here as
bench/support/LcfBenchStack.h builds it, 16-bit I1 and I0) and references:
mu*t = ln(I0 / I1) in float32, straight pre- and post-edge lines fitted by
least squares over one pair of windows for all pixels (below E0 - 20 eV,
above E0 + 20 eV), the pre-base double-normalised spectra
(mu - pre) / (post - pre), their least-squares fractions of the references'
curves, and the residual. The numpy LCF is simpler than Lumenstack's per-bin
normalisation (no edge search, no per-bin windows, no jump test). Both
figures exclude building the stack.

With --tiffs DIR it also writes the stack as 16-bit TIFF series
(DIR/i1, DIR/i0), the energies and the two references, for timing
`lumenstack-tool lcf-map` on files (the command is printed). With --tool
LUMENSTACK_TOOL as well it runs that command three times (files in the page
cache) and prints the whole process's best wall time, which loads, runs and
writes, beside the numpy LCF's in-memory figure.

usage: env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 \\
           bench/lcf_peer.py BUILD/bench/lcf_bench [--tiffs DIR [--tool TOOL]]
needs Debian's python3-numpy (with its OpenBLAS); --tiffs needs python3-pil.
"""
import json
import os
import subprocess
import sys
import time

import numpy as np

import peer_stack
from peer_stack import ENERGIES, SIDE, ref_mu

SHIFT = 7112.0 - 8985.0  # the stack at the iron K edge
E0 = 7112.0


def stack():
    """Energies (at the iron K edge), and I1 and I0 as [energy, y, x] uint16."""
    e, i1, i0 = peer_stack.stack()
    return e + SHIFT, i1, i0


def line_fit(e, window):
    """The matrix taking mu at the window's energies to (slope, intercept)."""
    a = np.stack([e[window], np.ones(window.sum())], axis=1)
    return np.linalg.pinv(a).astype(np.float32)


def lcf(e, i1, i0, refs):
    """Fractions (pixels x 2) and residual per pixel."""
    mut = np.log(i0.reshape(ENERGIES, -1).astype(np.float32)
                 / i1.reshape(ENERGIES, -1).astype(np.float32))
    pre, post = e < E0 - 20, e > E0 + 20
    a_pre = line_fit(e, pre) @ mut[pre]     # 2 x pixels
    a_post = line_fit(e, post) @ mut[post]
    ef = e.astype(np.float32)[:, None]
    pre_line = a_pre[0] * ef + a_pre[1]
    y = (mut - pre_line) / ((a_post[0] - a_pre[0]) * ef + (a_post[1] - a_pre[1]))
    fractions = np.linalg.pinv(refs) @ y     # 2 x pixels
    fitted = refs @ fractions
    with np.errstate(divide="ignore", invalid="ignore"):  # y = 0 below the edge
        residual = np.mean(((fitted - y) / y) ** 2, axis=0)
    return fractions.T, residual


def reference_curves(e):
    """The references' pre-base double-normalised curves at the energies."""
    curves = []
    for j in range(2):
        mu = ref_mu(j, e - SHIFT)
        pre, post = e < E0 - 20, e > E0 + 20
        p = np.polyfit(e[pre], mu[pre], 1)
        q = np.polyfit(e[post], mu[post], 1)
        curves.append((mu - np.polyval(p, e)) / (np.polyval(q, e) - np.polyval(p, e)))
    return np.stack(curves, axis=1).astype(np.float32)


def peer():
    e, i1, i0 = stack()
    refs = reference_curves(e)
    best = None
    for _ in range(3):
        start = time.perf_counter()
        lcf(e, i1, i0, refs)
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    return best


def ours(bench, threads):
    out = subprocess.run(
        [bench, f"--benchmark_filter=BM_LcfRowRun/{threads}/",
         "--benchmark_format=json", "--benchmark_repetitions=3"],
        check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    return min(b["real_time"] for b in runs) / 1e3


def write_tiffs(folder):
    from PIL import Image
    e, i1, i0 = stack()
    for name, series in (("i1", i1), ("i0", i0)):
        os.makedirs(os.path.join(folder, name), exist_ok=True)
        for k in range(ENERGIES):
            Image.fromarray(series[k], mode="I;16").save(
                os.path.join(folder, name, f"{name}_{k:03d}.tif"))
    with open(os.path.join(folder, "energies.txt"), "w") as f:
        f.writelines(f"{x!r}\n" for x in e)
    grid = np.arange(8850.0, 9151.0)
    for j in range(2):
        with open(os.path.join(folder, f"ref{j}.txt"), "w") as f:
            f.writelines(f"{x + SHIFT!r} {ref_mu(j, x)!r}\n" for x in grid)
    print(f"lumenstack-tool lcf-map --i1 {folder}/i1 --i0 {folder}/i0 "
          f"--energies {folder}/energies.txt --suggest Fe K "
          f"--ref {folder}/ref0.txt --ref {folder}/ref1.txt --threads 2 --out OUT")


def whole_process(tool, folder):
    """Best wall time of three lcf-map runs on the TIFFs in folder."""
    out = os.path.join(folder, "out")
    command = [tool, "lcf-map", "--i1", f"{folder}/i1", "--i0", f"{folder}/i0",
               "--energies", f"{folder}/energies.txt", "--suggest", "Fe", "K",
               "--ref", f"{folder}/ref0.txt", "--ref", f"{folder}/ref1.txt",
               "--threads", "2", "--out", out]
    best = None
    for _ in range(3):
        start = time.perf_counter()
        subprocess.run(command, check=True, capture_output=True)
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    return best


def main():
    args = sys.argv[1:]
    if not (len(args) in (1, 3, 5) and args[1:2] in ([], ["--tiffs"])
            and args[3:4] in ([], ["--tool"])):
        sys.exit(__doc__)
    if len(args) >= 3:
        write_tiffs(args[2])
    bins = SIDE * SIDE
    s2, s1 = ours(sys.argv[1], 2), ours(sys.argv[1], 1)
    s_peer = peer()
    print(f"lumenstack, 2 threads {bins / s2:10.0f} bins/s  ({s2:.3f} s, full per-bin normalisation)")
    print(f"lumenstack, 1 thread  {bins / s1:10.0f} bins/s  ({s1:.3f} s)")
    print(f"numpy (OpenBLAS)      {bins / s_peer:10.0f} bins/s  ({s_peer:.3f} s, one pair of windows)")
    print(f"ratio, 2 threads      {s_peer / s2:10.2f}x")
    if len(args) == 5:
        s_tool = whole_process(args[4], args[2])
        print(f"lcf-map, whole process {bins / s_tool:9.0f} bins/s  ({s_tool:.3f} s wall: "
              f"load, run, write; {s_peer / s_tool:.2f}x the numpy LCF in memory)")


if __name__ == "__main__":
    main()

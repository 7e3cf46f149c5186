"""The Python module against lumenstack-tool on the same files, and the
behaviour a Python caller relies on: the GIL released, Ctrl+C, progress,
exceptions."""
import json
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest
import tifffile

import lumenstack
from conftest import run_tool

SOURCE = Path(__file__).resolve().parents[2]


def read_cli_map(path, xs, ys):
    """An "X Y Val" map of lumenstack-tool as a (rows, columns) array."""
    table = np.loadtxt(path).reshape(len(ys), len(xs), 3)
    assert (table[0, :, 0] == xs).all() and (table[:, 0, 1] == ys).all()
    return table[:, :, 2]


LCF_MAPS = {"amount": "ref-{}-amount.txt", "fraction": "ref-{}-fraction.txt",
            "sigma": "ref-{}-sigma.txt", "residual": "residual.txt", "rfactor": "rfactor.txt",
            "chi2": "chi2.txt"}

MAP_CASES = [
    # CLI subcommand and options, module function and keywords, maps compared
    ("lcf-map", ["--bin", "2", "1", "--quality", "--ref", "{A}", "--ref", "{B}"],
     "lcf_map", dict(refs="AB", bin=(2, 1), quality=True), LCF_MAPS),
    ("lcf-map", ["--area", "5", "3", "40", "30", "--mlcf", "--nonneg", "--sum1", "--ref",
                 "{A}:2.5:vic", "--ref", "{B}", "--threads", "1"],
     "lcf_map", dict(refs="AdB", area=(5, 3, 40, 30), mlcf=True, nonneg=True, sum1=True,
                     threads=1), LCF_MAPS),
    ("ra-map", ["--bin", "1", "1", "--energy", "7150", "--factor", "0.5"],
     "ra_map", dict(bin=(1, 1), energy=7150, factor=0.5),
     {"dmut": "dmut.txt", "rest": "rest.txt", "ratio": "ratio.txt"}),
    ("elem-map", ["--bin", "1", "1", "--elems", "Fe Ni-K", "--de", "15", "--use", "1 1",
                  "--std", "1 0.5", "--bg", "0.1", "2", "3", "4"],
     "elem_map", dict(elems=["Fe", "Ni-K"], bin=(1, 1), de=15, use=[1, 1], std=[1, 0.5],
                      bg=(0.1, 2, 3, 4)),
     {**{k: "{}-" + k + ".txt" for k in ("dmut", "ndmut", "mup", "mum", "de", "roi", "nroi")},
      "cor": "cor.txt", "corth": "corth.txt"}),
    ("shift-map", ["--bin", "2", "2", "--std", "{A}", "--method", "innerp", "--de-step", "0.5"],
     "shift_map", dict(std="A", bin=(2, 2), method="innerp", de_step=0.5), {"shift": "shift.txt"}),
    ("pca-map", ["--bin", "1", "1", "--components", "3", "--range", "7050", "7300"],
     "pca_map", dict(bin=(1, 1), components=3, range=(7050, 7300)),
     {"scores": "pca-{}-score.txt"}),
    ("cluster-map", ["--bin", "1", "1", "--clusters", "3", "--seed", "7"],
     "cluster_map", dict(bin=(1, 1), clusters=3, seed=7), {"cluster": "cluster.txt"}),
    ("nmf-map", ["--bin", "2", "2", "--components", "2"],
     "nmf_map", dict(bin=(2, 2), components=2), {"weights": "nmf-{}-weight.txt"}),
]


@pytest.mark.parametrize("command,cli_args,function,kwargs,files", MAP_CASES)
def test_maps_equal_the_cli(demo, stack, tmp_path, command, cli_args, function, kwargs, files):
    a, b = demo / "ref_A.dat", demo / "ref_B.dat"
    args = [s.format(A=a, B=b) for s in cli_args]
    run_tool(command, "--i1", demo / "i1", "--i0", demo / "i0", "--dark", demo / "dark.tif",
             *args, "--out", tmp_path)
    kwargs = dict(kwargs)
    if "refs" in kwargs:
        kwargs["refs"] = {"AB": [a, b], "AdB": [(a, 2.5, True), str(b)]}[kwargs["refs"]]
    if "std" in kwargs and kwargs["std"] == "A":
        kwargs["std"] = a
    maps = getattr(lumenstack, function)(stack, **kwargs)
    names = maps.get("elems", list(range(1, 100)))
    compared = 0
    for key, name in files.items():
        if key not in maps:
            continue
        if maps[key].ndim == 3:
            for i, plane in enumerate(maps[key]):
                expected = read_cli_map(tmp_path / name.format(names[i]), maps["x"], maps["y"])
                np.testing.assert_array_equal(plane, expected, err_msg=f"{key} {i}")
        else:
            np.testing.assert_array_equal(maps[key],
                                          read_cli_map(tmp_path / name, maps["x"], maps["y"]))
        compared += 1
    assert compared >= min(3, len(files))


@pytest.mark.parametrize("cli_args,kwargs", [(["--upsample", "20", "--reference", "auto"],
                                               dict(upsample=20, reference="auto")),
                                              (["--method", "edge"], dict(method="edge"))])
def test_align_equals_the_cli(demo, tmp_path, cli_args, kwargs):
    run_tool("align", "--i1", demo / "drift/i1", *cli_args, "--out", tmp_path / "cli.txt")
    drifting = lumenstack.open_stack(i1=demo / "drift/i1")
    shifts = lumenstack.align(drifting, out=tmp_path / "module.txt", **kwargs)
    cli = np.loadtxt(tmp_path / "cli.txt")
    np.testing.assert_array_equal(shifts["dx"], cli[:, 1])
    np.testing.assert_array_equal(shifts["dy"], cli[:, 2])
    assert (tmp_path / "module.txt").read_bytes() == (tmp_path / "cli.txt").read_bytes()


def test_hdf5_stack_gives_the_tiff_maps(demo, stack, refs):
    h5 = lumenstack.open_stack(h5=demo / "demo.h5", layout=demo / "demo-layout.ini")
    assert h5.shape == stack.shape
    np.testing.assert_array_equal(lumenstack.lcf_map(h5, refs)["fraction"],
                                  lumenstack.lcf_map(stack, refs)["fraction"])


@pytest.mark.parametrize("x,y,bin", [(0, 0, (0, 0)), (40, 24, (0, 0)), (10, 30, (2, 1))])
def test_mu_t_is_ln_i0_over_i1_of_the_raw_files(demo, stack, x, y, bin):
    """Same exposure everywhere: mu*t = ln((I0 - dark) / (I1 - dark)) over the bin."""
    hx, hy = bin
    box = np.s_[y - hy:y + hy + 1, x - hx:x + hx + 1]
    dark = tifffile.imread(demo / "dark.tif").astype(float)[box].sum()
    i1 = [tifffile.imread(f).astype(float)[box].sum() - dark for f in sorted((demo / "i1").iterdir())]
    i0 = [tifffile.imread(f).astype(float)[box].sum() - dark for f in sorted((demo / "i0").iterdir())]
    energies, mut = stack.mu_t(x, y, bin=bin)
    np.testing.assert_array_equal(energies, stack.energies)
    np.testing.assert_allclose(mut, np.log(np.array(i0) / np.array(i1)), rtol=1e-12)
    k = len(energies) // 2
    assert stack.i1(k)[y, x] == tifffile.imread(sorted((demo / "i1").iterdir())[k])[y, x]


@pytest.mark.parametrize("options", [[], ["--suggest", "Fe", "K", "--dpre", "-30"],
                                     ["--victoreen"]])
def test_normalise_equals_spectrum_info(stack, tmp_path, options):
    energies, mut = stack.mu_t(40, 24, bin=(1, 1))
    spectrum = tmp_path / "spectrum.dat"
    spectrum.write_text("".join(f"{e!r} {m!r}\n" for e, m in zip(energies, mut)))
    info = json.loads(run_tool("spectrum-info", *options, spectrum).stdout)
    kwargs = {"victoreen": "--victoreen" in options}
    if "--suggest" in options:
        kwargs.update(suggest=("Fe", "K"), dpre=-30)
    norm = lumenstack.normalise(energies, mut, **kwargs)
    assert norm["edge"] == info["midx"] and norm["dmut"] == info["dMut"]
    n = len(energies)
    picked = norm["normalized"][[0, n // 4, n // 2, 3 * n // 4, n - 1]]
    np.testing.assert_array_equal(picked, info["normalizedAt"])
    if not kwargs["victoreen"]:  # straight lines: c0 + slope * E
        for line in ("pre", "post"):
            np.testing.assert_allclose(norm[f"{line}_line"],
                                       info[line]["c0"] + info[line]["slope"] * energies,
                                       rtol=1e-12)


def test_run_releases_the_gil_and_reports_progress(tiled, refs):
    ticks, calls, stop = [], [], threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.002)

    ticker = threading.Thread(target=tick)
    ticker.start()
    start = time.monotonic()
    lumenstack.lcf_map(tiled, refs, threads=1,
                       progress=lambda f: calls.append((time.monotonic(), f)))
    end = time.monotonic()
    stop.set()
    ticker.join()
    during = [t for t in ticks if start < t < end]
    # Held, the GIL would let the ticker in only at the driver's 0.1 s polls.
    assert len(during) > 0.1 * (end - start) / 0.002, (len(during), end - start)
    fractions = [f for _, f in calls]
    assert len(fractions) > 1 and fractions[-1] == 1.0 and fractions == sorted(fractions)
    assert fractions[0] >= 0
    times = [t for t, _ in calls[:-1]]
    assert all(b - a >= 0.099 for a, b in zip(times, times[1:]))


def test_ctrl_c_stops_a_run(tiled, refs):
    start = time.monotonic()
    full = lumenstack.lcf_map(tiled, refs, threads=1)
    seconds = time.monotonic() - start
    timer = threading.Timer(seconds / 5, lambda: __import__("_thread").interrupt_main())
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        lumenstack.lcf_map(tiled, refs, threads=1)
    assert time.monotonic() - start < 0.8 * seconds + 0.2
    timer.join()
    # The stack is free again, and a later run is whole.
    np.testing.assert_array_equal(lumenstack.lcf_map(tiled, refs)["fraction"], full["fraction"])


def test_an_exception_in_progress_stops_the_run(stack, refs):
    def fail(fraction):
        raise RuntimeError("stop here")
    with pytest.raises(RuntimeError, match="stop here"):
        lumenstack.lcf_map(stack, refs, progress=fail)


def bad_calls(demo, stack, refs):
    missing = demo / "no-such-folder"
    return [
        (lambda: lumenstack.open_stack(i1=missing), FileNotFoundError, "cannot read"),
        (lambda: lumenstack.open_stack(), ValueError, "--i1 DIR"),
        (lambda: lumenstack.open_stack(h5=demo / "demo.h5"), ValueError, "go together"),
        (lambda: lumenstack.open_stack(i1=demo / "i1", suggest=("Fe", "M")), ValueError, "L3"),
        (lambda: lumenstack.open_stack(i1=demo / "i1", suggest=("Qq", "K")), ValueError,
         "unknown element"),
        (lambda: lumenstack.open_stack(i1=demo / "i1", fixed_e0="soon"), ValueError, "auto"),
        (lambda: lumenstack.open_stack(i1=demo / "i1", dark=demo / "ref_A.dat"), ValueError,
         "dark frame"),
        (lambda: lumenstack.lcf_map(stack, []), ValueError, "at least one"),
        (lambda: lumenstack.lcf_map(stack, [demo / "none.dat"]), FileNotFoundError, "none.dat"),
        (lambda: lumenstack.lcf_map(stack, refs, bin=(-1, 0)), ValueError, "non-negative"),
        (lambda: lumenstack.lcf_map(stack, refs, bin=(40, 0)), ValueError, "larger than"),
        (lambda: lumenstack.lcf_map(stack, refs, area=(900, 900, 5, 5)), ValueError,
         "nothing of the area"),
        (lambda: lumenstack.lcf_map(stack, refs, range=(7200, 7100)), ValueError, "below"),
        (lambda: lumenstack.lcf_map(stack, refs, threads=-1), ValueError, "threads"),
        (lambda: lumenstack.ra_map(stack, energy=-5), ValueError, "--energy"),
        (lambda: lumenstack.lcf_map(stack, refs, progress=lambda f: stack.mu_t(0, 0)),
         RuntimeError, "in use"),
        (lambda: stack.i1(stack.shape[0]), IndexError, "I1 image"),
        (lambda: stack.mu_t(64, 0), IndexError, "outside"),
        (lambda: lumenstack.normalise([1.0, 2.0], [1.0, 2.0]), ValueError, "3 points"),
        (lambda: lumenstack.normalise([1.0, 3.0, 2.0], [1.0, 2.0, 3.0]), ValueError, "rise"),
    ]


def test_bad_arguments_raise(demo, stack, refs):
    for call, error, words in bad_calls(demo, stack, refs):
        with pytest.raises(error, match=words):
            call()


def test_fixed_e0_outside_the_energies_is_refused(demo, refs):
    s = lumenstack.open_stack(i1=demo / "i1", i0=demo / "i0", fixed_e0=9000)
    with pytest.raises(ValueError, match="outside the energy range"):
        lumenstack.lcf_map(s, refs)


def test_example_script_saves_its_figure(demo, tmp_path):
    figure = tmp_path / "lcf_demo.png"
    subprocess.run([sys.executable, SOURCE / "examples/python/lcf_demo.py", demo, figure],
                   check=True, capture_output=True, env=dict(os.environ, MPLBACKEND="Agg"))
    assert figure.stat().st_size > 10000


def test_every_function_has_a_docstring_and_a_stub():
    stub = (SOURCE / "python/lumenstack.pyi").read_text()
    public = [n for n in dir(lumenstack) if not n.startswith("_") and callable(getattr(lumenstack, n))]
    for name in public:
        assert getattr(lumenstack, name).__doc__.strip(), name
        assert f"def {name}(" in stub or f"class {name}" in stub, name
    for name in ("shape", "energies", "i1", "i0", "mu_t"):
        assert getattr(lumenstack.Stack, name).__doc__, name

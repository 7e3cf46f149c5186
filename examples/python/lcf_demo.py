"""The demo measurement in Python: a pixel's spectrum with its background
lines, then the LCF fraction map of reference A.

    lumenstack-tool make-demo demo-data
    PYTHONPATH=build-release/python python3 examples/python/lcf_demo.py demo-data lcf_demo.png

The same steps as a notebook: lcf_demo.ipynb beside this file.
"""
import sys
from pathlib import Path

import matplotlib

if __name__ == "__main__" and len(sys.argv) > 2:
    matplotlib.use("Agg")  # a file, no window
import matplotlib.pyplot as plt

import lumenstack


def main(data: Path, figure: Path) -> None:
    stack = lumenstack.open_stack(i1=data / "i1", i0=data / "i0", dark=data / "dark.tif",
                                  suggest=("Fe", "K"))
    print("stack (energies, height, width):", stack.shape)

    # The spectrum of a 3 x 3 bin in the middle band, where A and B are mixed.
    x, y = 40, 24
    energies, mut = stack.mu_t(x, y, bin=(1, 1))
    norm = lumenstack.normalise(energies, mut, suggest=("Fe", "K"))
    print(f"edge {norm['edge']:.1f} eV, jump {norm['dmut']:.3f}")

    refs = [data / "ref_A.dat", data / "ref_B.dat"]
    maps = lumenstack.lcf_map(stack, refs, bin=(1, 1), quality=True,
                              progress=lambda f: print(f"\rLCF {100 * f:5.1f}%", end=""))
    print()
    fraction_a = maps["fraction"][0]

    fig, (left, right) = plt.subplots(1, 2, figsize=(11, 4))
    left.plot(energies, mut, ".", label="mu*t")
    left.plot(energies, norm["pre_line"], label="pre-edge line")
    left.plot(energies, norm["post_line"], label="post-edge line")
    left.axvline(norm["edge"], color="grey", linestyle=":", label="edge")
    left.set(xlabel="energy (eV)", ylabel="mu*t", title=f"bin at ({x}, {y})")
    left.legend()
    step = maps["x"][1] - maps["x"][0] if len(maps["x"]) > 1 else 1
    extent = [maps["x"][0] - step / 2, maps["x"][-1] + step / 2,
              maps["y"][-1] + step / 2, maps["y"][0] - step / 2]
    image = right.imshow(fraction_a, extent=extent, vmin=0, vmax=1, cmap="viridis")
    right.plot([x], [y], "r+")
    right.set(xlabel="x (pixel)", ylabel="y (pixel)", title="fraction of reference A")
    fig.colorbar(image, ax=right)
    fig.tight_layout()
    fig.savefig(figure, dpi=100)
    print("saved", figure)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: lcf_demo.py DEMO_DATA_DIR FIGURE.png")
    main(Path(sys.argv[1]), Path(sys.argv[2]))

"""Fixtures of the module's tests: the demo measurement written by
lumenstack-tool make-demo, and a larger stack made of it for runs that must
last a while (the GIL, Ctrl+C). ctest sets LUMENSTACK_TOOL and PYTHONPATH."""
import os
import subprocess
from pathlib import Path

import numpy as np
import pytest
import tifffile

TOOL = os.environ.get("LUMENSTACK_TOOL", "lumenstack-tool")


def run_tool(*args, check=True):
    return subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, check=check,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))


@pytest.fixture(scope="session")
def demo(tmp_path_factory):
    data = tmp_path_factory.mktemp("demo") / "data"
    run_tool("make-demo", data)
    return data


@pytest.fixture(scope="session")
def stack(demo):
    import lumenstack
    return lumenstack.open_stack(i1=demo / "i1", i0=demo / "i0", dark=demo / "dark.tif")


@pytest.fixture(scope="session")
def refs(demo):
    return [demo / "ref_A.dat", demo / "ref_B.dat"]


@pytest.fixture(scope="session")
def tiled(demo, tmp_path_factory):
    """The demo stack repeated 6 x 6 times over the detector: 384 x 288 pixels."""
    out = tmp_path_factory.mktemp("tiled")
    for series in ("i1", "i0"):
        (out / series).mkdir()
        for f in sorted((demo / series).iterdir()):
            tifffile.imwrite(out / series / f.name, np.tile(tifffile.imread(f), (6, 6)))
    tifffile.imwrite(out / "dark.tif", np.tile(tifffile.imread(demo / "dark.tif"), (6, 6)))
    import lumenstack
    return lumenstack.open_stack(i1=out / "i1", i0=out / "i0", dark=out / "dark.tif")

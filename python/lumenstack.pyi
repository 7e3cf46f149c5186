"""Lumenstack's X-ray absorption imaging engine: stacks, spectra and maps as numpy arrays."""
from os import PathLike
from typing import Callable, Literal, Optional, Sequence, Tuple, TypedDict, Union

import numpy as np
import numpy.typing as npt

__version__: str

Path = Union[str, PathLike]
FloatArray = npt.NDArray[np.float64]
Reference = Union[Path, Tuple[Path, float, bool]]
Progress = Optional[Callable[[float], object]]

class Stack:
    """An image series of an energy scan, loaded; made by open_stack()."""

    @property
    def shape(self) -> Tuple[int, int, int]:
        """(energies, height, width) of the I1 series."""
    @property
    def energies(self) -> FloatArray:
        """The energy (eV) of each I1 image."""
    def i1(self, k: int) -> FloatArray:
        """I1 image k (height, width), read through its registration shift."""
    def i0(self, k: int) -> FloatArray:
        """I0 image k (height, width)."""
    def mu_t(self, x: int, y: int, bin: Tuple[int, int] = (0, 0)) -> Tuple[FloatArray, FloatArray]:
        """(energies, mut) of the bin centred at pixel (x, y)."""

def open_stack(
    i1: Optional[Path] = None,
    i0: Optional[Path] = None,
    energies: Optional[Path] = None,
    energy_pattern: Optional[str] = None,
    dark: Optional[Path] = None,
    h5: Optional[Path] = None,
    layout: Optional[Path] = None,
    fluorescence: bool = False,
    suggest: Optional[Tuple[str, str]] = None,
    dpre: Optional[float] = None,
    dpost: Optional[float] = None,
    jump_sigma: Optional[float] = None,
    shifts: Optional[Path] = None,
    shift_map: Optional[Path] = None,
    fixed_e0: Union[None, float, Literal["auto"]] = None,
) -> Stack:
    """Loads a measurement, with the meaning of lumenstack-tool's stack options."""

class Normalised(TypedDict):
    normalized: FloatArray
    pre_line: FloatArray
    post_line: FloatArray
    edge: float
    dmut: float

def normalise(
    energies: npt.ArrayLike,
    mut: npt.ArrayLike,
    suggest: Optional[Tuple[str, str]] = None,
    victoreen: bool = False,
    dpre: Optional[float] = None,
    dpost: Optional[float] = None,
    jump_sigma: Optional[float] = None,
    fixed_e0: Optional[float] = None,
) -> Normalised:
    """Normalises a mu*t spectrum as lumenstack-tool spectrum-info does."""

class LcfMaps(TypedDict, total=False):
    fraction: FloatArray  # (references, bin rows, bin columns)
    amount: FloatArray
    sigma: FloatArray  # with quality
    residual: FloatArray  # (bin rows, bin columns)
    rfactor: FloatArray  # with quality
    chi2: FloatArray  # with quality
    x: FloatArray  # bin centre columns
    y: FloatArray  # bin centre rows

def lcf_map(
    stack: Stack,
    refs: Sequence[Reference],
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    mlcf: bool = False,
    old: bool = False,
    range: Optional[Tuple[float, float]] = None,
    nonneg: bool = False,
    sum1: bool = False,
    quality: bool = False,
    threads: int = 0,
    progress: Progress = None,
) -> LcfMaps:
    """LCF maps of every bin, as lumenstack-tool lcf-map computes them."""

class RaMaps(TypedDict):
    dmut: FloatArray
    rest: FloatArray
    ratio: FloatArray
    x: FloatArray
    y: FloatArray

def ra_map(
    stack: Stack,
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    energy: float = 8200.0,
    factor: float = 1.0,
    threads: int = 0,
    progress: Progress = None,
) -> RaMaps:
    """Residual-absorption maps of every bin, as lumenstack-tool ra-map computes them."""

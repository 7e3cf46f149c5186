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

class ElemMaps(TypedDict):
    elems: list[str]
    dmut: FloatArray  # (rows, bin rows, bin columns), as ndmut, mup, mum, de, roi, nroi
    ndmut: FloatArray
    mup: FloatArray
    mum: FloatArray
    de: FloatArray
    roi: FloatArray
    nroi: FloatArray
    cor: FloatArray  # (bin rows, bin columns)
    corth: FloatArray
    x: FloatArray
    y: FloatArray

def elem_map(
    stack: Stack,
    elems: Union[str, Sequence[str]],
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    sort: bool = False,
    de: Optional[float] = None,
    th: Optional[float] = None,
    roi: Optional[Tuple[float, float]] = None,
    no_neg: bool = False,
    use: Optional[Sequence[int]] = None,
    std: Optional[Sequence[float]] = None,
    main: int = 0,
    cor_th: Optional[float] = None,
    bg: Optional[Tuple[float, float, float, float]] = None,
    threads: int = 0,
    progress: Progress = None,
) -> ElemMaps:
    """Element maps of every bin, as lumenstack-tool elem-map computes them."""

class ShiftStats(TypedDict):
    max: Optional[float]
    mean: Optional[float]
    min: Optional[float]
    sigma: Optional[float]

class ShiftMaps(TypedDict):
    shift: FloatArray  # eV, (bin rows, bin columns)
    stats: ShiftStats
    std_edge: float
    x: FloatArray
    y: FloatArray

def shift_map(
    stack: Stack,
    std: Path,
    std_victoreen: bool = False,
    method: Literal["dmidx", "innerp"] = "dmidx",
    de_step: Optional[float] = None,
    de_min: Optional[float] = None,
    de_range: Optional[float] = None,
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    threads: int = 0,
    progress: Progress = None,
) -> ShiftMaps:
    """Energy-shift map of every bin against a standard, as lumenstack-tool shift-map computes it."""

class Shifts(TypedDict):
    dx: FloatArray  # one entry per I1 image
    dy: FloatArray
    score: FloatArray
    reference: int
    suspect: list[int]

def align(
    stack: Stack,
    method: Literal["phase", "edge"] = "phase",
    reference: Union[int, Literal["auto"], Tuple[int, int]] = 0,
    chain: bool = False,
    gradient: bool = False,
    upsample: int = 1,
    max_shift: int = 50,
    threshold: float = 0.3,
    min_score: float = 0.02,
    max_jump: float = 3,
    threads: int = 0,
    out: Optional[Path] = None,
    progress: Progress = None,
) -> Shifts:
    """Registration shifts of every I1 image, as lumenstack-tool align finds them."""

class _ComponentMaps(TypedDict):
    x: FloatArray
    y: FloatArray
    energies: FloatArray
    mean: FloatArray
    bins_used: int
    bins_left_out: int
    jump_threshold: float

class PcaMaps(_ComponentMaps):
    eigenvalues: FloatArray
    explained: FloatArray
    components: FloatArray  # (components, energies)
    scores: FloatArray  # (components, bin rows, bin columns)

class ClusterMaps(_ComponentMaps):
    cluster: FloatArray  # (bin rows, bin columns): 0..clusters-1, -1 left out
    spectra: FloatArray  # (clusters, energies)
    sizes: list[int]

class NmfMaps(_ComponentMaps):
    components: FloatArray  # (components, energies)
    weights: FloatArray  # (components, bin rows, bin columns)
    offset: float

def pca_map(
    stack: Stack,
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    range: Optional[Tuple[float, float]] = None,
    components: int = 5,
    min_jump: float = 0.1,
    threads: int = 0,
    progress: Progress = None,
) -> PcaMaps:
    """Principal components of the bins' normalised spectra, as lumenstack-tool pca-map finds them."""

def cluster_map(
    stack: Stack,
    clusters: int,
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    range: Optional[Tuple[float, float]] = None,
    components: int = 5,
    seed: int = 1,
    min_jump: float = 0.1,
    threads: int = 0,
    progress: Progress = None,
) -> ClusterMaps:
    """k-means clusters of the bins' normalised spectra, as lumenstack-tool cluster-map finds them."""

def nmf_map(
    stack: Stack,
    components: int,
    bin: Tuple[int, int] = (0, 0),
    area: Optional[Tuple[float, float, float, float]] = None,
    range: Optional[Tuple[float, float]] = None,
    seed: int = 1,
    min_jump: float = 0.1,
    threads: int = 0,
    progress: Progress = None,
) -> NmfMaps:
    """Non-negative factorisation of the bins' normalised spectra, as lumenstack-tool nmf-map finds it."""

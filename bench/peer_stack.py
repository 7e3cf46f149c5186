"""The benchmark stack as the C++ benchmarks build it, for the numpy peers.

A 512 x 512 ramp of two compounds (x from the second to the first) over 161
energies from 8900 to 9100 eV, 16-bit I1 and I0 with an incident beam that
falls along y.
"""
import numpy as np

SIDE = 512
ENERGIES = 161


def edge_shape(e, e0, wl):
    t = np.clip((e - (e0 - 5)) / 10, 0, 1)
    return t * t * (3 - 2 * t) + wl * np.sin(np.pi * t) ** 2


def ref_mu(j, e):
    """Reference j at the unshifted energy e."""
    if j == 0:
        return 0.3 - 1e-5 * (e - 9000) + 1.0 * edge_shape(e, 8985, 0.2)
    return 0.5 - 2e-5 * (e - 9000) + 0.8 * edge_shape(e, 8988, 0.6)


def stack():
    """Energies, and I1 and I0 as [energy, y, x] uint16."""
    e = 8900 + 200.0 * np.arange(ENERGIES) / (ENERGIES - 1)
    f = np.arange(SIDE) / (SIDE - 1)
    incident = (30000 - 10 * np.arange(SIDE, dtype=np.float64))[None, :, None]
    mu = 0.2 + f[None, None, :] * ref_mu(0, e)[:, None, None] \
        + (1 - f[None, None, :]) * ref_mu(1, e)[:, None, None]
    i1 = (incident * np.exp(-mu)).astype(np.uint16)
    i0 = np.ascontiguousarray(np.broadcast_to(incident.astype(np.uint16), i1.shape))
    return e, i1, i0

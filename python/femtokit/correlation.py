"""Source -> correlation function through a kernel; the angle-averaged C(q)."""

import numpy as np

from . import _core
from .arrays import CHArray, Grid3D
from .kernels import Kernel, Kernel3D
from .sources import Source


def _source_array(source, kernel, lmax=None, symmetric=True):
    if isinstance(source, CHArray):
        return source
    if isinstance(source, Source):
        lmax = kernel.lmax if lmax is None else lmax
        return source.compute(CHArray(lmax, kernel.nrmax, kernel.delr, symmetric, symmetric,
                                      symmetric))
    raise TypeError("source must be a femtokit.Source or a CHArray")


def transform(source, kernel, cf=None):
    """Correlation function of a source through an angular kernel (all components),

        CF_l(q) = sum_ir 4 pi r^2 dr K_L(q, r) S_l(r),  L = lx + ly + lz,

    with CF_000 = C(q) - 1. source: CHArray (or Source, computed on the kernel's
    r grid with all three reflection symmetries); cf: CHArray to fill, by default
    a new one on the kernel's q grid with the source's LMAX and symmetries.
    Returns cf.
    """
    if not isinstance(kernel, Kernel):
        raise TypeError("kernel must be a femtokit.Kernel")
    s = _source_array(source, kernel)
    if cf is None:
        cf = CHArray(max(s.lmax, kernel.lmax), kernel.nqmax, kernel.delq, s.xsym, s.ysym, s.zsym)
    elif not isinstance(cf, CHArray):
        raise TypeError("cf must be a CHArray")
    _core._s2c(s, kernel._obj, cf)
    return cf


def correlation(source, kernel, symmetric=True):
    """Angle-averaged correlation function: (q, C(q)) as two 1-D ndarrays.

    q are the kernel's bin centres (MeV/c) and C = 1 + CF_000(q). source is a
    femtokit.Source (computed on the kernel's r grid, with all reflection
    symmetries unless symmetric=False) or a source CHArray.
    """
    if not isinstance(kernel, Kernel):
        raise TypeError("kernel must be a femtokit.Kernel")
    s = _source_array(source, kernel, symmetric=symmetric)
    cf = CHArray(max(s.lmax, kernel.lmax), kernel.nqmax, kernel.delq, s.xsym, s.ysym, s.zsym)
    _core._s2c_component(0, 0, 0, s, kernel._obj, cf)
    return kernel.q, 1.0 + cf.component(0, 0, 0)


def transform_grid(source, kernel, cf):
    """Grid transform CF(q) = int d^3r S(r) |psi(q, r)|^2 (C itself, not C - 1) of a
    source Grid3D through a Kernel3D into the Grid3D cf (same symmetries); returns cf."""
    if not isinstance(kernel, Kernel3D):
        raise TypeError("kernel must be a femtokit.Kernel3D")
    if not isinstance(source, Grid3D) or not isinstance(cf, Grid3D):
        raise TypeError("source and cf must be Grid3D")
    if source.symmetries != cf.symmetries:
        raise ValueError("source and correlation grids must have the same symmetries")
    _core._s2c_grid(source, kernel._obj, cf)
    return cf


def chi2(data, errors, model, component=(0, 0, 0)):
    """sum over bins of ((data - model) / errors)^2 for one component of three
    CHArrays, or over every cell of three Grid3D."""
    if all(isinstance(a, Grid3D) for a in (data, errors, model)):
        return _core._chi2_grid(data, errors, model)
    if all(isinstance(a, CHArray) for a in (data, errors, model)):
        for a in (data, errors, model):
            if not a.is_stored(*component):
                raise ValueError(f"component {component} is not stored in every array")
        return _core._chi2(*component, data, errors, model)
    raise TypeError("chi2 needs three CHArray or three Grid3D")

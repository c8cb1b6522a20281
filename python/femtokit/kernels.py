"""Kernels: the angular kernel K_ell(q, r) and the three-dimensional |psi|^2 table."""

import os

import numpy as np

from . import _core
from ._util import broadcast_doubles, check_directory, merged_parameters, parameter_file
from .wavefunctions import WaveFunction


def _wavefunction(wf):
    if not isinstance(wf, WaveFunction):
        raise TypeError(f"expected a femtokit.WaveFunction, got {type(wf).__name__}")
    return wf._obj

_KERNEL_NAMES = {"nqmax": "NQMAX", "nrmax": "NRMAX", "lmax": "KLMAX", "delq": "DELQ",
                 "delr": "DELR", "identical": "IDENTICAL"}
_KERNEL3D_NAMES = {"nqmax": "NQMAX", "nrmax": "NRMAX", "nctheta": "NCTHETA", "delq": "DELQ",
                   "delr": "DELR", "identical": "IDENTICAL"}


def _checked(pars, positive_ints, positive_floats):
    for key, default in positive_ints.items():
        if int(pars.get(key, default)) < 1:
            raise ValueError(f"{key} must be at least 1")
    for key, default in positive_floats.items():
        if not float(pars.get(key, default)) > 0:
            raise ValueError(f"{key} must be positive")
    return pars


class _KernelGrid:
    """What the angular and the three-dimensional kernel share: the q and r grids, the table
    as an ndarray, |psi|^2 from the table, construction from a wave function, reading."""

    @classmethod
    def from_wavefunction(cls, wavefunction, parsfile=None, **grid):
        """The kernel of a femtokit.WaveFunction on the given grid."""
        k = cls(parsfile, **grid)
        k.compute(wavefunction)
        return k

    @classmethod
    def _read_into(cls, dirname, parsfile, grid):
        dirname = check_directory(dirname, "kernel")
        k = cls(parsfile, **grid)
        k._obj._read(dirname)
        return k

    def compute(self, wavefunction):
        """Fills the table from a femtokit.WaveFunction (GIL released)."""
        self._obj.compute(_wavefunction(wavefunction))
        self.pair = wavefunction.pair

    nqmax = property(lambda self: self._obj.nqmax, doc="Number of q points.")
    nrmax = property(lambda self: self._obj.nrmax, doc="Number of r points.")
    delq = property(lambda self: self._obj.delq, doc="q spacing (MeV/c).")
    delr = property(lambda self: self._obj.delr, doc="r spacing (fm).")
    identical = property(lambda self: self._obj.identical, doc="Identical particles.")
    q = property(lambda self: self._obj.q, doc="q bin centres (MeV/c), ndarray.")
    r = property(lambda self: self._obj.r, doc="r bin centres (fm), ndarray.")

    @property
    def table(self):
        """The table as an ndarray (a copy; see the class for its axes); assign an array of the
        same shape to replace it."""
        return self._obj.table

    @table.setter
    def table(self, values):
        self._obj.table = np.asarray(values, dtype=float)

    def psi2(self, q, r, ctheta):
        """|psi|^2 rebuilt from the table at any q (MeV/c), r (fm), cos theta; broadcast like
        numpy."""
        shape, (bq, br, bc) = broadcast_doubles(q, r, ctheta)
        return self._obj._psi2(bq, br, bc).reshape(shape)


class Kernel(_KernelGrid):
    """Angular projections of a pair kernel on bin-centre grids,

        K_ell(q, r) = 1/2 int_{-1}^{1} (|psi(q, r, c)|^2 - 1) P_ell(c) dc,

    q_iq = (iq + 0.5) delq (MeV/c), r_ir = (ir + 0.5) delr (fm), ell <= lmax.
    Identical particles keep only even ell.

    Kernel(parsfile=None, **grid) makes an all-zero kernel; grid keywords:
    nqmax (25), nrmax (120), lmax (24), delq (4.0), delr (0.5), identical
    (False); a parameter file uses the keys NQMAX, NRMAX, KLMAX, DELQ, DELR,
    IDENTICAL. Fill it with compute(wf), compute_purehbt(),
    compute_purefermion(), compute_classcoul(...), or use the constructors
    from_wavefunction, purehbt, purefermion, classcoul, read. The table is
    K[ell, iq, ir]; rows of ell not stored are zero.
    """

    def __init__(self, parsfile=None, **grid):
        pars = merged_parameters(parsfile, grid, _KERNEL_NAMES)
        _checked(pars, {"NQMAX": 25, "NRMAX": 120}, {"DELQ": 4.0, "DELR": 0.5})
        if int(pars.get("KLMAX", 24)) < 0:
            raise ValueError("lmax must not be negative")
        with parameter_file(pars) as (path, _):
            self._obj = _core.Kernel(path)
        self.parameters = pars
        self.pair = None
        """What filled the table (a pair name, "purehbt", "purefermion", "classcoul"); the
        kernel directory's manifest names it."""

    @classmethod
    def purehbt(cls, parsfile=None, **grid):
        """Non-interacting identical bosons: K_ell = (-1)^(ell/2) j_ell(2 q r / hbar c)
        (odd ell zero; identical=True unless a parameter file or keyword says otherwise)."""
        if parsfile is None:
            grid.setdefault("identical", True)
        k = cls(parsfile, **grid)
        k.compute_purehbt()
        return k

    @classmethod
    def purefermion(cls, parsfile=None, **grid):
        """Free identical spin-1/2 fermions, spin-averaged: |psi|^2 = 1 - cos(2 q.r / hbar c) / 2,
        K_ell = -(1/2) (-1)^(ell/2) j_ell(2 q r / hbar c) for even ell (identical=True unless a
        parameter file or keyword says otherwise). For a Gaussian source C(q) - 1 =
        -(lambda/2) exp(-4 q^2 R^2 / (hbar c)^2): the reference of every pp and nn result."""
        if parsfile is None:
            grid.setdefault("identical", True)
        k = cls(parsfile, **grid)
        k.compute_purefermion()
        return k

    @classmethod
    def classcoul(cls, ma, mb, q1q2, parsfile=None, **grid):
        """Classical Coulomb kernel for masses ma, mb (MeV) and charge product q1q2."""
        k = cls(parsfile, **grid)
        k.compute_classcoul(ma, mb, q1q2)
        return k

    @classmethod
    def read(cls, dirname, parsfile=None, **grid):
        """Reads a kernel directory ("<dir>/ell%d_q%07.2f.tmp" files) with the given grid.
        A missing or short file raises (FileNotFoundError / ValueError)."""
        return cls._read_into(dirname, parsfile, grid)

    def write(self, dirname):
        """Writes the kernel directory (created if needed), one file per (ell, q), each
        atomically, and last a manifest (grid, what filled the table, file count) by which a
        reader tells a complete table from a partial one."""
        self._obj._write(os.fspath(dirname), self.pair or "")

    def compute_purehbt(self):
        """Fills the identical-boson plane-wave kernel."""
        self._obj.compute_purehbt()
        self.pair = "purehbt"

    def compute_purefermion(self):
        """Fills the free identical-fermion (spin-averaged) kernel."""
        self._obj.compute_purefermion()
        self.pair = "purefermion"

    def compute_classcoul(self, ma, mb, q1q2):
        """Fills the classical Coulomb kernel (ma, mb in MeV, q1q2 the charge product)."""
        self._obj.compute_classcoul(float(ma), float(mb), int(q1q2))
        self.pair = "classcoul"

    lmax = property(lambda self: self._obj.lmax, doc="Highest ell.")

    def value(self, ell, q, r):
        """K_ell at any q (MeV/c), r (fm), bilinear between bin centres; broadcast."""
        shape, (bq, br) = broadcast_doubles(q, r)
        return self._obj._value(int(ell), bq, br).reshape(shape)

    def __repr__(self):
        return (f"Kernel(lmax={self.lmax}, nqmax={self.nqmax}, delq={self.delq}, "
                f"nrmax={self.nrmax}, delr={self.delr}, identical={self.identical})")


class Kernel3D(_KernelGrid):
    """Three-dimensional kernel: |psi(q, r, cos theta)|^2 - 1 on q_iq = (iq + 0.5) delq,
    r_ir = (ir + 0.5) delr and cos theta = 1 - ic * delctheta, ic = 0 ... nctheta
    (delctheta = 2/nctheta, or 1/nctheta for identical particles, which use |cos theta|).

    Kernel3D(parsfile=None, **grid); grid keywords nqmax (25), nrmax (120),
    nctheta (120), delq (4.0), delr (0.5), identical (False). The table is
    |psi|^2 - 1 indexed (iq, ir, ic).
    """

    def __init__(self, parsfile=None, **grid):
        pars = merged_parameters(parsfile, grid, _KERNEL3D_NAMES)
        _checked(pars, {"NQMAX": 25, "NRMAX": 120, "NCTHETA": 120}, {"DELQ": 4.0, "DELR": 0.5})
        with parameter_file(pars) as (path, _):
            self._obj = _core.Kernel3D(path)
        self.parameters = pars
        self.pair = None

    @classmethod
    def read(cls, dirname, parsfile=None, **grid):
        """Reads a directory of "<dir>/q%07.2f.tmp" files with the given grid."""
        return cls._read_into(dirname, parsfile, grid)

    def write(self, dirname):
        """Writes one file per q point into dirname (created if needed)."""
        self._obj._write(os.fspath(dirname))

    nctheta = property(lambda self: self._obj.nctheta, doc="Number of cos theta intervals.")
    ctheta = property(lambda self: self._obj.ctheta, doc="cos theta columns (from 1 down).")

    def __repr__(self):
        return (f"Kernel3D(nqmax={self.nqmax}, delq={self.delq}, nrmax={self.nrmax}, "
                f"delr={self.delr}, nctheta={self.nctheta}, identical={self.identical})")

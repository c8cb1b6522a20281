"""Cartesian-harmonic arrays (CHArray) and Cartesian grids (Grid3D).

Both are the compiled classes with a few Python conveniences added here:
reading and writing their directories, vectorised evaluation at points and
construction from parameter files. Every ndarray they return is a copy.
"""

import os

import numpy as np

from . import _core
from ._util import (broadcast_doubles, check_directory, merged_parameters, parameter_file,
                    read_parameter_file)

CHArray = _core.CHArray
Grid3D = _core.Grid3D

_CH_NAMES = {"lmax": "LMAX", "nradial": "NRADIAL", "radstep": "RADSTEP", "xsym": "XSYM",
             "ysym": "YSYM", "zsym": "ZSYM", "identical": "IDENTICAL"}


def _ch_from_parameters(parsfile=None, **kwargs):
    """CHArray from a parameter file (keys LMAX, NRADIAL, RADSTEP, XSYM, YSYM, ZSYM,
    IDENTICAL) and/or keyword arguments of the same names in lower case."""
    pars = merged_parameters(parsfile, kwargs, _CH_NAMES)
    lmax, nradial = pars.get("LMAX", 4), pars.get("NRADIAL", 25)
    radstep = pars.get("RADSTEP", 1.0)
    if not 0 <= lmax <= 56 or nradial < 1 or not radstep > 0:
        raise ValueError(f"bad array parameters LMAX={lmax}, NRADIAL={nradial}, RADSTEP={radstep}")
    with parameter_file(pars) as (path, _):
        return CHArray._from_parameter_file(path)


def _ch_read(dirname, parsfile=None, all_components=False, **kwargs):
    """Reads a directory of component files ("<dir>/lx%d_ly%d_lz%d.tmp") into a new
    array with the given parameters (parameter file and/or keywords as in
    CHArray.from_parameters). all_components=True reads every stored component
    (files of write(all_components=True)), else lx in {0, 1} and the rest by
    tracelessness."""
    dirname = check_directory(dirname, "array")
    a = _ch_from_parameters(parsfile, **kwargs)
    a._read(dirname, bool(all_components))
    return a


def _ch_write(self, dirname, all_components=False):
    """Writes the array as a directory of component files (created if needed)."""
    self._write(os.fspath(dirname), bool(all_components))


def _ch_evaluate_at(self, x, y, z):
    """F at the points (x, y, z) (broadcast like numpy): bin of |(x,y,z)|, 0 beyond
    the last bin."""
    shape, (bx, by, bz) = broadcast_doubles(x, y, z)
    return self._evaluate_points(bx, by, bz).reshape(shape)


def _ch_repr(self):
    return (f"CHArray(lmax={self.lmax}, nradial={self.nradial}, radstep={self.radstep}, "
            f"xsym={self.xsym}, ysym={self.ysym}, zsym={self.zsym})")


CHArray.from_parameters = staticmethod(_ch_from_parameters)
CHArray.read = staticmethod(_ch_read)
CHArray.write = _ch_write
CHArray.evaluate_at = _ch_evaluate_at
CHArray.__repr__ = _ch_repr


def _grid_read(dirname):
    """Reads a grid directory written by Grid3D.write ("3Darraypars.dat" and one
    file per (ix, iy)) into a new Grid3D."""
    dirname = check_directory(dirname, "grid")
    pars = os.path.join(dirname, "3Darraypars.dat")
    if not os.path.isfile(pars):
        raise FileNotFoundError(f"grid parameter file {pars} does not exist")
    p = read_parameter_file(pars)
    n = [int(p.get(k, 1)) for k in ("NXMAX", "NYMAX", "NZMAX")]
    if int(p.get("NXYZMAX", 0)) != 0:
        n = [int(p["NXYZMAX"])] * 3
    d = [float(p.get("DELXYZ", 1.0))] * 3 if float(p.get("DELXYZ", 0.0)) > 1e-10 else [1.0] * 3
    d = [float(p.get(k, v)) for k, v in zip(("DELX", "DELY", "DELZ"), d)]
    if p.get("IDENTICAL", False):
        sym = [True] * 3
    else:
        sym = [bool(p.get(k, False)) for k in ("XSYM", "YSYM", "ZSYM")]
    # built with the directory's own parameters, so the read needs no rebuild
    g = Grid3D(n[0], d[0], n[1], d[1], n[2], d[2], *sym)
    g._read(dirname)
    return g


def _grid_write(self, dirname):
    """Writes the grid directory (created if needed; old *.tmp files removed)."""
    self._write(os.fspath(dirname))


def _grid_evaluate_at(self, x, y, z):
    """Trilinear interpolation between cell centres at (x, y, z), broadcast like numpy."""
    shape, (bx, by, bz) = broadcast_doubles(x, y, z)
    return self._evaluate_points(bx, by, bz).reshape(shape)


def _grid_axes(self):
    """Signed cell-centre coordinates per axis and the value cube on them.

    Returns (x, y, z, values) with values[i, j, k] at (x[i], y[j], z[k]); on a
    symmetric axis the negative half is the mirror image of the stored one.
    """
    v = self.values
    axes = []
    for n, d, sym in zip(self.shape, self.spacing, self.symmetries):
        pos = (np.arange(n) + 0.5) * d
        axes.append(np.concatenate([-pos[::-1], pos]))
    nsx, nx, nsy, ny, nsz, nz = v.shape

    cube = np.empty((2 * nx, 2 * ny, 2 * nz))
    for sx in (0, 1):
        for sy in (0, 1):
            for sz in (0, 1):
                blk = v[min(sx, nsx - 1), :, min(sy, nsy - 1), :, min(sz, nsz - 1), :]
                xs = slice(nx, 2 * nx) if sx == 0 else slice(nx - 1, None, -1)
                ys = slice(ny, 2 * ny) if sy == 0 else slice(ny - 1, None, -1)
                zs = slice(nz, 2 * nz) if sz == 0 else slice(nz - 1, None, -1)
                cube[xs, ys, zs] = blk
    return axes[0], axes[1], axes[2], cube


def _grid_repr(self):
    return f"Grid3D(shape={self.shape}, spacing={self.spacing}, symmetries={self.symmetries})"


Grid3D.read = staticmethod(_grid_read)
Grid3D.write = _grid_write
Grid3D.evaluate_at = _grid_evaluate_at
Grid3D.full = _grid_axes
Grid3D.__repr__ = _grid_repr

"""Source -> correlation function through the Python path, against closed forms."""

import numpy as np
import pytest

import femtokit as fk
from conftest import gaussian_cf


def test_source_normalization_and_profile():
    source = fk.Source("gx1d", lambdaG=0.7, R=3.0, lambdaX=0.2, X=4.0)
    array = source.array(nradial=200, radstep=0.25)
    assert fk.normalization(array) == pytest.approx(0.9, rel=2e-3)
    r, s = source.profile(nradial=10, radstep=1.0)
    np.testing.assert_allclose(r, np.arange(10) + 0.5)
    assert np.all(np.diff(s) < 0)  # monotonic fall-off of a Gaussian plus exponential


def test_correlation_transform_and_chi2(hbt_kernel):
    source = fk.Source("gx1d", lambdaG=0.6, R=3.5, lambdaX=0.0)
    q, c = fk.correlation(source, hbt_kernel)
    assert q.shape == c.shape == (hbt_kernel.nqmax,)
    np.testing.assert_allclose(q, (np.arange(hbt_kernel.nqmax) + 0.5) * hbt_kernel.delq)
    # the closed form in MeV/c and fm (the midpoint rule in r keeps well below 1e-3)
    np.testing.assert_allclose(c, gaussian_cf(q, 0.6, 3.5), atol=2e-3 * 0.6)
    cf = fk.transform(source, hbt_kernel)
    np.testing.assert_allclose(1.0 + cf.component(0, 0, 0), c, rtol=1e-12)
    # chi2 of an array against itself shifted by one error in every bin is the bin count
    err = cf.copy()
    err.set_component(0, 0, 0, np.full(cf.nradial, 0.01))
    shifted = cf.copy()
    shifted.set_component(0, 0, 0, cf.component(0, 0, 0) + 0.01)
    assert fk.chi2(shifted, err, cf) == pytest.approx(cf.nradial)


def test_grid_transform_gaussian_is_closed_form():
    # C(q) itself on the grid: for a plane-wave kernel C = lambda (1 + exp(-4 q^2 R^2/hbar c^2))
    kernel = fk.Kernel3D(nqmax=12, delq=8.0, nrmax=80, delr=0.25, nctheta=60, identical=True)
    x = (np.arange(kernel.nqmax) + 0.5) * kernel.delq
    r = kernel.r[None, :, None]
    ct = kernel.ctheta[None, None, :]
    kernel.table = np.cos(2 * x[:, None, None] * r * ct / fk.constants.HBARC)
    source = fk.Source("gaussian3d", **{"lambda": 1.0, "Rx": 2.0, "Ry": 2.0, "Rz": 2.0})
    sgrid = source.compute(fk.Grid3D(24, 0.5, 24, 0.5, 24, 0.5, True, True, True))
    cf = fk.transform_grid(sgrid, kernel, fk.Grid3D(6, 8.0, 1, 8.0, 1, 8.0, True, True, True))
    qx = (np.arange(6) + 0.5) * 8.0
    qtot = np.sqrt(qx ** 2 + 2 * 4.0 ** 2)
    np.testing.assert_allclose(cf.values[0, :, 0, 0, 0, 0], gaussian_cf(qtot, 1.0, 2.0), atol=0.03)


def test_free_fermion_kernel_is_minus_half_the_boson_one(hbt_kernel):
    grid = dict(nqmax=hbt_kernel.nqmax, delq=hbt_kernel.delq, nrmax=hbt_kernel.nrmax,
                delr=hbt_kernel.delr, lmax=hbt_kernel.lmax)
    fermion = fk.Kernel.purefermion(**grid)
    assert fermion.identical
    # -1/2 of the boson table: C - 1 = -(1/2) lambda exp(-4 q^2 R^2 / (hbar c)^2)
    np.testing.assert_allclose(fermion.table, -0.5 * hbt_kernel.table, atol=1e-15)

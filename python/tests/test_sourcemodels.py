"""The newer source models through the Python path: closed-form C(q) of identical bosons,
the Levy alpha = 2 limit, the free-fermion kernel, and bad parameters raising without
ending the interpreter."""

import numpy as np
import pytest

import femtokit as fk

HBARC = fk.constants.HBARC


@pytest.mark.parametrize("model,pars,closed_form,atol", [
    # characteristic functions of the normalised densities at 2q/hbar c
    ("cauchy1d", {"lambda": 0.8, "R": 1.5}, lambda x: np.exp(-x * 1.5), 0.02),  # r^-4 tail beyond 40 fm
    ("exponential", {"lambda": 0.8, "R": 1.0}, lambda x: 1 / (1 + (x * 1.0) ** 2) ** 2, 3e-3),
    ("levy1d", {"lambda": 0.8, "R": 2.0, "alpha": 1.5}, lambda x: np.exp(-(x * 2.0) ** 1.5), 5e-3),
])
def test_closed_form_correlation(hbt_kernel, model, pars, closed_form, atol):
    q, c = fk.correlation(fk.Source(model, **pars), hbt_kernel)
    expected = 1 + pars["lambda"] * closed_form(2 * q / HBARC)
    sel = q > 10.0  # the truncated tail of the grid shows at the lowest q only
    np.testing.assert_allclose(c[sel], expected[sel], atol=atol)


def test_levy_alpha_two_is_the_gaussian():
    levy = fk.Source("levy1d", **{"lambda": 0.7, "R": 2.5, "alpha": 2.0}).profile(nradial=60, radstep=0.25)[1]
    gauss = fk.Source("gx1d", lambdaG=0.7, R=2.5, lambdaX=0.0).profile(nradial=60, radstep=0.25)[1]
    np.testing.assert_allclose(levy, gauss, rtol=1e-6)


@pytest.mark.parametrize("model,pars", [
    ("levy1d", {"alpha": 2.5}), ("levy1d", {"alpha": 0.0}), ("cauchy1d", {"R": -1.0}),
    ("exponential", {"R": 0.0}), ("histogram", {"filename": "/nonexistent/table.csv"}),
])
def test_bad_parameters_raise_and_interpreter_survives(model, pars):
    with pytest.raises((ValueError, FileNotFoundError)):
        fk.Source(model, **pars).array(nradial=10)
    assert fk.normalization(fk.Source("exponential", R=1.0).array(nradial=200, radstep=0.25)) > 0.99


def test_free_fermion_kernel_gaussian_closed_form(hbt_kernel):
    grid = dict(nqmax=hbt_kernel.nqmax, delq=hbt_kernel.delq, nrmax=hbt_kernel.nrmax,
                delr=hbt_kernel.delr, lmax=hbt_kernel.lmax)
    fermion = fk.Kernel.purefermion(**grid)
    assert fermion.identical
    np.testing.assert_allclose(fermion.table, -0.5 * hbt_kernel.table, atol=1e-15)
    q, c = fk.correlation(fk.Source("gx1d", lambdaG=0.9, R=2.0, lambdaX=0.0), fermion)
    np.testing.assert_allclose(c - 1, -0.45 * np.exp(-4 * q ** 2 * 2.0 ** 2 / HBARC ** 2), atol=1e-6)

"""Fits: iminuit through ChiSquareCost recovers a known source; built-in minimisers."""

import numpy as np
import pytest
from iminuit import Minuit

import femtokit as fk

TRUTH = {"lambdaG": 0.8, "R": 4.0}


@pytest.fixture(scope="module")
def fake_data(hbt_kernel):
    q, c = fk.correlation(fk.Source("gx1d", lambdaX=0.0, **TRUTH), hbt_kernel)
    sigma = np.full(q.size, 0.01)
    noisy = c + np.random.default_rng(12345).normal(0.0, sigma)
    return q, noisy, sigma


def _cost(hbt_kernel, fake_data):
    q, c, e = fake_data
    source = fk.Source("gx1d", lambdaG=0.5, R=6.0, lambdaX=0.0)
    return fk.ChiSquareCost.from_arrays(source, hbt_kernel, q, c, e, ["lambdaG", "R"])


def test_iminuit_recovers_truth_within_errors(hbt_kernel, fake_data):
    cost = _cost(hbt_kernel, fake_data)
    m = Minuit(cost, **cost.start)
    m.limits["R"] = (0.5, 20.0)
    m.migrad()
    m.hesse()
    assert m.valid
    for name, truth in TRUTH.items():
        assert abs(m.values[name] - truth) < 3.0 * m.errors[name], (name, m.values[name])
    # a good fit: chi2 per degree of freedom near 1
    assert m.fval / (cost.ndata - 2) < 2.0
    # the model curve at the minimum is what the cost compared
    q, model = cost.model(*m.values)
    np.testing.assert_allclose(q, fake_data[0])
    assert np.sum(((fake_data[1] - model) / fake_data[2]) ** 2) == pytest.approx(m.fval, rel=1e-9)


def test_cost_is_the_library_chi_square(hbt_kernel, fake_data):
    cost = _cost(hbt_kernel, fake_data)
    q, c, e = fake_data
    for lam, radius in [(0.8, 4.0), (0.5, 6.0), (1.0, 2.5)]:
        _, model = fk.correlation(fk.Source("gx1d", lambdaG=lam, R=radius, lambdaX=0.0),
                                  hbt_kernel)
        expected = np.sum(((c - model) / e) ** 2)
        assert cost(lam, radius) == pytest.approx(expected, rel=1e-10)
        assert cost([lam, radius]) == cost(lam, radius)


def test_builtin_newton_reaches_the_iminuit_minimum(hbt_kernel, fake_data):
    cost = _cost(hbt_kernel, fake_data)
    m = Minuit(cost, **cost.start)
    m.migrad()
    fit = cost.builtin_fit(errors={"lambdaG": 0.02, "R": 0.2},
                           limits={"lambdaG": (0.0, 1.5), "R": (1.0, 12.0)})
    for _ in range(3):
        fit.newton(6)
    # compare chi-squares, not parameters along flat directions; "%g" rounding of
    # the built-in fit's trial values costs a little
    assert fit.best_chi2 == pytest.approx(m.fval, abs=0.05 + 1e-3 * m.fval)
    assert set(fit.values) == {"lambdaG", "R"}


def test_builtin_fit_needs_a_componentwise_model(hbt_kernel, fake_data):
    q, c, e = fake_data
    source = fk.Source("gaussian3d", **{"lambda": 0.8, "Rx": 4.0, "Ry": 4.0, "Rz": 4.0})
    cost = fk.ChiSquareCost.from_arrays(source, hbt_kernel, q, c, e, ["Rx"])
    assert cost(4.0) < cost(6.0)  # the whole-source path works for the iminuit cost
    with pytest.raises(ValueError, match="single components"):
        cost.builtin_fit()

"""Lednicky-Lyuboshitz model and the solver's phase shifts through the Python path."""

import math

import numpy as np
import pytest

import femtokit as fk

HBARC = fk.constants.HBARC


@pytest.mark.parametrize("identical,channels,sign", [
    (True, [{"spin": 0, "weight": 1.0}], 1.0),                      # identical bosons
    (True, [{"spin": 0, "weight": 0.25}, {"spin": 1, "weight": 0.75}], -0.5),  # spin-1/2 fermions
    (False, [{"spin": 0, "weight": 1.0}], 0.0),                     # distinct, no interaction
])
def test_without_interaction_is_quantum_statistics(identical, channels, sign):
    pair = fk.LednickyPair(channels=channels, identical=identical)
    q = np.array([1.0, 20.0, 60.0])
    expected = 1.0 + sign * np.exp(-4 * q ** 2 * 1.7 ** 2 / HBARC ** 2)
    np.testing.assert_allclose(pair.cf(q, 1.7), expected, rtol=1e-12)


def test_builtin_pair_overrides_and_broadcasting():
    pp = fk.LednickyPair("pp")
    singlet = {c["name"]: c for c in pp.channels}["singlet"]
    assert singlet["f0"].real == pytest.approx(7.82, abs=0.1)  # Coulomb-modified a = -7.82 fm
    assert pp.identical and pp.z1z2 == 1
    q = np.array([[5.0], [20.0], [50.0]])
    R = np.array([1.2, 3.0])
    c = pp.cf(q, R)
    assert c.shape == (3, 2)
    assert c[1, 0] == pytest.approx(fk.lednicky_cf(20.0, 1.2, "pp"))
    # overriding the singlet with f0 = 0 leaves Gamow x (1 - exp / 2): no strong term
    free = fk.LednickyPair("pp", channels=[{"name": "singlet", "f0": 0.0}])
    eta = fk.constants.ALPHA * pp.mu / 20.0
    gamow = 2 * math.pi * eta / math.expm1(2 * math.pi * eta)
    assert free.cf(20.0, 1.2) == pytest.approx(gamow * (1 - 0.5 * math.exp(-4 * (20 * 1.2 / HBARC) ** 2)))


@pytest.mark.parametrize("call,message", [
    (lambda: fk.LednickyPair("pxi"), "unknown built-in pair"),
    (lambda: fk.LednickyPair("pp", channels=[{"name": "quintet"}]), "no channel"),
    (lambda: fk.LednickyPair(channels=[{"weight": 0.5}]), "weights sum"),
    (lambda: fk.LednickyPair(channels=[{"f0": 1.0}], charges=(1, 1)), "needs masses"),
    (lambda: fk.LednickyPair("nn").cf(10.0, -1.0), "R > 0"),
])
def test_bad_lednicky_input_raises(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_pp_phase_shifts_match_the_nijmegen_analysis():
    # T_lab = 5, 10, 25 MeV, q = sqrt(m_p T_lab / 2); PWA93 1S0 phases in degrees (the other
    # waves against the analysis: tests/wavefunctions/radialsolver_test.cc)
    tlab = np.array([5.0, 10.0, 25.0])
    q = np.sqrt(fk.constants.M_PROTON * tlab / 2)
    waves = {w["wave"]: w for w in fk.phase_shifts("pp", q=q)}
    assert set(waves) == {"1S0", "3P0", "3P1", "3P2"}
    np.testing.assert_allclose(waves["1S0"]["q"], q)
    np.testing.assert_allclose(waves["1S0"]["delta"], [54.83, 55.22, 48.67], atol=0.15)
    assert waves["1S0"]["a"] == pytest.approx(-7.82, abs=0.1)
    assert waves["3P2"]["coupled"] and waves["3P2"]["mixing"].shape == q.shape
    with pytest.raises(ValueError, match="no radial waves"):
        fk.phase_shifts("pkplus", nqmax=2)


def test_np_phase_shifts_name_every_wave_and_the_deuteron_channel():
    waves = {w["wave"]: w for w in fk.phase_shifts("np", q=[5.0, 40.0, 80.0])}
    assert set(waves) == {"1S0", "1P1", "1D2", "3S1-3D1", "3P0", "3P1", "3P2-3F2", "3D2"}
    assert waves["1S0"]["a"] == pytest.approx(-23.7, abs=0.1)
    deuteron = waves["3S1-3D1"]
    assert deuteron["coupled"] and deuteron["a"] == pytest.approx(5.42, abs=0.05)
    # Levinson's branch from 180 degrees, and a small positive epsilon_1
    assert 170 < deuteron["delta"][0] and np.all(np.diff(deuteron["delta"]) < 0)
    assert np.all((deuteron["mixing"] > 0) & (deuteron["mixing"] < 3))

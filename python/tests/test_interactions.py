"""Lednicky-Lyuboshitz model and the solver's phase shifts through the Python path."""

import math

import numpy as np
import pytest

import femtokit as fk

HBARC = fk.constants.HBARC


def test_channels_without_interaction_give_quantum_statistics():
    # spin-1/2 fermions from channel dictionaries (the other limits: tests/kernel/lednicky_test.cc)
    pair = fk.LednickyPair(channels=[{"spin": 0, "weight": 0.25}, {"spin": 1, "weight": 0.75}],
                           identical=True)
    q = np.array([1.0, 20.0, 60.0])
    expected = 1.0 - 0.5 * np.exp(-4 * q ** 2 * 1.7 ** 2 / HBARC ** 2)
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
    (lambda: fk.phase_shifts("pkplus", nqmax=2), "no radial waves"),
])
def test_bad_interaction_input_raises(call, message):
    with pytest.raises(ValueError, match=message):
        call()


@pytest.mark.parametrize("pair,waves", [
    ("pp", {"1S0", "3P0", "3P1", "3P2"}),
    ("np", {"1S0", "1P1", "1D2", "3S1-3D1", "3P0", "3P1", "3P2-3F2", "3D2"}),
])
def test_phase_shifts_are_named_arrays_in_degrees(pair, waves):
    # q from T_lab = 5, 10, 25 MeV, q = sqrt(m_p T_lab / 2); the waves against the Nijmegen
    # analysis: tests/wavefunctions/radialsolver_test.cc. Here one value in degrees (PWA93 pp
    # 1S0 at 10 MeV), the scattering length in fm and the coupled channel's mixing array.
    q = np.sqrt(fk.constants.M_PROTON * np.array([5.0, 10.0, 25.0]) / 2)
    got = {w["wave"]: w for w in fk.phase_shifts(pair, q=q)}
    assert set(got) == waves
    np.testing.assert_allclose(got["1S0"]["q"], q)
    coupled = got["3P2" if pair == "pp" else "3S1-3D1"]
    assert coupled["coupled"] and coupled["mixing"].shape == q.shape
    if pair == "pp":
        assert got["1S0"]["delta"][1] == pytest.approx(55.22, abs=0.15)
        assert got["1S0"]["a"] == pytest.approx(-7.82, abs=0.1)
    else:
        assert coupled["a"] == pytest.approx(5.42, abs=0.05)  # the deuteron channel

"""Arrays: ndarray access is by copy (no dangling memory), conversions and files."""

import gc

import numpy as np
import pytest

import femtokit as fk


def _filled(lmax=3, nradial=5, syms=(False, False, False)):
    a = fk.CHArray(lmax, nradial, 0.5, *syms)
    rng = np.random.default_rng(7)
    for lx, ly, lz in a.components():
        if lx < 2:
            a.set_component(lx, ly, lz, rng.normal(size=nradial))
    a.fill_remainder()
    return a


def test_arrays_outlive_their_owners():
    a = _filled()
    comp = a.component(0, 0, 1)
    expected = comp.copy()
    del a
    k = fk.Kernel.purehbt(nqmax=3, delq=4.0, nrmax=5, delr=0.5, lmax=2)
    table = k.table
    ref = table.copy()
    del k
    gc.collect()
    # allocate and free more library objects: freed storage gets reused
    for _ in range(5):
        fk.Kernel(nqmax=3, delq=4.0, nrmax=5, delr=0.5, lmax=2).table[:] = -7.0
        fk.CHArray(3, 5, 0.5).set_component(0, 0, 1, np.full(5, -7.0))
    np.testing.assert_array_equal(comp, expected)
    np.testing.assert_array_equal(table, ref)


def test_returned_arrays_are_copies():
    a = _filled()
    comp = a.component(1, 0, 0)
    comp[:] = 99.0
    assert not np.any(a.component(1, 0, 0) == 99.0)
    k = fk.Kernel.purehbt(nqmax=3, delq=4.0, nrmax=5, delr=0.5, lmax=2)
    k.table[0, 0, 0] = 99.0
    assert k.table[0, 0, 0] != 99.0


@pytest.mark.parametrize("all_components", [False, True])
def test_directory_round_trip(tmp_path, all_components):
    a = _filled()
    a.write(tmp_path, all_components=all_components)
    b = fk.CHArray.read(tmp_path, lmax=3, nradial=5, radstep=0.5)
    # lx in {0, 1} carry "%g" (6 digits) unless every component is written with 11
    tol = 1e-9 if all_components else 1e-5
    for lx, ly, lz in a.components():
        np.testing.assert_allclose(b.component(lx, ly, lz), a.component(lx, ly, lz),
                                   rtol=tol, atol=tol)


def test_ylm_round_trip_and_angular_average():
    a = _filled()
    y = a.to_ylm()
    assert y.shape == (4, 4, 5)
    np.testing.assert_allclose(y[0, 0].real, a.component(0, 0, 0), rtol=1e-12)
    b = fk.CHArray.from_ylm(y, lmax=3, radstep=0.5)
    for lx, ly, lz in a.components():
        np.testing.assert_allclose(b.component(lx, ly, lz), a.component(lx, ly, lz), atol=1e-10)


def test_evaluation_matches_expansion():
    # A(0,0,1) = c gives F = 3 c ez / ... : evaluate through the definition F = sum L!/l! A_l e^l
    a = fk.CHArray(1, 2, 1.0)
    a.set_component(0, 0, 0, np.array([1.0, 2.0]))
    a.set_component(0, 0, 1, np.array([0.5, 0.25]))
    np.testing.assert_allclose(a.evaluate(0, 0, 2.0), [1.5, 2.25])
    np.testing.assert_allclose(a.evaluate(0, 0, -1.0), [0.5, 1.75])
    # points: bin of |r|, 0 beyond the last bin; broadcasts like numpy
    vals = a.evaluate_at(np.array([[0.0], [0.0]]), 0.0, np.array([0.5, 1.5, -1.5, 7.0]))
    assert vals.shape == (2, 4)
    np.testing.assert_allclose(vals[0], [1.5, 2.25, 1.75, 0.0])


def test_grid_round_trip_of_isotropic_function(tmp_path, caplog):
    a = fk.CHArray(2, 8, 1.0, True, True, True)
    a.set_component(0, 0, 0, np.exp(-a.r / 3.0))
    g = a.to_grid(6, 1.0, 6, 1.0, 6, 1.0)
    # the octant unfolded to the whole grid; the cell nearest the origin holds ~S(0.87 fm)
    x, y, z, cube = g.full()
    assert cube.shape == (x.size, y.size, z.size) == (12, 12, 12)
    assert cube[6, 6, 6] == pytest.approx(np.exp(-np.sqrt(0.75) / 3.0), rel=0.02)
    g.write(tmp_path / "g")
    h = fk.Grid3D.read(tmp_path / "g")
    assert h.symmetries == (True, True, True) and not caplog.records  # no rebuild warning
    np.testing.assert_allclose(h.values, g.values, rtol=1e-9)
    back = fk.CHArray.from_grid(g, lmax=2, nradial=5, radstep=1.0)
    # away from the origin, where the cells resolve the radius
    np.testing.assert_allclose(back.component(0, 0, 0)[2:], a.component(0, 0, 0)[2:5], rtol=0.02)

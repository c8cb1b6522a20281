"""Package surface: vectorised |psi|^2, quiet output, documentation, plots, example scripts."""

import logging
import os
import re
import runpy
import subprocess
import sys

import numpy as np
import pytest

import femtokit as fk

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


@pytest.mark.parametrize("pair", fk.pairs())
def test_psi2_broadcasts_like_numpy_and_matches_scalar_calls(pair):
    extra = {}
    if pair == "potential":  # a pair described by a potential file, named relative to the cwd
        extra["potentialfile"] = os.path.relpath(
            os.path.join(ROOT, "demo", "potentials", "plambda_usmani.pot"))
    wf = fk.WaveFunction(pair, nqmax=4, delq=10.0, **extra)
    q = np.array([5.0, 12.0, 33.0])[:, None, None]
    r = np.array([0.5, 3.0])[None, :, None]
    c = np.array([-0.7, 0.0, 0.9, 1.0])
    out = wf.psi2(q, r, c)
    assert out.shape == (3, 2, 4)
    for i, j, k in [(0, 0, 0), (1, 1, 2), (2, 0, 3)]:
        assert out[i, j, k] == wf.psi2(float(q[i, 0, 0]), float(r[0, j, 0]), float(c[k]))
    assert isinstance(wf.psi2(10.0, 2.0, 0.0), float)


def test_threads_share_a_wavefunction_safely():
    from concurrent.futures import ThreadPoolExecutor
    wf = fk.WaveFunction("pp", nqmax=6, delq=5.0)
    q = np.linspace(1.0, 30.0, 4000)
    serial = wf.psi2(q, 3.0, 0.4)
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda c: wf.psi2(q, 3.0, c), [0.4] * 8))
    for res in results:
        np.testing.assert_array_equal(res, serial)


def test_forked_workers_run_threaded_library_code():
    # multiprocessing forks on Linux: a child of a process whose thread pool exists must not wait
    # for the parent's workers (it computes on one thread instead).
    import multiprocessing
    fk.set_threads(2)
    src = fk.Source("gaussian3d")
    parent = src.array(lmax=2, nradial=20, radstep=0.5).component(0, 0, 0)
    ctx = multiprocessing.get_context("fork")
    with ctx.Pool(2) as pool:
        children = pool.map(_gaussian_s00, [20, 20], chunksize=1)
    fk.set_threads(0)
    for child in children:
        np.testing.assert_array_equal(child, parent)


def _gaussian_s00(nradial):
    return fk.Source("gaussian3d").array(lmax=2, nradial=nradial, radstep=0.5).component(0, 0, 0)


@pytest.mark.parametrize("model", fk.source_models())
def test_every_source_model_computes_or_raises(model):
    src = fk.Source(model)
    if "Nsample" in src.parameters:
        src["Nsample"] = 40  # Monte-Carlo models: keep it quick
    try:
        a = src.array(lmax=2, nradial=8, radstep=1.0)
    except (FileNotFoundError, ValueError) as e:  # e.g. an event file not given
        assert str(e)
    else:
        assert np.all(np.isfinite(a.component(0, 0, 0)))


def test_wavefunction_grid_from_keywords_and_from_q():
    wf = fk.WaveFunction("pkplus", nqmax=5, delq=3.0, strong=False)
    np.testing.assert_allclose(wf.q, (np.arange(5) + 0.5) * 3.0)
    grid = [2.0, 7.0, 20.0]
    np.testing.assert_allclose(fk.WaveFunction("pkplus", q=grid).q, grid)
    # no interaction at all: a plane wave of distinguishable particles has |psi|^2 = 1
    free = fk.WaveFunction("pkplus", nqmax=3, delq=5.0, strong=False, coulomb=False)
    np.testing.assert_allclose(free.psi2([3.0, 9.0], 4.0, [0.2, -0.5]), 1.0, atol=1e-10)


def _pipeline(tmp_path):
    """Every kind of library work that prints in the programs."""
    wf = fk.WaveFunction("nn", nqmax=3, delq=5.0)
    k = fk.Kernel.from_wavefunction(wf, nqmax=3, delq=5.0, nrmax=8, delr=0.5, lmax=2)
    k.write(tmp_path / "k")
    fk.Kernel3D.from_wavefunction(wf, nqmax=2, delq=5.0, nrmax=4, delr=0.5, nctheta=4)
    q, c = fk.correlation(fk.Source("gx1d", lambdaX=0.0), k)
    cost = fk.ChiSquareCost.from_arrays(fk.Source("gx1d", lambdaX=0.0), k, q, c + 0.01,
                                        np.full(q.size, 0.01), ["R"])
    cost.builtin_fit(errors={"R": 0.2}).newton(2)
    del k, wf
    import gc
    gc.collect()


def test_quiet_by_default_verbose_and_logging(tmp_path, capfd, caplog):
    _pipeline(tmp_path)
    assert capfd.readouterr().out == ""
    try:
        fk.set_verbose(True)
        fk.Kernel.purehbt(nqmax=2, nrmax=2, lmax=0)
        out = capfd.readouterr().out
        assert "PARAMETERS FOR KERNEL" in out and "kernel object deleted" in out
        fk.set_verbose(False)
        fk.set_verbosity(2)
        with caplog.at_level(logging.INFO, logger="femtokit"):
            _pipeline(tmp_path)
        messages = [rec.getMessage() for rec in caplog.records]
        for expected in ("nqmax set to 3", "kernel: q row 3 of 3 done", "In GetChiSquare",
                         "chi^2/Ndof=", "kernel object deleted", "KernelWF object deleted"):
            assert any(expected in m for m in messages), expected
        assert capfd.readouterr().out == ""
    finally:
        fk.set_verbose(False)


def test_every_public_name_is_documented():
    for name in fk.__all__:
        obj = getattr(fk, name)
        if name in ("constants", "logger"):
            continue
        assert obj.__doc__ and len(obj.__doc__.strip()) > 20, name
    for cls in (fk.WaveFunction, fk.Kernel, fk.Kernel3D, fk.Source, fk.ChiSquareCost,
                fk.CHArray, fk.Grid3D, fk.BuiltinFit, fk.Model, fk.Analysis, fk.AnalysisConfig,
                fk.AnalysisRun, fk.LednickyPair, fk.EventFile):
        for attr, member in vars(cls).items():
            if not attr.startswith("_") and callable(member):
                assert getattr(cls, attr).__doc__, f"{cls.__name__}.{attr}"


@pytest.mark.parametrize("ext", ["png", "svg", "pdf"])
def test_plots_return_figures_and_save(tmp_path, ext):
    k = fk.Kernel.purehbt(nqmax=5, delq=4.0, nrmax=10, delr=1.0, lmax=2)
    src = fk.Source("gx1d", lambdaG=1.0, R=2.0, lambdaX=0.0)
    q, c = fk.correlation(src, k)
    figs = [fk.plot_correlation(q, c, np.full_like(c, 0.01), c, save=tmp_path / f"c.{ext}"),
            fk.plot_source(src, save=tmp_path / f"s.{ext}"),
            fk.plot_kernel(k, ell=2, save=tmp_path / f"k.{ext}")]
    assert len(figs[0].axes) == 2 and len(figs[1].axes) == 2
    for name in ("c", "s", "k"):
        assert (tmp_path / f"{name}.{ext}").stat().st_size > 0
    import matplotlib.pyplot as plt
    for f in figs:
        plt.close(f)


def _readme_example():
    text = open(os.path.join(ROOT, "README.md")).read()
    section = text[text.index("## From Python"):]
    blocks = re.findall(r"```python\n(.*?)```", section, re.S)
    assert blocks, "README has no python example in its From Python section"
    return blocks[0]


@pytest.mark.parametrize("script", ["readme", "example"])
def test_examples_run_as_written(tmp_path, script):
    if script == "readme":
        path = tmp_path / "readme_example.py"
        path.write_text(_readme_example())
    else:
        path = os.path.join(ROOT, "python", "examples", "pp_gaussian_fit.py")
    env = dict(os.environ, MPLBACKEND="Agg")
    out = subprocess.run([sys.executable, str(path)], cwd=tmp_path, capture_output=True,
                         text=True, env=env, timeout=120)
    assert out.returncode == 0, out.stdout + out.stderr
    assert "R =" in out.stdout
    assert any(f.endswith(".png") for f in os.listdir(tmp_path))

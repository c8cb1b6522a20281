"""The analysis layer from Python: closure fits with FitResult, the Lednicky-Lyuboshitz
genuine correlation, configurations run like femtoanalyze, plots and errors."""

import json
import os
import subprocess

import numpy as np
import pytest

import femtokit as fk

K = (np.arange(25) + 0.5) * 4.0


@pytest.fixture(scope="module")
def hbt_analysis_kernel():
    return fk.analysis_kernel(k=K, rmax=30.0, hbt=True)


def closure_analysis(kernel, truth, noise=0.0):
    model = fk.Model(fk.kernel_source("gx1d", kernel)).set_baseline(degree=1)
    model.add_residual("flat")
    values = model.evaluate(K, truth)
    rng = np.random.default_rng(7)
    data = fk.measured_data(K, values + noise * rng.standard_normal(K.size), np.full(K.size, max(noise, 1e-3)))
    a = fk.Analysis().add_dataset(data, model, name="closure")
    a.set_parameter("R", 2.0, lower=0.5, upper=6.0)
    a.set_parameter("lambda_gen", 0.5, lower=0.0, upper=1.0)
    a.set_parameter("lambdaX", 0.0, fixed=True)
    a.set_parameter("lambda_flat", 0.1, fixed=True)
    a.set_parameter("b1", 0.0)
    return a


def test_closure_fit_returns_truth_with_consistent_result_or_says_why_not(hbt_analysis_kernel):
    truth = {"R": 3.1, "lambda_gen": 0.7, "lambdaX": 0.0, "lambda_flat": 0.1, "N": 1.02, "b1": 2e-4}
    a = closure_analysis(hbt_analysis_kernel, truth, noise=0.004)
    r = a.fit()
    assert r.converged, r.status
    for name in ("R", "lambda_gen", "N", "b1"):
        assert abs(r.value(name) - truth[name]) < 4 * r.error(name), name
    free = [i for i, f in enumerate(r.fixed) if not f]
    assert r.nfree == len(free) == 4 and r.ndf == r.nbins - r.nfree == K.size - 4
    cov = r.covariance
    assert cov.shape == (len(r.names),) * 2
    np.testing.assert_allclose(cov, cov.T, rtol=1e-10, atol=1e-300)
    np.testing.assert_allclose(np.sqrt(np.diag(cov))[free], r.errors[free], rtol=1e-6)
    assert 0.0 < r.p_value < 1.0
    assert a.chi2(dict(zip(r.names, r.values))) == pytest.approx(r.chi2, rel=1e-9)
    curves = a.curves(r)[0]
    np.testing.assert_allclose(curves["model"], curves["data"] - a.residuals(dict(zip(r.names, r.values))) * curves["error"])
    assert set(curves["terms"]) == {"genuine", "flat"}
    stopped = closure_analysis(hbt_analysis_kernel, truth).fit(max_iterations=1)
    assert not stopped.converged and stopped.status  # the keyword reaches the minimiser


def test_lednicky_genuine_equals_the_model():
    pair = fk.LednickyPair(channels=[{"name": "s", "spin": 0, "weight": 0.25, "f0": 2.9 + 0.2j, "d0": 2.8},
                                     {"name": "t", "spin": 1, "weight": 0.75, "f0": 1.5, "d0": 2.7}])
    model = fk.Model(fk.lednicky(pair))
    assert set(model.parameter_names) >= {"R", "re_f0_s", "im_f0_t", "d0_t", "lambda_gen", "N"}
    c = model.evaluate(K, R=1.4, lambda_gen=1.0, N=1.0)
    np.testing.assert_allclose(c, pair.cf(K, 1.4), rtol=1e-13)


CONFIG = """
[[dataset]]
name = "pl"
file = "data.csv"
genuine = "lednicky"
lednicky = { pair = "plambda" }
baseline = { degree = 0 }

[parameters]
R = { start = 1.0, lower = 0.5, upper = 3.0 }
lambda_gen = { start = 0.6, lower = 0.0, upper = 1.0 }

[[variation]]
name = "short"
dataset = { range = [0, 60] }
"""


@pytest.fixture()
def lednicky_config(tmp_path):
    truth = {"R": 1.3, "lambda_gen": 0.8}
    c = fk.Model(fk.lednicky("plambda")).evaluate(K, truth)
    rows = "\n".join(f"{k},{v:.8f},0.005" for k, v in zip(K, c))
    (tmp_path / "data.csv").write_text("k,C,error\n" + rows + "\n")
    (tmp_path / "analysis.toml").write_text(CONFIG)
    return tmp_path, truth


def test_config_run_matches_femtoanalyze(lednicky_config, bin_dir):
    tmp, truth = lednicky_config
    run = fk.run_analysis(tmp / "analysis.toml", output=tmp / "py")
    assert run.nominal.converged
    assert run.nominal.value("R") == pytest.approx(truth["R"], abs=1e-4)
    assert run.variation_names == ["short"] and run.variations[0].converged
    assert run.result["result"]["converged"] is True
    out = subprocess.run([os.path.join(bin_dir, "femtoanalyze"), "--quiet", "--output", str(tmp / "prog"),
                          str(tmp / "analysis.toml")], capture_output=True, text=True)
    assert out.returncode == 0, out.stdout + out.stderr
    program = json.loads((tmp / "prog" / "result.json").read_text())
    python = json.loads((tmp / "py" / "result.json").read_text())
    assert program["result"] == python["result"] and program["spread"] == python["spread"]
    assert (tmp / "prog" / "curves.csv").read_text() == (tmp / "py" / "curves.csv").read_text()


def test_config_predict_and_plot(lednicky_config):
    pytest.importorskip("matplotlib")
    tmp, _ = lednicky_config
    config = fk.AnalysisConfig.load(tmp / "analysis.toml")
    name, analysis, options = config.build()
    assert name == "nominal" and options["minimizer"] == "trust-region"
    run = config.run(predict=True)
    np.testing.assert_allclose(run.curves[0]["model"],
                               analysis.curves()[0]["model"], rtol=1e-12)
    fig = run.plot(tmp / "plot.png")
    assert (tmp / "plot.png").stat().st_size > 0 and len(fig.axes) == 2
    # on k bins alone there is no data to show, and the model is the same
    bins = fk.AnalysisConfig.parse(CONFIG.replace('file = "data.csv"', "kbins = [0, 100, 4]"), tmp)
    prediction = bins.run(predict=True)
    assert prediction.curves[0]["data"] is None and prediction.result["mode"] == "predict"
    np.testing.assert_allclose(prediction.curves[0]["model"], run.curves[0]["model"], rtol=1e-12)
    prediction.plot(tmp / "bins.svg")


@pytest.mark.parametrize("call,error,message", [
    (lambda tmp: fk.AnalysisConfig.parse("[[dataset]]\nkbins = [0, 50, 5]\nkernl = 1\n").build(), ValueError,
     "unknown key 'kernl'"),
    (lambda tmp: fk.AnalysisConfig.load(tmp / "missing.toml"), FileNotFoundError, "does not exist"),
    (lambda tmp: fk.read_measured_data(tmp / "missing.csv"), FileNotFoundError, "missing.csv"),
    (lambda tmp: fk.measured_data([1.0, 1.0], [1.0, 1.0], [0.1, 0.1]), ValueError, "not increasing"),
    (lambda tmp: fk.measured_data([1.0, 2.0], [1.0, 1.0], [0.1, 0.0]), ValueError, "error 0"),
    (lambda tmp: fk.Model(fk.lednicky("nn")).set_resolution([1.0], [1.0, 2.0], [[0.0, 0.0]]), ValueError, "no weight"),
    (lambda tmp: fk.Analysis().set_parameter("R", 5.0, lower=0.0, upper=1.0), ValueError, "outside"),
])
def test_bad_analysis_input_raises(tmp_path, call, error, message):
    with pytest.raises(error, match=message):
        call(tmp_path)
    assert fk.lednicky_cf(10.0, 1.0, "nn") > 1.0  # the interpreter and library go on

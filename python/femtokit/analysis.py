"""Fits of measured correlation functions: the analysis layer that femtoanalyze runs.

The model of a measured C(k*) (k* in MeV/c) is a sum of parts,

    C_model(k) = N B(k) [M X](k),
    X(k) = 1 + lambda_gen (C_gen(k) - 1) + sum_i lambda_i (C_i(k) - 1),

with C_gen the genuine correlation (a source model through the pair's kernel, or the
analytic Lednicky-Lyuboshitz model), residual correlations C_i (flat, a table, or a
parent pair's correlation through a decay matrix), a momentum-resolution matrix M and a
baseline B(k) = 1 + b1 k + b2 k^2 + b3 k^3 (or a table). Every number is a named fit
parameter: the genuine correlation's own (source parameters, or R, re_f0_<channel>,
im_f0_<channel>, d0_<channel>), "lambda_gen", "lambda_<residual>", "N", "b1".."b3".
Errors are one sigma (chi^2 + 1).

    data = read_measured_data("cf.csv")
    kernel = analysis_kernel("pp", data.k, rmax=30.0)
    model = Model(kernel_source("gx1d", kernel))
    model.set_baseline(degree=1)
    fit = Analysis()
    fit.add_dataset(data, model)
    fit.set_parameter("R", 1.2, lower=0.5, upper=4.0)
    fit.set_parameter("lambda_gen", 0.8, lower=0.0, upper=1.0)
    result = fit.fit()           # FitResult: values, errors, covariance, chi2, ndf, ...

A TOML configuration (the femtoanalyze format) runs with run_analysis(path).
"""

import json
import math
import os

import numpy as np

from . import _core

MeasuredData = _core.MeasuredData
FitResult = _core.FitResult
GenuineCorrelation = _core.GenuineCorrelation

_INF = math.inf


def _values(parameters, kwargs):
    out = dict(parameters or {})
    out.update(kwargs)
    try:
        return {str(k): float(v) for k, v in out.items()}
    except (TypeError, ValueError):
        raise TypeError("parameter values must be numbers") from None


def _array(values, name, ndim=1):
    try:
        a = np.ascontiguousarray(values, dtype=float)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be numeric") from None
    if a.ndim != ndim:
        raise ValueError(f"{name} must be a {ndim}-D array")
    return a


def read_measured_data(path, k=None, value=None, error=None, header=None, systematic=False,
                       range=None):
    """Reads a measured C(k*) with errors from a text/CSV file.

    Columns are named by a header line (defaults k: k, kstar, k*, q; value: C, CF, value;
    error: error, err, sigma, dC) or given here; header names the columns of a file
    without one; HEPData's CSV export (bin centre, low, high, value, stat +-, sys +-) is
    recognised, with systematic=True adding the sys errors in quadrature. range=(kmin,
    kmax) keeps the bins inside. Returns a MeasuredData (k, k_low, k_high, value, error
    as ndarrays). A missing file raises FileNotFoundError; bad columns, non-increasing k,
    unusable errors or an empty range raise ValueError naming the file and line.
    """
    path = os.fspath(path)
    data = _core.read_measured_data(path, k or "", value or "", error or "", list(header or []),
                                    bool(systematic))
    return data.in_range(*range) if range is not None else data


def measured_data(k, value, error, k_low=None, k_high=None, origin="arrays"):
    """A MeasuredData from arrays (k in MeV/c strictly increasing, errors > 0)."""
    arrays = [_array(x, n) for x, n in ((k, "k"), (value, "value"), (error, "error"))]
    edges = [None if e is None else _array(e, n) for e, n in ((k_low, "k_low"), (k_high, "k_high"))]
    return _core.MeasuredData(*arrays, *edges, origin=origin)


def read_component_directory(values_dir, errors_dir):
    """A MeasuredData from two component directories (C - 1 and its errors, lx0_ly0_lz0.tmp)."""
    return _core.read_component_directory(os.fspath(values_dir), os.fspath(errors_dir))


def analysis_kernel(pair=None, k=None, rmax=30.0, delr=0.5, epsilon=5.0, strong=True, coulomb=True,
                    directory=None, hbt=False):
    """The K_0 table of an analysis: computed for a pair of femtokit.pairs() on a q grid that
    follows the bins k (MeV/c) and an r grid to rmax (fm, in steps delr), read from a kernel
    directory, or (hbt=True) the non-interacting identical-boson kernel. Computing takes
    seconds for the solved pairs (GIL released)."""
    if sum(x is not None and x is not False for x in (pair, directory, hbt or None)) != 1:
        raise ValueError("give exactly one of pair, directory or hbt=True")
    if directory is not None:
        return _core.AnalysisKernel.from_directory(os.fspath(directory))
    if k is None:
        raise ValueError("a computed kernel needs the k bins (MeV/c) it must cover")
    k = _array(k, "k")
    if hbt:
        return _core.AnalysisKernel.purehbt(k, float(rmax), float(delr))
    return _core.AnalysisKernel.from_pair(str(pair), k, float(rmax), float(delr), float(epsilon),
                                          bool(strong), bool(coulomb))


def kernel_source(source_model, kernel, settings=None):
    """Genuine correlation of a source model (a name of femtokit.source_models()) through an
    analysis_kernel: C_gen(k) = 1 + sum_r 4 pi r^2 dr K_0(k, r) S(r). settings fixes model keys
    that are not fit parameters (e.g. a file name); the numeric keys are fit parameters."""
    text = {str(key): (str(int(v)) if isinstance(v, bool) else repr(v) if isinstance(v, float) else str(v))
            for key, v in (settings or {}).items()}
    return _core.KernelSourceCorrelation(kernel, str(source_model), text)


def lednicky(pair, default_radius=1.5):
    """Genuine correlation of the Lednicky-Lyuboshitz model for a Gaussian source of radius R:
    pair is a built-in name (femtokit.builtin_lednicky_pairs()) or a femtokit.LednickyPair.
    Parameters R, re_f0_<channel>, im_f0_<channel>, d0_<channel> default to the pair's values."""
    from .interactions import LednickyPair

    if isinstance(pair, str):
        pair = LednickyPair(pair)
    if not isinstance(pair, LednickyPair):
        raise TypeError("pair must be a name or a femtokit.LednickyPair")
    return _core.LednickyCorrelation(pair._obj, float(default_radius))


class Model:
    """The model of one measured correlation function around a genuine correlation
    (kernel_source(...) or lednicky(...)); see help(femtokit.analysis) for its form.

    Parts are added with add_residual, set_resolution, set_baseline; rename maps a model
    parameter to the fit's name (data sets share a parameter by sharing its name).
    """

    def __init__(self, genuine):
        if not isinstance(genuine, _core.GenuineCorrelation):
            raise TypeError("genuine must come from kernel_source(...) or lednicky(...)")
        self._obj = _core.Model(genuine)

    @property
    def genuine(self):
        """The genuine correlation (parameter_names, default_value, evaluate(k, params))."""
        return self._obj.genuine

    @property
    def parameter_names(self):
        """The fit names of every parameter the model reads."""
        return list(self._obj.parameter_names)

    def add_residual(self, name, kind="flat", k=None, c=None, matrix=None, table_file=None,
                     matrix_file=None):
        """A residual correlation with parameter lambda_<name>: kind "flat" (C = 1), "table"
        (C at k given by arrays k, c or table_file), or "decay" (the parent's correlation k, c
        carried to the daughter's k by matrix = (row_k, col_k, weights[row, col]); or files)."""
        if kind == "flat":
            self._obj._add_flat(str(name))
        elif kind not in ("table", "decay"):
            raise ValueError(f"residual kind {kind!r} unknown; known: flat, table, decay")
        elif table_file is not None:
            if kind == "decay" and matrix_file is None:
                raise ValueError("a decay residual from files needs matrix_file")
            self._obj._add_files(str(name), kind, os.fspath(table_file),
                                 os.fspath(matrix_file) if matrix_file is not None else "")
        elif k is None or c is None:
            raise ValueError(f"a {kind} residual needs k and c (or table_file)")
        elif kind == "table":
            self._obj._add_table(str(name), _array(k, "k"), _array(c, "c"))
        else:
            if matrix is None or len(matrix) != 3:
                raise ValueError("a decay residual needs matrix = (row_k, col_k, weights)")
            row_k, col_k, w = matrix
            self._obj._add_decay(str(name), _array(k, "k"), _array(c, "c"), _array(row_k, "row_k"),
                                 _array(col_k, "col_k"), _array(w, "weights", 2))
        return self

    def set_resolution(self, row_k=None, col_k=None, weights=None, file=None):
        """Momentum resolution M(k_reco, k_true): rows at the data's k, columns at the true k
        where C_gen is evaluated, weights[row, col] >= 0 (rows normalised); or a file of lines
        "k_row k_col weight"."""
        if file is not None:
            self._obj._set_resolution_file(os.fspath(file))
        else:
            self._obj._set_resolution(_array(row_k, "row_k"), _array(col_k, "col_k"),
                                      _array(weights, "weights", 2))
        return self

    def set_baseline(self, degree=0, k=None, b=None, file=None):
        """Baseline B(k): a polynomial 1 + b1 k + ... of degree 0 to 3, or a fixed table (k, b)
        or file."""
        if file is not None:
            self._obj._set_baseline_file(os.fspath(file))
        elif k is not None:
            self._obj._set_baseline_table(_array(k, "k"), _array(b, "b"))
        else:
            self._obj._set_baseline(int(degree))
        return self

    def rename(self, name, fit_name):
        """The model's parameter name is the fit parameter fit_name."""
        self._obj.rename(str(name), str(fit_name))
        return self

    def evaluate(self, k, parameters=None, **values):
        """C_model at k (MeV/c) for the parameter values (dict and/or keywords)."""
        return self._obj.evaluate(_array(k, "k"), _values(parameters, values))

    def curves(self, k, parameters=None, **values):
        """The model and its parts at k: dict of k, model, baseline (N B), genuine (C_gen),
        terms {name: lambda (C - 1) folded}."""
        return self._obj.curves(_array(k, "k"), _values(parameters, values))


class Analysis:
    """One or more measured data sets with their models, fitted together (the chi^2 is the
    sum; parameters are shared by name).

    Parameters no call to set_parameter names take the models' defaults and stay fixed
    (N free at 1, lambda_gen 1, residual lambdas and b1..b3 0, source parameters at the
    model's values). Minimisers: "trust-region" (GSL nonlinear least squares, default),
    "newton", "metropolis".
    """

    def __init__(self, _obj=None):
        self._obj = _obj if _obj is not None else _core.Analysis()

    def add_dataset(self, data, model, name=None):
        """Adds a MeasuredData with its Model (name defaults to "set<i>")."""
        if not isinstance(model, Model):
            raise TypeError("model must be a femtokit.Model")
        if not isinstance(data, _core.MeasuredData):
            raise TypeError("data must be a MeasuredData (read_measured_data or measured_data)")
        name = name if name is not None else f"set{len(self._obj.datasets)}"
        self._obj.add_dataset(str(name), data, model._obj)
        return self

    def set_parameter(self, name, start, lower=-_INF, upper=_INF, fixed=False):
        """Start value, bounds and fixed flag of a parameter (ValueError when start lies outside)."""
        self._obj.set_parameter(str(name), float(start), float(lower), float(upper), bool(fixed))
        return self

    @property
    def parameter_names(self):
        """Every parameter some model reads, in first-seen order."""
        return list(self._obj.parameter_names)

    def parameters(self):
        """The parameter table a fit uses: dicts of name, start, lower, upper, fixed."""
        return self._obj.parameters()

    def start_values(self):
        """{name: start value} of every parameter."""
        return dict(self._obj.start_values())

    @property
    def datasets(self):
        """[(name, MeasuredData, compiled model)] of every data set."""
        return self._obj.datasets

    @property
    def nbins(self):
        """Data bins over every set."""
        return self._obj.nbins

    def _full(self, parameters, values):
        p = self.start_values()
        p.update(_values(parameters, values))
        return p

    def chi2(self, parameters=None, **values):
        """chi^2 at the start values updated by the given ones."""
        return self._obj.chi2(self._full(parameters, values))

    def residuals(self, parameters=None, **values):
        """(C_data - C_model) / error of every set, concatenated."""
        return self._obj.residuals(self._full(parameters, values))

    def curves(self, parameters=None, **values):
        """Per set a dict: set, k, k_low, k_high, data, error, model, baseline, genuine, terms.
        A FitResult may be passed as parameters (its best values)."""
        if isinstance(parameters, _core.FitResult):
            parameters = dict(zip(parameters.names, parameters.values))
        return self._obj.curves(self._full(parameters, values))

    def fit(self, minimizer="trust-region", max_iterations=200, xtol=1e-8, gtol=1e-8,
            metropolis_steps=2000):
        """Fits (GIL released) and returns a FitResult: names, values, errors (one sigma),
        covariance, correlation, chi2, ndf, p_value, converged and status (the reason)."""
        return self._obj.fit(str(minimizer), int(max_iterations), float(xtol), float(gtol),
                             int(metropolis_steps))

    def warnings(self):
        """Problems the genuine correlations met (e.g. a source beyond the kernel grid)."""
        return list(self._obj.warnings())

    def plot(self, parameters=None, file=None):
        """Data, model and parts with a residual panel (plot_analysis); returns the figure."""
        return plot_analysis(self.curves(parameters), file)


class AnalysisConfig:
    """A femtoanalyze TOML configuration: load(path) or parse(text, base_dir).

    build(variation=-1) gives (name, Analysis, fit options) of the nominal configuration or
    of variation i; run(...) runs it all as femtoanalyze does. Unknown keys raise ValueError
    naming the key.
    """

    def __init__(self, _obj):
        self._obj = _obj

    @classmethod
    def load(cls, path):
        """Reads and checks a configuration file (FileNotFoundError when missing)."""
        return cls(_core.AnalysisConfig.load(os.fspath(path)))

    @classmethod
    def parse(cls, text, base_dir="."):
        """The same from TOML text; relative file names are taken from base_dir."""
        return cls(_core.AnalysisConfig.parse(str(text), os.fspath(base_dir)))

    @property
    def variation_names(self):
        """Names of the [[variation]] entries."""
        return list(self._obj.variation_names)

    def as_dict(self):
        """The configuration as a dict (its JSON echo)."""
        return json.loads(self._obj.json)

    def build(self, variation=-1):
        """(name, Analysis, options dict) of the nominal configuration (-1) or variation i;
        kernels are computed here (GIL released)."""
        name, analysis, options = self._obj.build(int(variation))
        return name, Analysis(analysis), options

    def run(self, predict=False, variations=True):
        """Runs like femtoanalyze: the nominal fit (or, predict=True, the model at the start
        values) and every variation; returns an AnalysisRun."""
        return AnalysisRun(self._obj.run(bool(predict), bool(variations)))


class AnalysisRun:
    """What a configuration run gives: result (the result.json content as a dict), nominal
    (FitResult), variations (FitResults, by variation_names), curves (per data set), analysis
    (the nominal Analysis); write(directory) writes result.json and curves.csv."""

    def __init__(self, obj):
        self._obj = obj
        self.json = obj.json
        """result.json as text."""
        self.result = json.loads(self.json)
        """result.json as a dict: parameters, errors, covariance, chi2/ndf, p-value, ..."""

    nominal = property(lambda self: self._obj.nominal, doc="FitResult of the nominal configuration.")
    variations = property(lambda self: self._obj.variations, doc="FitResult of each variation.")
    variation_names = property(lambda self: self._obj.variation_names, doc="Names of the variations.")
    curves = property(lambda self: self._obj.curves if self._obj.has_data else _without_data(self._obj.curves),
                      doc="Per set: k, data, error (None for a prediction on k bins), model and parts.")
    analysis = property(lambda self: Analysis(self._obj.analysis), doc="The nominal Analysis.")

    def write(self, directory="."):
        """Writes result.json and curves.csv into directory (created); returns their paths."""
        directory = os.fspath(directory)
        os.makedirs(directory, exist_ok=True)
        paths = os.path.join(directory, "result.json"), os.path.join(directory, "curves.csv")
        self._obj.write(*paths)
        return paths

    def plot(self, file=None):
        """Data, model and parts with a residual panel; returns the figure."""
        return plot_analysis(self.curves, file)


def _without_data(curves):
    out = []
    for c in curves:
        c = dict(c)
        c["data"] = c["error"] = None
        out.append(c)
    return out


def run_analysis(config, predict=False, variations=True, output=None, plot=None):
    """Runs a femtoanalyze configuration (a path or an AnalysisConfig) and returns an
    AnalysisRun; output: a directory for result.json and curves.csv; plot: a figure file."""
    if not isinstance(config, AnalysisConfig):
        config = AnalysisConfig.load(config)
    run = config.run(predict=predict, variations=variations)
    if output is not None:
        run.write(output)
    if plot is not None:
        run.plot(plot)
    return run


def plot_analysis(curves, file=None):
    """Figure of analysis curves (Analysis.curves(), AnalysisRun.curves, or a curves.csv path):
    per data set C(k*) data with errors, model, baseline and each part, and the pulls below.
    Saves to file (PNG/SVG/PDF by suffix) when given; returns the figure."""
    from . import analysisplot

    if isinstance(curves, (str, os.PathLike)):
        sets = analysisplot.read_curves(os.fspath(curves))
    else:
        sets = {}
        for c in curves:
            columns = {"k": c["k"], "data": c["data"], "error": c["error"], "model": c["model"],
                       "baseline": c["baseline"], "C_gen": c["genuine"]}
            for name, term in c["terms"].items():
                columns[f"term_{name}"] = term
            sets[c["set"]] = columns
    fig = analysisplot.figure(sets)
    if file is not None:
        fig.savefig(os.fspath(file))
    return fig

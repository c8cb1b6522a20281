"""femtokit: two-particle femtoscopy from Python.

Momenta q in MeV/c (half the relative momentum in the pair rest frame),
separations r in fm, sources S(r) in fm^-3.

Wave functions and kernels
    pairs()                  names of the pair wave functions
    WaveFunction(pair, ...)  |psi(q, r, cos theta)|^2, vectorised (psi2)
    Kernel, Kernel3D         angular kernel K_ell(q, r) and |psi|^2 - 1 table;
                             from a wave function, analytic (purehbt, purefermion,
                             classcoul),
                             read/write kernel directories, .table as ndarray
Arrays
    CHArray                  Cartesian-harmonic array (sources, correlation
                             functions): component(lx, ly, lz), evaluate, to_grid,
                             to_ylm, read/write
    Grid3D                   Cartesian grid
Sources
    source_models()          names of the source models
    Source(model, **pars)    any model by name; compute(array), array(), profile()
    normalization(array)     4 pi int r^2 S_000 dr
Correlation functions
    correlation(source, kernel)  (q, C(q)) angle-averaged, 1-D ndarrays
    transform, transform_grid    full angular and grid transforms
    chi2                         chi-square of arrays
Fitting
    ChiSquareCost            cost function for iminuit.Minuit (errordef, names)
    BuiltinFit               the library's Newton / steepest descent / Metropolis
Interactions
    LednickyPair, lednicky_cf    Lednicky-Lyuboshitz C(q) for a Gaussian source (built-in
                                 pairs pp, nn, plambda, pomega or any f0, d0 per channel)
    builtin_lednicky_pairs()     their names
    phase_shifts(pair, ...)      the radial solver's phases and scattering parameters
Analysis of measured correlation functions (femtoanalyze from Python)
    read_measured_data, measured_data, read_component_directory   MeasuredData
    analysis_kernel, kernel_source, lednicky     genuine correlations
    Model                    N B(k) [M (1 + lambda_gen (C_gen - 1) + residuals)]
    Analysis                 data sets + models; fit() -> FitResult (values, one-sigma
                             errors, covariance, chi2, ndf, p_value, converged, status)
    AnalysisConfig, run_analysis   a femtoanalyze TOML configuration run (result dict,
                             result.json/curves.csv, variations)
    plot_analysis            data, model, parts and pulls
Event files
    EventFile(path)          iterate events as numpy arrays (any known layout)
    event_formats, detect_event_format, species(code), species_table()
Plots (matplotlib imported on use)
    plot_correlation, plot_source, plot_kernel
Settings and constants
    constants                HBARC (MeV fm), ALPHA, masses (MeV) of the library
    set_threads(n), set_verbose(flag), set_verbosity(level); library output goes
    to the logging logger "femtokit".

A fatal condition in the library raises FileNotFoundError (missing input),
ValueError (bad parameters or inputs), OSError (failed write) or RuntimeError
(numerical breakdown) with the library's message; the interpreter goes on.
"""

from . import _core
from ._core import constants
from ._output import logger, set_verbose, set_verbosity
from .analysis import (Analysis, AnalysisConfig, AnalysisRun, FitResult, MeasuredData, Model,
                       analysis_kernel, kernel_source, lednicky, measured_data, plot_analysis,
                       read_component_directory, read_measured_data, run_analysis)
from .arrays import CHArray, Grid3D
from .events import EventFile, detect_event_format, event_formats, species, species_table
from .interactions import LednickyPair, builtin_lednicky_pairs, lednicky_cf, phase_shifts
from .correlation import chi2, correlation, transform, transform_grid
from .fitting import BuiltinFit, ChiSquareCost
from .kernels import Kernel, Kernel3D
from .plot import plot_correlation, plot_kernel, plot_source
from .sources import Source, normalization, source_models
from .wavefunctions import WaveFunction, pairs


def set_threads(n):
    """Threads for the library's parallel loops (0: FEMTOKIT_THREADS, OMP_NUM_THREADS
    or every core). Results do not depend on it beyond rounding."""
    if int(n) < 0:
        raise ValueError("thread count must not be negative")
    _core.set_threads(int(n))


def thread_count():
    """Threads the library's parallel loops use now."""
    return _core.thread_count()


__all__ = [
    "pairs", "WaveFunction", "Kernel", "Kernel3D", "CHArray", "Grid3D", "source_models",
    "Source", "normalization", "correlation", "transform", "transform_grid", "chi2",
    "ChiSquareCost", "BuiltinFit", "plot_correlation", "plot_source", "plot_kernel",
    "constants", "set_threads", "thread_count", "set_verbose", "set_verbosity", "logger",
    "LednickyPair", "lednicky_cf", "builtin_lednicky_pairs", "phase_shifts",
    "read_measured_data", "measured_data", "read_component_directory", "MeasuredData",
    "analysis_kernel", "kernel_source", "lednicky", "Model", "Analysis", "FitResult",
    "AnalysisConfig", "AnalysisRun", "run_analysis", "plot_analysis",
    "EventFile", "event_formats", "detect_event_format", "species", "species_table",
]

"""Fitting source parameters to a measured correlation function."""

import types

import numpy as np

from . import _core
from .arrays import CHArray
from .kernels import Kernel
from .sources import Source


class ChiSquareCost(_core.ChiSquare):
    """Chi-square of a source model against a measured correlation function, as a
    cost function that iminuit.Minuit accepts directly:

        chi2(p) = sum_q (C_exp(q) - C_model(q; p))^2 / sigma(q)^2,

    C_model the component (default (0,0,0): C - 1) of the model source carried
    through the kernel. Each call writes the values into the model's parameters
    (17 significant digits), recomputes the source and transforms it in C++.

    ChiSquareCost(source, kernel, data, errors, parameters, component=(0, 0, 0))

    source      femtokit.Source (its current parameters are the start values)
    kernel      femtokit.Kernel
    data/errors CHArrays of the measured correlation function (C - 1 in the
                (0,0,0) component) and its errors; see from_arrays for ndarrays
    parameters  names of the fitted parameters (keys of the source model)

    Attributes errordef (1, least squares), ndata; call as cost(*values) or
    cost(values) -- the call goes straight to C++.

    >>> from iminuit import Minuit                              # doctest: +SKIP
    >>> m = Minuit(cost, **cost.start); m.migrad()              # doctest: +SKIP
    """

    errordef = 1.0

    def __init__(self, source, kernel, data, errors, parameters, component=(0, 0, 0)):
        if not isinstance(source, Source):
            raise TypeError("source must be a femtokit.Source")
        if not isinstance(kernel, Kernel):
            raise TypeError("kernel must be a femtokit.Kernel")
        if not isinstance(data, CHArray) or not isinstance(errors, CHArray):
            raise TypeError("data and errors must be CHArrays (or use ChiSquareCost.from_arrays)")
        if isinstance(parameters, str):
            parameters = [parameters]
        names = [str(p) for p in parameters]
        if not names or len(set(names)) != len(names):
            raise ValueError("give at least one parameter name, each once")
        lx, ly, lz = (int(i) for i in component)
        self.source, self.kernel, self.data, self.errors = source, kernel, data, errors
        super().__init__(source._obj, kernel._obj, data, errors, names, lx, ly, lz)
        self._names = tuple(names)
        # Parameter names for iminuit: _parameters (iminuit >= 2.12), func_code (older).
        self._parameters = {n: None for n in names}
        self.func_code = types.SimpleNamespace(co_varnames=self._names, co_argcount=len(names))

    @classmethod
    def from_arrays(cls, source, kernel, q, c, errors, parameters, symmetric=True):
        """Cost from the angle-averaged C(q) given as ndarrays: q bin centres
        (uniform, q_i = (i + 0.5) dq, MeV/c), c = C(q) and its errors."""
        q = np.asarray(q, dtype=float).reshape(-1)
        c = np.asarray(c, dtype=float).reshape(-1)
        e = np.asarray(errors, dtype=float).reshape(-1)
        if not (q.size == c.size == e.size) or q.size < 1:
            raise ValueError("q, c and errors must be 1-D arrays of equal, non-zero length")
        dq = 2.0 * q[0]
        if not dq > 0 or not np.allclose(q, (np.arange(q.size) + 0.5) * dq, rtol=1e-9, atol=1e-9):
            raise ValueError("q must be the bin centres (i + 0.5) dq of a uniform grid")
        if not np.all(e > 0):
            raise ValueError("errors must be positive")
        lmax = kernel.lmax
        data = CHArray(lmax, q.size, dq, symmetric, symmetric, symmetric)
        err = CHArray(lmax, q.size, dq, symmetric, symmetric, symmetric)
        data.set_component(0, 0, 0, c - 1.0)
        err.set_component(0, 0, 0, e)
        return cls(source, kernel, data, err, parameters)

    @property
    def parameters(self):
        """Names of the fitted parameters, in call order."""
        return self._names

    @property
    def start(self):
        """{name: current value in the source model}: start values for Minuit(cost, **start)."""
        p = self.source.parameters
        return {n: float(p.get(n, 0.0)) for n in self._names}

    @property
    def ndata(self):
        """Number of compared bins."""
        return self.nbins

    def model(self, *values):
        """(q, C_model(q)) at the given values (default: the current ones)."""
        if not values:
            values = tuple(self.start.values())
        self(*values)
        theory = self._theory()
        lx, ly, lz = self.component
        offset = 1.0 if (lx, ly, lz) == (0, 0, 0) else 0.0
        return theory.r, theory.component(lx, ly, lz) + offset

    def builtin_fit(self, errors=None, limits=None, values=None):
        """The library's own minimisers (femtokit.BuiltinFit: newton, steepest_descent,
        metropolis) on this chi-square. errors: {name: step} (default 10% of |value|
        or 0.1); limits: {name: (min, max)} (default unbounded); values: start values
        (default the current ones). Needs a model that computes single components."""
        start = dict(self.start, **(values or {}))
        errors = errors or {}
        limits = limits or {}
        names = list(self._names)
        vals = [float(start[n]) for n in names]
        errs = [float(errors.get(n, 0.1 * abs(v) or 0.1)) for n, v in zip(names, vals)]
        lo = [float(limits.get(n, (-1e10, 1e10))[0]) for n in names]
        hi = [float(limits.get(n, (-1e10, 1e10))[1]) for n in names]
        return BuiltinFit(self, names, vals, errs, lo, hi)


BuiltinFit = _core.BuiltinFit

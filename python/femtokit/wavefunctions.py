"""Pair wave functions and the vectorised |psi|^2."""

import os
import tempfile

import numpy as np

from . import _core
from ._util import broadcast_doubles, merged_parameters, write_parameter_file

# Keyword names accepted in lower case; any other keyword is used as the key itself.
_WF_NAMES = {"nqmax": "NQMAX", "delq": "DELQ", "epsilon": "EPSILON", "strong": "STRONG",
             "coulomb": "COULOMB", "potentialfile": "POTENTIALFILE"}


def _absolute_potential_file(pars, parsfile, parameters):
    """The library reads POTENTIALFILE relative to the parameter file it is given, which here is
    a temporary copy: name it absolutely, relative to the working directory when it was given as
    a keyword, to the original parameter file when it came from there."""
    value = pars.get("POTENTIALFILE")
    if value is None or os.path.isabs(str(value)):
        return
    from_keyword = "potentialfile" in parameters or "POTENTIALFILE" in parameters
    base = os.getcwd() if from_keyword or parsfile is None else \
        os.path.dirname(os.path.abspath(os.fspath(parsfile)))
    pars["POTENTIALFILE"] = os.path.join(base, str(value))


def pairs():
    """Names of every pair wave function (the library's registry), in listing order."""
    return [name for name, _ in _core.pairs()]


class WaveFunction:
    """Two-particle relative wave function of a pair, |psi(q, r, cos theta)|^2.

    WaveFunction(pair, parsfile=None, q=None, **parameters)

    pair       a name of femtokit.pairs() ("pp", "pkplus", "ppiplus", "nn",
               "pipluspiminus", ...).
    parsfile   optional parameter file; keyword arguments override its entries.
    q          optional momentum grid (MeV/c, increasing, positive, >= 2 points);
               otherwise the uniform grid q_i = (i + 0.5) delq, i < nqmax.
    parameters nqmax (15), delq (5.0 MeV/c), epsilon (1.0 fm, short-range
               radius of the phase-shift pairs), strong (True), coulomb (True),
               potentialfile (the potential of the pair "potential"), or any key
               of the pair's parameter file under its own name (e.g. NRMAX=200).

    Momenta q are half the momentum difference in the pair rest frame (MeV/c),
    r the separation (fm), ctheta the cosine of their angle. |psi|^2 = 1 means
    no correlation; between grid points it is linear in q, beyond the grid 1.

    >>> wf = WaveFunction("pp", nqmax=20, delq=2.0, epsilon=1.0)
    >>> wf.psi2([10.0, 20.0], 5.0, 0.3).shape
    (2,)
    """

    def __init__(self, pair, parsfile=None, q=None, **parameters):
        if pair not in pairs():
            raise ValueError(f"unknown pair {pair!r}; known: {', '.join(pairs())}")
        pars = merged_parameters(parsfile, parameters, _WF_NAMES)
        _absolute_potential_file(pars, parsfile, parameters)
        with tempfile.TemporaryDirectory(prefix="femtokit_") as tmp:
            path = os.path.join(tmp, "wfpars.dat")
            if q is not None:
                qs = np.asarray(q, dtype=float).reshape(-1)
                if qs.size < 2 or not np.all(qs > 0) or not np.all(np.diff(qs) > 0):
                    raise ValueError("q grid must hold at least two positive, increasing values")
                qfile = os.path.join(tmp, "qarray.dat")
                with open(qfile, "w") as f:
                    f.write(f"{qs.size}\n" + "".join(f"{v!r}\n" for v in qs))
                pars["DELQ"] = -1.0
                pars["QARRAYFILENAME"] = qfile
            else:
                if int(pars.get("NQMAX", 15)) < 1:
                    raise ValueError("nqmax must be at least 1")
                if float(pars.get("DELQ", 5.0)) <= 0:
                    raise ValueError("delq must be positive (or give the grid as q=...)")
            if float(pars.get("EPSILON", 1.0)) <= 0:
                raise ValueError("epsilon must be positive (fm)")
            write_parameter_file(path, pars)
            self._obj = _core.WaveFunction(pair, path)
        self.parameters = pars
        """The parameter entries the wave function was built from (key: value)."""

    @property
    def pair(self):
        """Registry name of the pair."""
        return self._obj.pair

    @property
    def q(self):
        """Momentum grid (MeV/c), an ndarray copy."""
        return self._obj.q

    @property
    def epsilon(self):
        """Short-range radius EPSILON (fm)."""
        return self._obj.epsilon

    @property
    def masses(self):
        """(m1, m2) in MeV."""
        return self._obj.masses

    def psi2(self, q, r, ctheta):
        """|psi|^2 at q (MeV/c), r (fm), cos theta, broadcast like numpy.

        Returns an ndarray of the broadcast shape (a float for scalar input).
        The loop runs in C++ without the GIL.
        """
        shape, (bq, br, bc) = broadcast_doubles(q, r, ctheta)
        out = self._obj._psi2(bq, br, bc).reshape(shape)
        return out if shape else float(out)

    def __repr__(self):
        return f"WaveFunction({self.pair!r}, nq={len(self.q)}, epsilon={self.epsilon})"

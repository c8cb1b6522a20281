"""Source models S(r): every model of the library's registry, by name."""

import os

import numpy as np

from . import _core
from ._util import _typed
from .arrays import CHArray, Grid3D


def source_models():
    """Names of every source model (the library's registry), in listing order."""
    return [name for name, _ in _core.source_models()]


def _from_text(text):
    for convert in (int, float):
        try:
            return convert(text)
        except ValueError:
            pass
    return text


class Source:
    """A source model: the relative-separation distribution S(r) (fm^-3, r in fm).

    Source(model, parsfile=None, **parameters)

    model       a name of femtokit.source_models() ("gx1d", "gaussian3d",
                "blast", "oscar", ...);
    parsfile    optional parameter file read into the model's parameters;
    parameters  model parameters by their keys, e.g. Source("gx1d", lambdaG=1,
                R=4, lambdaX=0) or Source("gaussian3d", Rx=4, Ry=5, Rz=6).

    help(femtokit.source_models) and Source.description name each model's
    parameters; source.parameters shows the current values.
    """

    def __init__(self, model, parsfile=None, **parameters):
        if model not in source_models():
            raise ValueError(f"unknown source model {model!r}; known: {', '.join(source_models())}")
        self._obj = _core.Source(model)
        if parsfile is not None:
            parsfile = os.fspath(parsfile)
            if not os.path.isfile(parsfile):
                raise FileNotFoundError(f"parameter file {parsfile} does not exist")
            self._obj._read_pars(parsfile)
        self.set(**parameters)

    @property
    def model(self):
        """Registry name of the model."""
        return self._obj.model

    @property
    def description(self):
        """One line on the model and its parameters."""
        return dict(_core.source_models())[self.model]

    @property
    def parameters(self):
        """Current parameters as {key: value} (numbers converted from the stored text)."""
        return {k: _from_text(v) for k, v in self._obj._pars().items()}

    def set(self, **parameters):
        """Sets parameters by key. Numbers keep 17 significant digits."""
        for key, value in parameters.items():
            kind, text = _typed(key, value)
            self._obj._set(key, text)
        return self

    def __getitem__(self, key):
        return self.parameters[key]

    def __setitem__(self, key, value):
        self.set(**{key: value})

    def compute(self, array):
        """Computes the source into a CHArray (or, for gaussian3d, a Grid3D); returns it."""
        if isinstance(array, CHArray):
            self._obj._compute(array)
        elif isinstance(array, Grid3D):
            self._obj._compute_grid(array)
        else:
            raise TypeError("compute() needs a CHArray or a Grid3D")
        return array

    def array(self, lmax=0, nradial=60, radstep=0.5, xsym=True, ysym=True, zsym=True):
        """The source in a new CHArray (r bins of radstep fm); defaults suit the
        angle-averaged S(r) of a reflection-symmetric model."""
        return self.compute(CHArray(lmax, nradial, radstep, xsym, ysym, zsym))

    def profile(self, nradial=60, radstep=0.5):
        """(r, S(r)): bin centres (fm) and the angle-averaged source (fm^-3) as ndarrays."""
        a = self.array(0, nradial, radstep)
        return a.r, a.component(0, 0, 0)

    def __repr__(self):
        return f"Source({self.model!r}, {self.parameters})"


def normalization(array):
    """4 pi sum_ir r_ir^2 dr S_000(r_ir): the integral of the (0,0,0) component of a
    source CHArray (the fraction of correlated pairs within its range)."""
    r = array.r
    return float(4 * np.pi * np.sum(r * r * array.radstep * array.component(0, 0, 0)))

"""Helpers shared by the femtokit modules: parameter files and broadcasting."""

import os
import re
import tempfile
import warnings
from contextlib import contextmanager

import numpy as np

# Longest line written: earlier versions of the library stopped reading at a line of 100.
_MAX_LINE = 99


def _typed(key, value):
    """(type word, text) of one parameter-file line for a Python value."""
    if isinstance(value, (bool, np.bool_)):
        return "bool", "1" if value else "0"
    if isinstance(value, (int, np.integer)):
        return "int", str(int(value))
    if isinstance(value, (float, np.floating)):
        if not np.isfinite(value):
            raise ValueError(f"parameter {key} must be finite, got {value}")
        return "double", repr(float(value))
    if isinstance(value, str):
        if not value or any(c.isspace() for c in value):
            raise ValueError(f"parameter {key}: text values must be one word, got {value!r}")
        return "string", value
    raise TypeError(f"parameter {key}: expected bool, int, float or str, got {type(value).__name__}")


_INT = re.compile(r"\s*[+-]?\d+")
_DOUBLE = re.compile(r"\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")


def _number(kind, key, value, path):
    """The leading number of value, as the library reads an int, bool or double line."""
    match = (_DOUBLE if kind == "double" else _INT).match(value)
    if match is None:
        raise ValueError(f"parameter file {path}: {kind} {key} = {value} is not a number")
    if kind != "double":
        return int(match.group())
    number = float(match.group())
    if not np.isfinite(number):
        raise ValueError(f"parameter file {path}: double {key} = {value} is not a finite number")
    return number


def read_parameter_file(path):
    """The entries of a parameter file ("type key value" lines) as {key: value}.

    Reads as the library does: '#' lines, lines of four characters or fewer
    and lines without a value are skipped; int values become int (the leading
    integer), bool values bool (true/false, or a number: nonzero is true),
    double float, string str. A value that is not a number where one is
    needed raises ValueError; a line of another type is skipped with a
    warning. A missing file raises FileNotFoundError.
    """
    out = {}
    with open(path) as f:
        for line in f:
            if line.startswith("#") or len(line.rstrip("\n")) <= 4:
                continue
            words = line.split()
            if len(words) < 3:
                continue
            kind, key, value = words[:3]
            if kind == "bool" and value.lower() in ("true", "false"):
                out[key] = value.lower() == "true"
            elif kind == "bool":
                out[key] = _number(kind, key, value, path) != 0
            elif kind in ("int", "double"):
                out[key] = _number(kind, key, value, path)
            elif kind == "string":
                out[key] = value
            else:
                warnings.warn(f"parameter file {path}: unknown type {kind} of {key} (int, double, "
                              "bool or string), line skipped")
    return out


def write_parameter_file(path, pars):
    """Writes {key: value} as a parameter file the library reads back exactly."""
    lines = []
    for key, value in pars.items():
        if not isinstance(key, str) or not key or any(c.isspace() for c in key):
            raise ValueError(f"parameter names must be single words, got {key!r}")
        kind, text = _typed(key, value)
        line = f"{kind} {key} {text}"
        if len(line) > _MAX_LINE:
            raise ValueError(f"parameter line too long for the parameter-file format: {line!r}")
        lines.append(line + "\n")
    with open(path, "w") as f:
        f.writelines(lines)


@contextmanager
def parameter_file(pars):
    """A temporary parameter file holding pars, removed on exit."""
    with tempfile.TemporaryDirectory(prefix="femtokit_") as tmp:
        path = os.path.join(tmp, "pars.dat")
        write_parameter_file(path, pars)
        yield path, tmp


def merged_parameters(parsfile, kwargs, names):
    """Entries of parsfile (if given) updated by kwargs, keys mapped through names."""
    pars = read_parameter_file(os.fspath(parsfile)) if parsfile is not None else {}
    for name, value in kwargs.items():
        pars[names.get(name, name)] = value
    return pars


def broadcast_doubles(*arrays):
    """Broadcasts the inputs like numpy; returns (shape, flat C-contiguous float arrays)."""
    try:
        converted = [np.asarray(a, dtype=float) for a in arrays]
    except (TypeError, ValueError) as e:
        raise TypeError(f"expected numbers or numeric arrays: {e}") from None
    try:
        b = np.broadcast_arrays(*converted)
    except ValueError as e:
        raise ValueError(f"arguments do not broadcast together: {e}") from None
    shape = b[0].shape
    return shape, [np.ascontiguousarray(x).reshape(-1) for x in b]


def check_directory(path, what):
    path = os.fspath(path)
    if not os.path.isdir(path):
        raise FileNotFoundError(f"{what} directory {path} does not exist")
    return path

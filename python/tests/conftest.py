"""Shared fixtures: small grids so that the whole suite stays fast."""

import os

import numpy as np
import pytest

import femtokit as fk

HBARC = fk.constants.HBARC


@pytest.fixture(scope="session")
def hbt_kernel():
    """Identical-boson plane-wave kernel on a grid fine enough for 1e-3 closure."""
    return fk.Kernel.purehbt(nqmax=30, delq=4.0, nrmax=160, delr=0.25, lmax=2)


@pytest.fixture(scope="session")
def bin_dir():
    path = os.environ.get("FEMTOKIT_BIN_DIR")
    if not path or not os.path.isdir(path):
        pytest.skip("FEMTOKIT_BIN_DIR (the built programs) not available")
    return path


def gaussian_cf(q, lam, radius):
    """Identical-boson C(q) of a Gaussian source: 1 + lambda exp(-4 q^2 R^2 / (hbar c)^2)."""
    return 1.0 + lam * np.exp(-4.0 * np.asarray(q) ** 2 * radius ** 2 / HBARC ** 2)

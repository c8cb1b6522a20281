"""Plots with matplotlib (imported only when a plot is made).

Each function returns the matplotlib Figure; save="name.png" (or .svg, .pdf)
also writes it.
"""

import numpy as np


def _pyplot():
    import matplotlib
    if matplotlib.get_backend().lower() not in ("agg", "pdf", "svg") and not _has_display():
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def _has_display():
    import os
    return bool(os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))


def _finish(fig, save):
    if save is not None:
        fig.savefig(save, bbox_inches="tight")
    return fig


def plot_correlation(q, data, errors, model=None, model_q=None, label="model", save=None,
                     title=None):
    """C(q) data with error bars against a model curve, with a residual panel
    (data - model)/error below. q in MeV/c; model on the same q unless model_q is given
    (then interpolated onto q for the residuals)."""
    plt = _pyplot()
    q = np.asarray(q, dtype=float)
    data = np.asarray(data, dtype=float)
    errors = np.asarray(errors, dtype=float)
    if model is None:
        fig, ax = plt.subplots(figsize=(6, 4))
        ax.errorbar(q, data, yerr=errors, fmt="o", ms=3, label="data")
        ax.set_xlabel("q (MeV/c)")
        ax.set_ylabel("C(q)")
        ax.legend()
        return _finish(fig, save)
    model = np.asarray(model, dtype=float)
    mq = q if model_q is None else np.asarray(model_q, dtype=float)
    fig, (ax, axr) = plt.subplots(2, 1, sharex=True, figsize=(6, 5),
                                  gridspec_kw={"height_ratios": [3, 1]})
    ax.errorbar(q, data, yerr=errors, fmt="o", ms=3, label="data")
    ax.plot(mq, model, "-", label=label)
    ax.set_ylabel("C(q)")
    ax.legend()
    if title:
        ax.set_title(title)
    at_q = model if model_q is None else np.interp(q, mq, model)
    axr.axhline(0.0, color="gray", lw=0.8)
    axr.plot(q, (data - at_q) / errors, "o", ms=3)
    axr.set_xlabel("q (MeV/c)")
    axr.set_ylabel("residual / error")
    return _finish(fig, save)


def plot_source(r, s=None, save=None, label=None):
    """Source profile S(r) (fm^-3) and r^2 S(r) on two panels. Give (r, s) arrays,
    a femtokit.Source, or a source CHArray (its (0,0,0) component)."""
    from .arrays import CHArray
    from .sources import Source
    if isinstance(r, Source):
        r, s = r.profile()
    elif isinstance(r, CHArray):
        s = r.component(0, 0, 0)
        r = r.r
    r = np.asarray(r, dtype=float)
    s = np.asarray(s, dtype=float)
    plt = _pyplot()
    fig, (a1, a2) = plt.subplots(1, 2, figsize=(9, 3.5))
    a1.plot(r, s, label=label)
    a1.set_xlabel("r (fm)")
    a1.set_ylabel("S(r) (fm$^{-3}$)")
    a2.plot(r, r * r * s, label=label)
    a2.set_xlabel("r (fm)")
    a2.set_ylabel("r$^2$ S(r) (fm$^{-1}$)")
    if label:
        a1.legend()
    fig.tight_layout()
    return _finish(fig, save)


def plot_kernel(kernel, ell=0, save=None):
    """Heat map of K_ell(q, r) of a femtokit.Kernel (q in MeV/c across, r in fm up)."""
    if not 0 <= ell <= kernel.lmax:
        raise ValueError(f"ell must be in 0 ... {kernel.lmax}")
    plt = _pyplot()
    table = kernel.table[ell]
    fig, ax = plt.subplots(figsize=(6, 4))
    extent = [0.0, kernel.nqmax * kernel.delq, 0.0, kernel.nrmax * kernel.delr]
    im = ax.imshow(table.T, origin="lower", aspect="auto", extent=extent, cmap="RdBu_r")
    fig.colorbar(im, ax=ax, label=f"K$_{{{ell}}}$(q, r)")
    ax.set_xlabel("q (MeV/c)")
    ax.set_ylabel("r (fm)")
    return _finish(fig, save)

"""Proton-proton correlation function of a Gaussian source, and a fit of it with iminuit.

Builds the pp kernel from the Reid93 + Coulomb wave function, makes C(q) of a
Gaussian source (R = 4 fm, lambda = 0.8) with 1% noise, fits lambda and R with
iminuit and plots data, model and residuals into pp_fit.png.
Run: PYTHONPATH=build/python /usr/bin/python3 python/examples/pp_gaussian_fit.py
"""

import numpy as np
from iminuit import Minuit

import femtokit as fk

# pp wave function on the kernel's own q grid (q in MeV/c), EPSILON in fm
wf = fk.WaveFunction("pp", nqmax=20, delq=4.0, epsilon=5.0)
kernel = fk.Kernel.from_wavefunction(wf, nqmax=20, delq=4.0, nrmax=60, delr=0.5,
                                     lmax=0, identical=True)

# Gaussian source (no exponential part) and its angle-averaged C(q)
truth = fk.Source("gx1d", lambdaG=0.8, R=4.0, lambdaX=0.0)
q, c = fk.correlation(truth, kernel)
errors = np.full_like(c, 0.01)
data = c + np.random.default_rng(1).normal(0.0, errors)

# fit lambdaG and R with iminuit, starting elsewhere
start = fk.Source("gx1d", lambdaG=0.5, R=6.0, lambdaX=0.0)
cost = fk.ChiSquareCost.from_arrays(start, kernel, q, data, errors, ["lambdaG", "R"])
m = Minuit(cost, **cost.start)
m.limits["R"] = (1.0, 15.0)
m.migrad()
print(f"lambdaG = {m.values['lambdaG']:.3f} +- {m.errors['lambdaG']:.3f}")
print(f"R = {m.values['R']:.3f} +- {m.errors['R']:.3f} fm")
print(f"chi2/ndof = {m.fval / (cost.ndata - 2):.2f}")

qm, model = cost.model(*m.values)
fk.plot_correlation(q, data, errors, model, save="pp_fit.png", title="pp, Gaussian source")

"""Interactions: the Lednicky-Lyuboshitz model and the solver's phase shifts.

Lednicky-Lyuboshitz: C(q) of a pair with s-wave scattering length f0 (femtoscopy sign,
f0 = -a, complex allowed) and effective range d0 per spin channel, for a Gaussian source of
single-particle radius R (fm), S(r) = (4 pi R^2)^(-3/2) exp(-r^2 / 4 R^2); identical
particles include the quantum-statistics term, charged pairs the Coulomb-modified form
(Gamow factor). q in MeV/c. See kernel/lednicky.h of the library for the formulas.
"""

import numpy as np

from . import _core
from ._util import broadcast_doubles


def builtin_lednicky_pairs():
    """Names of the built-in Lednicky-Lyuboshitz pairs (their f0, d0 from the radial solver)."""
    return list(_core.builtin_lednicky_pairs())


class LednickyPair:
    """A pair for the Lednicky-Lyuboshitz model.

    LednickyPair("pp")   a built-in pair (builtin_lednicky_pairs()): masses, charges, identity
                         and spin channels of the solver's pair, f0 = -a and d0 = r0 from its
                         own s waves; channels=[{"name": ..., "f0": ..., "d0": ...}] overrides
                         channels by name.
    LednickyPair(channels=[{"spin": 0, "weight": 1.0, "f0": 2.9 + 0.1j, "d0": 2.8}, ...],
                 masses=(m1, m2), charges=(z1, z2), identical=False, name="pair")
                         any pair (masses in MeV, needed when charged; weights sum to 1;
                         channel names default to "S<spin>").

    cf(q, R) gives C(q) broadcast like numpy; channels lists the channels as dicts.
    """

    def __init__(self, pair=None, channels=None, masses=None, charges=(0, 0), identical=False,
                 name="pair"):
        if pair is not None:
            if masses is not None or tuple(charges) != (0, 0) or identical:
                raise ValueError("masses, charges and identical come from the built-in pair")
            base = _core.LednickyPair.builtin(str(pair))
            if not channels:
                self._obj = base
                return
            self._obj = self._with_overrides(base, channels)
            return
        if not channels:
            raise ValueError("give a built-in pair name or channels")
        z = tuple(int(c) for c in charges)
        if len(z) != 2:
            raise ValueError("charges must be (z1, z2)")
        mu = 0.0
        if masses is not None:
            m1, m2 = (float(m) for m in masses)
            if not (m1 > 0 and m2 > 0):
                raise ValueError("masses must be positive (MeV)")
            mu = m1 * m2 / (m1 + m2)
        elif z[0] * z[1] != 0:
            raise ValueError("a charged pair needs masses=(m1, m2) in MeV")
        names, weights, spins, f0, d0 = [], [], [], [], []
        for ch in channels:
            unknown = set(ch) - {"name", "spin", "weight", "f0", "d0"}
            if unknown:
                raise ValueError(f"unknown channel keys: {sorted(unknown)}")
            spin = int(ch.get("spin", 0))
            names.append(str(ch.get("name", f"S{spin}")))
            spins.append(spin)
            weights.append(float(ch.get("weight", 1.0)))
            f0.append(complex(ch.get("f0", 0.0)))
            d0.append(float(ch.get("d0", 0.0)))
        self._obj = _core.LednickyPair(str(name), names, weights, spins, f0, d0, bool(identical),
                                       z[0] * z[1], mu)

    @staticmethod
    def _with_overrides(base, overrides):
        chans = base.channels
        by_name = {c["name"]: c for c in chans}
        for o in overrides:
            unknown = set(o) - {"name", "f0", "d0"}
            if unknown:
                raise ValueError(f"a built-in pair's channels take name, f0, d0; not {sorted(unknown)}")
            if o.get("name") not in by_name:
                raise ValueError(f"{o.get('name')!r} is no channel of pair {base.name}; "
                                 f"known: {', '.join(by_name)}")
            c = by_name[o["name"]]
            c["f0"] = complex(o.get("f0", c["f0"]))
            c["d0"] = float(o.get("d0", c["d0"]))
        return _core.LednickyPair(base.name, [c["name"] for c in chans], [c["weight"] for c in chans],
                                  [c["spin"] for c in chans], [c["f0"] for c in chans],
                                  [c["d0"] for c in chans], base.identical, base.z1z2, base.mu)

    name = property(lambda self: self._obj.name, doc="Name of the pair.")
    identical = property(lambda self: self._obj.identical, doc="Identical particles.")
    z1z2 = property(lambda self: self._obj.z1z2, doc="Charge product.")
    mu = property(lambda self: self._obj.mu, doc="Reduced mass (MeV; 0 when not given).")
    channels = property(lambda self: self._obj.channels,
                        doc="Channels as dicts: name, spin, weight, f0 (complex, fm), d0 (fm).")

    def cf(self, q, R):
        """C(q) for q (MeV/c) and the Gaussian radius R (fm), broadcast like numpy (a float for
        scalars). R <= 0 or q < 0 raise ValueError."""
        shape, (bq, bR) = broadcast_doubles(q, R)
        out = self._obj._cf(bq, bR).reshape(shape)
        return out if shape else float(out)

    def amplitude(self, q, channel=0):
        """The (Coulomb-modified for charged pairs) s-wave amplitude f(q) of a channel (index or
        name), complex ndarray in fm."""
        if isinstance(channel, str):
            names = list(self._obj.channel_names)
            if channel not in names:
                raise ValueError(f"no channel {channel!r}; known: {', '.join(names)}")
            channel = names.index(channel)
        q = np.ascontiguousarray(q, dtype=float)
        return self._obj._amplitude(int(channel), q.reshape(-1)).reshape(q.shape)

    def __repr__(self):
        return f"LednickyPair({self.name!r}, channels={self.channels})"


def lednicky_cf(q, R, pair):
    """Lednicky-Lyuboshitz C(q) (q MeV/c, R fm, broadcast) of a pair (a built-in name or a
    LednickyPair)."""
    if isinstance(pair, str):
        pair = LednickyPair(pair)
    return pair.cf(q, R)


def phase_shifts(pair, **wavefunction):
    """Phase shifts of a pair with exact radial waves ("pp", "nn", "np", "plambda", "pomega",
    "potential" with potentialfile=...), as femtophases prints them.

    pair is a name (the wave function is built with the keywords of femtokit.WaveFunction,
    e.g. q=[...] or nqmax, delq) or a femtokit.WaveFunction. Returns one dict per wave:
    channel, spin, weight, wave, ell, coupled, matching_radius (fm), q (MeV/c), delta
    (degrees, in (-90, 90]; np 3S1 on Levinson's branch from 180), and for coupled waves delta2 and mixing (degrees); s waves with a
    potential (also the 3S1 of a coupled 3S1-3D1) a and r0 (fm; nuclear sign, Coulomb-modified when charged). A pair without
    radial waves raises ValueError.
    """
    from .wavefunctions import WaveFunction

    wf = pair if isinstance(pair, WaveFunction) else WaveFunction(pair, **wavefunction)
    return _core._phase_shifts(wf._obj)

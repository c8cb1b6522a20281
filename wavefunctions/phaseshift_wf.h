#ifndef FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_WF_H
#define FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_WF_H

// Pieces shared by the wave functions whose strong interaction enters through phase shifts
// (proton-K+, proton-pi+, neutron-neutron, pi+ pi-): reading a built-in table onto the q grid,
// the short-range weights, and their contribution to |psi|^2 inside r = epsilon.

#include <complex>

#include "wavefunctions/wavefunction.h"

namespace PhaseShiftWF {

// Fills delta[c][iq] and ddeltadq[c][iq] of every channel c for iq = iqstart..nqmax-1 from a
// table of ntab entries per channel at q = k/2 MeV/c (channel c at [c * ntab + k]).
// With q = qarray[iq] and k = 2 floor(q) (the entry at floor(q)):
//   delta = (k + 1 - 2q) D[k] + (2q - k) D[k+1],
// linear between the entries at k/2 and (k+1)/2, extrapolated over up to half a unit when q
// lies in the upper half of [floor(q), floor(q) + 1); the same for ddeltadq. Grid points with
// k + 1 beyond the table get delta = ddeltadq = 0 (no strong interaction there).
void ReadTable(CWaveFunction* wf, const double* delta_table, const double* slope_table, int ntab,
               int iqstart);

// wepsilon[c][iq] = 3 (ddeltadq - GetIW(ell, epsilon, q, q1q2, eta, delta)
//                      + GetIW(ell, epsilon, q, q1q2, eta, 0)) / (4 PI epsilon^3)
// for one channel and grid point: the phase-shift derivative corrected by the difference of the
// radial closed forms with and without the phase shift, spread evenly over the sphere of radius
// epsilon (per fm^3 per MeV/c).
void SetShortRangeWeight(CWaveFunction* wf, int channel, int iq);

// SetShortRangeWeight for every channel and grid point.
void SetShortRangeWeights(CWaveFunction* wf);

// The set-up a meson-proton pair shares, after ParsInit: m1 = MPROTON, m2 = meson_mass, Coulomb
// as COULOMB says, and the s wave and the two p waves (J = 1/2, 3/2): channelell 0, 1, 1,
// channelweight 1, 1, 2 (CWaveFunction::InitChannels with announce).
void InitMesonProtonChannels(CWaveFunction* wf, double meson_mass, bool announce);

// Sum over channels of 2 PI channelweight[c] wepsilon[c][iq] HBARC^3 / q^2: what the strong
// interaction adds to |psi|^2 inside r = epsilon at grid point iq.
double ShortRangeSum(const CWaveFunction* wf, int iq);

// The pieces of one meson-proton |psi|^2 evaluation, for diagnostics: the radial waves
// R_0, R_1 and the spin-flip amplitude T_b (zero where the branch taken computed none; the plane
// wave P in place of T_b when STRONG is false).
struct MesonProtonParts {
  std::complex<double> r0, r1, tb;
};

// |psi|^2 of a spin-0 meson and a proton at grid point iq (no range check), r in fm, with the
// channels s, p(J = 1/2), p(J = 3/2) in slots 0, 1, 2. With P the Coulomb plane wave,
// x = q r / HBARC, R_ell = (incoming Coulomb partial wave) / x, e_c = e^{-2 i delta_c} and
// s = sqrt(1 - ctheta^2):
//   STRONG false:  |P|^2
//   r < epsilon:   |P|^2 + ShortRangeSum
//   otherwise:     |T_a|^2 + |T_b|^2,
//     T_a = P + (R_0/2)(e_0 - 1) + 3 i ctheta (R_1/2)(2 e_2/3 + e_1/3 - 1)   (no spin flip)
//     T_b = i (R_1/2)(e_2 - e_1) s                                           (spin flip)
// The two spin amplitudes add incoherently (the proton's spin is not observed); T_b vanishes at
// ctheta = +-1 and when the two p waves have equal phases.
double MesonProtonPsiSquared(CWaveFunction* wf, int iq, double r, double ctheta,
                             MesonProtonParts* parts);

}  // namespace PhaseShiftWF

#endif  // FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_WF_H

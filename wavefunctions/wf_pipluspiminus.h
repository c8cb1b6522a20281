#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_PIPLUSPIMINUS_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_PIPLUSPIMINUS_H

// Relative wave function of a positive and a negative pion, and the pion-pion phase shifts.
//
// Pair: m1 = m2 = MPI, q1q2 = -1 always (COULOMB is not consulted), ellmax 2, five strong
// channels (ell, isospin I, channelweight = 2 (2 ell + 1) x isospin probability 1/3, 1/2, 1/6
// of I = 0, 1, 2 in the pi+ pi- state):
//   0: (0, 0, 2/3)   1: (2, 0, 10/3)   2: (1, 1, 3)   3: (0, 2, 1/3)   4: (2, 2, 5/3)
// The phases come from getphaseshift_pipi, Coulomb-corrected with
// CoulWave::phaseshift_CoulombCorrect; the short-range weights follow as for the other
// phase-shift pairs (PhaseShiftWF::SetShortRangeWeight).
//
// |psi|^2 sums the three isospin components incoherently, |T_0|^2/3 + |T_1|^2/2 + |T_2|^2/6,
// with S, A the (anti)symmetrised Coulomb plane waves, R_ell the incoming Coulomb partial waves
// over x = q r / HBARC, e_c = e^{-2 i delta_c} and P_ell(ctheta) the Legendre polynomials:
//   T_0 = S + [R_0 (e_0 - 1) - 5 P_2 R_2 (e_1 - 1)] / sqrt 2     (isospin 0)
//   T_1 = A + (3 i / sqrt 2) P_1 R_1 (e_2 - 1)                    (isospin 1)
//   T_2 = S + [R_0 (e_3 - 1) - 5 P_2 R_2 (e_4 - 1)] / sqrt 2     (isospin 2)
// (-5 and 3 i are (2 ell + 1) i^ell). Units: q in MeV/c, r in fm.

#include "wavefunctions/wavefunction.h"

// Phase shift delta (radians) and d delta/dq (per MeV/c) of the pion-pion channel of isospin I
// and orbital angular momentum ell at pair momentum q >= 0 (MeV/c). With t = tan(delta):
//   I = 0, ell = 0: t = 0.0014615274394612406 q / (1 - q/290 + (q/625)^2), delta in [0, PI)
//                   (passes PI/2 near q = 422.6 MeV/c, where the denominator changes sign);
//   I = 0, ell = 2: t = 6.164724745553792e-15 u^5, u = q / (1 + q^2/10^6);
//   I = 1, ell = 1: the rho(770) Breit-Wigner, phi(q) = atan2(M Gamma (q/q_r)^3 M / sqrt(s),
//                   M^2 - s), s = 4 (q^2 + MPI^2), M = 771.1 MeV, Gamma = 149.2 MeV,
//                   q_r = 359.39703128990925 MeV/c, averaged over q +- dq/2 (dq = 1, or q/20
//                   below 20 MeV/c) and differentiated by the difference over dq;
//   I = 2, ell = 0: t = -0.0006588050607389837 q / (1 + y), y = (0.25495097567963926 q/HBARC)^2;
//   I = 2, ell = 2: t = -8.400000000000001e-15 (q / (1 + y))^5, y = (0.5 q / HBARC)^2;
//   any other allowed (I, ell) with I in 0..2: delta = ddeltadq = 0.
// At q = 0 every phase and slope is the q -> 0 limit (t/q is evaluated without dividing by q;
// the rho's difference quotient, 0/0 there, is taken as its limit 0).
// Fatal ("pipi phase shift: bad (ell,I) comb, ell=%d, I=%d\n") when I + ell is odd. For I
// outside 0..2 (with I + ell even) the outputs are left unchanged.
void getphaseshift_pipi(int I, int ell, double q, double* delta, double* ddeltadq);

class CWaveFunction_pipluspiminus : public CWaveFunction {
 public:
  // Reads the parameter file and builds the object; prints "pipluspiminus wf initialized".
  explicit CWaveFunction_pipluspiminus(const char* parsfilename);

  // |psi|^2 at grid point iq; 1.0 (no correlation, no message) when iq >= nqmax. Inside
  // r = epsilon: |P|^2 of the Coulomb plane wave plus, with STRONG, the short-range weights.
  // With STRONG false outside epsilon the brackets are left out (T_0 = T_2 = S, T_1 = A).
  double CalcPsiSquared(int iq, double r, double ctheta) override;
  // The same for n cosines at one r: radial waves and phase factors once, each plane wave once
  // for +c and -c when the list is symmetric.
  void CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                            double* psisquared) override;
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_PIPLUSPIMINUS_H

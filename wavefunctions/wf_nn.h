#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_NN_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_NN_H

// Relative wave function of two neutrons (masses MNEUTRON, no Coulomb: q1q2 = 0 whatever
// COULOMB says, so the plane wave is e^{i q r ctheta / HBARC} and the partial waves are
// x h*_ell(x), x = q r / HBARC).
//
// Strong interaction through tabulated phase shifts in 1S0, 3P0, 3P1 and 3P2 (channelell
// 0, 1, 1, 1; channelweight (2J + 1)/2 = 0.5, 0.5, 1.5, 2.5) from the built-in table
// (wavefunctions/phaseshift_tables.h, 401 points at q = 0..200 MeV/c); grid points above
// 200 MeV/c have no strong interaction.
//
// |psi|^2 is spin-averaged: 1/4 singlet (spatially symmetric S = (p+ + p-)/sqrt 2) and 3/4
// triplet (antisymmetric A = (p+ - p-)/sqrt 2, p+- the plane wave at +-ctheta), the triplet
// spread over its projections with the weights of 3P0, 3P1, 3P2 (the same partial-wave form as
// the proton-proton wave function, with 3P2 in place of the coupled 3P2-3F2 channel).
// Units: q in MeV/c, r in fm.

#include "wavefunctions/wavefunction.h"

class CWaveFunction_nn : public CWaveFunction {
 public:
  // Reads the parameter file and builds the object. Prints "Arrays Initialized",
  // "Partial Waves Initialized", "que pasa?" (phases read), "hola que tal?" and
  // "Initialization finished" on the way.
  explicit CWaveFunction_nn(const char* parsfilename);

  // |psi|^2 at grid point iq:
  //   STRONG false:  0.25 |S|^2 + 0.75 |A|^2
  //   r < epsilon:   the same plus the short-range weights
  //   otherwise, with R_ell = x h*_ell(x) / x, e_c = e^{-2 i delta_c}, W = sqrt(2 PI) Y_00,
  //   P_10 = R_1 i sqrt(6 PI) Y_10, P_11 = R_1 i sqrt(6 PI) Y_11:
  //     T_0 = S + R_0 W (e_1S0 - 1),          T_1 = A + P_10 (e_3P1/2 + e_3P2/2 - 1),
  //     T_2 = P_11 (e_3P1 - e_3P2)/2,         T_3 = A + P_10 (2 e_3P2/3 + e_3P0/3 - 1),
  //     T_4 = P_11 (e_3P2 - e_3P0)/3,
  //     |psi|^2 = 0.25 |T_0|^2 + 0.5 (|T_1|^2 + |T_2|^2) + 0.25 (|T_3|^2 + 2 |T_4|^2)
  //   (the sum shared with the proton-proton wave function, wavefunctions/spinsum.h).
  // Fatal ("iq too large!") when iq >= nqmax.
  double CalcPsiSquared(int iq, double r, double ctheta) override;
  // The spin-averaged sum is even in ctheta (inside epsilon too: a constant is added to the
  // symmetrised plane waves).
  bool PsiSquaredIsEven() const override { return true; }

 private:
  // Phase shifts and derivatives of every grid point from the built-in table.
  void read_phaseshifts();
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_NN_H

#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_PKPLUS_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_PKPLUS_H

// Relative wave function of a proton and a positive kaon (masses MPROTON, MKAON).
//
// The Coulomb interaction (charge product 1, or 0 when COULOMB is false) enters through the
// Coulomb plane and partial waves of the base; the strong interaction through tabulated phase
// shifts in three channels: the s wave and the p waves of total angular momentum 1/2 and 3/2
// (channelell 0, 1, 1; channelweight 1, 1, 2, i.e. (2J + 1)/2). The phases come from the
// built-in table (wavefunctions/phaseshift_tables.h, 701 points at q = 0..350 MeV/c; they are
// already the strong phases in the presence of Coulomb); grid points above 350 MeV/c have no
// strong interaction.
//
// |psi|^2 (PhaseShiftWF::MesonProtonPsiSquared): the plane wave with its s and p partial waves
// replaced by the phase-shifted ones outside r = epsilon, the spin-flip term added
// incoherently; inside epsilon the plane wave plus the short-range weights. Units: q in MeV/c,
// r in fm.

#include "wavefunctions/wavefunction.h"

class CWaveFunction_pkplus : public CWaveFunction {
 public:
  // Reads the parameter file (CWaveFunction::ParsInit), sets up the pair, the waves, the phase
  // shifts and the short-range weights. Prints nothing beyond ParsInit's lines.
  explicit CWaveFunction_pkplus(const char* parsfilename);

  // |psi|^2 at grid point iq. Fatal ("iq too large!") when iq >= nqmax. A result above 500 is
  // reported with diagnostic lines and returned all the same.
  double CalcPsiSquared(int iq, double r, double ctheta) override;

 private:
  // Phase shifts and derivatives from the built-in table. The first grid point gets zero phases
  // whatever its q, and ddeltadq[0][0] = D[1] - D[0] of the s-wave table (the plain difference
  // of its first two entries).
  void read_phaseshifts();
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_PKPLUS_H

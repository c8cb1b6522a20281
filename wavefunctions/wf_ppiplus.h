#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_PPIPLUS_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_PPIPLUS_H

// Relative wave function of a proton and a positive pion (masses MPROTON, MPI).
//
// Coulomb (charge product 1, or 0 when COULOMB is false) through the base's Coulomb waves; the
// strong interaction through tabulated phase shifts in the isospin-3/2 channels S31, P31 and
// P33 (channelell 0, 1, 1; channelweight 1, 1, 2). The P33 channel carries the Delta(1232)
// resonance: its phase passes PI/2 between q = 226.5 and 227 MeV/c. The built-in table
// (wavefunctions/phaseshift_tables.h) has 781 points at q = 0..390 MeV/c and holds the strong
// phases in the presence of Coulomb; grid points above 390 MeV/c have no strong interaction.
//
// |psi|^2 as for proton-K+ (PhaseShiftWF::MesonProtonPsiSquared), without the size report.
// Units: q in MeV/c, r in fm.

#include "wavefunctions/wavefunction.h"

class CWaveFunction_ppiplus : public CWaveFunction {
 public:
  // Reads the parameter file and builds the object. Prints "Arrays Initialized",
  // "Partial Waves Initialized" and "Initialization finished" on the way.
  explicit CWaveFunction_ppiplus(const char* parsfilename);

  // |psi|^2 at grid point iq. Fatal ("iq too large!") when iq >= nqmax.
  double CalcPsiSquared(int iq, double r, double ctheta) override;

 private:
  // Phase shifts and derivatives of every grid point from the built-in table.
  void read_phaseshifts();
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_PPIPLUS_H

#include "wavefunctions/wf_ppiplus.h"

#include <cstdio>

#include "numeric/fatal.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "numeric/output.h"

CWaveFunction_ppiplus::CWaveFunction_ppiplus(const char* parsfilename) : CWaveFunction() {
  ParsInit(parsfilename);
  m1 = MPROTON;
  m2 = MPI;
  q1q2 = COULOMB ? 1 : 0;
  ellmax = 1;
  nchannels = 3;
  InitArrays();
  femtokit::Progress("Arrays Initialized\n");
  channelell[0] = 0;
  channelell[1] = 1;
  channelell[2] = 1;
  InitWaves();
  femtokit::Progress("Partial Waves Initialized\n");
  channelweight[0] = 1.0;
  channelweight[1] = 1.0;
  channelweight[2] = 2.0;
  read_phaseshifts();
  for (int c = 0; c < nchannels; c++)
    for (int iq = 0; iq < nqmax; iq++) PhaseShiftWF::SetShortRangeWeight(this, c, iq);
  femtokit::Progress("Initialization finished\n");
}

void CWaveFunction_ppiplus::read_phaseshifts() {
  using namespace PhaseShiftTables;
  PhaseShiftWF::ReadTable(this, kDeltaPPiplus, kDDeltaDqPPiplus, kNTabPPiplus, 0);
}

double CWaveFunction_ppiplus::CalcPsiSquared(int iq, double r, double ctheta) {
  if (iq >= nqmax) femtokit::Fatal("iq too large!\n");
  PhaseShiftWF::MesonProtonParts parts;
  return PhaseShiftWF::MesonProtonPsiSquared(this, iq, r, ctheta, &parts);
}

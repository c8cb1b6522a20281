#include "wavefunctions/wf_ppiplus.h"

#include <cstdio>

#include "numeric/fatal.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "numeric/output.h"

CWaveFunction_ppiplus::CWaveFunction_ppiplus(const char* parsfilename) : CWaveFunction() {
  ParsInit(parsfilename);
  PhaseShiftWF::InitMesonProtonChannels(this, MPI, true);
  read_phaseshifts();
  PhaseShiftWF::SetShortRangeWeights(this);
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

#include "wavefunctions/wf_pkplus.h"

#include <cstdio>

#include "numeric/fatal.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "numeric/output.h"

CWaveFunction_pkplus::CWaveFunction_pkplus(const char* parsfilename) : CWaveFunction() {
  ParsInit(parsfilename);
  PhaseShiftWF::InitMesonProtonChannels(this, MKAON, false);
  read_phaseshifts();
  PhaseShiftWF::SetShortRangeWeights(this);
}

void CWaveFunction_pkplus::read_phaseshifts() {
  using namespace PhaseShiftTables;
  PhaseShiftWF::ReadTable(this, kDeltaPKplus, kDDeltaDqPKplus, kNTabPKplus, 1);
  for (int c = 0; c < nchannels; c++) {
    delta[c][0] = 0.0;
    ddeltadq[c][0] = 0.0;
  }
  ddeltadq[0][0] = kDeltaPKplus[1] - kDeltaPKplus[0];
}

double CWaveFunction_pkplus::CalcPsiSquared(int iq, double r, double ctheta) {
  if (iq >= nqmax) femtokit::Fatal("iq too large!\n");
  PhaseShiftWF::MesonProtonParts parts;
  const double psisquared = PhaseShiftWF::MesonProtonPsiSquared(this, iq, r, ctheta, &parts);
  if (psisquared > 500.0) {
    femtokit::Warn("_____________________________________________\n");
    femtokit::Warn("in CalcPsiSquared, q=%g,r=%g, psisquared=huge=%g\n", qarray[iq], r, psisquared);
    femtokit::Warn("hstar0=(%g,%g), hstar1=(%g,%g),psi=(%g,%g)\n", parts.r0.real(), parts.r0.imag(),
                parts.r1.real(), parts.r1.imag(), parts.tb.real(), parts.tb.imag());
  }
  return psisquared;
}

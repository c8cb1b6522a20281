#include "wavefunctions/wf_nn.h"

#include <cmath>
#include <complex>
#include <cstdio>

#include "numeric/fatal.h"
#include "numeric/misc.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "wavefunctions/spinsum.h"
#include "numeric/output.h"

CWaveFunction_nn::CWaveFunction_nn(const char* parsfilename) : CWaveFunction() {
  ParsInit(parsfilename);
  m1 = m2 = MNEUTRON;
  q1q2 = 0;
  ellmax = 1;
  InitChannels({0, 1, 1, 1}, {0.5, 0.5, 1.5, 2.5}, true);
  read_phaseshifts();
  femtokit::Progress("que pasa?\n");
  // eta is 0 at every grid point (no Coulomb), so both closed forms are the free ones.
  PhaseShiftWF::SetShortRangeWeights(this);
  femtokit::Progress("hola que tal?\n");
  femtokit::Progress("Initialization finished\n");
}

void CWaveFunction_nn::read_phaseshifts() {
  using namespace PhaseShiftTables;
  PhaseShiftWF::ReadTable(this, kDeltaNN, kDDeltaDqNN, kNTabNN, 0);
}

double CWaveFunction_nn::CalcPsiSquared(int iq, double r, double ctheta) {
  using cdouble = std::complex<double>;
  if (iq >= nqmax) femtokit::Fatal("iq too large!\n");
  const cdouble pplus = planewave[iq]->planewave(r, ctheta);
  const cdouble pminus = planewave[iq]->planewave(r, -ctheta);
  const cdouble s = (pplus + pminus) / std::sqrt(2.0);
  const cdouble a = (pplus - pminus) / std::sqrt(2.0);
  if (!STRONG) return 0.25 * std::norm(s) + 0.75 * std::norm(a);
  if (r < epsilon)
    return 0.25 * std::norm(s) + 0.75 * std::norm(a) + PhaseShiftWF::ShortRangeSum(this, iq);

  const double x = qarray[iq] * r / HBARC;
  const cdouble r0 = partwave[0][iq]->GetPhiIncoming(r) / x;
  const cdouble r1 = partwave[1][iq]->GetPhiIncoming(r) / x;
  const cdouble e1s0 = Misc::ceiphi(-2.0 * delta[0][iq]);
  const cdouble e3p0 = Misc::ceiphi(-2.0 * delta[1][iq]);
  const cdouble e3p1 = Misc::ceiphi(-2.0 * delta[2][iq]);
  const cdouble e3p2 = Misc::ceiphi(-2.0 * delta[3][iq]);
  // The proton-proton sum with 3P2 in place of the coupled 3P2-3F2 channel.
  return SpinSum::PsiSquared(s, a, SpinSum::OuterCorrections(r0, r1, e1s0, e3p0, e3p1, e3p2),
                             ctheta);
}

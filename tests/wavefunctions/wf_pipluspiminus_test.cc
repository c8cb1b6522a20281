// pi+ pi- wave function: the free limits inside and outside epsilon, the Coulomb correction of the
// pion-pion phases and the out-of-grid rule (the partial-wave sum rule: wf_pkplus_test.cc).

#include "wavefunctions/wf_pipluspiminus.h"

#include <cmath>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

using femtokit_test::kRoundoff;

using femtokit::constants::kPi;

// The wave function (COULOMB 0 in the file, which is not consulted), its printout in *out.
std::unique_ptr<CWaveFunction_pipluspiminus> Make(int nqmax, double delq, bool strong,
                                                  std::string* out = nullptr) {
  return femtokit_test::MakeFromPars<CWaveFunction_pipluspiminus>(
      "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
          "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB 0\n",
      out);
}

// Outside epsilon without strong phases the isospin sum gives |S|^2/2 + |A|^2/2 =
// |p+|^2/2 + |p-|^2/2.
double PlusMinusAverage(CWaveFunction* wf, int iq, double r, double c) {
  return 0.5 * std::norm(wf->planewave[iq]->planewave(r, c)) +
         0.5 * std::norm(wf->planewave[iq]->planewave(r, -c));
}

TEST(PiPlusPiMinus, StrongOffOrZeroPhasesAreTheFreeLimits) {
  auto off = Make(3, 40.0, false), zero = Make(3, 40.0, true);
  for (int c = 0; c < 5; c++)
    for (int iq = 0; iq < 3; iq++) zero->delta[c][iq] = 0.0;
  for (int iq = 0; iq < 3; iq++) {
    for (double c : {-0.8, 0.1, 1.0}) {
      for (double r : {1.0, 5.0}) {
        EXPECT_CLOSE(off->CalcPsiSquared(iq, r, c), PlusMinusAverage(off.get(), iq, r, c), 1e-12);
        EXPECT_CLOSE(zero->CalcPsiSquared(iq, r, c), PlusMinusAverage(zero.get(), iq, r, c), 1e-12);
      }
      // Inside, the plain Coulomb plane wave.
      EXPECT_CLOSE(off->CalcPsiSquared(iq, 0.5, c),
                   std::norm(off->planewave[iq]->planewave(0.5, c)), kRoundoff);
    }
  }
}

// tan(delta) scales by the Gamow factor times prod (eta^2 + i^2); attraction (eta < 0)
// enhances it.
TEST(PiPlusPiMinus, PhasesAreCoulombCorrectedPionPionPhases) {
  auto wf = Make(3, 100.0, true);  // q = 50, 150, 250
  const int isospin[5] = {0, 0, 1, 2, 2};
  for (int c = 0; c < 5; c++) {
    for (int iq = 0; iq < 3; iq++) {
      double d, dd;
      getphaseshift_pipi(isospin[c], wf->channelell[c], wf->qarray[iq], &d, &dd);
      const double eta = wf->eta[iq];
      double a = 2 * kPi * eta / std::expm1(2 * kPi * eta);
      for (int i = 1; i <= wf->channelell[c]; i++) a *= eta * eta + i * i;
      EXPECT_LT(eta, 0.0);
      EXPECT_CLOSE(std::tan(wf->delta[c][iq]), a * std::tan(d), 1e-10) << c << " " << iq;
    }
  }
}

TEST(PiPlusPiMinus, BeyondTheGridIsUncorrelatedAndConstructionIsAnnounced) {
  std::string out;
  auto wf = Make(2, 40.0, true, &out);
  EXPECT_NE(out.find("pipluspiminus wf initialized\n"), std::string::npos);
  EXPECT_EQ(CAPTURE_STDOUT(EXPECT_EQ(wf->CalcPsiSquared(2, 1.0, 0.5), 1.0)), "");
}

}  // namespace

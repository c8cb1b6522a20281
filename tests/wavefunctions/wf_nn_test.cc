// Neutron-neutron wave function: the free spin-averaged limit, exchange symmetry, the table rows
// on the grid, the messages and the fatal path (the partial-wave sum rule: wf_pkplus_test.cc).

#include "wavefunctions/wf_nn.h"

#include <cmath>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

// The wave function (COULOMB 1 in the file, which changes nothing), its printout in *out.
std::unique_ptr<CWaveFunction_nn> Make(int nqmax, double delq, bool strong,
                                       std::string* out = nullptr) {
  return femtokit_test::MakeFromPars<CWaveFunction_nn>(
      "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
          "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB 1\n",
      out);
}

// Free neutrons: with p+- = e^{+-i x c}, |S|^2 = 2 cos^2(x c) and |A|^2 = 2 sin^2(x c), so the
// spin average 0.25 |S|^2 + 0.75 |A|^2 is 0.5 cos^2 + 1.5 sin^2 (Fermi-Dirac antibunching:
// 0.5 at zero separation).
double FreeNN(double q, double r, double c) {
  const double xc = q * r * c / femtokit::constants::kHbarC;
  return 0.5 * std::cos(xc) * std::cos(xc) + 1.5 * std::sin(xc) * std::sin(xc);
}

TEST(NNWaveFunction, StrongOffIsTheFreeSpinAverage) {
  auto wf = Make(3, 40.0, false);
  for (int iq = 0; iq < 3; iq++)
    for (double r : {0.3, 1.0, 6.0})
      for (double c : {-1.0, 0.2, 0.9})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), FreeNN(wf->qarray[iq], r, c), 1e-12);
}

// Anchor rows of the table on grid points are read as they are; zero phases, and q = 210 beyond
// the table (200 MeV/c: no strong interaction, no short-range weight), give the free result.
// Identical particles: r -> -r (ctheta -> -ctheta) leaves |psi|^2 unchanged.
TEST(NNWaveFunction, TableRowsZeroPhasesAndExchangeSymmetry) {
  auto wf = Make(11, 20.0, true);  // q = 10, 30, 50, ..., 210
  for (int iq : {0, 2, 5})
    for (double r : {0.5, 2.0, 7.0})
      for (double c : {0.1, 0.6, 1.0})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), wf->CalcPsiSquared(iq, r, -c), 1e-12);
  for (int c = 0; c < 4; c++) {
    EXPECT_TRUE(wf->delta[c][10] == 0.0 && wf->wepsilon[c][10] == 0.0);
    wf->delta[c][1] = 0.0;
  }
  EXPECT_CLOSE(wf->CalcPsiSquared(10, 0.5, 0.3), FreeNN(210.0, 0.5, 0.3), 1e-12);
  for (double r : {1.0, 3.3})
    for (double c : {-0.4, 0.0, 0.95})
      EXPECT_CLOSE(wf->CalcPsiSquared(1, r, c), FreeNN(wf->qarray[1], r, c), 1e-12);
}

TEST(NNWaveFunction, ConstructorPrintsItsProgressAndIqBeyondTheGridIsFatal) {
  std::string out;
  auto wf = Make(2, 40.0, true, &out);
  EXPECT_NE(out.find("Arrays Initialized\nPartial Waves Initialized\nque pasa?\nhola que tal?\n"
                     "Initialization finished\n"),
            std::string::npos);
  EXPECT_FATAL(wf->CalcPsiSquared(5, 1.0, 0.0), "^iq too large!\n$");
}

}  // namespace

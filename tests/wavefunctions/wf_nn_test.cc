// Neutron-neutron wave function: the free spin-averaged limit against its closed form, exchange
// symmetry, the partial-wave sum rule of the angle-averaged |psi|^2, the table rows on the grid,
// and the messages and fatal path.

#include "wavefunctions/wf_nn.h"

#include <cmath>
#include <complex>
#include <memory>
#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

constexpr double kHbarc = 197.3269602;

std::string Pars(int nqmax, double delq, bool strong) {
  return "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
         "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB 1\n";
}

std::unique_ptr<CWaveFunction_nn> Make(const std::string& pars) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", pars);
  std::unique_ptr<CWaveFunction_nn> wf;
  CAPTURE_STDOUT(wf = std::make_unique<CWaveFunction_nn>((dir / "wf.dat").c_str()));
  return wf;
}

template <class F>
double AngleAverage(F f) {
  const int n = 400;
  double sum = f(-1.0) + f(1.0);
  for (int i = 1; i < n; i++) sum += (i % 2 ? 4.0 : 2.0) * f(-1.0 + 2.0 * i / n);
  return sum / (3.0 * n);
}

// Free neutrons: with p+- = e^{+-i x c}, |S|^2 = 2 cos^2(x c) and |A|^2 = 2 sin^2(x c), so the
// spin average 0.25 |S|^2 + 0.75 |A|^2 is 0.5 cos^2 + 1.5 sin^2 (Fermi-Dirac antibunching:
// 0.5 at zero separation).
double FreeNN(double q, double r, double c) {
  const double xc = q * r * c / kHbarc;
  return 0.5 * std::cos(xc) * std::cos(xc) + 1.5 * std::sin(xc) * std::sin(xc);
}

TEST(NNWaveFunction, StrongOffIsTheFreeSpinAverage) {
  auto wf = Make(Pars(3, 40.0, false));
  EXPECT_EQ(wf->q1q2, 0);  // COULOMB 1 in the file changes nothing
  for (int iq = 0; iq < 3; iq++)
    for (double r : {0.3, 1.0, 6.0})
      for (double c : {-1.0, 0.2, 0.9})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), FreeNN(wf->qarray[iq], r, c), 1e-12);
  EXPECT_CLOSE(wf->CalcPsiSquared(0, 1e-6, 0.5), 0.5, 1e-9);
}

TEST(NNWaveFunction, SymmetricUnderExchange) {
  // Identical particles: r -> -r (ctheta -> -ctheta) leaves |psi|^2 unchanged.
  auto wf = Make(Pars(3, 40.0, true));
  for (int iq = 0; iq < 3; iq++)
    for (double r : {0.5, 2.0, 7.0})
      for (double c : {0.1, 0.6, 1.0})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), wf->CalcPsiSquared(iq, r, -c), 1e-12);
}

TEST(NNWaveFunction, ZeroPhasesGiveTheFreeResult) {
  auto wf = Make(Pars(3, 40.0, true));
  for (int c = 0; c < 4; c++) wf->delta[c][1] = 0.0;
  for (double r : {1.0, 3.3})
    for (double c : {-0.4, 0.0, 0.95})
      EXPECT_CLOSE(wf->CalcPsiSquared(1, r, c), FreeNN(wf->qarray[1], r, c), 1e-12);
}

// <|psi|^2> - <free> = sum_c channelweight_c [u_ell(delta_c)^2 - j_ell^2] with
// u_ell = cos(delta) j_ell - sin(delta) y_ell (spherical Bessel functions): the singlet's
// 1/4 x 2 (symmetrisation) for 1S0 and (2J + 1)/2 for the triplet P waves.
TEST(NNWaveFunction, AngleAverageFollowsThePartialWaveSum) {
  auto wf = Make(Pars(3, 40.0, true));
  for (int iq : {0, 1, 2}) {
    for (double r : {1.2, 3.0, 8.0}) {
      const double q = wf->qarray[iq], x = q * r / kHbarc;
      const double j0 = std::sin(x) / x, y0 = -std::cos(x) / x;
      const double j1 = std::sin(x) / (x * x) - std::cos(x) / x;
      const double y1 = -std::cos(x) / (x * x) - std::sin(x) / x;
      double expect = 0.0;
      for (int c = 0; c < 4; c++) {
        const double d = wf->delta[c][iq];
        const double j = c == 0 ? j0 : j1, y = c == 0 ? y0 : y1;
        const double u = std::cos(d) * j - std::sin(d) * y;
        expect += wf->channelweight[c] * (u * u - j * j);
      }
      const double avg = AngleAverage([&](double c) { return wf->CalcPsiSquared(iq, r, c); });
      const double free = AngleAverage([&](double c) { return FreeNN(q, r, c); });
      // The partial waves are tabulated every 0.01 fm and interpolated linearly.
      EXPECT_CLOSE_ABS(avg - free, expect, 1e-4, 1e-8) << "q=" << q << " r=" << r;
    }
  }
}

TEST(NNWaveFunction, GridPointsOnAnchorRowsReadThem) {
  auto wf = Make(Pars(11, 20.0, true));  // q = 10, 30, 50, ..., 210
  EXPECT_EQ(wf->delta[0][2], 0.928847);
  EXPECT_EQ(wf->delta[3][2], 0.00482179);
  EXPECT_EQ(wf->ddeltadq[1][2], 0.00151352);
  // q = 210 lies beyond the table (200 MeV/c): no strong interaction, no short-range weight.
  for (int c = 0; c < 4; c++) {
    EXPECT_EQ(wf->delta[c][10], 0.0);
    EXPECT_EQ(wf->wepsilon[c][10], 0.0);
  }
  EXPECT_CLOSE(wf->CalcPsiSquared(10, 0.5, 0.3), FreeNN(210.0, 0.5, 0.3), 1e-12);
}

TEST(NNWaveFunction, ConstructorPrintsItsProgress) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", Pars(2, 40.0, true));
  const std::string out = CAPTURE_STDOUT(CWaveFunction_nn wf((dir / "wf.dat").c_str()));
  const std::string tail =
      "Arrays Initialized\nPartial Waves Initialized\nque pasa?\nhola que tal?\n"
      "Initialization finished\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(NNWaveFunctionDeathTest, IqBeyondTheGridIsFatal) {
  auto wf = Make(Pars(2, 40.0, true));
  EXPECT_FATAL(wf->CalcPsiSquared(5, 1.0, 0.0), "^iq too large!\n$");
}

}  // namespace

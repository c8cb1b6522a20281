// getphaseshift_pipi: every (I, ell) branch against finite differences of its own phase, the
// resonance crossings, the threshold limits and the fatal path for impossible combinations.

#include <cmath>

#include "common/test_util.h"
#include "wavefunctions/wf_pipluspiminus.h"

namespace {

constexpr double kPi = 3.141592653589793;

double Phase(int I, int ell, double q) {
  double d = -99.0, dd = -99.0;
  getphaseshift_pipi(I, ell, q, &d, &dd);
  return d;
}

double Slope(int I, int ell, double q) {
  double d = -99.0, dd = -99.0;
  getphaseshift_pipi(I, ell, q, &d, &dd);
  return dd;
}

struct Branch {
  int I, ell;
};

class PiPiBranch : public ::testing::TestWithParam<Branch> {};

// The closed-form slopes are the derivatives of the phases (centred differences, step 1e-3
// MeV/c). The rho's own slope is a difference quotient over dq = 1 MeV/c, so it is compared more
// loosely; below 20 MeV/c it shrinks dq to q/20, so both sides of that switch are sampled.
TEST_P(PiPiBranch, SlopeIsTheDerivativeOfThePhase) {
  const Branch b = GetParam();
  for (double q : {5.0, 19.5, 20.5, 100.0, 300.0, 359.0, 420.0, 600.0}) {
    const double h = 1e-3;
    const double numeric = (Phase(b.I, b.ell, q + h) - Phase(b.I, b.ell, q - h)) / (2 * h);
    // The rho's quotient over dq errs by (dq^2 / 24) |delta'''| relative to the true slope:
    // up to about 2e-3 where the phase still rises as q^3.
    const double tol = (b.I == 1) ? 2e-3 : 1e-7;
    EXPECT_CLOSE_ABS(Slope(b.I, b.ell, q), numeric, tol, 1e-12) << "q=" << q;
  }
}

TEST_P(PiPiBranch, VanishesAtThreshold) {
  const Branch b = GetParam();
  EXPECT_EQ(Phase(b.I, b.ell, 0.0), 0.0);
  EXPECT_TRUE(std::isfinite(Slope(b.I, b.ell, 0.0)));
  EXPECT_TRUE(std::isfinite(Slope(b.I, b.ell, 1e-9)));
}

INSTANTIATE_TEST_SUITE_P(AllChannels, PiPiBranch,
                         ::testing::Values(Branch{0, 0}, Branch{0, 2}, Branch{1, 1}, Branch{2, 0},
                                           Branch{2, 2}),
                         [](const ::testing::TestParamInfo<Branch>& info) {
                           return "I" + std::to_string(info.param.I) + "_ell" +
                                  std::to_string(info.param.ell);
                         });

TEST(PiPiPhaseShift, ThresholdSlopesOfTheSWaves) {
  // delta ~ t = c q near threshold: the slope is the constant of each s-wave form.
  EXPECT_CLOSE(Slope(0, 0, 0.0), 0.0014615274394612406, femtokit_test::kRoundoff);
  EXPECT_CLOSE(Slope(2, 0, 0.0), -0.0006588050607389837, femtokit_test::kRoundoff);
  EXPECT_EQ(Slope(0, 2, 0.0), 0.0);
  EXPECT_EQ(Slope(2, 2, 0.0), 0.0);
}

TEST(PiPiPhaseShift, IsospinZeroSWaveCrossesNinetyDegreesNear422) {
  EXPECT_LT(Phase(0, 0, 422.0), kPi / 2);
  EXPECT_GT(Phase(0, 0, 423.0), kPi / 2);
  // The phase stays in [0, PI) on both sides of the sign change of its denominator.
  for (double q = 0.0; q <= 1000.0; q += 7.0) {
    EXPECT_GE(Phase(0, 0, q), 0.0) << q;
    EXPECT_LT(Phase(0, 0, q), kPi) << q;
  }
  EXPECT_GT(Slope(0, 0, 422.6), 0.0);
}

TEST(PiPiPhaseShift, RhoCrossesNinetyDegreesAtTheResonanceMomentum) {
  EXPECT_LT(Phase(1, 1, 359.0), kPi / 2);
  EXPECT_GT(Phase(1, 1, 360.0), kPi / 2);
  // At q_r, s = M^2 exactly; the average over q_r +- 0.5 lies within its curvature of PI/2.
  EXPECT_NEAR(Phase(1, 1, 359.39703128990925), kPi / 2, 1e-4);
  EXPECT_GT(Slope(1, 1, 359.4), 0.01);
}

TEST(PiPiPhaseShift, IsospinTwoIsRepulsive) {
  for (double q : {50.0, 200.0, 500.0}) {
    EXPECT_LT(Phase(2, 0, q), 0.0);
    EXPECT_LT(Phase(2, 2, q), 0.0);
  }
}

TEST(PiPiPhaseShift, HigherWavesAreFreeAndUnknownIsospinsUntouched) {
  double d = 7.0, dd = 7.0;
  getphaseshift_pipi(0, 4, 300.0, &d, &dd);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(dd, 0.0);
  d = dd = 7.0;
  getphaseshift_pipi(1, 3, 300.0, &d, &dd);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(dd, 0.0);
  d = dd = 7.0;
  getphaseshift_pipi(3, 1, 300.0, &d, &dd);
  EXPECT_EQ(d, 7.0);
  EXPECT_EQ(dd, 7.0);
  getphaseshift_pipi(-2, 0, 300.0, &d, &dd);
  EXPECT_EQ(d, 7.0);
}

TEST(PiPiPhaseShiftDeathTest, OddIsospinPlusEllIsFatal) {
  double d, dd;
  EXPECT_FATAL(getphaseshift_pipi(0, 1, 100.0, &d, &dd),
               "^pipi phase shift: bad \\(ell,I\\) comb, ell=1, I=0\n$");
  EXPECT_FATAL(getphaseshift_pipi(1, 0, 100.0, &d, &dd),
               "^pipi phase shift: bad \\(ell,I\\) comb, ell=0, I=1\n$");
  EXPECT_FATAL(getphaseshift_pipi(2, 1, 100.0, &d, &dd), "ell=1, I=2\n$");
}

}  // namespace

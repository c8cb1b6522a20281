// getphaseshift_pipi: every (I, ell) branch against finite differences of its own phase, the
// resonance crossings, the threshold limits and the fatal path for impossible combinations.

#include <cmath>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "wavefunctions/wf_pipluspiminus.h"

namespace {

using femtokit::constants::kPi;

// The phase, or with slope = true its derivative, of channel (I, ell) at q.
double Phase(int I, int ell, double q, bool slope = false) {
  double d = -99.0, dd = -99.0;
  getphaseshift_pipi(I, ell, q, &d, &dd);
  return slope ? dd : d;
}

struct Branch {
  int I, ell;
  double slope0;  // threshold slope: the constant c of t = c q for the s waves, 0 otherwise
};

class PiPiBranch : public ::testing::TestWithParam<Branch> {};

// The closed-form slopes are the derivatives of the phases (centred differences, step 1e-3
// MeV/c). The rho's own slope is a difference quotient over dq = 1 MeV/c, which errs by
// (dq^2 / 24) |delta'''|: up to about 2e-3 where the phase still rises as q^3, so it is compared
// more loosely; below 20 MeV/c it shrinks dq to q/20, so both sides of that switch are sampled.
TEST_P(PiPiBranch, SlopeIsTheDerivativeOfThePhase) {
  const Branch b = GetParam();
  for (double q : {5.0, 19.5, 20.5, 100.0, 300.0, 359.0, 420.0, 600.0}) {
    const double h = 1e-3;
    const double numeric = (Phase(b.I, b.ell, q + h) - Phase(b.I, b.ell, q - h)) / (2 * h);
    EXPECT_CLOSE_ABS(Phase(b.I, b.ell, q, true), numeric, b.I == 1 ? 2e-3 : 1e-7, 1e-12)
        << "q=" << q;
  }
}

TEST_P(PiPiBranch, ThresholdLimits) {
  const Branch b = GetParam();
  EXPECT_EQ(Phase(b.I, b.ell, 0.0), 0.0);
  EXPECT_CLOSE_ABS(Phase(b.I, b.ell, 0.0, true), b.slope0, femtokit_test::kRoundoff, 0.0);
  EXPECT_TRUE(std::isfinite(Phase(b.I, b.ell, 1e-9, true)));
}

INSTANTIATE_TEST_SUITE_P(AllChannels, PiPiBranch,
                         ::testing::Values(Branch{0, 0, 0.0014615274394612406}, Branch{0, 2, 0},
                                           Branch{1, 1, 0}, Branch{2, 0, -0.0006588050607389837},
                                           Branch{2, 2, 0}),
                         [](const ::testing::TestParamInfo<Branch>& info) {
                           return "I" + std::to_string(info.param.I) + "_ell" +
                                  std::to_string(info.param.ell);
                         });

// The isospin-0 s wave passes 90 degrees near 422.6 MeV/c and stays in [0, PI) on both sides of
// the sign change of its denominator; the rho passes it at its resonance momentum, where
// s = M^2 exactly (the average over q_r +- 0.5 lies within its curvature of PI/2). Isospin 2 is
// repulsive.
TEST(PiPiPhaseShift, NinetyDegreeCrossingsAndIsospinTwoRepulsion) {
  EXPECT_LT(Phase(0, 0, 422.0), kPi / 2);
  EXPECT_GT(Phase(0, 0, 423.0), kPi / 2);
  for (double q = 0.0; q <= 1000.0; q += 7.0) {
    EXPECT_GE(Phase(0, 0, q), 0.0) << q;
    EXPECT_LT(Phase(0, 0, q), kPi) << q;
  }
  EXPECT_GT(Phase(0, 0, 422.6, true), 0.0);
  EXPECT_LT(Phase(1, 1, 359.0), kPi / 2);
  EXPECT_GT(Phase(1, 1, 360.0), kPi / 2);
  EXPECT_NEAR(Phase(1, 1, 359.39703128990925), kPi / 2, 1e-4);
  EXPECT_GT(Phase(1, 1, 359.4, true), 0.01);
  for (double q : {50.0, 200.0, 500.0}) EXPECT_TRUE(Phase(2, 0, q) < 0.0 && Phase(2, 2, q) < 0.0);
}

// Higher waves are free; isospins outside 0..2 leave the outputs untouched; I + ell odd is fatal.
TEST(PiPiPhaseShift, HigherWavesUnknownIsospinsAndImpossibleCombinations) {
  const double cases[][3] = {{0, 4, 0.0}, {1, 3, 0.0}, {3, 1, 7.0}, {-2, 0, 7.0}};  // I, ell, out
  for (const auto& c : cases) {
    double d = 7.0, dd = 7.0;
    getphaseshift_pipi(int(c[0]), int(c[1]), 300.0, &d, &dd);
    EXPECT_TRUE(d == c[2] && dd == c[2]) << "I=" << c[0] << " ell=" << c[1];
  }
  double d, dd;
  EXPECT_FATAL(getphaseshift_pipi(2, 1, 100.0, &d, &dd),
               "^pipi phase shift: bad \\(ell,I\\) comb, ell=1, I=2\n$");
}

}  // namespace

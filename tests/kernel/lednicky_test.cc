// The Lednicky-Lyuboshitz model: its limits, and agreement with the exact solver for a shallow
// potential and a large source; the analytic free-fermion kernel.

#include "kernel/lednicky.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "numeric/constants.h"
#include "wavefunctions/wf_solved.h"

namespace {

using femtokit::LednickyCF;
using femtokit::LednickyPair;
using femtokit_test::MakeFromPars;
namespace constants = femtokit::constants;

// Limits derived from the formulas (interactions sheet, section 4): no interaction, the k -> 0
// value with d0 = 0, identical fermions with only the singlet interacting, and the Gamow factor.
TEST(Lednicky, LimitsOfTheFormula) {
  const double R = 2.0;
  LednickyPair none{{{1.0, 0, 0.0, 0.0}}, false, 0, 0.0};
  EXPECT_NEAR(LednickyCF(none, R, 30.0), 1.0, 1e-15);
  LednickyPair fermions{{{0.25, 0, 0.0, 0.0}, {0.75, 1, 0.0, 0.0}}, true, 0, 0.0};
  const double k = 30.0 / constants::kHbarC;
  EXPECT_NEAR(LednickyCF(fermions, R, 30.0), 1.0 - 0.5 * std::exp(-4.0 * k * k * R * R), 1e-15);

  const double f0 = 1.5;
  LednickyPair real{{{1.0, 0, f0, 0.0}}, false, 0, 0.0};
  const double t0 = 0.5 * (f0 / R) * (f0 / R) + 2.0 * f0 / (std::sqrt(constants::kPi) * R);
  EXPECT_CLOSE(LednickyCF(real, R, 1e-6), 1.0 + t0, 1e-9);
  // Identical fermions, singlet only: 1 - e/2 + T_0/2 -> 1/2 + T_0/2 at k = 0.
  LednickyPair nn{{{0.25, 0, f0, 0.0}, {0.75, 1, 0.0, 0.0}}, true, 0, 0.0};
  EXPECT_CLOSE(LednickyCF(nn, R, 1e-6), 0.5 + 0.5 * t0, 1e-9);

  // Charged, no strong interaction: the Gamow factor, -> 1 at large q.
  const double mu = constants::kMassProton / 2.0;
  LednickyPair coul{{{1.0, 0, 0.0, 0.0}}, false, 1, mu};
  const double eta = constants::kAlpha * mu / 20.0;
  EXPECT_CLOSE(LednickyCF(coul, R, 20.0), 2 * constants::kPi * eta / std::expm1(2 * constants::kPi * eta),
               1e-12);
  const double small = constants::kAlpha * mu / 5000.0;  // A_c = 1 - pi eta + O(eta^2)
  EXPECT_NEAR(LednickyCF(coul, R, 5000.0), 1.0 - constants::kPi * small, 1e-5);
  // Absorption (Im f0 > 0) lowers C below the real-f0 value.
  LednickyPair absorbing{{{1.0, 0, {f0, 0.8}, 0.0}}, false, 0, 0.0};
  EXPECT_LT(LednickyCF(absorbing, R, 20.0), LednickyCF(real, R, 20.0));
  EXPECT_FATAL(LednickyCF(real, 0.0, 10.0), "needs R > 0");
}

// C(q_iq) = int d^3r S(r) |psi|^2 for a Gaussian source of radius R: midpoint rules, 0.05 fm in
// r up to 12 R and `nangles` points in cos theta.
double ExactCorrelation(CWaveFunction_solved& wf, int iq, double R, int nangles) {
  double c = 0.0;
  for (double r = 0.025; r < 12.0 * R; r += 0.05) {
    double mean = 0.0;
    for (int i = 0; i < nangles; i++)
      mean += wf.CalcPsiSquared(iq, r, -1.0 + (i + 0.5) * 2.0 / nangles);
    const double s = std::exp(-r * r / (4 * R * R)) / std::pow(4 * constants::kPi * R * R, 1.5);
    c += 4 * constants::kPi * r * r * s * mean / nangles * 0.05;
  }
  return c;
}

// For a shallow attractive Gaussian and a source much larger than the interaction range, the
// exact C(q) = int d^3r S(r) |psi|^2 approaches the model built from the solver's own a and r0.
TEST(Lednicky, ApproachesTheExactSolutionForLargeSources) {
  femtokit::SolvedPair pair;
  pair.name = "shallow";
  pair.m1 = pair.m2 = constants::kMassProton;
  pair.channels = {{"s", 0, 1.0,
                    {{"S", 0, -1,
                      std::make_shared<femtokit::GaussianSum>(
                          std::vector<femtokit::GaussianSum::Gaussian>{{-15.0, 1.2}},
                          std::vector<femtokit::GaussianSum::Tail>{})}}}};
  const auto wf = MakeFromPars<CWaveFunction_solved>("int NQMAX 4\ndouble DELQ 15.0\n", nullptr, pair);
  const femtokit::EffectiveRange er = femtokit::EffectiveRangeParameters(wf->Wave(0, 0));
  const LednickyPair ll{{{1.0, 0, -er.a, er.r0}}, false, 0, 0.0};
  const double R = 5.0;
  for (int iq = 0; iq < wf->GetNQMAX(); iq++)
    EXPECT_CLOSE(ExactCorrelation(*wf, iq, R, 64) - 1.0, LednickyCF(ll, R, wf->GetQ(iq)) - 1.0,
                 0.02)
        << "q " << wf->GetQ(iq);
}

// Identical fermions: the exact nn C(q) for a 3 fm source against the model with the solver's
// 1S0 scattering length and effective range (the P waves, left out of the model, are small).
TEST(Lednicky, IdenticalFermionsFollowTheExactNeutronPairs) {
  const auto wf = MakeFromPars<CWaveFunction_solved>("int NQMAX 3\ndouble DELQ 10.0\n", nullptr,
                                                     femtokit::ReidNeutronNeutron());
  const femtokit::EffectiveRange er = femtokit::EffectiveRangeParameters(wf->Wave(0, 0));
  const LednickyPair ll{{{0.25, 0, -er.a, er.r0}, {0.75, 1, 0.0, 0.0}}, true, 0, 0.0};
  const double R = 3.0;
  for (int iq = 0; iq < wf->GetNQMAX(); iq++)
    EXPECT_CLOSE(ExactCorrelation(*wf, iq, R, 32), LednickyCF(ll, R, wf->GetQ(iq)), 0.02)
        << "q " << wf->GetQ(iq);
}

// The free-fermion kernel against the solver's nn wave function without its potentials.
TEST(PureFermionKernel, EqualsTheFreeIdenticalFermionWave) {
  const char kPars[] =
      "int NQMAX 3\nint NRMAX 6\nint KLMAX 4\ndouble DELQ 20.0\ndouble DELR 1.0\nbool IDENTICAL 1\n";
  const auto analytic = MakeFromPars<CKernel>(kPars), numeric = MakeFromPars<CKernel>(kPars);
  const auto wf = MakeFromPars<CWaveFunction_solved>("int NQMAX 3\ndouble DELQ 20.0\nbool STRONG 0\n",
                                                     nullptr, femtokit::ReidNeutronNeutron());
  analytic->Calc_PureFermion();
  numeric->Calc(wf.get());
  for (int ell = 0; ell <= 4; ell += 2)
    for (int iq = 0; iq < 3; iq++)
      for (int ir = 0; ir < 6; ir++)
        EXPECT_NEAR(analytic->GetValue(ell, iq, ir), numeric->GetValue(ell, iq, ir), 2e-5)
            << "ell " << ell << " iq " << iq << " ir " << ir;
  // K_0 = -j_0(2 q r / hbar c) / 2 at q = 10 MeV/c, r = 0.5 fm.
  const double x = 2.0 * 10.0 * 0.5 / constants::kHbarC;
  EXPECT_NEAR(analytic->GetValue(0, 0, 0), -0.5 * std::sin(x) / x, 1e-12);
}

}  // namespace

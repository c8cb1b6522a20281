// The neutron-proton pair: the triplet spin sum over J against its two independent limits,
// the Reid93 np channels (deuteron channel, mixing angle) and the free limit of the pair.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "wavefunctions/spinsum.h"
#include "wavefunctions/tripletsum.h"
#include "wavefunctions/wf_solved.h"

namespace {

using cdouble = std::complex<double>;
using femtokit::TripletSpinSum;
namespace constants = femtokit::constants;
constexpr double kDeg = 180.0 / constants::kPi;

// A plane-wave value and arbitrary corrections of the size met inside the potential.
const cdouble kPlane(0.6, -0.8);
const std::vector<cdouble> kD = {{0.3, -0.7}, {-0.2, 0.5}, {0.9, 0.1}, {-0.4, -0.6}, {0.25, 0.35}};

class TripletSum : public ::testing::TestWithParam<double> {};

// One correction shared by every J of an ell: the spin sum collapses to the spinless partial-wave
// sum (the Clebsch-Gordan completeness over J). Catches wrong couplings or normalisations.
TEST_P(TripletSum, JIndependentCorrectionsGiveTheSpinlessSum) {
  const double c = GetParam();
  const TripletSpinSum sum({{0, 1}, {1, 0}, {1, 1}, {1, 2}, {2, 1}, {2, 2}, {2, 3}});
  const cdouble dl[3] = {kD[0], kD[1], kD[2]};
  const std::vector<cdouble> d = {dl[0], dl[1], dl[1], dl[1], dl[2], dl[2], dl[2]};
  const double p2 = 0.5 * (3.0 * c * c - 1.0);
  const cdouble spinless = kPlane + 0.5 * dl[0] + 1.5 * cdouble(0, 1) * c * dl[1] -
                           2.5 * p2 * dl[2];
  EXPECT_NEAR(sum.PsiSquared(kPlane, d.data(), c), std::norm(spinless), 1e-12);
}

// P waves split by J: the triplet part of the identical-nucleon sum (spinsum.h, written out with
// closed-form harmonics) with the plane wave in place of the antisymmetrised one and its
// corrections divided by sqrt 2 (the symmetrisation factor) is the same spin sum.
TEST_P(TripletSum, PWavesAgreeWithTheNucleonNucleonSum) {
  const double c = GetParam();
  const TripletSpinSum sum({{1, 0}, {1, 1}, {1, 2}});
  const cdouble d3p0 = kD[0], d3p1 = kD[1], d3p2 = kD[2];
  const double r2 = std::sqrt(2.0);
  SpinSum::Corrections k;
  k.d1 = 0.5 * (d3p1 + d3p2) / r2;
  k.d2 = 0.5 * (d3p1 - d3p2) / r2;
  k.d3 = (2.0 * d3p2 + d3p0) / 3.0 / r2;
  k.d4 = (d3p2 - d3p0) / 3.0 / r2;
  const std::vector<cdouble> d = {d3p0, d3p1, d3p2};
  EXPECT_NEAR(sum.PsiSquared(kPlane, d.data(), c),
              SpinSum::PsiSquared(0.0, kPlane, k, c) / 0.75, 1e-12);
  // No correction: the plane wave.
  const std::vector<cdouble> zero(3);
  EXPECT_NEAR(sum.PsiSquared(kPlane, zero.data(), c), std::norm(kPlane), 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Angles, TripletSum, ::testing::Values(-1.0, -0.55, 0.0, 0.3, 0.81, 1.0));

TEST(TripletSumDeathTest, RejectsImpossibleOrPartialJ) {
  EXPECT_FATAL(TripletSpinSum({{0, 0}}), "no total J=0 for ell=0");
  EXPECT_FATAL(TripletSpinSum({{1, 1}, {1, 1}}), "given twice");
  // A triplet with J on some waves only would silently mix two sums.
  femtokit::SolvedPair pair = femtokit::ReidNeutronProton();
  pair.channels[1].waves[2].j = -1;
  femtokit_test::ScratchDir dir;
  femtokit_test::WriteTextFile(dir / "wf.dat", "int NQMAX 1\ndouble DELQ 10.0\n");
  EXPECT_FATAL(CWaveFunction_solved((dir / "wf.dat").c_str(), pair), "for all or none");
}

std::unique_ptr<CWaveFunction_solved> MakeNp(const std::string& pars) {
  return femtokit_test::MakeFromPars<CWaveFunction_solved>(pars, nullptr,
                                                           femtokit::ReidNeutronProton());
}

// The deuteron is bound in 3S1-3D1: the reported 3S1 phase follows Levinson's branch, from
// 180 deg at q = 0 falling through 90 deg (near q = 90 MeV/c) without a jump, and the mixing
// angle epsilon_1 (nuclear-bar, on that branch) is small and positive, as in the Nijmegen
// analysis (about 1.2 deg at T_lab = 10 MeV).
TEST(ReidNeutronProton, DeuteronChannelStartsAt180DegreesAndFalls) {
  const auto wf = MakeNp("int NQMAX 16\ndouble DELQ 8.0\n");  // q = 4 .. 124 MeV/c
  double previous = 180.0;
  for (int iq = 0; iq < wf->GetNQMAX(); iq++) {
    const femtokit::WaveSolution& s = wf->Solution(1, 0, iq);
    const double delta = s.delta * kDeg;
    EXPECT_LT(delta, previous) << "q " << wf->GetQ(iq);
    EXPECT_GT(delta, previous - 20.0) << "q " << wf->GetQ(iq);
    EXPECT_GT(s.mixing * kDeg, 0.0) << "q " << wf->GetQ(iq);
    EXPECT_LT(s.mixing * kDeg, 3.0) << "q " << wf->GetQ(iq);
    previous = delta;
  }
  EXPECT_GT(wf->Solution(1, 0, 0).delta * kDeg, 170.0);
  EXPECT_LT(previous, 80.0);
}

// Without the strong interaction the distinct pair is the plane wave: |psi|^2 = 1 everywhere,
// through the J-split triplet sum as well.
TEST(ReidNeutronProton, StrongOffIsThePlaneWave) {
  const auto wf = MakeNp("int NQMAX 4\ndouble DELQ 20.0\nbool STRONG 0\n");
  for (int iq = 0; iq < 4; iq++)
    for (const double r : {0.0, 0.7, 2.5, 15.0})
      for (const double c : {-1.0, 0.1, 0.6})
        EXPECT_NEAR(wf->CalcPsiSquared(iq, r, c), 1.0, 1e-8);
}

}  // namespace

// Cauchy, exponential and Levy-stable sources: normalisation on the array grid,
// the identical-boson correlation function through kernel and transform, the
// Levy limits and tail, and the angular projection of out-side-long sources.

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel_test_util.h"
#include "kernel/s2cf.h"
#include "numeric/constants.h"
#include "numeric/threads.h"
#include "source/sourcecalc_cauchy.h"
#include "source/sourcecalc_exponential.h"
#include "source/sourcecalc_gaussian.h"
#include "source/sourcecalc_levy.h"
#include "source/sourcemodels.h"

namespace {

using femtokit::constants::kHbarC;
using femtokit::constants::kPi;

// Leading tail coefficient of the unit Levy density, f ~ c rho^(-3-alpha).
double LevyTail(double alpha) {
  return std::tgamma(alpha + 2.0) * std::sin(kPi * alpha / 2.0) / (2.0 * kPi * kPi);
}

// One analytic source: registry name, parameters, the fraction of lambda within
// radius x R (closed form) and C(q) - 1 for identical bosons with x = 2 q R / hbar c.
struct AnalyticCase {
  std::string label, model;
  double lambda, R, alpha;
  std::function<double(double x)> inside;
  std::function<double(double x)> cf;
  double qmin;  // heavy tails: the grid's cut-off shows below this q (MeV/c)
  double cftol;
};

std::unique_ptr<CSourceCalc> Make(const AnalyticCase& c) {
  auto calc = femtokit::MakeSourceCalc(c.model);
  parameter::set(calc->spars, "lambda", c.lambda);
  parameter::set(calc->spars, "R", c.R);
  if (c.alpha > 0.0) parameter::set(calc->spars, "alpha", c.alpha);
  return calc;
}

class AnalyticSource : public ::testing::TestWithParam<AnalyticCase> {};

// 4 pi sum r^2 dr S over the grid equals lambda times the part of the source
// inside the grid (exactly lambda for the Gaussian).
TEST_P(AnalyticSource, NormCheckIsLambdaWithinTheGrid) {
  const AnalyticCase& c = GetParam();
  auto calc = Make(c);
  CCHArray A(0, 2000, 0.1);
  calc->CalcS(&A);
  EXPECT_CLOSE(femtokit_test::PrintedNorm(calc.get(), &A), c.lambda * c.inside(200.0 / c.R), 1e-4);
}

// The symmetrised plane-wave kernel turns S into lambda times its
// characteristic function at k = 2q / hbar c.
TEST_P(AnalyticSource, IdenticalBosonCorrelationThroughKernel) {
  const AnalyticCase& c = GetParam();
  auto calc = Make(c);
  femtokit_test::ScratchDir dir;
  constexpr int kNQ = 30, kNR = 4000;
  constexpr double kDQ = 5.0, kDR = 0.05;
  auto kernel = kernel_test::MakeKernel(dir, kNQ, kDQ, kNR, kDR, 0, true);
  kernel->Calc_PureHBT();
  CCHArray S(0, kNR, kDR, true, true, true), CF(0, kNQ, kDQ, true, true, true);
  calc->CalcS(&S);
  S2CF::s2c(&S, kernel.get(), &CF);
  for (int iq = 0; iq < kNQ; iq++) {
    const double q = (iq + 0.5) * kDQ;
    if (q < c.qmin) continue;
    EXPECT_CLOSE_ABS(CF.GetElement(0, 0, 0, iq), c.lambda * c.cf(2.0 * q * c.R / kHbarC), 0.0,
                     c.cftol * c.lambda)
        << "q=" << q;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, AnalyticSource,
    ::testing::Values(
        AnalyticCase{"exponential", "exponential", 0.7, 1.5, 0.0,
                     [](double x) { return 1.0 - std::exp(-x) * (1.0 + x + 0.5 * x * x); },
                     [](double x) { return 1.0 / ((1.0 + x * x) * (1.0 + x * x)); }, 0.0, 1e-4},
        AnalyticCase{"cauchy", "cauchy1d", 0.6, 2.0, 0.0,
                     [](double x) { return 2.0 / kPi * (std::atan(x) - x / (1.0 + x * x)); },
                     [](double x) { return std::exp(-x); }, 10.0, 2e-4},
        // Levy 1.5: the tail fraction (4 pi c/alpha) x^-alpha is the leading term only
        // (the next is ~x^-alpha smaller, 1e-3 here).
        AnalyticCase{
            "levy15", "levy1d", 0.5, 2.0, 1.5,
            [](double x) { return 1.0 - 4.0 * kPi * LevyTail(1.5) / 1.5 * std::pow(x, -1.5); },
            [](double x) { return std::exp(-std::pow(x, 1.5)); }, 10.0, 2e-4}),
    [](const ::testing::TestParamInfo<AnalyticCase>& info) { return info.param.label; });

// alpha = 1 is the Cauchy source (independent closed form, through the series,
// tail series and ray integral); just below alpha = 2 the numerical paths meet
// the Gaussian.
TEST(LevyStableDensity, LimitsAlphaOneAndTwo) {
  for (double rho : {0.0, 1e-3, 0.3, 0.9, 1.0, 1.7, 3.0, 8.0, 30.0, 300.0, 1e4}) {
    const double cauchy = 1.0 / (kPi * kPi * std::pow(1.0 + rho * rho, 2));
    EXPECT_CLOSE(femtokit::LevyStableDensity3D(rho, 1.0), cauchy, 1e-6) << rho;
    const double gauss = std::exp(-rho * rho / 4.0) / std::pow(4.0 * kPi, 1.5);
    EXPECT_CLOSE(femtokit::LevyStableDensity3D(rho, 2.0), gauss, 1e-12) << rho;
  }
  // f is continuous in alpha: alpha = 2 - 1e-6 differs from the Gaussian by O(1e-6)
  // where the Gaussian dominates (rho <= 6), through the series and the ray integral.
  for (double rho : {0.0, 0.5, 2.0, 4.0, 6.0}) {
    const double gauss = std::exp(-rho * rho / 4.0) / std::pow(4.0 * kPi, 1.5);
    EXPECT_CLOSE(femtokit::LevyStableDensity3D(rho, 2.0 - 1e-6), gauss, 1e-4) << rho;
  }
}

// The unit density integrates to 1 (with the tail beyond rho = 1e4 added from
// its leading term), on both sides of alpha = 1 where the series change roles.
TEST(LevyStableDensity, UnitNormalisation) {
  for (double alpha : {0.7, 1.3, 1.8}) {
    // Midpoint rule in u = ln rho: 4 pi int rho^3 f du.
    double sum = 0.0;
    const double u0 = std::log(1e-4), u1 = std::log(1e4);
    const int n = 4000;
    std::vector<double> rho(n);
    for (int i = 0; i < n; i++) rho[i] = std::exp(u0 + (i + 0.5) * (u1 - u0) / n);
    const std::vector<double> f = femtokit::LevyStableDensity3D(rho, alpha);
    for (int i = 0; i < n; i++) sum += 4.0 * kPi * std::pow(rho[i], 3) * f[i] * (u1 - u0) / n;
    sum += 4.0 * kPi * LevyTail(alpha) / alpha * std::pow(1e4, -alpha);
    EXPECT_CLOSE(sum, 1.0, 1e-5) << alpha;
  }
}

// For alpha < 2 the density decreases monotonically and its local power law
// approaches -3 - alpha.
TEST(LevyStableDensity, MonotoneTailWithPowerMinusThreeMinusAlpha) {
  for (double alpha : {0.5, 1.0, 1.5, 1.9}) {
    double previous = HUGE_VAL;
    for (double lr = -2.0; lr <= 4.0; lr += 0.05) {
      const double f = femtokit::LevyStableDensity3D(std::pow(10.0, lr), alpha);
      EXPECT_LT(f, previous) << "alpha=" << alpha << " rho=10^" << lr;
      previous = f;
    }
    const double slope = std::log(femtokit::LevyStableDensity3D(2e4, alpha) /
                                  femtokit::LevyStableDensity3D(1e4, alpha)) /
                         std::log(2.0);
    EXPECT_CLOSE(slope, -3.0 - alpha, 2e-3) << alpha;
    EXPECT_CLOSE(femtokit::LevyStableDensity3D(1e4, alpha),
                 LevyTail(alpha) * std::pow(1e4, -3.0 - alpha), 0.05)
        << alpha;
  }
}

// The tabulated path for many points agrees with point-by-point evaluation, and
// does not depend on the thread count.
TEST(LevyStableDensity, TableAgreesWithDirectEvaluationForAnyThreadCount) {
  std::vector<double> rho;
  for (int i = 0; i < 5000; i++) rho.push_back(0.003 * i);
  femtokit::SetThreadCount(1);
  const std::vector<double> one = femtokit::LevyStableDensity3D(rho, 1.4);
  femtokit::SetThreadCount(2);
  const std::vector<double> two = femtokit::LevyStableDensity3D(rho, 1.4);
  femtokit::SetThreadCount(0);
  EXPECT_EQ(one, two);
  for (int i = 0; i < 5000; i += 97)
    EXPECT_CLOSE(one[i], femtokit::LevyStableDensity3D(rho[i], 1.4), 1e-7) << rho[i];
}

// The three-dimensional Gaussian source, its radial bins on the threads, equals the one-thread
// array exactly (an offset source: every component is filled).
TEST(GaussianSource, ThreadsGiveTheOneThreadArray) {
  CSourceCalc_Gaussian gauss;
  gauss.SetSPars(0.7, 2.0, 3.0, 4.0, 0.5, -0.3, 0.2, 0.1, 0.2, 0.3);
  CCHArray one(4, 30, 0.5), two(4, 30, 0.5);
  femtokit::SetThreadCount(1);
  gauss.CalcS(&one);
  femtokit::SetThreadCount(2);
  gauss.CalcS(&two);
  femtokit::SetThreadCount(0);
  femtokit_test::ExpectSameStored(one, two, 0.0, 0.0);  // exactly
  EXPECT_NE(one.GetElement(1, 1, 1, 4), 0.0);
}

// The out-side-long form at alpha = 2 is the axis-aligned Gaussian model with
// radii Ro, Rs, Rl (compared where that model's truncated exponential series is
// good to 1e-6 at LMAX 8: r below ~1.2 Rmin; beyond, the series drifts while the
// projection here stays exact, see EllipticSources), and integrates to lambda.
TEST(LevySource, OutSideLongAlphaTwoIsTheGaussianModel) {
  CSourceCalc_Levy3D levy;
  levy.SetSPars(0.6, 2.0, 3.0, 4.0, 2.0);
  CSourceCalc_Gaussian gauss;
  gauss.SetSPars(0.6, 2.0, 3.0, 4.0);
  CCHArray a(8, 100, 0.25, true, true, true), b(8, 100, 0.25, true, true, true);
  levy.CalcS(&a);
  gauss.CalcS(&b);
  EXPECT_CLOSE(femtokit_test::PrintedNorm(&levy, &a), 0.6, 1e-4);
  for (int ir = 0; ir < 10; ir++) {
    EXPECT_CLOSE(a.GetElement(0, 0, 0, ir), b.GetElement(0, 0, 0, ir), 1e-6) << ir;
    EXPECT_CLOSE_ABS(a.GetElement(0, 2, 0, ir), b.GetElement(0, 2, 0, ir), 1e-5,
                     1e-8 * b.GetElement(0, 0, 0, ir))
        << ir;
  }
}

// Out-side-long sources: the AExp components are the angular projections
//   A000 = <S>,  A002 = (15/2) <S (ez^2 - 1/3)>,  A011 = (15/2) <S ey ez>
// (angular averages <.>, here by a fine midpoint rule); the Levy form at
// alpha = 1 equals the Cauchy one; equal radii leave only A000.
TEST(EllipticSources, ComponentsAreAngularProjections) {
  CSourceCalc_Cauchy3D cauchy;
  cauchy.SetSPars(0.9, 2.0, 3.0, 4.5);
  CSourceCalc_Levy3D levy;
  levy.SetSPars(0.9, 2.0, 3.0, 4.5, 1.0);
  CCHArray A(4, 30, 0.5, true, true, true), B(4, 30, 0.5, true, true, true);
  cauchy.CalcS(&A);
  levy.CalcS(&B);
  auto S = [](double x, double y, double z) {
    const double d = 1.0 + x * x / 4.0 + y * y / 9.0 + z * z / 20.25;
    return 0.9 / (kPi * kPi * 2.0 * 3.0 * 4.5 * d * d);
  };
  // Midpoint rule in cos(theta) (error ~ h^2, removed by Richardson extrapolation
  // from n and 2n points), trapezoid in phi (spectrally accurate).
  auto averages = [&](double r, int nt, double& s0, double& s2) {
    s0 = s2 = 0.0;
    const int np = 64;
    for (int it = 0; it < nt; it++) {
      const double ct = -1.0 + (it + 0.5) * 2.0 / nt, st = std::sqrt(1.0 - ct * ct);
      for (int ip = 0; ip < np; ip++) {
        const double ph = (ip + 0.5) * 2.0 * kPi / np;
        const double v = S(r * st * std::cos(ph), r * st * std::sin(ph), r * ct) / (nt * np);
        s0 += v;
        s2 += v * (ct * ct - 1.0 / 3.0);
      }
    }
  };
  for (int ir : {0, 5, 17, 29}) {
    const double r = (ir + 0.5) * 0.5;
    double s0, s2, t0, t2;
    averages(r, 1000, s0, s2);
    averages(r, 2000, t0, t2);
    s0 = (4.0 * t0 - s0) / 3.0;
    s2 = (4.0 * t2 - s2) / 3.0;
    EXPECT_CLOSE(A.GetElement(0, 0, 0, ir), s0, 1e-8) << ir;
    EXPECT_CLOSE(A.GetElement(0, 0, 2, ir), 7.5 * s2, 1e-7) << ir;
    for (int ly = 0; ly <= 4; ly += 2)
      for (int lz = 0; lz + ly <= 4; lz += 2)
        EXPECT_CLOSE_ABS(B.GetElement(0, ly, lz, ir), A.GetElement(0, ly, lz, ir), 1e-6, 1e-8 * s0);
  }
  cauchy.SetSPars(0.9, 3.0, 3.0, 3.0);
  cauchy.CalcS(&A);
  CSourceCalc_Cauchy1D iso;
  iso.SetSPars(0.9, 3.0);
  const std::vector<double> s = iso.Density({0.25, 7.25});
  EXPECT_CLOSE(A.GetElement(0, 0, 0, 0), s[0], 1e-12);
  EXPECT_CLOSE(A.GetElement(0, 0, 0, 14), s[1], 1e-12);
  EXPECT_CLOSE_ABS(A.GetElement(0, 2, 2, 14), 0.0, 0.0, 1e-14 * s[1]);
}

// The component form agrees with the whole computation and leaves other
// components alone; isotropic models write zero into L > 0 components.
TEST(SourceComponents, ComponentFormMatchesWholeComputation) {
  CSourceCalc_Levy3D levy;
  levy.SetSPars(1.0, 2.0, 3.0, 4.0, 1.5);
  CCHArray whole(2, 10, 1.0), part(2, 10, 1.0);
  levy.CalcS(&whole);
  part.SetElement(0, 2, 0, 3, 42.0);
  levy.CalcS(0, 0, 2, &part);
  for (int ir = 0; ir < 10; ir++)
    EXPECT_EQ(part.GetElement(0, 0, 2, ir), whole.GetElement(0, 0, 2, ir));
  EXPECT_EQ(part.GetElement(0, 2, 0, 3), 42.0);
  CSourceCalc_Exponential expo;
  part.SetElement(1, 0, 1, 2, 5.0);
  expo.CalcS(1, 0, 1, &part);
  EXPECT_EQ(part.GetElement(1, 0, 1, 2), 0.0);
  expo.CalcS(&part);
  EXPECT_EQ(part.GetElement(0, 2, 0, 3), 0.0);
  EXPECT_GT(part.GetElement(0, 0, 0, 3), 0.0);
}

}  // namespace

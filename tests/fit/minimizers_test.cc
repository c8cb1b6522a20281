// The minimisers on chi-squares known in closed form (see fit_test_model.h): Newton's iteration
// count, evaluation count, bound handling and error matrix; the two matrix helpers; steepest
// descent's stopping rule; the Metropolis walk's acceptance, statistics and its guarded corner
// cases. How fits end: data that make chi^2 meaningless are refused before any evaluation, a
// chi^2 that is not finite stops the fit, and every Newton run ends with a verdict whose p-value
// and convergence flag say whether the result can be used.

#include <cmath>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "fit/cf2sfit.h"
#include "fit_test_model.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::kSixDigits;
using fit_test::BinsProblem;
using femtokit_test::CountOf;
using fit_test::Identity;

// chi^2 = sum_q (M p - t)_q^2 / sigma_q^2 with a correlated M; minimum at
// p* = (0.8, 1.2) where chi^2 = 0. Its curvature 2 M^T diag(1/sigma^2) M is
// C = ((8.125, 4.5), (4.5, 4)), det C = 12.25.
const std::vector<std::vector<double>> kM = {{1.0, 0.5}, {0.25, 1.0}};
const std::vector<double> kSigma = {0.5, 1.0};
const std::vector<double> kTarget = {0.8 + 0.5 * 1.2, 0.25 * 0.8 + 1.2};
const double kCinv[2][2] = {{4.0 / 12.25, -4.5 / 12.25}, {-4.5 / 12.25, 8.125 / 12.25}};

class NewtonIterations : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(NewtonIterations, AtMostTwoIterationsEachWithItsEvaluationCount) {
  const int maxtries = GetParam().first;
  const int iterations = GetParam().second;
  BinsProblem problem(kM, kTarget, kSigma, {0.5, 1.0});
  CCF2SFit& fit = *problem.fit;
  const std::string out = CAPTURE_STDOUT(fit.Newton(maxtries));
  EXPECT_EQ(CountOf(out, "SUCCESS!!!!!!!!!!!\n"), iterations);
  // 1 + 2n + 2n(n-1) = 9 evaluations per iteration before its trials (n = 2);
  // each "delx[] =" line is a trial, those stopped by a bound are not evaluated.
  const int trials = CountOf(out, "delx[] = ") - CountOf(out, "Stepped outside min/max");
  EXPECT_EQ(fit.Ncalls, 9 * iterations + trials);
  EXPECT_EQ(CountOf(out, "Curvature[1][0]="), iterations);
  // Convergence is confirmed only at a point reached by a step: after the second iteration.
  EXPECT_EQ(fit.Verdict().converged, iterations == 2);
  EXPECT_EQ(fit.Verdict().ndof, 0);
  // The quadratic is minimised by the first step (six digits reach the model).
  EXPECT_CLOSE_ABS(fit.par[0]->currentx, 0.8, kSixDigits, 1e-6);
  EXPECT_CLOSE_ABS(fit.par[1]->currentx, 1.2, kSixDigits, 1e-6);
  EXPECT_LT(fit.currentchi2, 1e-10);
  // The error matrix is the inverse curvature (from six-digit trial values).
  for (int i = 0; i < 2; i++) {
    for (int j = 0; j < 2; j++) EXPECT_CLOSE(fit.ErrorMatrix[i][j], kCinv[i][j], kSixDigits);
    EXPECT_CLOSE(fit.par[i]->error, std::sqrt(kCinv[i][i]), kSixDigits);
  }
}

INSTANTIATE_TEST_SUITE_P(MaxTries, NewtonIterations,
                         ::testing::Values(std::make_pair(0, 1), std::make_pair(1, 1),
                                           std::make_pair(2, 2), std::make_pair(6, 2)));

TEST(NewtonTest, OneFreeParameterAndFixedOnesGetZeroErrors) {
  // Three independent bins, two of them fixed: chi^2 = (A - 0.8)^2 / 0.25 + ...
  BinsProblem problem(Identity(3), {0.8, 0.0, 0.0}, {0.5, 1.0, 1.0}, {0.5, 1.0, 2.0});
  CCF2SFit& fit = *problem.fit;
  CAPTURE_STDOUT(fit.FixPar("B"), fit.FixPar("C"));
  const std::string out = CAPTURE_STDOUT(fit.Newton(1));
  // Three evaluations (centre, +, -) before the first trial, no mixed terms.
  EXPECT_EQ(CountOf(out.substr(0, out.find("delx[] = ")), "In GetChiSquare"), 3);
  EXPECT_CLOSE(fit.par[0]->currentx, 0.8, kSixDigits);
  EXPECT_CLOSE(fit.par[0]->error, 0.5 / std::sqrt(2.0), 1e-6);  // C = 2 / sigma^2
  for (int i = 1; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_TRUE(fit.ErrorMatrix[i][j] == 0.0 && fit.par[i]->error == 0);
  // The fixed parameters (order A, C, B after the exchanges) never moved.
  EXPECT_TRUE(fit.par[1]->currentx == 2.0 && fit.par[2]->currentx == 1.0);
}

TEST(NewtonTest, StepLeavingBoundIsHalvedAndBoundIsInside) {
  // Full step to 0.8 leaves [0, 0.7]; half of it lands at 0.65.
  BinsProblem problem(Identity(1), {0.8}, {1.0}, {0.5}, 0.1, 0.0, 0.7);
  CCF2SFit& fit = *problem.fit;
  const std::string out = CAPTURE_STDOUT(fit.Newton(1));
  EXPECT_EQ(CountOf(out, "Stepped outside min/max, will rescale delx[]\n"), 1);
  EXPECT_CLOSE(fit.par[0]->currentx, 0.65, kSixDigits);
  EXPECT_CLOSE(fit.currentchi2, 0.15 * 0.15, kSixDigits);
  BinsProblem onbound(Identity(1), {0.8}, {1.0}, {0.5}, 0.1, 0.0, 0.8);
  EXPECT_EQ(CountOf(CAPTURE_STDOUT(onbound.fit->Newton(1)), "Stepped outside"), 0);
}

TEST(NewtonDeathTest, SixthBoundViolationInOneIterationIsFatal) {
  // The start lies below the lower bound: every halved step stays outside.
  BinsProblem problem(Identity(1), {0.8}, {1.0}, {0.5}, 0.1, 10.0, 20.0);
  EXPECT_FATAL(problem.fit->Newton(1),
               "Curvature\\[0\\]\\[0\\]=[^\n]* ___\n"
               "(delx\\[\\] = [^\n]*\nStepped outside min/max, will rescale delx\\[\\]\n){6}$");
}

TEST(NewtonTest, WorseTrialIsHalvedUntilItEqualsTheStart) {
  // chi^2 = (A^3 - 1)^2 has negative curvature at A = 0.5: Newton's step points
  // uphill, and halving ends once the step is below six significant digits.
  BinsProblem problem(Identity(1), {1.0}, {1.0}, {0.5}, 0.02, -100.0, 100.0, true);
  CCF2SFit& fit = *problem.fit;
  const std::string out = CAPTURE_STDOUT(fit.Newton(1));
  EXPECT_GT(CountOf(out, "new chi^2 bigger than previous, will rescale delx[]\n"), 10);
  // No step lowered chi^2 and the point is no minimum: no success, and the verdict says so.
  EXPECT_EQ(CountOf(out, "SUCCESS"), 0);
  EXPECT_FALSE(fit.Verdict().converged);
  EXPECT_NE(fit.Verdict().reason.find("not positive definite"), std::string::npos);
  EXPECT_CLOSE(fit.par[0]->currentx, 0.5, 2e-6);
  EXPECT_CLOSE(fit.currentchi2, 0.875 * 0.875, kRoundoff);
  EXPECT_TRUE(std::isfinite(fit.par[0]->error));
}

TEST(NewtonTest, SingularCurvatureOrNoFreeParameterStopsAtTheStart) {
  // Parameter B does not enter the model: its row and column of C vanish.
  BinsProblem problem({{1.0, 0.0}, {0.0, 0.0}}, {0.8, 0.0}, {1.0, 1.0}, {0.5, 2.0});
  CCF2SFit& fit = *problem.fit;
  const std::string out = CAPTURE_STDOUT(fit.Newton(6));
  EXPECT_EQ(CountOf(out, "Newton: curvature matrix is singular or not finite"), 1);
  EXPECT_EQ(CountOf(out, "SUCCESS"), 0);
  EXPECT_EQ(fit.Ncalls, 9);
  EXPECT_TRUE(fit.par[0]->currentx == 0.5 && fit.par[1]->currentx == 2.0);
  EXPECT_CLOSE(fit.currentchi2, 0.09, kRoundoff);
  EXPECT_EQ(fit.par[0]->error, 0.1);
  EXPECT_FALSE(fit.Verdict().converged);
  EXPECT_NE(fit.Verdict().reason.find("no step possible"), std::string::npos);
  // With nothing free, one evaluation.
  BinsProblem fixed(Identity(1), {0.8}, {1.0}, {0.5});
  CAPTURE_STDOUT(fixed.fit->FixPar("A"), fixed.fit->Newton(6));
  EXPECT_EQ(fixed.fit->Ncalls, 1);
}

class ThreeParFit : public ::testing::Test {
 protected:
  ThreeParFit() : problem(Identity(3), {0, 0, 0}, {1, 1, 1}, {0, 0, 0}), fit(*problem.fit) {
    CAPTURE_STDOUT(fit.FixPar("C"));
  }
  BinsProblem problem;
  CCF2SFit& fit;
};

// (The error matrix as the inverse curvature of the free block: NewtonIterations, fixed
// parameters without errors and a singular curvature: the Newton tests above.)
TEST_F(ThreeParFit, StepMatrixSquaresToErrorMatrixNegativeEigenvaluesAreRoundOffOrFatal) {
  const double E[3][3] = {{2.0, 0.5, 0.1}, {0.5, 1.0, -0.2}, {0.1, -0.2, 0.5}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) fit.ErrorMatrix[i][j] = E[i][j];
  fit.UpdateMetroStepSize();
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) {
      double sum = 0.0;
      for (int k = 0; k < 3; k++) sum += fit.StepMatrix[i][k] * fit.StepMatrix[j][k];
      EXPECT_CLOSE_ABS(sum, E[i][j], 1e-12, 1e-12);
    }
    EXPECT_CLOSE(fit.par[i]->error, std::sqrt(E[i][i]), 1e-12);
  }
  // A tiny negative eigenvalue is round-off of a zero one; a larger one is fatal.
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) fit.ErrorMatrix[i][j] = i != j ? 0.0 : i == 1 ? -1e-12 : 1.0;
  fit.UpdateMetroStepSize();
  EXPECT_CLOSE(fit.par[1]->error, 1e-6, 1e-9);
  fit.ErrorMatrix[1][1] = -1.0;
  EXPECT_FATAL(fit.UpdateMetroStepSize(), "^FATAL: In UpdateStepSize, negative eigenvalue, =-1\n$");
}

TEST(SteepestDescentTest, EndsAfterSecondSuccess) {
  // Anisotropic quadratic near its minimum: both steps are short successes.
  BinsProblem problem(Identity(2), {0.8, 1.2}, {1.0, 0.5}, {0.7, 1.15});
  CCF2SFit& fit = *problem.fit;
  const std::string out = CAPTURE_STDOUT(fit.SteepestDescent(50));
  EXPECT_EQ(CountOf(out, "xa[0]="), 2);  // two iterations
  EXPECT_LT(fit.currentchi2, 0.1 * (0.01 + 0.0025 / 0.25));
  // Errors and error matrix are left alone.
  EXPECT_TRUE(fit.par[0]->error == 0.1 && fit.ErrorMatrix[1][1] == 0.1 * 0.1);
}

// On a quadratic the finite-difference line curvature is exact, so one iteration lands on the
// minimum along its direction d: there the gradient is orthogonal to d. A curvature off by a
// factor 2 would stop at half (or twice) the distance, where g.d is half the starting value.
TEST(SteepestDescentTest, OneStepOnAQuadraticLandsOnTheLineMinimum) {
  const std::vector<double> sigma = {1.0, 0.5}, target = {0.8, 1.2}, start = {0.6, 1.0};
  BinsProblem problem(Identity(2), target, sigma, start);
  CCF2SFit& fit = *problem.fit;
  CAPTURE_STDOUT(fit.SteepestDescent(1));
  double gd_end = 0.0, gd_start = 0.0;
  for (int i = 0; i < 2; i++) {
    const double d = fit.par[i]->currentx - start[i];
    gd_end += 2.0 * (fit.par[i]->currentx - target[i]) / (sigma[i] * sigma[i]) * d;
    gd_start += 2.0 * (start[i] - target[i]) / (sigma[i] * sigma[i]) * d;
  }
  ASSERT_LT(gd_start, 0.0);  // a descent direction
  EXPECT_LT(std::fabs(gd_end), 1e-4 * std::fabs(gd_start));
}

TEST(SteepestDescentTest, LongStepIsCappedNegativeCurvatureFallsBackFlatChiSquareStops) {
  // 42 scaled units from the minimum: the step is capped at 10 dq = 30, i.e.
  // 3.0 in A; it is no success (t >= 2 dq), and maxcalls ends the run.
  BinsProblem problem(Identity(1), {0.8}, {1.0}, {5.0});
  CCF2SFit& fit = *problem.fit;
  EXPECT_EQ(CountOf(CAPTURE_STDOUT(fit.SteepestDescent(1)), "xa[0]="), 1);
  EXPECT_CLOSE(fit.par[0]->currentx, 2.0, 1e-9);
  EXPECT_CLOSE(fit.currentchi2, 1.2 * 1.2, kSixDigits);
  // chi^2 = (A^3 - 1)^2 curves downwards at 0.5: t = dq = 3 scaled units = 0.06 downhill.
  BinsProblem cubic(Identity(1), {1.0}, {1.0}, {0.5}, 0.02, -100.0, 100.0, true);
  std::string out = CAPTURE_STDOUT(cubic.fit->SteepestDescent(1));
  EXPECT_EQ(CountOf(out, "Warning: curvature in q has wrong sign\n"), 1);
  EXPECT_CLOSE(cubic.fit->par[0]->currentx, 0.56, 1e-9);

  BinsProblem flat({{0.0}}, {0.8}, {1.0}, {0.5});
  out = CAPTURE_STDOUT(flat.fit->SteepestDescent(5));
  EXPECT_EQ(CountOf(out, "SteepestDescent: gradient is zero or not finite"), 1);
  EXPECT_EQ(flat.fit->par[0]->currentx, 0.5);
}

// exp(-chi^2/2) with chi^2 = (A - 0.8)^2 / 0.1^2 is a Gaussian of mean 0.8 and variance 0.01.
TEST(MetropolisTest, FirstTrialAcceptedAndWalkSamplesTheGaussianPosterior) {
  BinsProblem problem(Identity(1), {0.8}, {0.1}, {0.5});
  CCF2SFit& fit = *problem.fit;
  std::string out = CAPTURE_STDOUT(fit.Metropolis(0));
  EXPECT_EQ(CountOf(out, "too few for a covariance"), 1);
  EXPECT_TRUE(fit.Ncalls == 0 && fit.par[0]->xbar == 0.5);
  // A fresh fit accepts its first trial, which has no spread.
  out = CAPTURE_STDOUT(fit.Metropolis(1));
  EXPECT_NE(out.find("SUCCESS, Nsuccess=1, Ncalls=1\n"), std::string::npos);
  EXPECT_EQ(CountOf(out, "too few for a covariance"), 1);
  EXPECT_EQ(fit.par[0]->xbar, fit.par[0]->currentx);
  EXPECT_EQ(fit.ErrorMatrix[0][0], 0.1 * 0.1);
  CAPTURE_STDOUT(fit.Metropolis(4000));  // the fixed seed makes the walk reproducible
  EXPECT_CLOSE_ABS(fit.par[0]->xbar, 0.8, 0.0, 0.02);
  EXPECT_CLOSE(fit.ErrorMatrix[0][0], 0.01, 0.3);
  EXPECT_LE(fit.bestchi2, fit.currentchi2);
}

// The correlated quadratic of kM: exp(-chi^2/2) is a Gaussian of covariance 2 C^-1, correlation
// -4.5 / sqrt(4 x 8.125) = -0.789. The walk's off-diagonal covariance must be <dx_0 dx_1>, not a
// variance.
TEST(MetropolisTest, WalkRecoversACorrelatedCovariance) {
  BinsProblem problem(kM, kTarget, kSigma, {0.8, 1.2});
  CCF2SFit& fit = *problem.fit;
  for (int i = 0; i < 2; i++)
    for (int j = 0; j < 2; j++) fit.ErrorMatrix[i][j] = 2.0 * kCinv[i][j];
  CAPTURE_STDOUT(fit.UpdateMetroStepSize(), fit.Metropolis(20000));
  for (int i = 0; i < 2; i++) EXPECT_CLOSE(fit.ErrorMatrix[i][i], 2.0 * kCinv[i][i], 0.1) << i;
  const double rho = fit.ErrorMatrix[0][1] / std::sqrt(fit.ErrorMatrix[0][0] * fit.ErrorMatrix[1][1]);
  EXPECT_CLOSE_ABS(rho, -4.5 / std::sqrt(4.0 * 8.125), 0.0, 0.05);
  EXPECT_EQ(fit.ErrorMatrix[0][1], fit.ErrorMatrix[1][0]);
}

TEST(MetropolisTest, ImpossibleTrialsEndTheWalk) {
  // A fixed parameter outside its bounds.
  BinsProblem problem(Identity(2), {0.8, 1.2}, {0.1, 0.1}, {0.5, 1.0});
  CAPTURE_STDOUT(problem.fit->FixPar("A"));
  problem.fit->SetPar("A", 500.0);
  std::string out = CAPTURE_STDOUT(problem.fit->Metropolis(10));
  EXPECT_EQ(CountOf(out, "Metropolis: fixed parameter A=500 lies outside its bounds"), 1);
  EXPECT_EQ(problem.fit->Ncalls, 0);
  // A free start far outside its bounds with a small step: no proposal lands inside.
  BinsProblem far(Identity(1), {0.8}, {0.1}, {50.0}, 0.1, 0.0, 1.0);
  out = CAPTURE_STDOUT(far.fit->Metropolis(10));
  EXPECT_EQ(CountOf(out, "no trial point inside the bounds"), 1);
  EXPECT_TRUE(far.fit->Ncalls == 0 && far.fit->par[0]->currentx == 50.0);
}

// Measured values or errors that are not finite, and errors of 0 or below, are fatal and name
// the bin; so is a start where chi^2 itself is not finite.
TEST(FitVerdictDeathTest, MeaninglessDataAndChiSquareAreFatal) {
  struct Case {
    double value, error, start;
    const char* message;
  };
  const Case cases[] = {
      {NAN, 1.0, 0.5, "measured value nan at bin 1 of component \\(0,0,0\\) is not a finite"},
      {1e308 * 10, 1.0, 0.5, "measured value inf at bin 1"},
      {0.8, 0.0, 0.5, "error 0 at bin 1 .* must be a finite number above 0"},
      {0.8, -0.1, 0.5, "error -0.1 at bin 1"},
      {0.8, INFINITY, 0.5, "error inf at bin 1"},
      {0.8, 1.0, 1e300, "Newton: chi\\^2 = inf is not finite at A=.*; no fit possible"}};
  for (const Case& c : cases) {
    BinsProblem problem(Identity(2), {0.8, c.value}, {1.0, c.error}, {c.start, 0.5});
    EXPECT_FATAL(problem.fit->Newton(2), c.message) << c.message;
  }
}

// The verdict line: a converged fit of a model that describes the data; a converged fit with a
// tiny p-value and its warning; a fit stopped by the iteration limit (one without a step: the
// singular-curvature test above).
TEST(FitVerdict, LineSaysConvergedOrWhyNot) {
  struct Case {
    std::vector<double> target, sigma;
    int maxtries;
    bool converged;
    const char* line;
  };
  const Case cases[] = {
      {{0.8, 1.2, 1.0},
       {1.0, 1.0, 0.1},
       2,
       true,
       "fit converged: chi\\^2/ndof = [^ ]*/1 = [^ ]*, p-value 1; estimated distance to minimum"},
      {{0.8, 1.2, 2.0},
       {1.0, 1.0, 0.1},
       2,
       true,
       "fit converged: chi\\^2/ndof = 100/1 = 100, p-value 1.52e-23; .*\nwarning: the fit's "
       "p-value 1.52e-23 is below 1e-6"},
      {{0.8, 1.2, 1.0},
       {1.0, 1.0, 0.1},
       1,
       false,
       "fit NOT converged: chi\\^2/ndof = [^ ]* = [^ ]*, p-value [^;]*; iteration limit reached "
       "after 1 iterations"},
  };
  for (const Case& c : cases) {
    // Three bins, two parameters: bin 2 is a fixed model value of 1 (parameter C fixed).
    BinsProblem problem(Identity(3), c.target, c.sigma, {0.5, 1.0, 1.0});
    CAPTURE_STDOUT(problem.fit->FixPar("C"));
    const std::string out = CAPTURE_STDOUT(problem.fit->Newton(c.maxtries));
    const std::string verdict = CAPTURE_STDOUT(problem.fit->PrintVerdict());
    EXPECT_EQ(problem.fit->Verdict().converged, c.converged) << verdict;
    EXPECT_TRUE(::testing::internal::RE::PartialMatch(verdict, c.line)) << verdict;
    EXPECT_EQ(out.find("SUCCESS") != std::string::npos, c.converged || c.maxtries == 1);
  }
}

}  // namespace

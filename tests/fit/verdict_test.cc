// How fits end: data that make chi^2 meaningless are refused before any evaluation, a chi^2
// that is not finite stops the fit, and every Newton run ends with a verdict whose p-value and
// convergence flag say whether the result can be used.

#include <cmath>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "fit/cf2sfit.h"
#include "fit_test_model.h"

namespace {

using fit_test::BinsProblem;
using fit_test::Identity;

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
// tiny p-value and its warning; a fit stopped by the iteration limit; one without a step.
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
  // A parameter that does not enter chi^2: no step, no success.
  BinsProblem singular({{1.0, 0.0}, {0.0, 0.0}}, {0.8, 0.0}, {1.0, 1.0}, {0.5, 2.0});
  CAPTURE_STDOUT(singular.fit->Newton(6));
  EXPECT_FALSE(singular.fit->Verdict().converged);
  EXPECT_NE(singular.fit->Verdict().reason.find("no step possible"), std::string::npos);
}

}  // namespace

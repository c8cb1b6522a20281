// Chi-square of one correlation-function component.

#include "kernel/cfcalc.h"

#include <cmath>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"

namespace {

TEST(CFCalcChiSquared, EqualArraysGiveZero) {
  CCHArray exp(2, 5, 4.0), err(2, 5, 4.0), theory(2, 5, 4.0);
  exp.RandomizeA(1.0);
  theory.RandomizeA(1.0);
  for (int ir = 0; ir < 5; ir++) {
    theory.SetElement(0, 1, 1, ir, exp.GetElement(0, 1, 1, ir));
    err.SetElement(0, 1, 1, ir, 0.1);
  }
  double chi2 = -1.0;
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(0, 1, 1, &exp, &err, &theory)),
            "chi^2/Ndof=0\n");
  EXPECT_EQ(chi2, 0.0);
}

// Differences of 1 and errors of 0.5 give 4 per bin; the reduced value divides
// by the bins of the measured array, and only those bins are summed.
TEST(CFCalcChiSquared, SumsOverTheMeasuredBins) {
  CCHArray exp(0, 4, 4.0), err(0, 4, 4.0), theory(0, 6, 4.0);
  for (int ir = 0; ir < 6; ir++) theory.SetElement(0, 0, 0, ir, ir < 4 ? 0.5 : 100.0);
  for (int ir = 0; ir < 4; ir++) {
    exp.SetElement(0, 0, 0, ir, ir % 2 ? 1.5 : -0.5);
    err.SetElement(0, 0, 0, ir, 0.5);
  }
  double chi2 = 0.0;
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(0, 0, 0, &exp, &err, &theory)),
            "chi^2/Ndof=4\n");
  EXPECT_CLOSE(chi2, 16.0, femtokit_test::kRoundoff);
}

TEST(CFCalcChiSquared, TinyErrorsWarnPerBinAndStillCount) {
  CCHArray exp(1, 3, 4.0), err(1, 3, 4.0), theory(1, 3, 4.0);
  err.SetElement(1, 0, 0, 0, 1.0);
  err.SetElement(1, 0, 0, 1, -2.0);
  err.SetElement(1, 0, 0, 2, 0.0);
  exp.SetElement(1, 0, 0, 1, 1.0);
  exp.SetElement(1, 0, 0, 2, 1.0);
  double chi2 = 0.0;
  const std::string out =
      CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(1, 0, 0, &exp, &err, &theory));
  EXPECT_EQ(out,
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = -2, l=(1,0,0)\n"
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = 0, l=(1,0,0)\n"
            "chi^2/Ndof=inf\n");
  EXPECT_TRUE(std::isinf(chi2));
}

}  // namespace

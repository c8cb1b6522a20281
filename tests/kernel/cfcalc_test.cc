// Chi-square of one correlation-function component.

#include "kernel/cfcalc.h"

#include <cmath>

#include "arrays/charray.h"
#include "common/test_util.h"

namespace {

TEST(CFCalcChiSquared, SumsOverTheMeasuredBinsOfOneComponent) {
  // Differences of 1 and errors of 0.5 give 4 per bin; the reduced value divides by the bins of
  // the measured array, only those bins are summed, and other components do not count.
  CCHArray exp(1, 4, 4.0), err(1, 4, 4.0), theory(1, 6, 4.0);
  for (int ir = 0; ir < 6; ir++) theory.SetElement(0, 0, 0, ir, ir < 4 ? 0.5 : 100.0);
  for (int ir = 0; ir < 4; ir++) {
    exp.SetElement(0, 0, 0, ir, ir % 2 ? 1.5 : -0.5);
    exp.SetElement(0, 0, 1, ir, 7.0);
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
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(1, 0, 0, &exp, &err, &theory)),
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = -2, l=(1,0,0)\n"
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = 0, l=(1,0,0)\n"
            "chi^2/Ndof=inf\n");
  EXPECT_TRUE(std::isinf(chi2));
}

}  // namespace

// Tests of the spherical-harmonic coefficient array.

#include "arrays/ylmarray.h"

#include <complex>
#include <string>

#include "common/test_util.h"

namespace {

using cd = std::complex<double>;

TEST(YlmArray, StartsZeroAndAccumulatesComplexValues) {
  CYlmArray y(3, 4);
  EXPECT_EQ(y.GetLMAX(), 3);
  for (int l = 0; l <= 3; l++)
    for (int m = 0; m <= l; m++)
      for (int ir = 0; ir < 4; ir++) EXPECT_EQ(y.GetElement(l, m, ir), cd(0.0, 0.0));
  y.IncrementElement(2, 1, 3, cd(1.0, 2.0));
  y.IncrementElement(2, 1, 3, cd(1.0, 2.0));
  EXPECT_EQ(y.GetElement(2, 1, 3), cd(2.0, 4.0));
  y.ScaleArray(0.5);
  EXPECT_EQ(y.GetElement(2, 1, 3), cd(1.0, 2.0));
  y.SetElement(3, 3, 0, cd(-1.0, 0.5));
  y.ScaleArray(4.0, 0);
  EXPECT_EQ(y.GetElement(3, 3, 0), cd(-4.0, 2.0));
  EXPECT_EQ(y.GetElement(2, 1, 3), cd(1.0, 2.0));  // other bins untouched
}

TEST(YlmArray, ZeroingOneBinLeavesTheOthers) {
  CYlmArray y(2, 3);
  for (int ir = 0; ir < 3; ir++) y.SetElement(1, 1, ir, cd(ir + 1.0, 1.0));
  y.ZeroArray(1);
  EXPECT_EQ(y.GetElement(1, 1, 0), cd(1.0, 1.0));
  EXPECT_EQ(y.GetElement(1, 1, 1), cd(0.0, 0.0));
  EXPECT_EQ(y.GetElement(1, 1, 2), cd(3.0, 1.0));
  y.ZeroArray();
  EXPECT_EQ(y.GetElement(1, 1, 2), cd(0.0, 0.0));
}

TEST(YlmArray, PrintoutIsATriangle) {
  CYlmArray y(2, 1);
  y.SetElement(1, 1, 0, cd(1.5, -2.0));
  const std::string out = CAPTURE_STDOUT(y.PrintArrayFixedIR(0));
  const std::string zero = "( 0.000e+00, 0.000e+00) ";
  const std::string expected =
      "\n______________________________________\n"
      " L \\ M :"
      "          0             "
      "          1             "
      "          2             \n"
      "   0 : " +
      zero +
      "\n"
      "   1 : " +
      zero +
      "( 1.500e+00,-2.000e+00) \n"
      "   2 : " +
      zero + zero + zero +
      "\n"
      "_________________________________________\n";
  EXPECT_EQ(out, expected);
}

}  // namespace

// Tests of the spherical-harmonic coefficient array.

#include "arrays/ylmarray.h"

#include <complex>

#include "common/test_util.h"

namespace {

using cd = std::complex<double>;

TEST(YlmArray, StartsZeroAndActsOnOneBinOrAll) {
  CYlmArray y(3, 4);
  for (int l = 0; l <= 3; l++)
    for (int m = 0; m <= l; m++)
      for (int ir = 0; ir < 4; ir++) EXPECT_EQ(y.GetElement(l, m, ir), cd(0.0, 0.0));
  y.IncrementElement(2, 1, 3, cd(1.0, 2.0));
  y.IncrementElement(2, 1, 3, cd(1.0, 2.0));
  y.SetElement(3, 3, 0, cd(-1.0, 0.5));
  y.SetElement(3, 3, 1, cd(2.0, 1.0));
  y.ScaleArray(0.5);
  y.ScaleArray(4.0, 0);
  y.ZeroArray(1);
  EXPECT_EQ(y.GetElement(3, 3, 0), cd(-2.0, 1.0));
  EXPECT_EQ(y.GetElement(3, 3, 1), cd(0.0, 0.0));
  EXPECT_EQ(y.GetElement(2, 1, 3), cd(1.0, 2.0));  // other bins untouched
  y.ZeroArray();
  EXPECT_EQ(y.GetElement(2, 1, 3), cd(0.0, 0.0));
}

}  // namespace

// The pair histogram against the direct form (one IncrementAExpArrayFromE per pair, bin
// floor(|d| / RADSTEP)), on lattice points (multiples of 1/4 fm, exactly representable) so that
// many separations fall exactly on bin edges, coincide (zero separation) or lie beyond the last
// bin. Each configuration sends enough pairs per bin to fill the sort's runs several times and
// leaves partial runs for Store; RADSTEP a power of two (bin by a multiply) and not (a divide)
// must give the same bins.

#include "source/pairseparationsum.h"

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "oscar_test_files.h"

namespace {

struct PairSumCase {
  const char* name;
  int lmax, nradial;
  double radstep;
  bool xsym, ysym, zsym;
};

class PairSumMatchesDirect : public ::testing::TestWithParam<PairSumCase> {};

TEST_P(PairSumMatchesDirect, MomentsCountsAndSums) {
  const PairSumCase& c = GetParam();
  // 400 points on a lattice of 1/4 fm in a box of +-5 fm; every tenth point repeats the previous
  // one (zero separations).
  std::vector<double> x, y, z;
  unsigned state = 12345u;
  auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return 0.25 * static_cast<int>((state >> 16) % 41) - 5.0;
  };
  for (int i = 0; i < 400; ++i) {
    const bool repeat = i % 10 == 9;
    x.push_back(repeat ? x.back() : next());
    y.push_back(repeat ? y.back() : next());
    z.push_back(repeat ? z.back() : next());
  }
  CCHArray A(c.lmax, c.nradial, c.radstep, c.xsym, c.ysym, c.zsym);
  CCHArray B(c.lmax, c.nradial, c.radstep, c.xsym, c.ysym, c.zsym);
  CPairSeparationSum sum(&A);
  long long pairs = 0, binned = 0;
  double sumx = 0.0, sumzz = 0.0;
  for (size_t ia = 0; ia < x.size(); ++ia) {
    // The outer point against every point before it (the pass lengths vary from 0 to 399).
    sum.AddPairs(x[ia], y[ia], z[ia], x.data(), y.data(), z.data(), static_cast<int>(ia));
    for (size_t ib = 0; ib < ia; ++ib, ++pairs) {
      const double dx = x[ia] - x[ib], dy = y[ia] - y[ib], dz = z[ia] - z[ib];
      const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
      const int ir = static_cast<int>(std::floor(d / c.radstep));
      sumx += dx;
      sumzz += dz * dz;
      if (d == 0.0) {
        ++binned;
        B.IncrementElement(0, 0, 0, 0, 1.0);
      } else if (ir < c.nradial) {
        ++binned;
        B.IncrementAExpArrayFromE(dx / d, dy / d, dz / d, 1.0, ir);
      }
    }
  }
  sum.Store(&A);
  B.FillRemainderX();
  EXPECT_EQ(sum.npairs, pairs);
  EXPECT_EQ(sum.nbinned, binned);
  EXPECT_CLOSE_ABS(sum.sumx, sumx, femtokit_test::kRoundoff, 1e-9);
  EXPECT_CLOSE(sum.sumzz, sumzz, femtokit_test::kRoundoff);
  oscar_test::ExpectSameComponents(A, B);
  // Bin counts are exact: the angular average of each bin is its number of pairs.
  for (int ir = 0; ir < c.nradial; ++ir)
    EXPECT_EQ(std::lround(A.GetElement(0, 0, 0, ir)), std::lround(B.GetElement(0, 0, 0, ir))) << ir;
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, PairSumMatchesDirect,
    ::testing::Values(PairSumCase{"L0_step_half", 0, 12, 0.5, false, false, false},
                      PairSumCase{"L1_step_one", 1, 10, 1.0, false, false, false},
                      PairSumCase{"L2_step_quarter", 2, 40, 0.25, false, false, false},
                      PairSumCase{"L4_step_one", 4, 10, 1.0, false, false, false},
                      PairSumCase{"L4_step_0p75_symmetric", 4, 12, 0.75, true, false, true},
                      PairSumCase{"L8_step_1p25", 8, 9, 1.25, false, false, false},
                      PairSumCase{"L13_step_two_generic_rank", 13, 5, 2.0, false, true, false}),
    [](const ::testing::TestParamInfo<PairSumCase>& info) { return info.param.name; });

// Separations outside the range of the fast reciprocal square root (tiny, subnormal squares,
// huge, non-finite) among ordinary ones in the same group of 8: the tiny one is binned with its
// direction, the others are counted as pairs but not histogrammed.
TEST(PairSumExtremeSeparations, BinnedAsTheDirectFormBinsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> qx = {1e-160, 1e200, inf, std::nan(""), 0.5, -2.5, 3.0, 0.0, 1e-300};
  const std::vector<double> zeros(qx.size(), 0.0);
  CCHArray A(2, 4, 1.0), B(2, 4, 1.0);
  CPairSeparationSum sum(&A);
  sum.AddPairs(0.0, 0.0, 0.0, qx.data(), zeros.data(), zeros.data(), static_cast<int>(qx.size()));
  sum.Store(&A);
  // Direct form (as in the test above): bins 0 (1e-160, 0.5), 2 (-2.5), 3 (3.0); 0.0 and 1e-300
  // (whose square underflows) at the origin; a subnormal square's direction is not quite unit.
  for (double q : {1e-160, 0.5, -2.5, 3.0}) {
    const double d = std::sqrt(q * q);
    B.IncrementAExpArrayFromE(-q / d, 0.0, 0.0, 1.0, static_cast<int>(std::floor(d)));
  }
  B.IncrementElement(0, 0, 0, 0, 2.0);
  B.FillRemainderX();
  EXPECT_EQ(sum.npairs, 9);
  EXPECT_EQ(sum.nbinned, 6);
  oscar_test::ExpectSameComponents(A, B);
}

}  // namespace

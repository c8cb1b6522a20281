// The built-in phase-shift tables: the anchor rows they must hold, their smoothness (every step
// between neighbouring points is what the stored slopes integrate to) and the physics their
// curves were built from.

#include "wavefunctions/phaseshift_tables.h"

#include <cmath>
#include <string>
#include <vector>

#include "common/test_util.h"

namespace {

using namespace PhaseShiftTables;

constexpr double kPi = 3.141592653589793;

struct TableRef {
  std::string name;
  const double* delta;
  const double* slope;
  int ntab;
  int nchan;
  bool charged;
};

std::vector<TableRef> AllTables() {
  return {{"pkplus", kDeltaPKplus, kDDeltaDqPKplus, kNTabPKplus, kNChanPKplus, true},
          {"ppiplus", kDeltaPPiplus, kDDeltaDqPPiplus, kNTabPPiplus, kNChanPPiplus, true},
          {"nn", kDeltaNN, kDDeltaDqNN, kNTabNN, kNChanNN, false}};
}

// Entry of channel c at momentum q (MeV/c, a multiple of 1/2).
double At(const double* table, int ntab, int c, double q) {
  return table[c * ntab + static_cast<int>(std::lround(2.0 * q))];
}

struct Row {
  double q;
  std::vector<double> delta, slope;
};

void ExpectRows(const double* d, const double* dd, int ntab, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    for (size_t c = 0; c < row.delta.size(); c++) {
      SCOPED_TRACE("q=" + std::to_string(row.q) + " channel " + std::to_string(c));
      // Stored from the same decimal literals: equal to the last bit.
      EXPECT_EQ(At(d, ntab, c, row.q), row.delta[c]);
      EXPECT_EQ(At(dd, ntab, c, row.q), row.slope[c]);
    }
  }
}

TEST(PhaseShiftTables, HoldTheAnchorRowsExactly) {
  ExpectRows(kDeltaPKplus, kDDeltaDqPKplus, kNTabPKplus,
             {{50, {-0.0708759, -0.0021411, 0.000946544}, {-0.00162901, -0.000121982, 4.90663e-05}},
              {350, {-0.500599, -0.218875, 0.127361}, {-0.00130287, -0.000785771, 0.000603575}}});
  ExpectRows(kDeltaPPiplus, kDDeltaDqPPiplus, kNTabPPiplus,
             {{100, {-0.0785383, -0.011381, 0.0781373}, {-0.00110795, -0.000300629, 0.00231675}},
              {200, {-0.214173, -0.0622221, 1.01294}, {-0.00148456, -0.000697835, 0.020556}},
              {390, {-0.471329, -0.247273, 2.71557}, {-0.000760909, -0.00134065, 0.00304364}}});
  ExpectRows(kDeltaNN, kDDeltaDqNN, kNTabNN,
             {{0, {0, 0, 0, 0}, {0.0325178, 0, 0, 0}},
              {50,
               {0.928847, 0.0306934, -0.0176518, 0.00482179},
               {0.00474858, 0.00151352, -0.000843524, 0.000293275}},
              {200, {0.501214, 0.0951437, -0.0540706, 0.0222191}, {-0.00387338, 0, 0, 0}}});
}

// Each step D[i+1] - D[i] must be the trapezoid integral of the stored slopes over the half
// MeV/c between them, up to the trapezoid error h^3 |D'''| / 12, which the third difference of
// the phases around the step estimates (|Delta^3 D| / 12). A jump in the phases, a spike in the
// slopes, or a slope table that does not belong to the phases breaks this; smooth curves keep
// the ratio at 1/12 (1/8 at worst near the Coulomb threshold). The only exception is the
// documented last interval of the neutron-neutron P waves, whose last slope is held at the
// anchor value 0.
TEST(PhaseShiftTables, StepsAreTheIntegralsOfTheSlopes) {
  for (const TableRef& t : AllTables()) {
    for (int c = 0; c < t.nchan; c++) {
      const double* d = t.delta + c * t.ntab;
      const double* dd = t.slope + c * t.ntab;
      for (int i = 0; i + 1 < t.ntab; i++) {
        if (t.name == "nn" && c > 0 && i + 1 == t.ntab - 1) continue;
        const double miss = std::fabs(d[i + 1] - d[i] - 0.25 * (dd[i] + dd[i + 1]));
        int j = i - 1;  // the four-point stencil around the step, shifted inside at the ends
        if (j < 0) j = 0;
        if (j + 3 > t.ntab - 1) j = t.ntab - 4;
        const double third = std::fabs(d[j + 3] - 3 * d[j + 2] + 3 * d[j + 1] - d[j]);
        ASSERT_LE(miss, 1e-9 + 0.25 * third) << t.name << " channel " << c << " q=" << 0.5 * i;
      }
    }
  }
}

TEST(PhaseShiftTables, NoJumpsBetweenNeighbours) {
  // No step exceeds what the steeper of its two end slopes carries over half a MeV/c (plus 2%
  // for a slope maximum between them). The largest steps are the Delta's rise (about 0.011 rad)
  // and the nn 1S0 threshold rise (0.016 rad).
  for (const TableRef& t : AllTables()) {
    for (int c = 0; c < t.nchan; c++) {
      const double* d = t.delta + c * t.ntab;
      const double* dd = t.slope + c * t.ntab;
      for (int i = 0; i + 1 < t.ntab; i++) {
        const double steeper = std::fmax(std::fabs(dd[i]), std::fabs(dd[i + 1]));
        const double allowed = 0.5 * 1.02 * steeper + 1e-6;
        ASSERT_LE(std::fabs(d[i + 1] - d[i]), allowed) << t.name << " " << c << " q=" << 0.5 * i;
      }
    }
  }
}

TEST(PhaseShiftTables, ThresholdBehaviour) {
  for (const TableRef& t : AllTables()) {
    for (int c = 0; c < t.nchan; c++) {
      EXPECT_EQ(t.delta[c * t.ntab], 0.0) << t.name << " " << c;
      // Charged pairs: the Gamow factor suppresses the phases exponentially at threshold.
      if (t.charged) {
        EXPECT_EQ(t.slope[c * t.ntab], 0.0) << t.name << " " << c;
      }
    }
  }
  // Uncharged p waves rise as q^3: slope 0 at threshold, delta/q^3 nearly constant at low q.
  for (int c = 1; c < kNChanNN; c++) {
    EXPECT_EQ(kDDeltaDqNN[c * kNTabNN], 0.0);
    const double r =
        At(kDeltaNN, kNTabNN, c, 5.0) / 125.0 / (At(kDeltaNN, kNTabNN, c, 2.5) / 15.625);
    EXPECT_NEAR(r, 1.0, 0.01);
  }
}

TEST(PhaseShiftTables, DeltaResonancePassesNinetyDegreesWhereItMust) {
  EXPECT_LT(At(kDeltaPPiplus, kNTabPPiplus, 2, 226.5), kPi / 2);
  EXPECT_GT(At(kDeltaPPiplus, kNTabPPiplus, 2, 227.0), kPi / 2);
  // The P33 phase rises monotonically over the whole table, steepest a little below the
  // resonance (the width grows with q).
  int steepest = 0;
  for (int i = 1; i < kNTabPPiplus; i++) {
    ASSERT_GT(kDeltaPPiplus[2 * kNTabPPiplus + i], kDeltaPPiplus[2 * kNTabPPiplus + i - 1]);
    if (kDDeltaDqPPiplus[2 * kNTabPPiplus + i] > kDDeltaDqPPiplus[2 * kNTabPPiplus + steepest])
      steepest = i;
  }
  EXPECT_GT(0.5 * steepest, 200.0);
  EXPECT_LT(0.5 * steepest, 230.0);
}

TEST(PhaseShiftTables, RepulsiveSWavesStayNegative) {
  // K+p and pi+p (isospin 3/2) s waves are repulsive at every tabulated momentum, with the
  // published scattering lengths (about -0.31 fm and -0.11 fm) setting the low-q slope once the
  // Coulomb suppression has worn off: delta ~ a q / HBARC.
  for (int i = 1; i < kNTabPKplus; i++) ASSERT_LT(kDeltaPKplus[i], 0.0) << i;
  for (int i = 1; i < kNTabPPiplus; i++) ASSERT_LT(kDeltaPPiplus[i], 0.0) << i;
  const double a_kp = At(kDDeltaDqPKplus, kNTabPKplus, 0, 30.0) * 197.3269602;
  EXPECT_NEAR(a_kp, -0.31, 0.03);
  const double a_pip = At(kDDeltaDqPPiplus, kNTabPPiplus, 0, 30.0) * 197.3269602;
  EXPECT_NEAR(a_pip, -0.11, 0.03);
}

}  // namespace

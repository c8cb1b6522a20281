// The built-in phase-shift tables: their published rows, their smoothness (each step is what the
// stored slopes integrate to) and the physics their curves were built from.

#include "wavefunctions/phaseshift_tables.h"

#include "wavefunctions/phaseshift_anchors.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

using namespace PhaseShiftTables;

using femtokit::constants::kPi;

struct Table {
  std::string name;
  const double *delta, *slope;
  int ntab, nchan;
  // Entry of channel c at momentum q (MeV/c, a multiple of 1/2).
  double D(int c, double q) const { return delta[c * ntab + std::lround(2.0 * q)]; }
  double S(int c, double q) const { return slope[c * ntab + std::lround(2.0 * q)]; }
};

const Table kPKplus{"pkplus", kDeltaPKplus, kDDeltaDqPKplus, kNTabPKplus, kNChanPKplus};
const Table kPPiplus{"ppiplus", kDeltaPPiplus, kDDeltaDqPPiplus, kNTabPPiplus, kNChanPPiplus};
const Table kNN{"nn", kDeltaNN, kDDeltaDqNN, kNTabNN, kNChanNN};

// The stored tables pass exactly through the published rows (phaseshift_anchors.h), phase and
// slope, and the nn 1S0 table starts at 0 with the published threshold slope.
template <size_t C, size_t N>
void ExpectAnchors(const Table& t, const AnchorRow (&rows)[C][N]) {
  for (size_t c = 0; c < C; c++)
    for (const AnchorRow& row : rows[c]) {
      EXPECT_EQ(t.D(c, row.q), row.delta) << t.name << " q=" << row.q << " channel " << c;
      EXPECT_EQ(t.S(c, row.q), row.ddeltadq) << t.name << " q=" << row.q << " channel " << c;
    }
}

TEST(PhaseShiftTables, HoldThePublishedRowsExactly) {
  static_assert(sizeof(kAnchorsPKplus) / sizeof(kAnchorsPKplus[0]) == kNChanPKplus);
  static_assert(sizeof(kAnchorsPPiplus) / sizeof(kAnchorsPPiplus[0]) == kNChanPPiplus);
  static_assert(sizeof(kAnchorsNN) / sizeof(kAnchorsNN[0]) == kNChanNN);
  ExpectAnchors(kPKplus, kAnchorsPKplus);
  ExpectAnchors(kPPiplus, kAnchorsPPiplus);
  ExpectAnchors(kNN, kAnchorsNN);
  EXPECT_EQ(kNN.D(0, 0.0), 0.0);
  EXPECT_EQ(kNN.S(0, 0.0), kSlope0NN1S0);
}

// Each step D[i+1] - D[i] is the trapezoid integral of the stored slopes, up to the trapezoid
// error, estimated by the third difference of the phases (smooth curves: 1/12 of it, 1/8 near
// the Coulomb threshold; allowed 1/4). Jumps, slope spikes or mismatched slope tables break this.
// Exception: the last interval of the nn P waves, whose last slope is held at 0. No step exceeds
// what the steeper end slope carries over half a MeV/c (+2% for a maximum in between).
TEST(PhaseShiftTables, StepsAreTheIntegralsOfTheSlopesWithoutJumps) {
  for (const Table* t : {&kPKplus, &kPPiplus, &kNN}) {
    for (int c = 0; c < t->nchan; c++) {
      const double* d = t->delta + c * t->ntab;
      const double* dd = t->slope + c * t->ntab;
      for (int i = 0; i + 1 < t->ntab; i++) {
        const double step = d[i + 1] - d[i];
        const double steeper = std::fmax(std::fabs(dd[i]), std::fabs(dd[i + 1]));
        ASSERT_LE(std::fabs(step), 0.5 * 1.02 * steeper + 1e-6) << t->name << c << " q=" << 0.5 * i;
        if (t == &kNN && c > 0 && i + 1 == t->ntab - 1) continue;
        int j = std::min(std::max(i - 1, 0), t->ntab - 4);  // four-point stencil around the step
        const double third = std::fabs(d[j + 3] - 3 * d[j + 2] + 3 * d[j + 1] - d[j]);
        ASSERT_LE(std::fabs(step - 0.25 * (dd[i] + dd[i + 1])), 1e-9 + 0.25 * third)
            << t->name << " channel " << c << " q=" << 0.5 * i;
      }
    }
  }
}

// Every phase starts at 0; charged pairs (Gamow suppression) and nn p waves (delta ~ q^3) with
// slope 0. K+p and pi+p s waves are repulsive everywhere, with low-q slopes a / HBARC from the
// published scattering lengths (about -0.31 fm and -0.11 fm).
TEST(PhaseShiftTables, ThresholdBehaviourAndRepulsiveSWaves) {
  for (const Table* t : {&kPKplus, &kPPiplus, &kNN})
    for (int c = 0; c < t->nchan; c++) {
      EXPECT_EQ(t->D(c, 0), 0.0) << t->name << " " << c;
      if (t != &kNN || c > 0) {
        EXPECT_EQ(t->S(c, 0), 0.0) << t->name << " " << c;
      }
    }
  for (int c = 1; c < kNChanNN; c++) EXPECT_NEAR(kNN.D(c, 5.0) / kNN.D(c, 2.5) / 8.0, 1.0, 0.01);
  for (const Table* t : {&kPKplus, &kPPiplus})
    for (int i = 1; i < t->ntab; i++) ASSERT_LT(t->delta[i], 0.0) << t->name << " " << i;
  EXPECT_NEAR(kPKplus.S(0, 30.0) * femtokit::constants::kHbarC, -0.31, 0.03);
  EXPECT_NEAR(kPPiplus.S(0, 30.0) * femtokit::constants::kHbarC, -0.11, 0.03);
}

// The P33 phase passes 90 degrees at the Delta and rises monotonically over the whole table,
// steepest a little below the resonance (the width grows with q).
TEST(PhaseShiftTables, DeltaResonancePassesNinetyDegreesWhereItMust) {
  EXPECT_LT(kPPiplus.D(2, 226.5), kPi / 2);
  EXPECT_GT(kPPiplus.D(2, 227.0), kPi / 2);
  double steepest = 0.0;
  for (double q = 0.5; q <= 390.0; q += 0.5) {
    ASSERT_GT(kPPiplus.D(2, q), kPPiplus.D(2, q - 0.5)) << q;
    if (kPPiplus.S(2, q) > kPPiplus.S(2, steepest)) steepest = q;
  }
  EXPECT_GT(steepest, 200.0);
  EXPECT_LT(steepest, 230.0);
}

}  // namespace

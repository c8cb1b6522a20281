// CCHArray: storage by symmetry steps, element access and its messages, whole-array operations,
// trace fills, evaluation and sample increments, random fills.

#include "arrays/charray.h"

#include <climits>
#include <cmath>
#include <tuple>
#include <vector>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;
using Triple = std::tuple<int, int, int>;

// Three generic unit vectors (no zero component) and sample weights.
const double kDir[3][3] = {{0.48, -0.6, 0.64}, {0.36, 0.48, -0.8}, {-2.0 / 3, 1.0 / 3, 2.0 / 3}};
const double kWeight[3] = {0.5, 1.5, 0.8};

std::vector<Triple> StoredTriples(const CCHArray& a) {
  std::vector<Triple> out;
  for (int lx = 0; lx <= a.LMAX; lx += a.dlx)
    for (int ly = 0; ly <= a.LMAX - lx; ly += a.dly)
      for (int lz = 0; lz <= a.LMAX - lx - ly; lz += a.dlz) out.emplace_back(lx, ly, lz);
  return out;
}

double Get(const CCHArray& a, const Triple& t, int ir) {
  return a.GetElement(std::get<0>(t), std::get<1>(t), std::get<2>(t), ir);
}

// Largest |A(l + 2ex) + A(l + 2ey) + A(l + 2ez)| in bin ir: zero for a traceless bin.
double TraceViolation(const CCHArray& a, int ir) {
  double worst = 0.0;
  for (const auto& [lx, ly, lz] : StoredTriples(a))
    if (lx + ly + lz + 2 <= a.LMAX)
      worst = std::fmax(worst, std::fabs(a.A[lx + 2][ly][lz][ir] + a.A[lx][ly + 2][lz][ir] +
                                         a.A[lx][ly][lz + 2][ir]));
  return worst;
}

TEST(CCHArrayTest, StorageOrderAndLimits) {
  // Randomize draws once per stored component in storage order: replaying the generator
  // recovers the order of the stored triples.
  for (bool sym : {false, true}) {
    CCHArray a(2, 3, 1.0, sym, sym, sym);
    EXPECT_EQ(StoredTriples(a).size(), sym ? 4u : 10u);  // even ranks only with all three
    a.RandomInit(99);
    a.Randomize(2.0, 1);
    CRandom replay(99);
    for (const Triple& t : StoredTriples(a)) {
      EXPECT_EQ(Get(a, t, 1), 2.0 * (1.0 - 2.0 * replay.ran()));
      EXPECT_EQ(Get(a, t, 0), 0.0);  // created zeroed, other bins untouched
    }
  }
  // The largest rank the coefficient tables serve is accepted, one more is not.
  EXPECT_EQ(CCHArray(56, 1, 1.0, true, true, true).GetLMAX(), 56);
  EXPECT_FATAL(CCHArray(57, 1, 1.0),
               "^CCHArray: LMAX=57, NRADIAL=1 out of range \\(0 <= LMAX <= 56, NRADIAL >= 0\\)\n");
}

TEST(CCHArrayTest, ElementAccessAndBadIndices) {
  CCHArray a(2, 4, 0.5, true, true, true);
  a.SetElement(0, 2, 0, 2, 3.5);
  a.IncrementElement(0, 2, 0, 1.25, 1.0);  // r = 2.5 RADSTEP: bin 2
  EXPECT_EQ(a.GetElement(0, 2, 0, 1.0), 4.5);
  EXPECT_EQ(a.GetIR(0.5), 1);    // lower edge belongs to the bin
  EXPECT_EQ(a.GetIR(-0.1), -1);  // rounded down, not towards bin 0
  EXPECT_EQ(a.GetIR(-2.5), -5);  // the bin itself, so that messages name it
  EXPECT_EQ(a.GetIR(1000.0), 2000);  // beyond the last bin: the bin itself, not NRADIAL
  EXPECT_EQ(a.GetIR(1e300), INT_MAX);
  double value = -1.0;
  EXPECT_EQ(CAPTURE_STDOUT(value = a.GetElement(1, 1, 0, 3)),
            "WARNING: Tried to get non-existent element in CCHArray\n"
            "LMAX=2, XSYM=1, YSYM=1, ZSYM=1, ir=3\nl=(1,1,0), ir=3\n");
  EXPECT_EQ(value, 0.0);
  EXPECT_NE(CAPTURE_STDOUT(a.GetElement(0, -2, 0, 0)), "");  // negative indices are outside too
  EXPECT_FATAL(a.SetElement(1, 1, 0, 3, 1.0),
               "^Tried to set element out of bounds in CCHArray\n"
               "LMAX=2, XSYM=1, YSYM=1, ZSYM=1, ir=3\nl=\\(1,1,0\\), ir=3\n$");
  EXPECT_FATAL(a.IncrementElement(0, 2, 2, 0, 1.0),
               "^OUT OF BOUNDS IN INCREMENTELEMENT\nell=\\(0,2,2\\), ir=0\n$");
  EXPECT_FATAL(a.ScaleArray(2.0, 4), "^CCHArray: bin ir=4 out of range \\(NRADIAL=4\\)\n$");
}

// SetLMAX never raises the rank; lowering it hides the higher components from reads and
// later increments.
TEST(CCHArrayTest, SetLMAXLowersTheRankOnly) {
  CCHArray b(4, 1, 1.0);
  b.SetLMAX(6);
  EXPECT_EQ(b.GetLMAX(), 4);
  b.IncrementAExpArrayFromE(0.6, 0.0, 0.8, 1.0, 0);
  const double hidden = b.A[0][0][4][0];
  b.SetLMAX(2);
  EXPECT_NE(CAPTURE_STDOUT(b.GetElement(0, 0, 3, 0)), "");
  // Later increments see the lower rank and leave the hidden components alone.
  b.IncrementAExpArrayFromE(0.0, 1.0, 0.0, 1.0, 0);
  EXPECT_EQ(b.A[0][0][4][0], hidden);
  // (2L+1)!!/L! = 15/2 at L = 2; A_(0,2,0) = ey^2 - 1/3 for both samples.
  EXPECT_CLOSE(b.GetElement(0, 2, 0, 0), 7.5 * (2.0 / 3.0) - 7.5 / 3.0, kRoundoff);
}

TEST(CCHArrayTest, TraceFillsAlongEachAxis) {
  CCHArray a(6, 2, 1.0);
  a.RandomInit(11);
  a.RandomizeA(1.0);
  EXPECT_LT(TraceViolation(a, 0) + TraceViolation(a, 1), 1e-13);
  // Refilling a traceless bin from another axis reproduces it.
  std::vector<double> before;
  for (const Triple& t : StoredTriples(a)) before.push_back(Get(a, t, 1));
  a.FillRemainderY(1);
  a.FillRemainderZ();
  size_t k = 0;
  for (const Triple& t : StoredTriples(a)) EXPECT_CLOSE_ABS(Get(a, t, 1), before[k++], 0, 1e-12);
  // Randomize alone is not traceless; FillRemainderX keeps lx in {0,1} and derives the rest.
  a.Randomize(1.0, 0);
  EXPECT_GT(TraceViolation(a, 0), 1e-3);
  const double keep = a.GetElement(1, 2, 3, 0);
  a.FillRemainderX(0);
  EXPECT_EQ(a.GetElement(1, 2, 3, 0), keep);
  EXPECT_LT(TraceViolation(a, 0), 1e-13);
}

TEST(CCHArrayTest, SamplesExpandTheTruncatedDeltaFunction) {
  // After samples at e_k, AExpand(e') = sum_k w_k sum_L (2L+1) P_L(e_k.e') and the bin is traceless
  // along every axis; with symmetries the stored part is the average over the reflections.
  const double *e = kDir[0], *f = kDir[1], *g = kDir[2];
  const int lmax = 8;
  for (int syms = 0; syms < 8; ++syms) {
    const bool xs = syms & 1, ys = syms & 2, zs = syms & 4;
    CCHArray a(lmax, 2, 1.0, xs, ys, zs);
    a.IncrementAExpArrayFromE(e[0], e[1], e[2], 0.5, 0);
    a.IncrementAExpArrayFromThetaPhi(std::acos(f[2]), std::atan2(f[1], f[0]), 1.5, 0);
    EXPECT_LT(TraceViolation(a, 0), 1e-12) << "syms " << syms;
    double expect = 0.0;
    int nrefl = 0;
    for (int sx : {1, -1})
      for (int sy : {1, -1})
        for (int sz : {1, -1}) {
          if ((!xs && sx < 0) || (!ys && sy < 0) || (!zs && sz < 0)) continue;
          ++nrefl;
          for (int L = 0; L <= lmax; ++L)
            expect +=
                (2 * L + 1) *
                (0.5 * std::legendre(L, sx * e[0] * g[0] + sy * e[1] * g[1] + sz * e[2] * g[2]) +
                 1.5 * std::legendre(L, sx * f[0] * g[0] + sy * f[1] * g[1] + sz * f[2] * g[2]));
        }
    EXPECT_CLOSE_ABS(a.AExpand(g[0], g[1], g[2], 0), expect / nrefl, 0, 1e-11) << "syms " << syms;
    EXPECT_CLOSE_ABS(a.AExpand(std::acos(g[2]), std::atan2(g[1], g[0]), 0), expect / nrefl, 0,
                     1e-11);
  }
}

TEST(CCHArrayTest, AlternativeRecurrenceAgreesWithClosedForm) {
  for (int lmax : {0, 1, 2, 5, 10}) {
    for (int syms : {0, 1, 2, 4, 7}) {
      CCHArray a(lmax, 2, 1.0, syms & 1, syms & 2, syms & 4);
      CCHArray b(lmax, 2, 1.0, syms & 1, syms & 2, syms & 4);
      for (int k = 0; k < 3; ++k) {
        a.IncrementAExpArrayFromE(kDir[k][0], kDir[k][1], kDir[k][2], kWeight[k], 1);
        b.AltIncrementAExpArrayFromE(kDir[k][0], kDir[k][1], kDir[k][2], kWeight[k], 1);
      }
      b.FillRemainderX(1);
      for (const Triple& t : StoredTriples(a))
        EXPECT_CLOSE_ABS(Get(b, t, 1), Get(a, t, 1), 1e-12, 1e-12)
            << "LMAX " << lmax << " syms " << syms;
      EXPECT_EQ(b.GetBiggest(0), 0.0);
    }
  }
}

TEST(CCHArrayTest, SamplesByPositionAndTheOrigin) {
  CCHArray a(4, 3, 2.0), b(4, 3, 2.0);
  a.IncrementAExpArray(1.2, -1.6, 3.0, 0.7);  // r = sqrt(13) = 3.61: bin 1
  const double r = std::sqrt(13.0);
  b.IncrementAExpArrayFromE(1.2 / r, -1.6 / r, 3.0 / r, 0.7, 1);
  for (const Triple& t : StoredTriples(a)) EXPECT_EQ(Get(a, t, 1), Get(b, t, 1));
  // One sample of weight w: A000 = w, A001 = 3 w ez, AExpand along it = w (LMAX+1)^2.
  EXPECT_EQ(a.GetElement(0, 0, 0, 1), 0.7);
  EXPECT_CLOSE(a.GetElement(0, 0, 1, 1), 3.0 * 0.7 * 3.0 / r, 1e-13);
  EXPECT_CLOSE(a.AExpand(1.2, -1.6, 3.0), 0.7 * 25.0, 1e-13);
  // Beyond the last bin: dropped, and read as 0.0, without a message.
  EXPECT_EQ(CAPTURE_STDOUT(a.IncrementAExpArray(0.0, 6.0, 0.0, 1.0)), "");
  EXPECT_EQ(CAPTURE_STDOUT(EXPECT_EQ(a.AExpand(6.0, 0.0, 0.0), 0.0)), "");
  EXPECT_EQ(a.GetBiggest(2), 0.0);
  // The origin has no direction: the sample goes to L = 0 alone, and the expansion there is the
  // angular average of bin 0.
  a.IncrementAExpArray(0.0, 0.0, 0.0, 2.5);
  EXPECT_EQ(a.GetBiggest(0), 2.5);
  a.IncrementAExpArrayFromE(0.0, 1.0, 0.0, 1.0, 0);
  EXPECT_EQ(a.AExpand(0.0, 0.0, 0.0), 3.5);
}

TEST(CCHArrayTest, MomentIncrementsAndRandomFills) {
  CCHArray m(4, 2, 1.0, false, true, false);
  const double *e = kDir[0], *f = kDir[1];
  m.IncrementMArrayFromE(e[0], e[1], e[2], 2.0, 1);
  m.IncrementMArrayFromThetaPhi(std::acos(f[2]), std::atan2(f[1], f[0]), 3.0, 1);
  EXPECT_EQ(m.GetElement(0, 0, 0, 1), 5.0);
  EXPECT_CLOSE(m.GetElement(1, 2, 1, 1),
               2.0 * e[0] * e[1] * e[1] * e[2] + 3.0 * f[0] * f[1] * f[1] * f[2], 1e-13);
  // Unit directions: a trace of the moments is the moment two ranks lower.
  EXPECT_CLOSE(m.GetElement(2, 0, 1, 1) + m.GetElement(0, 2, 1, 1) + m.GetElement(0, 0, 3, 1),
               m.GetElement(0, 0, 1, 1), 1e-13);
  EXPECT_EQ(m.GetBiggest(0), 0.0);

  CCHArray a(5, 3, 1.0, true, false, false);
  a.RandomInit(7);
  a.RandomizeA(0.5);
  for (int ir = 0; ir < 3; ++ir) EXPECT_LT(TraceViolation(a, ir), 1e-13);
  a.RandomizeA_Gaussian(2.0);
  EXPECT_LT(TraceViolation(a, 2), 1e-12);
}

}  // namespace

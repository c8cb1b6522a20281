// CCHArray: storage by symmetry steps, element access and its messages, whole-array operations,
// trace fills, evaluation and sample increments, random fills.

#include "arrays/charray.h"

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;
using Triple = std::tuple<int, int, int>;

// Legendre polynomial by Bonnet's recurrence (independent of the Cartesian algebra).
double Legendre(int L, double x) {
  double p0 = 1.0, p1 = x;
  for (int l = 1; l < L; ++l) {
    const double p2 = ((2 * l + 1) * x * p1 - l * p0) / (l + 1);
    p0 = p1;
    p1 = p2;
  }
  return L == 0 ? 1.0 : p1;
}

// A unit vector from two numbers in [0, 1).
void Direction(double u, double v, double& ex, double& ey, double& ez) {
  const double c = 1.0 - 2.0 * u, s = std::sqrt(1.0 - c * c), phi = 6.283185307179586 * v;
  ex = s * std::cos(phi);
  ey = s * std::sin(phi);
  ez = c;
}

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

// Largest violation of the trace condition along any axis in bin ir.
double TraceViolation(const CCHArray& a, int ir) {
  double worst = 0.0;
  for (const Triple& t : StoredTriples(a)) {
    const int lx = std::get<0>(t), ly = std::get<1>(t), lz = std::get<2>(t);
    double**** A = a.A;
    if (lx >= 2)
      worst = std::fmax(worst, std::fabs(A[lx][ly][lz][ir] + A[lx - 2][ly + 2][lz][ir] +
                                         A[lx - 2][ly][lz + 2][ir]));
    if (ly >= 2)
      worst = std::fmax(worst, std::fabs(A[lx][ly][lz][ir] + A[lx + 2][ly - 2][lz][ir] +
                                         A[lx][ly - 2][lz + 2][ir]));
    if (lz >= 2)
      worst = std::fmax(worst, std::fabs(A[lx][ly][lz][ir] + A[lx + 2][ly][lz - 2][ir] +
                                         A[lx][ly + 2][lz - 2][ir]));
  }
  return worst;
}

TEST(CCHArrayTest, StorageOrderAndLimits) {
  // Randomize draws once per stored component in storage order: replaying the generator
  // recovers the order of the listed triples.
  const std::vector<Triple> plain = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 1, 0}, {0, 1, 1},
                                     {0, 2, 0}, {1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {2, 0, 0}};
  const std::vector<Triple> all_sym = {{0, 0, 0}, {0, 0, 2}, {0, 2, 0}, {2, 0, 0}};
  for (bool sym : {false, true}) {
    CCHArray a(2, 3, 1.0, sym, sym, sym);
    const std::vector<Triple>& expect = sym ? all_sym : plain;
    EXPECT_EQ(StoredTriples(a), expect);
    a.RandomInit(99);
    a.Randomize(2.0, 1);
    CRandom replay(99);
    for (const Triple& t : expect) {
      EXPECT_EQ(Get(a, t, 1), 2.0 * (1.0 - 2.0 * replay.ran()));
      EXPECT_EQ(Get(a, t, 0), 0.0);  // created zeroed, other bins untouched
    }
  }
  // The largest rank the coefficient tables serve is accepted, one more is not.
  EXPECT_EQ(CCHArray(56, 1, 1.0, true, true, true).GetLMAX(), 56);
  EXPECT_FATAL(CCHArray(57, 1, 1.0),
               "^CCHArray: LMAX=57, NRADIAL=1 out of range \\(0 <= LMAX <= 56, NRADIAL >= 0\\)\n");
  EXPECT_FATAL(CCHArray(2, -1, 1.0), "LMAX=2, NRADIAL=-1 out of range");
}

TEST(CCHArrayTest, ElementAccessAndBadIndices) {
  CCHArray a(2, 4, 0.5, true, true, true);
  a.SetElement(0, 2, 0, 2, 3.5);
  a.IncrementElement(0, 2, 0, 1.25, 1.0);  // r = 2.5 RADSTEP: bin 2
  EXPECT_EQ(a.GetElement(0, 2, 0, 1.0), 4.5);
  EXPECT_EQ(a.GetIR(0.5), 1);  // lower edge belongs to the bin
  EXPECT_EQ(a.GetIR(-0.1), -1);
  EXPECT_EQ(a.GetIR(1e300), 4);
  double value = -1.0;
  EXPECT_EQ(CAPTURE_STDOUT(value = a.GetElement(1, 1, 0, 3)),
            "WARNING: Tried to get non-existent element in CCHArray\n"
            "LMAX=2, XSYM=1, YSYM=1, ZSYM=1, ir=3\nl=(1,1,0), ir=3\n");
  EXPECT_EQ(value, 0.0);
  // At r = NRADIAL RADSTEP the bin is past the end; negative indices are outside too.
  EXPECT_EQ(CAPTURE_STDOUT(value = a.GetElement(0, 0, 0, 2.0)),
            "WARNING: Tried to get non-existent element in CCHArray\n"
            "LMAX=2, XSYM=1, YSYM=1, ZSYM=1, ir=4\nl=(0,0,0), ir=4\n");
  EXPECT_NE(CAPTURE_STDOUT(a.GetElement(0, -2, 0, 0)), "");
  EXPECT_NE(CAPTURE_STDOUT(a.GetElement(0, 0, 0, -1)), "");
  EXPECT_FATAL(a.SetElement(1, 1, 0, 3, 1.0),
               "^Tried to set element out of bounds in CCHArray\n"
               "LMAX=2, XSYM=1, YSYM=1, ZSYM=1, ir=3\nl=\\(1,1,0\\), ir=3\n$");
  EXPECT_FATAL(a.IncrementElement(0, 2, 2, 0, 1.0),
               "^OUT OF BOUNDS IN INCREMENTELEMENT\nell=\\(0,2,2\\), ir=0\n$");
  EXPECT_FATAL(a.IncrementElement(0, 0, 0, 2.0, 1.0), "ell=\\(0,0,0\\), ir=4\n$");
  EXPECT_FATAL(a.IncrementAExpArrayFromE(0, 0, 1, 1.0, 4), "ell=\\(0,0,0\\), ir=4\n$");
  EXPECT_FATAL(a.ZeroArray(1, 0, 0), "Tried to set element out of bounds");
  EXPECT_FATAL(a.ScaleArray(2.0, 4), "^CCHArray: bin ir=4 out of range \\(NRADIAL=4\\)\n$");
}

TEST(CCHArrayTest, WholeArrayOperationsAndSetLMAX) {
  CCHArray a(3, 3, 1.0, false, true, false);
  a.RandomInit(5);
  a.Randomize(1.0);
  const double v1 = a.GetElement(1, 0, 2, 1), v2 = a.GetElement(1, 0, 2, 2);
  a.ScaleArray(-2.0, 1);
  a.ScaleArray(3.0);
  EXPECT_EQ(a.GetElement(1, 0, 2, 1), -6.0 * v1);
  EXPECT_EQ(a.GetElement(1, 0, 2, 2), 3.0 * v2);
  a.ZeroArray(1, 0, 2);
  EXPECT_EQ(a.GetElement(1, 0, 2, 2), 0.0);
  a.ZeroArray_Partial(1, 0);  // zeroes the whole bin, whatever the rank argument
  EXPECT_EQ(a.GetBiggest(0), 0.0);
  EXPECT_GT(a.GetBiggest(1), 0.0);
  a.ZeroArray(1);
  a.SetElement(2, 0, 1, 1, -3.0);
  EXPECT_EQ(a.GetBiggest(1), 3.0);
  a.ZeroArray_Partial(0);
  EXPECT_EQ(a.GetBiggest(1) + a.GetBiggest(2), 0.0);

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
  for (const Triple& t : StoredTriples(a)) EXPECT_NEAR(Get(a, t, 1), before[k++], 1e-12);
  // Randomize alone is not traceless; FillRemainderX keeps lx in {0,1} and derives the rest.
  a.Randomize(1.0, 0);
  EXPECT_GT(TraceViolation(a, 0), 1e-3);
  const double keep = a.GetElement(1, 2, 3, 0);
  a.FillRemainderX(0);
  EXPECT_EQ(a.GetElement(1, 2, 3, 0), keep);
  EXPECT_EQ(a.GetElement(2, 1, 0, 0), -a.GetElement(0, 3, 0, 0) - a.GetElement(0, 1, 2, 0));
  EXPECT_LT(TraceViolation(a, 0), 1e-13);
  // Below rank 2 there is nothing to fill.
  CCHArray low(1, 1, 1.0);
  low.SetElement(1, 0, 0, 0, 2.0);
  low.FillRemainderX();
  low.FillRemainderY();
  low.FillRemainderZ();
  EXPECT_EQ(low.GetElement(1, 0, 0, 0), 2.0);
}

TEST(CCHArrayTest, SingleSampleNormalisation) {
  const double w = 1.75;
  for (int lmax : {0, 1, 4, 7}) {
    CCHArray a(lmax, 3, 1.0);
    a.IncrementAExpArrayFromE(0.0, 0.0, 1.0, w, 1);
    EXPECT_EQ(a.GetElement(0, 0, 0, 1), w);
    if (lmax >= 1) {
      EXPECT_CLOSE(a.GetElement(0, 0, 1, 1), 3 * w, kRoundoff);
      EXPECT_EQ(a.GetElement(1, 0, 0, 1) + a.GetElement(0, 1, 0, 1), 0.0);
    }
    EXPECT_CLOSE(a.AExpand(0.0, 0.0, 1.0, 1), w * (lmax + 1) * (lmax + 1), 1e-13);
    EXPECT_EQ(a.GetBiggest(0), 0.0);  // other bins untouched
  }
}

TEST(CCHArrayTest, SamplesExpandTheTruncatedDeltaFunction) {
  // After samples at e_k, AExpand(e') = sum_k w_k sum_L (2L+1) P_L(e_k.e') and the bin is traceless
  // along every axis; with symmetries the stored part is the average over the reflections.
  double ex, ey, ez, fx, fy, fz, gx, gy, gz;
  Direction(0.31, 0.77, ex, ey, ez);
  Direction(0.64, 0.12, fx, fy, fz);
  Direction(0.9, 0.4, gx, gy, gz);
  const int lmax = 8;
  for (int syms = 0; syms < 8; ++syms) {
    const bool xs = syms & 1, ys = syms & 2, zs = syms & 4;
    CCHArray a(lmax, 2, 1.0, xs, ys, zs);
    a.IncrementAExpArrayFromE(ex, ey, ez, 0.5, 0);
    a.IncrementAExpArrayFromThetaPhi(std::acos(fz), std::atan2(fy, fx), 1.5, 0);
    EXPECT_LT(TraceViolation(a, 0), 1e-12) << "syms " << syms;
    double expect = 0.0;
    int nrefl = 0;
    for (int sx : {1, -1})
      for (int sy : {1, -1})
        for (int sz : {1, -1}) {
          if ((!xs && sx < 0) || (!ys && sy < 0) || (!zs && sz < 0)) continue;
          ++nrefl;
          for (int L = 0; L <= lmax; ++L)
            expect += (2 * L + 1) * (0.5 * Legendre(L, sx * ex * gx + sy * ey * gy + sz * ez * gz) +
                                     1.5 * Legendre(L, sx * fx * gx + sy * fy * gy + sz * fz * gz));
        }
    EXPECT_NEAR(a.AExpand(gx, gy, gz, 0), expect / nrefl, 1e-11) << "syms " << syms;
    EXPECT_NEAR(a.AExpand(std::acos(gz), std::atan2(gy, gx), 0), expect / nrefl, 1e-11);
  }
}

TEST(CCHArrayTest, AlternativeRecurrenceAgreesWithClosedForm) {
  CRandom ran(2024);
  for (int lmax = 0; lmax <= 10; ++lmax) {
    for (int syms : {0, 1, 2, 4, 7}) {
      CCHArray a(lmax, 2, 1.0, syms & 1, syms & 2, syms & 4);
      CCHArray b(lmax, 2, 1.0, syms & 1, syms & 2, syms & 4);
      for (int sample = 0; sample < 3; ++sample) {
        double ex, ey, ez;
        Direction(ran.ran(), ran.ran(), ex, ey, ez);
        const double w = 0.5 + ran.ran();
        a.IncrementAExpArrayFromE(ex, ey, ez, w, 1);
        b.AltIncrementAExpArrayFromE(ex, ey, ez, w, 1);
      }
      b.FillRemainderX(1);
      for (const Triple& t : StoredTriples(a))
        EXPECT_NEAR(Get(a, t, 1), Get(b, t, 1), 1e-12 * (1.0 + std::fabs(Get(a, t, 1))))
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
  EXPECT_CLOSE(a.AExpand(1.2, -1.6, 3.0), 0.7 * 25.0, 1e-13);
  // Beyond the last bin: dropped, and read as 0.0, without a message.
  EXPECT_EQ(CAPTURE_STDOUT(a.IncrementAExpArray(0.0, 6.0, 0.0, 1.0)), "");
  EXPECT_EQ(CAPTURE_STDOUT(EXPECT_EQ(a.AExpand(6.0, 0.0, 0.0), 0.0)), "");
  EXPECT_EQ(a.GetBiggest(2), 0.0);
  // The origin has no direction: the sample goes to L = 0 alone, and the expansion there is the
  // angular average of bin 0.
  a.IncrementAExpArray(0.0, 0.0, 0.0, 2.5);
  EXPECT_EQ(a.GetBiggest(0), 2.5);
  EXPECT_EQ(a.GetElement(0, 0, 0, 0), 2.5);
  a.IncrementAExpArrayFromE(0.0, 1.0, 0.0, 1.0, 0);
  EXPECT_EQ(a.AExpand(0.0, 0.0, 0.0), 3.5);
}

TEST(CCHArrayTest, MomentIncrementsAndRandomFills) {
  CCHArray m(4, 2, 1.0, false, true, false);
  double ex, ey, ez, fx, fy, fz;
  Direction(0.1, 0.2, ex, ey, ez);
  Direction(0.7, 0.9, fx, fy, fz);
  m.IncrementMArrayFromE(ex, ey, ez, 2.0, 1);
  m.IncrementMArrayFromThetaPhi(std::acos(fz), std::atan2(fy, fx), 3.0, 1);
  EXPECT_EQ(m.GetElement(0, 0, 0, 1), 5.0);
  EXPECT_CLOSE(m.GetElement(1, 2, 1, 1), 2.0 * ex * ey * ey * ez + 3.0 * fx * fy * fy * fz, 1e-13);
  // Unit directions: a trace of the moments is the moment two ranks lower.
  EXPECT_CLOSE(m.GetElement(2, 0, 1, 1) + m.GetElement(0, 2, 1, 1) + m.GetElement(0, 0, 3, 1),
               m.GetElement(0, 0, 1, 1), 1e-13);
  EXPECT_EQ(m.GetBiggest(0), 0.0);

  CCHArray a(5, 3, 1.0, true, false, false), b(5, 3, 1.0, true, false, false);
  a.RandomInit(7);
  a.RandomizeA(0.5);
  b.RandomInit(7);
  b.RandomizeA(0.5);
  for (int ir = 0; ir < 3; ++ir) {
    EXPECT_LT(TraceViolation(a, ir), 1e-13);
    for (const Triple& t : StoredTriples(a)) EXPECT_EQ(Get(a, t, ir), Get(b, t, ir));
    EXPECT_LE(std::fabs(a.GetElement(0, 3, 2, ir)), 0.5);
  }
  a.RandomizeA_Gaussian(2.0);
  EXPECT_LT(TraceViolation(a, 2), 1e-12);
  a.Randomize(0.25);
  EXPECT_LE(a.GetBiggest(2), 0.25);
  // Without an explicit seed the generator starts from -12345.
  delete CCHArray::randy;
  CCHArray::randy = nullptr;
  CCHArray c(0, 1, 1.0);
  c.Randomize(1.0, 0);
  CRandom reference(-12345);
  EXPECT_EQ(c.GetElement(0, 0, 0, 0), 1.0 - 2.0 * reference.ran());
}

}  // namespace

// Tests of ArrayCalc: the representation conversions (moments, Detrace, log/exp,
// grids, spherical harmonics) and the arithmetic of Cartesian-harmonic arrays and
// grids. Most checks are properties of the angular functions the coefficients
// represent, evaluated at scattered unit vectors.

#include "arrays/arraycalc.h"

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "arrays/ylmarray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "numeric/spherharmonics.h"

namespace {

using cd = std::complex<double>;

struct Dir {
  double x, y, z;
};

// Unit vectors spread over the sphere (deterministic).
std::vector<Dir> Directions(int n, int seed) {
  CRandom rng(seed);
  std::vector<Dir> dirs;
  for (int i = 0; i < n; i++) {
    const double c = 2.0 * rng.ran() - 1.0, phi = 2.0 * M_PI * rng.ran();
    const double s = std::sqrt(1.0 - c * c);
    dirs.push_back({s * std::cos(phi), s * std::sin(phi), c});
  }
  return dirs;
}

template <typename Visit>
void ForEachComponent(const CCHArray &a, Visit visit) {
  for (int lx = 0; lx <= a.LMAX; lx += a.dlx)
    for (int ly = 0; lx + ly <= a.LMAX; ly += a.dly)
      for (int lz = 0; lx + ly + lz <= a.LMAX; lz += a.dlz) visit(lx, ly, lz);
}

void ExpectSameBin(const CCHArray &a, int ira, const CCHArray &b, int irb, double rel, double abs) {
  ForEachComponent(a, [&](int lx, int ly, int lz) {
    EXPECT_CLOSE_ABS(a.GetElement(lx, ly, lz, ira), b.GetElement(lx, ly, lz, irb), rel, abs)
        << "l=(" << lx << "," << ly << "," << lz << ")";
  });
}

// Expects bin ir to hold only A000 = c000 (others 0 within abs).
void ExpectOnlyMonopole(const CCHArray &a, int ir, double c000, double abs) {
  ForEachComponent(a, [&](int lx, int ly, int lz) {
    EXPECT_CLOSE_ABS(a.GetElement(lx, ly, lz, ir), lx + ly + lz == 0 ? c000 : 0.0, 1e-12, abs)
        << "l=(" << lx << "," << ly << "," << lz << ")";
  });
}

struct SymCase {
  const char *name;
  bool x, y, z;
};
const auto kSymCases =
    ::testing::Values(SymCase{"none", false, false, false}, SymCase{"x", true, false, false},
                      SymCase{"yz", false, true, true}, SymCase{"xyz", true, true, true});
const auto kSymName = [](const auto &info) { return std::string(info.param.name); };

class ArrayCalcMoments : public ::testing::TestWithParam<SymCase> {};

TEST_P(ArrayCalcMoments, BothDirectionsReproduceTheSampleFills) {
  const SymCase c = GetParam();
  CCHArray M(5, 2, 1.0, c.x, c.y, c.z), A(5, 2, 1.0, c.x, c.y, c.z);
  CRandom rng(77);
  for (const Dir &d : Directions(40, 11)) {
    const double w = 0.5 + rng.ran();
    // Every mirror image of the sample, so that the function has the symmetries.
    for (int sx = 1; sx >= (c.x ? -1 : 1); sx -= 2)
      for (int sy = 1; sy >= (c.y ? -1 : 1); sy -= 2)
        for (int sz = 1; sz >= (c.z ? -1 : 1); sz -= 2) {
          M.IncrementMArrayFromE(sx * d.x, sy * d.y, sz * d.z, w, 1);
          A.IncrementAExpArrayFromE(sx * d.x, sy * d.y, sz * d.z, w, 1);
        }
  }
  CCHArray A2(5, 2, 1.0, c.x, c.y, c.z), M2(5, 2, 1.0, c.x, c.y, c.z);
  ArrayCalc::CalcAExpArrayFromMArray(&M, &A2);
  ArrayCalc::CalcMArrayFromAExpArray(&A, &M2);
  const double scale = A.GetElement(0, 0, 0, 1);
  ExpectSameBin(A, 1, A2, 1, 1e-10, 1e-10 * scale);
  ExpectSameBin(M, 1, M2, 1, 1e-10, 1e-10 * scale);
  ExpectOnlyMonopole(A2, 0, 0.0, 0.0);  // the empty bin stays empty
}

INSTANTIATE_TEST_SUITE_P(Symmetries, ArrayCalcMoments, kSymCases, kSymName);

TEST(ArrayCalcDetrace, KeepsTheFunctionAndMakesItTraceless) {
  for (bool sym : {false, true}) {
    // An arbitrary coefficient set, read with the AExpand rule, is a polynomial on
    // the sphere; its traceless form must give the same values.
    CCHArray B(4, 2, 1.0, sym, sym, sym), A(4, 2, 1.0, sym, sym, sym), T(4, 2, 1.0, sym, sym, sym);
    B.RandomInit(9);
    B.Randomize(1.0);
    ArrayCalc::Detrace(&B, &A);
    for (const Dir &d : Directions(20, 3))
      EXPECT_CLOSE_ABS(A.AExpand(d.x, d.y, d.z, 1), B.AExpand(d.x, d.y, d.z, 1), 1e-10, 1e-10);
    ArrayCalc::CopyArray(&A, &T);
    T.FillRemainderY(1);  // traceless along y too
    ExpectSameBin(A, 1, T, 1, 1e-10, 1e-10);
  }
}

TEST(ArrayCalcXExp, LogThenExpRoundTripAndClosedForms) {
  // 1.7 + traceless parts of size 0.01. Both series truncate every power at rank
  // LMAX in the symmetric representation, so the round trip is exact only to third
  // order in the anisotropy (~2e-7 here; 27 times more at size 0.03).
  CCHArray A(4, 2, 1.0, false, false, true), X(4, 2, 1.0, false, false, true),
      B(4, 2, 1.0, false, false, true);
  A.RandomInit(21);
  A.RandomizeA(0.01);
  for (int ir = 0; ir < 2; ir++) A.SetElement(0, 0, 0, ir, 1.7);
  CAPTURE_STDOUT(ArrayCalc::CalcXExpArrayFromAExpArray(&A, &X));
  ArrayCalc::CalcAExpArrayFromXExpArray(&X, &B);
  for (int ir = 0; ir < 2; ir++) ExpectSameBin(A, ir, B, ir, 1e-6, 1e-6);
  // The log of a constant; exp(0.4 + 0.2 ez), whose truncation at LMAX = 8 costs ~0.2^9/9!.
  CCHArray F(8, 1, 1.0), L(8, 1, 1.0);
  F.SetElement(0, 0, 0, 0, 2.5);
  EXPECT_EQ(CAPTURE_STDOUT(ArrayCalc::CalcXExpArrayFromAExpArray(&F, &L)), "nmax was 7\n");
  ExpectOnlyMonopole(L, 0, std::log(2.5), 1e-15);
  L.SetElement(0, 0, 0, 0, 0.4);
  L.SetElement(0, 0, 1, 0, 0.2);
  ArrayCalc::CalcAExpArrayFromXExpArray(&L, &F);
  for (const Dir &d : Directions(10, 8))
    EXPECT_CLOSE(F.AExpand(d.x, d.y, d.z, 0), std::exp(0.4 + 0.2 * d.z), 1e-9);
}

TEST(ArrayCalcGrid, InterpolatesRadiallyHoldsTheLastBinThenZero) {
  // 1 + z (A001 = r at each bin centre) is linear along every ray and through the
  // origin; beyond the last centre (2.75) the value there is held up to r = 3.
  CCHArray A(1, 6, 0.5);
  for (int ir = 0; ir < 6; ir++) {
    A.SetElement(0, 0, 0, ir, 1.0);
    A.SetElement(0, 0, 1, ir, (ir + 0.5) * 0.5);
  }
  C3DArray G(8, 0.3, false, false, false);
  ArrayCalc::Calc3DArrayFromAExpArray(&A, &G);
  for (int ix = 0; ix < 8; ix++)
    for (int isz = 0; isz < 2; isz++)
      for (int iz = 0; iz < 8; iz++) {
        const double x = (ix + 0.5) * 0.3, z = (isz ? -1 : 1) * (iz + 0.5) * 0.3;
        const double r = std::hypot(x, 0.15, z);
        const double expect = r < 2.75 ? 1.0 + z : r < 3.0 ? 1.0 + 2.75 * z / r : 0.0;
        EXPECT_CLOSE_ABS(G.GetElement(1, ix, 0, 0, isz, iz), expect, 1e-12, 1e-12) << x << " " << z;
      }
}

// AExp -> grid -> AExp keeps the components up to rank 2, away from the origin
// (directions unresolved) and from the outer edge (0 beyond NRADIAL*RADSTEP).
TEST(ArrayCalcGrid, RoundTripKeepsLowComponents) {
  for (bool sym : {false, true}) {
    CCHArray A(4, 8, 1.0, sym, sym, sym), B(4, 8, 1.0, sym, sym, sym);
    for (int ir = 0; ir < 8; ir++) {
      const double r = sym ? 0.0 : ir + 0.5;
      A.SetElement(0, 0, 0, ir, 2.0);
      A.SetElement(sym ? 2 : 1, 0, 0, ir, sym ? 0.3 : 0.2 * r);
      A.SetElement(0, 0, sym ? 2 : 1, ir, sym ? -0.3 : 0.3 * r);
      if (!sym) A.SetElement(0, 1, 0, ir, -0.1 * r);
    }
    A.FillRemainderX();
    // 2 + 0.2 x - 0.1 y + 0.3 z is interpolated exactly; 2 + 0.3 (ex^2 - ez^2),
    // constant along each ray, varies on the scale r and needs cells well below r.
    C3DArray G(sym ? 72 : 14, sym ? 0.125 : 0.75, sym, sym, sym);
    ArrayCalc::Calc3DArrayFromAExpArray(&A, &G);
    ArrayCalc::CalcAExpArrayFrom3DArray(&G, &B);
    for (int ir = 3; ir < 7; ir++)
      ForEachComponent(A, [&](int lx, int ly, int lz) {
        if (lx + ly + lz > 2) return;
        EXPECT_CLOSE_ABS(B.GetElement(lx, ly, lz, ir), A.GetElement(lx, ly, lz, ir), 1e-3, 1e-4)
            << "sym=" << sym << " ir=" << ir << " l=(" << lx << "," << ly << "," << lz << ")";
      });
  }
}

TEST(ArrayCalcGrid, AveragingCoversTheSphereForEverySymmetry) {
  // A constant grid must average to A000 = c whatever the symmetries: a phi range
  // missing a quarter would leave dipoles of order c. The midpoint rule in
  // cos(theta) leaves rank-2 remainders ~1e-4 c.
  for (int mask = 0; mask < 8; mask++) {
    const bool sx = mask & 1, sy = mask & 2, sz = mask & 4;
    C3DArray G(10, 1.0, sx, sy, sz);
    G.MakeConstant(3.0);
    CCHArray A(3, 5, 1.0, sx, sy, sz);
    ArrayCalc::CalcAExpArrayFrom3DArray(&G, &A);
    for (int ir = 0; ir < 5; ir++) ExpectOnlyMonopole(A, ir, 3.0, 1e-3);
  }
}

class ArrayCalcYlmSym : public ::testing::TestWithParam<SymCase> {};

// F(e) = sqrt(4 pi) sum_{l, |m| <= l} Y(l,m) conj(Y_lm(e)) must reproduce AExpand
// (the conversion projects on Y_lm, overwriting stale values), and the inverse must
// return the traceless bin; through a Y of smaller LMAX the higher ranks come back 0.
TEST_P(ArrayCalcYlmSym, MatchesTheHarmonicSumAndInverts) {
  const SymCase c = GetParam();
  const int lmax = 5;
  CCHArray A(lmax, 1, 1.0, c.x, c.y, c.z), B(lmax, 1, 1.0, c.x, c.y, c.z);
  A.RandomInit(13);
  A.RandomizeA(1.0, 0);
  CYlmArray Y(lmax, 1), small(2, 1);
  Y.SetElement(3, 2, 0, cd(9.0, 9.0));
  ArrayCalc::CalcYlmExpArrayFromAExpArray(&A, 0, &Y, 0);
  for (const Dir &d : Directions(12, 4)) {
    const double theta = std::acos(d.z), phi = std::atan2(d.y, d.x);
    double sum = 0.0;
    for (int l = 0; l <= lmax; l++)
      for (int m = 0; m <= l; m++)
        sum += (m ? 2.0 : 1.0) *
               (Y.GetElement(l, m, 0) * std::conj(SpherHarmonics::Ylm(l, m, theta, phi))).real();
    EXPECT_CLOSE_ABS(std::sqrt(4.0 * M_PI) * sum, A.AExpand(d.x, d.y, d.z, 0), 1e-10, 1e-10);
  }
  ArrayCalc::CalcAExpArrayFromYlmExpArray(&Y, 0, &B, 0);
  ExpectSameBin(A, 0, B, 0, 1e-9, 1e-10);
  ArrayCalc::CalcYlmExpArrayFromAExpArray(&A, 0, &small, 0);
  ArrayCalc::CalcAExpArrayFromYlmExpArray(&small, 0, &B, 0);
  ForEachComponent(A, [&](int lx, int ly, int lz) {
    EXPECT_CLOSE_ABS(B.GetElement(lx, ly, lz, 0),
                     lx + ly + lz <= 2 ? A.GetElement(lx, ly, lz, 0) : 0.0, 1e-10, 1e-12);
  });
}

INSTANTIATE_TEST_SUITE_P(Symmetries, ArrayCalcYlmSym, kSymCases, kSymName);

TEST(ArrayCalcDeathTest, OneCaseOfEachFatalMessage) {
  CCHArray M(3, 2, 1.0), A(4, 2, 1.0), N(3, 3, 1.0);
  EXPECT_FATAL(ArrayCalc::CalcAExpArrayFromMArray(&M, 0, &A, 0),
               "^LMAX from M does not match LMAX from A\n$");
  EXPECT_FATAL(ArrayCalc::CalcAExpArrayFromMArray(&M, &N),
               "^NRADIAL mismatch between CCHArrays!!!\n"
               "fatal error, parameters mismatch in ArrayCalc::CalcAExpArrayFromMArray\n$");
  M.SetElement(0, 0, 0, 1, -1.0);  // log of a negative average
  EXPECT_FATAL(ArrayCalc::CalcXExpArrayFromAExpArray(&M, 1, &M, 1),
               "^FATAL: A\\(0,0,0\\)=-1 <= 0 in ArrayCalc::CalcXExpArrayFromAExpArray");
  CCHArray S(2, 4, 1.0, true, false, true);
  C3DArray G(3, 1.0, true, true, true);
  EXPECT_FATAL(ArrayCalc::Calc3DArrayFromAExpArray(&S, &G),
               "^X: 1=\\?1, Y: 0=\\?1 Z: 1=\\?1\n"
               "Symmetry mismatch between CHArray and 3DArray!!!\n$");
  CCHArray a(2, 2, 1.0), b(2, 2, 1.0), ys(2, 2, 1.0, 0, 1, 0);
  a.SetElement(0, 0, 0, 0, 1.0);
  b.SetElement(0, 0, 1, 0, 1.0);  // no L = 0 part
  EXPECT_FATAL(ArrayCalc::DivideArrays(&a, 0, &b, 0, &a, 1),
               "^FATAL: B\\(0,0,0\\)=0 in ArrayCalc::DivideArrays, cannot divide\n$");
  EXPECT_FATAL(ArrayCalc::DivideArrays(&a, 0, &a, 0, &ys, 0),
               "^FATAL: Symmetry mismatch in ArrayCalc::DivdeArrays\n$");
  // Per-bin operations check their bins instead of writing past the storage.
  EXPECT_FATAL(ArrayCalc::CopyArray(&a, 0, &b, 2),
               "^CCHArray: bin ir=2 out of range \\(NRADIAL=2\\)\n$");
  // Grids: the comparison's line only.
  C3DArray g2(2, 1.0, true, true, true), g3(3, 1.0, true, true, true);
  EXPECT_FATAL(ArrayCalc::DivideArrays(&g3, &g2, &g2), "^NXYZMAX mismatch between 3DArrays!!!\n$");
}

// What a comparison prints; `ok` receives its result.
template <typename X, typename Y>
std::string CompareOutput(X *x, Y *y, bool *ok) {
  return CAPTURE_STDOUT(*ok = ArrayCalc::CompareArrayParameters(x, y));
}

TEST(ArrayCalcCompare, FirstDisagreementIsReported) {
  // NRADIAL, NXYZMAX and the grid-first symmetry line: see the death tests.
  bool ok = false;
  CCHArray a(3, 5, 1.0), down(3, 5, 1.0 - 2e-10), near(3, 5, 1.0 + 5e-11);
  CCHArray sym(3, 5, 1.0, false, false, true), lmax(4, 5, 1.0);
  EXPECT_EQ(CompareOutput(&a, &near, &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(CompareOutput(&a, &down, &ok), "RADSTEP mismatch between CCHArrays!!!\n");
  EXPECT_EQ(CompareOutput(&a, &sym, &ok), "Symmetry mismatch between CHArrays!!!\n");
  EXPECT_EQ(CompareOutput(&a, &lmax, &ok), "LMAX mismatch metween CCHArrays!!!\n");
  EXPECT_FALSE(ok);

  C3DArray g(4, 1.0, 4, 1.0, 4, 1.0, true, false, true);
  C3DArray del(4, 1.0, 4, 1.0 + 1e-9, 4, 1.0, true, false, true);
  C3DArray gsym(4, 1.0, true, true, true);
  EXPECT_EQ(CompareOutput(&g, &del, &ok), "DELXYZ mismatch between 3DArrays!!!\n");
  EXPECT_EQ(CompareOutput(&g, &gsym, &ok), "Symmetry mismatch between 3DArrays!!!\n");
  CCHArray s(2, 3, 1.0, true, true, true);
  EXPECT_EQ(CompareOutput(&s, &g, &ok), "Symmetry mismatch between CHArray and 3DArray!!!\n");
  EXPECT_FALSE(ok);
  EXPECT_EQ(CompareOutput(&s, &gsym, &ok), "");
  EXPECT_TRUE(ok);
}

TEST(ArrayCalcCopyAdd, TargetsGetEveryComponentTheyStore) {
  CCHArray a(2, 2, 1.0, true, false, false), b(4, 3, 1.0), c(3, 2, 1.0);
  a.RandomInit(1);
  a.Randomize(1.0);
  b.Randomize(1.0);
  c.Randomize(1.0);
  // Into a larger LMAX without XSYM: higher ranks and components XSYM removes become 0.
  ArrayCalc::CopyArray(&a, 1, &b, 2);
  ForEachComponent(b, [&](int lx, int ly, int lz) {
    EXPECT_EQ(b.GetElement(lx, ly, lz, 2),
              lx + ly + lz <= 2 && lx % 2 == 0 ? a.GetElement(lx, ly, lz, 1) : 0.0);
  });
  const double c300 = c.GetElement(3, 0, 0, 1);
  ArrayCalc::AddArrays(&a, 0, &b, 1, &c, 1);
  EXPECT_EQ(c.GetElement(0, 1, 1, 1), a.GetElement(0, 1, 1, 0) + b.GetElement(0, 1, 1, 1));
  EXPECT_EQ(c.GetElement(3, 0, 0, 1), c300);  // above min(LMAX of A, B): untouched
}

// Exact when LMAX of C is at least the sum of the two ranks; the product zeroes its target bin
// first.
TEST(ArrayCalcMultiply, ProductOfFunctionsOnTheSphere) {
  for (bool sym : {false, true}) {
    CCHArray a(2, 1, 1.0, sym, false, sym), b(3, 1, 1.0, false, false, sym),
        c(5, 1, 1.0, false, false, sym);
    a.RandomInit(4);
    a.RandomizeA(1.0);
    b.RandomizeA(1.0);
    c.Randomize(1.0);
    ArrayCalc::MultiplyArrays(&a, 0, &b, 0, &c, 0);
    for (const Dir &d : Directions(15, 6))
      EXPECT_CLOSE_ABS(c.AExpand(d.x, d.y, d.z, 0),
                       a.AExpand(d.x, d.y, d.z, 0) * b.AExpand(d.x, d.y, d.z, 0), 1e-10, 1e-10);
  }
}

TEST(ArrayCalcDivide, QuotientsMatchOnTheSphere) {
  // (1 + 0.2 (ex^2 - ey^2)) / (2 + 0.1 ez): the series converges with ratio 0.05,
  // so at LMAX = 8 the truncated quotient is exact to ~1e-11.
  for (bool sym : {false, true}) {
    CCHArray a(8, 1, 1.0, sym, sym, false), b(8, 1, 1.0, sym, sym, false),
        c(8, 1, 1.0, sym, sym, false);
    a.SetElement(0, 0, 0, 0, 1.0);
    a.SetElement(2, 0, 0, 0, 0.2);
    a.SetElement(0, 2, 0, 0, -0.2);
    b.SetElement(0, 0, 0, 0, 2.0);
    b.SetElement(0, 0, 1, 0, 0.1);
    CAPTURE_STDOUT(ArrayCalc::DivideArrays(&a, 0, &b, 0, &c, 0));
    for (const Dir &d : Directions(12, 9))
      EXPECT_CLOSE(c.AExpand(d.x, d.y, d.z, 0),
                   (1.0 + 0.2 * (d.x * d.x - d.y * d.y)) / (2.0 + 0.1 * d.z), 1e-9);
  }
  // Inverting a negative divisor; LMAX 2 keeps it to its rank-3 part, ~0.5 * 0.05^3.
  CCHArray b(2, 1, 1.0), c(2, 1, 1.0);
  b.SetElement(0, 0, 0, 0, -2.0);
  b.SetElement(1, 0, 0, 0, 0.1);
  EXPECT_EQ(CAPTURE_STDOUT(ArrayCalc::InvertArray(&b, 0, &c, 0)).find("at L=55"),
            std::string::npos);
  EXPECT_CLOSE(c.AExpand(1.0, 0.0, 0.0, 0), 1.0 / (-2.0 + 0.1), 1e-4);
}

TEST(ArrayCalcGridArith, ZeroCellsOfADivisorGiveZero) {
  C3DArray a(2, 1.0, false, true, true), b(2, 1.0, false, true, true), c(2, 1.0, false, true, true);
  a.Randomize();
  const double a1 = a.GetElement(1, 1, 0, 0, 0, 1);
  b.MakeConstant(2.0);
  b.SetElement(0, 1, 0, 0, 0, 1, 0.0);
  b.SetElement(1, 0, 0, 1, 0, 1, 0.0);
  EXPECT_EQ(CAPTURE_STDOUT(ArrayCalc::DivideArrays(&a, &b, &c)),
            "WARNING: 2 cells with zero divisor in ArrayCalc::DivideArrays set to 0\n");
  EXPECT_EQ(c.GetElement(0, 1, 0, 0, 0, 1), 0.0);
  EXPECT_EQ(c.GetElement(1, 1, 0, 0, 0, 1), a1 / 2.0);  // non-zero cells divided
  EXPECT_EQ(CAPTURE_STDOUT(ArrayCalc::InvertArray(&b, &c)),
            "WARNING: 2 zero cells in ArrayCalc::InvertArray set to 0\n");
  EXPECT_EQ(c.GetElement(1, 0, 0, 1, 0, 1), 0.0);
  EXPECT_EQ(c.GetElement(0, 0, 0, 0, 0, 0), 0.5);
}

}  // namespace

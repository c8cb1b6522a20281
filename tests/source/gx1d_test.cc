// Source calculator base and the one-dimensional Gaussian-plus-exponential source.

#include <cmath>
#include <string>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "common/test_util.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::kRoundoff;

// 4 pi int r^2 S dr = lambdaG + lambdaX, with z = 2R^2/X^2 below and above 1.
TEST(GX1DNormalisation, IntegralIsTheSumOfTheWeights) {
  CCHArray fine(0, 3000, 0.1);
  CSourceCalc_GX1D calc;
  for (double X : {10.0, 2.0}) {
    calc.SetSPars(0.5, 6.0, 0.25, X, 5.0);
    calc.CalcS(&fine);
    EXPECT_CLOSE(femtokit_test::PrintedNorm(&calc, &fine), 0.75, 1e-4) << "X=" << X;
  }
}

TEST(GX1DShape, ExplicitFormAndSuppressionOfHigherRanks) {
  CCHArray A(3, 40, 0.5);
  CSourceCalc_GX1D calc;
  calc.SetSPars(0.4, 2.0, 0.2, 8.0, 5.0);
  calc.CalcS(&A);
  const double z = 2.0 * 4.0 / 64.0;
  const double nx = 1.0 / (4 * M_PI * 512.0 *
                           (2 * z * std::cyl_bessel_k(1.0, z) + z * z * std::cyl_bessel_k(0.0, z)));
  for (int ir = 0; ir < 40; ir++) {
    const double r = (ir + 0.5) * 0.5, s0 = A.GetElement(0, 0, 0, ir);
    const double f = r / sqrt(r * r + 25.0);
    EXPECT_CLOSE(
        s0,
        0.4 * pow(16 * M_PI, -1.5) * exp(-r * r / 16) + 0.2 * nx * exp(-sqrt(r * r / 64 + z * z)),
        1e-12);
    EXPECT_CLOSE(A.GetElement(1, 0, 0, ir), s0 * f, kRoundoff);
    EXPECT_CLOSE(A.GetElement(0, 1, 1, ir), s0 * f * f, kRoundoff);
    EXPECT_CLOSE(A.GetElement(0, 0, 3, ir), s0 * f * f * f, kRoundoff);
  }
}

TEST(GX1DComponents, WholeCalcFillsOnlyIndependentComponents) {
  CSourceCalc_GX1D calc;
  CCHArray A0(0, 5, 1.0);  // LMAX = 0: the (0,0,0) component alone
  calc.CalcS(&A0);
  EXPECT_GT(A0.GetElement(0, 0, 0, 0), 0.0);
  CCHArray A(2, 5, 1.0);
  A.SetElement(2, 0, 0, 3, -7.0);
  calc.CalcS(&A);
  EXPECT_GT(A.GetElement(1, 0, 1, 3), 0.0);
  EXPECT_EQ(A.GetElement(2, 0, 0, 3), -7.0);  // lx >= 2 untouched
  // XSYM: no lx = 1 is stored, and none is asked for (that would warn).
  CCHArray S(2, 5, 1.0, true, false, false);
  EXPECT_EQ(CAPTURE_STDOUT(calc.CalcS(&S)), "");
  EXPECT_GT(S.GetElement(0, 1, 1, 2), 0.0);
}

TEST(GX1DFatal, NonPositiveLengthsAreRejected) {
  CCHArray A(0, 5, 1.0);
  CSourceCalc_GX1D calc;
  calc.SetSPars(0.5, 5.0, 0.3, -1.0, 5.0);  // the component form checks
  EXPECT_FATAL(calc.CalcS(0, 0, 0, &A),
               "^CSourceCalc_GX1D: lengths R=5 and X=-1 must be positive \\(fm\\)\n$");
}

// The cube [-1, 1]^3 of density 1, stored as one octant or whole.
TEST(SourceCalcNormCheck, GridArrayCountsMirrorCellsOfSymmetricAxes) {
  CSourceCalc base;
  for (bool sym : {true, false}) {
    C3DArray cube(2, 0.5, sym, sym, !sym);
    cube.MakeConstant(1.0);
    EXPECT_EQ(CAPTURE_STDOUT(base.NormCheck(&cube)), "Norm Check of 3DArray = 8\n");
  }
}

// Two point samples on the x axis at bin centres (density w/(4 pi r^2 dr) in
// their bins): <x> = 0.5, <x^2> = <r^2> = 4.25, so Rx^2 = (4.25 - 0.25)/2 = 2,
// Rinv = sqrt(<r^2>/6), and the transverse radii vanish.
TEST(SourceCalcEffectiveGaussian, OffsetsAndRadiiOfTwoPointSamples) {
  CCHArray A(2, 5, 1.0);
  for (double x : {2.5, -1.5}) A.IncrementAExpArray(x, 0.0, 0.0, 0.5 / (4.0 * M_PI * x * x));
  CSourceCalc base;
  double Rx, Ry, Rz, Xoff, Yoff, Zoff;
  const std::string out = CAPTURE_STDOUT(base.CalcEffGaussPars(&A, Rx, Ry, Rz, Xoff, Yoff, Zoff));
  EXPECT_CLOSE(Xoff, 0.5, 1e-12);
  EXPECT_CLOSE(Rx, sqrt(2.0), 1e-12);
  for (double v : {Yoff, Zoff, Ry, Rz}) EXPECT_CLOSE_ABS(v, 0.0, 0.0, 1e-6);
  EXPECT_CLOSE(femtokit_test::PrintedValue(out, "Rinv="), sqrt(4.25 / 6.0), 1e-5) << out;
  EXPECT_EQ(CAPTURE_STDOUT(base.CalcEffGaussPars(&A)), out);
}

}  // namespace

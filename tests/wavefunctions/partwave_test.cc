// Coulomb partial waves: table contents against independent evaluations,
// both interpolation branches, the direct evaluation beyond the table and the
// outgoing wave.

#include "wavefunctions/partwave.h"

#include <gsl/gsl_sf_bessel.h>
#include <gsl/gsl_sf_coulomb.h>
#include <gsl/gsl_sf_gamma.h>
#include <gsl/gsl_sf_result.h>

#include <cmath>
#include <complex>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;
using cd = std::complex<double>;
constexpr double kHbarc = 197.3269602;

void ExpectComplexClose(cd a, cd b, double rel) {
  const double floor = rel * std::abs(b);
  EXPECT_CLOSE_ABS(a.real(), b.real(), rel, floor);
  EXPECT_CLOSE_ABS(a.imag(), b.imag(), rel, floor);
}

// x h*_ell(x) = x (j_ell - i y_ell) from GSL.
cd FreeIncoming(int ell, double x) {
  return x * cd(gsl_sf_bessel_jl(ell, x), -gsl_sf_bessel_yl(ell, x));
}

// (F + i G) e^{-i sigma} straight from GSL.
cd CoulombIncoming(int ell, double x, double eta) {
  double fc[8], gc[8], fe, ge;
  gsl_sf_coulomb_wave_FG_array(0, ell, eta, x, fc, gc, &fe, &ge);
  gsl_sf_result lnr, arg;
  gsl_sf_lngamma_complex_e(ell + 1.0, eta, &lnr, &arg);
  return cd(fc[ell], gc[ell]) * std::polar(1.0, -arg.val);
}

TEST(PartWaveTest, FreeTableHoldsRiccatiHankelAtBinCentres) {
  const double q = 60.0;
  for (int ell = 0; ell <= 2; ell++) {
    CPartWave pw(0.0, 0, q, ell, 1.0);
    EXPECT_EQ(pw.nrmax, 3000);
    EXPECT_EQ(pw.delr, 0.01);
    EXPECT_EQ(pw.sigma, 0.0);
    for (int i : {0, 1, 250, 2999, 3000}) {
      const double r = (i + 0.5) * pw.delr;
      ExpectComplexClose(pw.phi[i], FreeIncoming(ell, q * r / kHbarc), 1e-7);
      EXPECT_EQ(pw.GetPhiIncoming(r), pw.phi[i]);  // on a table point: that point
    }
  }
}

TEST(PartWaveTest, CoulombTableAndPhase) {
  const double q = 35.0, eta = 0.6;
  for (int ell = 0; ell <= 2; ell++) {
    CPartWave pw(eta, 1, q, ell, 1.0);
    gsl_sf_result lnr, arg;
    gsl_sf_lngamma_complex_e(ell + 1.0, eta, &lnr, &arg);
    EXPECT_CLOSE(pw.sigma, arg.val, kRoundoff);
    for (int i : {0, 77, 3000}) {
      ExpectComplexClose(pw.phi[i], CoulombIncoming(ell, q * (i + 0.5) * 0.01 / kHbarc, eta),
                         1e-12);
    }
    // Far out (x = 530) |F + i G| -> 1.
    EXPECT_CLOSE(std::abs(pw.GetPhiIncoming(3000.0)), 1.0, 1e-2);
  }
}

TEST(PartWaveTest, InterpolationIsLinearBetweenNeighbours) {
  CPartWave pw(-0.3, -1, 90.0, 1, 1.0);
  const double d = pw.delr;
  // Upper half of bin 40 (points 40, 41) and lower half (points 39, 40).
  ExpectComplexClose(pw.GetPhiIncoming(40.75 * d), 0.75 * pw.phi[40] + 0.25 * pw.phi[41], 1e-12);
  ExpectComplexClose(pw.GetPhiIncoming(40.25 * d), 0.25 * pw.phi[39] + 0.75 * pw.phi[40], 1e-12);
  // Below the first point: extrapolated from points 0 and 1.
  ExpectComplexClose(pw.GetPhiIncoming(0.2 * d), 1.3 * pw.phi[0] - 0.3 * pw.phi[1], 1e-12);
  // The interpolated wave is close to the exact one (step 0.01 fm).
  const double r = 3.456;
  ExpectComplexClose(pw.GetPhiIncoming(r), CoulombIncoming(1, 90.0 * r / kHbarc, -0.3), 1e-4);
}

TEST(PartWaveTest, BeyondTheTableTheWaveIsComputedDirectly) {
  // A short table: 50 steps of 0.1 fm, so r >= 5 fm is evaluated directly.
  CPartWave coul(0.9, 1, 20.0, 2, 1.0, 50, 0.1);
  for (double r : {5.0, 5.03, 37.7}) {
    ExpectComplexClose(coul.GetPhiIncoming(r), CoulombIncoming(2, 20.0 * r / kHbarc, 0.9), 1e-12);
  }
  CPartWave freew(0.0, 0, 20.0, 1, 1.0);
  ExpectComplexClose(freew.GetPhiIncoming(31.234), FreeIncoming(1, 20.0 * 31.234 / kHbarc), 1e-9);
}

TEST(PartWaveTest, OutgoingIsConjugateWithTwiceTheCoulombPhase) {
  CPartWave coul(0.5, 1, 50.0, 1, 1.0);
  CPartWave freew(0.0, 0, 50.0, 1, 1.0);
  for (double r : {0.3, 4.44, 40.0}) {
    ExpectComplexClose(coul.GetPhiOutgoing(r),
                       std::conj(coul.GetPhiIncoming(r)) * std::polar(1.0, -2 * coul.sigma),
                       kRoundoff);
    EXPECT_EQ(freew.GetPhiOutgoing(r), std::conj(freew.GetPhiIncoming(r)));
  }
}

TEST(PartWaveDeathTest, ATableWithoutTwoPointsIsFatal) {
  EXPECT_FATAL(CPartWave(0.0, 0, 10.0, 0, 1.0, 0, 0.01),
               "CPartWave: the table needs nrmax >= 1 and delr > 0 \\(nrmax=0, delr=0.01\\)");
}

}  // namespace

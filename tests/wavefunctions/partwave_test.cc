// Coulomb partial waves: table contents against independent evaluations,
// both interpolation branches, the direct evaluation beyond the table and the
// outgoing wave.

#include "wavefunctions/partwave.h"

#include <gsl/gsl_sf_bessel.h>
#include <gsl/gsl_sf_coulomb.h>
#include <gsl/gsl_sf_gamma.h>
#include <gsl/gsl_sf_result.h>

#include <complex>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

using femtokit_test::kRoundoff;
using cd = std::complex<double>;
constexpr double kHbarc = femtokit::constants::kHbarC;

// The incoming wave straight from GSL: x (j_ell - i y_ell) without Coulomb,
// (F + i G) e^{-i sigma} with it.
cd Reference(int ell, double q, double r, double eta, bool coulomb) {
  const double x = q * r / kHbarc;
  if (!coulomb) return x * cd(gsl_sf_bessel_jl(ell, x), -gsl_sf_bessel_yl(ell, x));
  double fc[8], gc[8], fe, ge;
  gsl_sf_coulomb_wave_FG_array(0, ell, eta, x, fc, gc, &fe, &ge);
  gsl_sf_result lnr, arg;
  gsl_sf_lngamma_complex_e(ell + 1.0, eta, &lnr, &arg);
  return cd(fc[ell], gc[ell]) * std::polar(1.0, -arg.val);
}

TEST(PartWaveTest, TableHoldsTheWaveAtBinCentresAndBeyondItIsComputedDirectly) {
  const double q = 35.0, eta = 0.6;
  for (bool coulomb : {false, true}) {
    for (int ell = 0; ell <= 2; ell++) {
      CPartWave pw(coulomb ? eta : 0.0, coulomb ? 1 : 0, q, ell, 1.0);  // 3000 steps of 0.01 fm
      gsl_sf_result lnr, arg;
      gsl_sf_lngamma_complex_e(ell + 1.0, eta, &lnr, &arg);
      EXPECT_CLOSE_ABS(pw.sigma, coulomb ? arg.val : 0.0, kRoundoff, 0);
      for (int i : {0, 77, 2999, 3000}) {
        const double r = (i + 0.5) * 0.01;
        EXPECT_COMPLEX_CLOSE(pw.phi[i], Reference(ell, q, r, eta, coulomb), coulomb ? 1e-12 : 1e-7);
        EXPECT_EQ(pw.GetPhiIncoming(r), pw.phi[i]);  // on a table point: that point
      }
      EXPECT_COMPLEX_CLOSE(pw.GetPhiIncoming(31.234), Reference(ell, q, 31.234, eta, coulomb), 1e-9);
    }
  }
  // A short table: 50 steps of 0.1 fm, so r >= 5 fm is evaluated directly.
  CPartWave coul(0.9, 1, 20.0, 2, 1.0, 50, 0.1);
  for (double r : {5.0, 5.03, 37.7})
    EXPECT_COMPLEX_CLOSE(coul.GetPhiIncoming(r), Reference(2, 20.0, r, 0.9, true), 1e-12);
}

TEST(PartWaveTest, InterpolationIsLinearBetweenNeighbours) {
  CPartWave pw(-0.3, -1, 90.0, 1, 1.0);
  const double d = pw.delr;
  // Upper half of bin 40 (points 40, 41) and lower half (points 39, 40).
  EXPECT_COMPLEX_CLOSE(pw.GetPhiIncoming(40.75 * d), 0.75 * pw.phi[40] + 0.25 * pw.phi[41], 1e-12);
  EXPECT_COMPLEX_CLOSE(pw.GetPhiIncoming(40.25 * d), 0.25 * pw.phi[39] + 0.75 * pw.phi[40], 1e-12);
  // Below the first point: extrapolated from points 0 and 1.
  EXPECT_COMPLEX_CLOSE(pw.GetPhiIncoming(0.2 * d), 1.3 * pw.phi[0] - 0.3 * pw.phi[1], 1e-12);
  // The interpolated wave is close to the exact one (step 0.01 fm).
  EXPECT_COMPLEX_CLOSE(pw.GetPhiIncoming(3.456), Reference(1, 90.0, 3.456, -0.3, true), 1e-4);
}

TEST(PartWaveTest, OutgoingIsConjugateWithTwiceTheCoulombPhase) {
  CPartWave coul(0.5, 1, 50.0, 1, 1.0);
  CPartWave freew(0.0, 0, 50.0, 1, 1.0);
  for (double r : {0.3, 4.44, 40.0}) {
    EXPECT_COMPLEX_CLOSE(coul.GetPhiOutgoing(r),
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

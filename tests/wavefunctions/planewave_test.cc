// Coulomb-distorted plane wave: the free limit, the Gamow normalisation, a
// comparison with an independent evaluation of the Coulomb scattering wave on
// both sides of the series/asymptotic switch of 1F1, and the table.

#include "wavefunctions/planewave.h"

#include <gsl/gsl_sf_gamma.h>
#include <gsl/gsl_sf_result.h>

#include <cmath>
#include <complex>
#include <memory>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

using femtokit_test::kRoundoff;
using cd = std::complex<double>;
using femtokit::constants::kPi;
constexpr double kHbarc = femtokit::constants::kHbarC;

// Reference: e^{i k r ctheta} Gamma(1 - i eta) e^{-pi eta/2} 1F1(i eta; 1; -i x),
// 1F1 by its power series summed in long double to full convergence (up to
// |z| = 25 the largest term is below 1e10, so the sum keeps 1e-8 or better),
// Gamma from GSL's complex log-gamma.
cd ReferenceCoulombWave(double eta, double q, double r, double ctheta) {
  const double x = q * r * (1 + ctheta) / kHbarc;
  std::complex<long double> term = 1, sum = 1;
  const std::complex<long double> a(0, eta), z(0, -x);
  for (int k = 1; k < 500; k++) {
    term *= (a + (long double)(k - 1)) * z / ((long double)k * k);
    sum += term;
    if (std::abs(term) < 1e-22L * std::abs(sum) && k > 5) break;
  }
  gsl_sf_result lnr, arg;
  gsl_sf_lngamma_complex_e(1.0, -eta, &lnr, &arg);
  return std::polar(std::exp(lnr.val - kPi * eta / 2), arg.val + q * r * ctheta / kHbarc) *
         cd(double(sum.real()), double(sum.imag()));
}

TEST(PlaneWaveTest, FreeLimitAndGamowFactorAtZeroSeparationOrBackward) {
  CPlaneWave free(0.0, 0, 80.0);
  for (double r : {0.0, 13.0, 250.0})
    for (double ct : {-1.0, -0.3, 0.9})
      EXPECT_COMPLEX_CLOSE(free.planewave(r, ct), std::polar(1.0, 80.0 * r * ct / kHbarc), 1e-12);
  // 1F1(.; .; 0) = 1, so |psi|^2 = |Gamma(1 - i eta)|^2 e^{-pi eta} = Gamow factor.
  for (double eta : {0.3, 1.2, -0.7}) {
    CPlaneWave pw(eta, eta > 0 ? 1 : -1, 40.0);
    const double gamow = 2 * kPi * eta / (std::exp(2 * kPi * eta) - 1);
    EXPECT_CLOSE(std::norm(pw.planewave(0.0, 0.4)), gamow, 1e-12);
    for (double r : {2.0, 50.0}) EXPECT_CLOSE(std::norm(pw.planewave(r, -1.0)), gamow, 1e-12);
  }
}

TEST(PlaneWaveTest, MatchesIndependentCoulombWaveOnBothSidesOfTheSwitch) {
  const double q = 100.0;  // table up to x = 15.2
  // x = 0.005 (below the first table point), inside the series range, just
  // below and above |z| = 10 (no jump at the switch), in the asymptotic part of
  // the table and beyond it; stronger fields (|eta| > 1) only well inside the
  // series range.
  for (double eta : {0.2, 0.5, -0.5, 1.5, -1.2}) {
    CPlaneWave pw(eta, eta > 0 ? 1 : -1, q);
    for (double x : {0.005, 0.8, 4.37, 9.999, 10.001, 13.2, 22.0}) {
      if (std::fabs(eta) > 1 && x > 9.9) continue;
      for (double ct : {0.6, -0.25}) {
        const double r = x * kHbarc / (q * (1 + ct));
        EXPECT_COMPLEX_CLOSE(pw.planewave(r, ct), ReferenceCoulombWave(eta, q, r, ct), 1e-4);
      }
    }
  }
}

TEST(PlaneWaveTest, TableHoldsHyperAtBinCentresAndInterpolates) {
  const double eta = 0.4, q = 150.0;
  CPlaneWave pw(eta, 1, q);
  const cd a(0.0, -eta);
  for (int i : {0, 17, pw.nrmax})
    EXPECT_EQ(pw.hypertable[i], pw.hyper(a, 1.0, cd(0.0, (i + 0.5) * 0.01)));
  // Between table points the linear interpolation stays within 1e-5 of 1F1.
  for (double x : {1.2345, 12.0}) {
    const double r = x * kHbarc / q;  // ctheta = 0
    EXPECT_COMPLEX_CLOSE(pw.planewave(r, 0.0), std::conj(pw.coulombnorm * pw.hyper(a, 1.0, cd(0, x))),
                       1e-5);
  }
  EXPECT_EQ(CPlaneWave(2.0, 1, 20.0).nrmax, 1000);  // a slow pair keeps the minimum table
}

TEST(PlaneWaveTest, SeriesThatDoesNotConvergeSaysSo) {
  // With eta = 50 the terms (a)_k z^k / k!^2 still exceed 1e-5 at k = 40.
  // (Building its table prints the same complaint for the far table points.)
  std::unique_ptr<CPlaneWave> pw;
  CAPTURE_STDOUT(pw = std::make_unique<CPlaneWave>(50.0, 1, 1.0));
  EXPECT_EQ(CAPTURE_STDOUT(pw->hyper(cd(0.0, -50.0), 1.0, cd(0.0, 9.5))),
            "hyper not coverging!.\n");
}

}  // namespace

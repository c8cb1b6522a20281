// Tests of Bessel and SpherHarmonics against closed forms and identities.

#include <gsl/gsl_sf_bessel.h>

#include <cmath>
#include <complex>

#include "common/test_util.h"
#include "numeric/bessel.h"
#include "numeric/spherharmonics.h"

namespace {

using femtokit_test::kRoundoff;

TEST(BesselSpherical, ClosedFormsRecurrenceAndHankelProduct) {
  for (double x : {0.5, 1.0, 3.0, 10.0, 37.5}) {
    const double s = std::sin(x), c = std::cos(x);
    EXPECT_CLOSE(Bessel::jn(0, x), s / x, kRoundoff);
    EXPECT_CLOSE(Bessel::yn(0, x), -c / x, kRoundoff);
    EXPECT_CLOSE(Bessel::jn(1, x), s / (x * x) - c / x, 1e-10);
    // |x h_l|^2 = 1, 1 + 1/x^2, 1 + 3/x^2 + 9/x^4 for l = 0, 1, 2.
    EXPECT_CLOSE(std::norm(x * Bessel::h0(x)), 1.0, 1e-12);
    EXPECT_CLOSE(std::norm(x * Bessel::h1(x)), 1.0 + 1.0 / (x * x), 1e-12);
    EXPECT_CLOSE((x * x * Bessel::hn(2, x) * Bessel::hstarn(2, x)).real(),
                 1.0 + 3.0 / (x * x) + 9.0 / (x * x * x * x), 1e-12);
    EXPECT_EQ(Bessel::hstar1(x), std::conj(Bessel::h1(x)));
  }
  // GSL's own j_l, y_l are an independent reference for the recurrence.
  for (int l = 2; l <= 6; l++) {
    EXPECT_CLOSE(Bessel::jn(l, 10.0), gsl_sf_bessel_jl(l, 10.0), 1e-10);
    EXPECT_CLOSE(Bessel::yn(l, 1.0), gsl_sf_bessel_yl(l, 1.0), 1e-10);
  }
}

TEST(BesselCylindrical, WronskiansAndDomainErrors) {
  // A&S 9.1.16 and 9.6.15: J_n Y_{n+1} - J_{n+1} Y_n = -2/(pi x),
  // I_n K_{n+1} + I_{n+1} K_n = 1/x.
  for (double x : {0.5, 2.0, 7.0}) {
    EXPECT_CLOSE(Bessel::J0(x) * Bessel::Y1(x) - Bessel::J1(x) * Bessel::Y0(x), -2.0 / (M_PI * x),
                 1e-12);
    EXPECT_CLOSE(Bessel::I0(x) * Bessel::K1(x) + Bessel::I1(x) * Bessel::K0(x), 1.0 / x, 1e-12);
    EXPECT_CLOSE(Bessel::In(2, x) * Bessel::Kn(3, x) + Bessel::In(3, x) * Bessel::Kn(2, x), 1.0 / x,
                 1e-12);
  }
  // Outside the domain: NaN or infinity, and GSL does not abort.
  EXPECT_TRUE(std::isnan(Bessel::K0(-1.0)));
  EXPECT_TRUE(std::isnan(Bessel::Yn(2, -3.0)));
  EXPECT_FALSE(std::isfinite(Bessel::y0(0.0)));
}

TEST(SpherHarmonics, LegendreYlmPhaseSymmetryAndNormalisation) {
  for (double x : {-1.0, -0.3, 0.6, 1.0})
    EXPECT_CLOSE_ABS(SpherHarmonics::legendre(3, x), 0.5 * (5 * x * x * x - 3 * x), kRoundoff,
                     kRoundoff);
  const double theta = 1.1, phi = -0.4;
  // Y_11 = -sqrt(3/(8 pi)) sin(theta) e^{i phi} (Condon-Shortley).
  const std::complex<double> y11 =
      -std::sqrt(3.0 / (8 * M_PI)) * std::sin(theta) * std::polar(1.0, phi);
  EXPECT_CLOSE_ABS(std::abs(SpherHarmonics::Ylm(1, 1, theta, phi) - y11), 0.0, 0, kRoundoff);
  for (int l = 0; l <= 4; l++) {
    double sum = 0.0;  // Unsold: sum_m |Y_lm|^2 = (2l+1)/(4 pi)
    for (int m = -l; m <= l; m++) {
      const std::complex<double> y = SpherHarmonics::Ylm(l, m, theta, phi);
      const double sign = (m % 2 == 0) ? 1.0 : -1.0;
      EXPECT_CLOSE_ABS(std::abs(SpherHarmonics::Ylm(l, -m, theta, phi) - sign * std::conj(y)), 0.0,
                       0, kRoundoff)
          << l << " " << m;
      sum += std::norm(y);
    }
    EXPECT_CLOSE(sum, (2 * l + 1) / (4 * M_PI), 1e-12);
  }
}

}  // namespace

#include "kernel/lednicky.h"

#include <gsl/gsl_sf_dawson.h>
#include <gsl/gsl_sf_psi.h>

#include <cmath>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace femtokit {

using constants::kAlpha;
using constants::kHbarC;
using constants::kPi;

namespace {

// Below z = 1e-4 the closed forms lose digits to cancellation; their series start is exact to
// double precision there.
double F1(double z) { return z < 1e-4 ? 1.0 - 2.0 * z * z / 3.0 : gsl_sf_dawson(z) / z; }
double F2(double z) { return z < 1e-4 ? z : -std::expm1(-z * z) / z; }

double Eta(const LednickyPair& pair, double q) {
  return pair.z1z2 == 0 ? 0.0 : pair.z1z2 * kAlpha * pair.mu / q;
}

// 2 pi eta / (exp(2 pi eta) - 1); 1 without Coulomb.
double Gamow(double eta) {
  if (eta == 0.0) return 1.0;
  return 2.0 * kPi * eta / std::expm1(2.0 * kPi * eta);
}

double T(std::complex<double> f, double d0, double R, double k) {
  const double z = 2.0 * k * R;
  return 0.5 * std::norm(f / R) * (1.0 - d0 / (2.0 * std::sqrt(kPi) * R)) +
         2.0 * f.real() * F1(z) / (std::sqrt(kPi) * R) - f.imag() * F2(z) / R;
}

}  // namespace

std::complex<double> LednickyAmplitude(const LednickyPair& pair, const LednickyChannel& channel,
                                       double q) {
  femtokit::PrepareGSL();
  const double k = q / kHbarC;
  const double eta = Eta(pair, q);
  std::complex<double> inverse = 1.0 / channel.f0 + 0.5 * channel.d0 * k * k;
  if (eta != 0.0) {
    // Re psi(i eta) = Re psi(1 + i eta): the difference 1/(i eta) is imaginary.
    const double h = gsl_sf_psi_1piy(std::fabs(eta)) - std::log(std::fabs(eta));
    inverse -= 2.0 * k * eta * h;
  }
  inverse -= std::complex<double>(0.0, k * Gamow(eta));
  return 1.0 / inverse;
}

double LednickyCF(const LednickyPair& pair, double R, double q) {
  femtokit::PrepareGSL();
  if (!(R > 0.0) || !(q >= 0.0)) Fatal("LednickyCF: needs R > 0 and q >= 0 (R=%g, q=%g)\n", R, q);
  if (pair.z1z2 != 0 && !(pair.mu > 0.0))
    Fatal("LednickyCF: a charged pair needs its reduced mass (mu=%g)\n", pair.mu);
  // At q = 0 the Gamow factor of a charged pair vanishes (repulsion) or diverges (attraction).
  if (pair.z1z2 != 0 && q == 0.0) {
    if (pair.z1z2 > 0) return 0.0;
    Fatal("LednickyCF: an attractive Coulomb pair has no finite C at q = 0\n");
  }
  const double k = q / kHbarC;
  double c = 1.0;
  for (const LednickyChannel& ch : pair.channels) {
    // f0 = 0 is no interaction (1/f0 would be infinite).
    const double t = ch.f0 == 0.0 ? 0.0 : T(LednickyAmplitude(pair, ch, q), ch.d0, R, k);
    if (!pair.identical) {
      c += ch.weight * t;
    } else {
      const bool symmetric = ch.spin % 2 == 0;
      c += ch.weight * ((symmetric ? 1.0 : -1.0) * std::exp(-4.0 * k * k * R * R) +
                        (symmetric ? 2.0 * t : 0.0));
    }
  }
  return pair.z1z2 == 0 ? c : Gamow(Eta(pair, q)) * c;
}

std::vector<double> LednickyCF(const LednickyPair& pair, double R, const std::vector<double>& q) {
  std::vector<double> c(q.size());
  for (size_t i = 0; i < q.size(); i++) c[i] = LednickyCF(pair, R, q[i]);
  return c;
}

}  // namespace femtokit

#include "numeric/random.h"

#include <gsl/gsl_randist.h>

#include <cmath>

#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace {

// The int seed modulo 2^32, as an unsigned long (-1234 -> 4294966062).
unsigned long SeedValue(int seed) {
  return static_cast<unsigned long>(static_cast<unsigned int>(seed));
}

}  // namespace

CRandom::CRandom(int seed) : randy(gsl_rng_alloc(gsl_rng_ranlxd1)) {
  gsl_rng_set(randy, SeedValue(seed));
}

CRandom::~CRandom() { gsl_rng_free(randy); }

void CRandom::reset(int seed) { gsl_rng_set(randy, SeedValue(seed)); }

double CRandom::ran() { return gsl_rng_uniform(randy); }

unsigned long CRandom::iran(unsigned long n) { return gsl_rng_uniform_int(randy, n); }

double CRandom::gauss() { return gsl_ran_ugaussian(randy); }

void CRandom::gauss2(double& g1, double& g2) {
  double x, y, s;
  // Marsaglia's polar method: a uniform point in the unit disc. s = 0 (both
  // uniforms exactly 1/2) is rejected too, since ln(s)/s has no value there.
  do {
    x = 1.0 - 2.0 * ran();
    y = 1.0 - 2.0 * ran();
    s = x * x + y * y;
  } while (s > 1.0 || s == 0.0);
  const double factor = std::sqrt(-2.0 * std::log(s) / s);
  g1 = x * factor;
  g2 = y * factor;
}

void CRandom::generate_boltzmann(double m, double T, double* p) {
  if (T / m <= 0.08) {
    // Non-relativistic: each component Gaussian with variance m T; the
    // relativistic correction is below the per-cent level here.
    const double sigma = std::sqrt(m * T);
    double g1, g2;
    gauss2(g1, g2);
    p[1] = sigma * g1;
    p[2] = sigma * g2;
    p[3] = sigma * gauss();
    p[0] = std::sqrt(m * m + p[1] * p[1] + p[2] * p[2] + p[3] * p[3]);
    return;
  }
  // Relativistic: k = -T ln(r1 r2 r3) is distributed as k^2 exp(-k/T) (a sum
  // of three exponentials); accepting with exp((k - E)/T) <= 1 leaves
  // k^2 exp(-E/T), the Boltzmann momentum distribution.
  double r1 = 0.0, r2 = 0.0, r3 = 0.0, k = 0.0, E = 0.0;
  while (true) {
    r1 = ran();
    r2 = ran();
    r3 = ran();
    // A uniform of exactly 0 would give k = inf and E - k = NaN, which the
    // acceptance test lets through; such a draw is repeated instead.
    if (r1 * r2 * r3 == 0.0) continue;
    k = -T * std::log(r1 * r2 * r3);
    E = std::sqrt(m * m + k * k);
    if (ran() <= std::exp((k - E) / T)) break;
  }
  p[0] = E;
  // Given k, the shares of the three exponentials are uniform on the simplex:
  // ln(r1/r2)/ln(r1 r2) is a uniform cos(theta), and (ln(r1 r2)/ln(r1 r2 r3))^2
  // an independent uniform azimuth fraction.
  const double ctheta = std::log(r1 / r2) / std::log(r1 * r2);
  const double stheta = std::sqrt(1.0 - ctheta * ctheta);
  const double lnr12 = std::log(r1 * r2);
  const double f = T * T * lnr12 * lnr12 / (k * k);
  if (f > 1.0) femtokit::Fatal("phi=%g, out of range\n", f);
  const double phi = 2.0 * M_PI * f;
  p[3] = k * ctheta;
  p[1] = k * stheta * std::cos(phi);
  p[2] = k * stheta * std::sin(phi);
}

#include "numeric/random.h"

#include <gsl/gsl_randist.h>

#include <cmath>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"

using femtokit::constants::kPi;

namespace {

// The int seed modulo 2^32, as an unsigned long (-1234 -> 4294966062).
unsigned long SeedValue(int seed) {
  return static_cast<unsigned long>(static_cast<unsigned int>(seed));
}

}  // namespace

CRandom::CRandom(int seed) : randy((femtokit::PrepareGSL(), gsl_rng_alloc(gsl_rng_ranlxd1))) {
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
  // Relativistic: the kinetic energy K = E - m has the density p E exp(-K/T), with
  // p E = sqrt(K (K + 2m)) (K + m) <= (K + sqrt(2mK)) (K + m)
  //     = K^2 + m K + sqrt(2m) K^(3/2) + m sqrt(2m) K^(1/2),
  // a sum of four Gamma densities K^(a-1) exp(-K/T) (a = 3, 2, 5/2, 3/2). K is drawn from
  // that mixture and accepted with sqrt(K + 2m) / (sqrt(K) + sqrt(2m)) >= 1/sqrt(2), so the
  // acceptance never falls below 71 % whatever T/m (m = 0 leaves the a = 3 term, always accepted).
  const double s2m = std::sqrt(2.0 * m);
  const double weight[4] = {2.0 * T * T * T, m * T * T, s2m * std::tgamma(2.5) * std::pow(T, 2.5),
                            m * s2m * std::tgamma(1.5) * std::pow(T, 1.5)};
  const double shape[4] = {3.0, 2.0, 2.5, 1.5};
  const double total = weight[0] + weight[1] + weight[2] + weight[3];
  double K = 0.0;
  while (true) {
    double u = ran() * total;
    int term = 0;
    while (term < 3 && u >= weight[term]) u -= weight[term++];
    K = gsl_ran_gamma(randy, shape[term], T);
    if (ran() * (std::sqrt(K) + s2m) <= std::sqrt(K + 2.0 * m)) break;
  }
  const double E = m + K;
  const double k = std::sqrt(K * (K + 2.0 * m));
  const double ctheta = 1.0 - 2.0 * ran();
  const double stheta = std::sqrt(1.0 - ctheta * ctheta);
  const double phi = 2.0 * kPi * ran();
  p[0] = E;
  p[3] = k * ctheta;
  p[1] = k * stheta * std::cos(phi);
  p[2] = k * stheta * std::sin(phi);
}

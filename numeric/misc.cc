#include "numeric/misc.h"

#include <gsl/gsl_sf_coupling.h>

#include <cmath>
#include <cstring>

#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace Misc {

int comparestrings(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 1 : 0; }

double triangle(double m0, double m1, double m2) {
  if (m1 + m2 > m0) femtokit::Fatal("Disaster with triangle\n");
  const double m0s = m0 * m0, m1s = m1 * m1, m2s = m2 * m2;
  return (m0s * m0s + m1s * m1s + m2s * m2s - 2.0 * (m0s * m1s + m0s * m2s + m1s * m2s)) /
         (4.0 * m0s);
}

double GetRapidity(const double* p) { return 0.5 * std::log((p[0] + p[3]) / (p[0] - p[3])); }

double GetDely(const double* p1, const double* p2) { return GetRapidity(p1) - GetRapidity(p2); }

void lorentz(const double* u, const double* p, double* pprime) {
  const double pdotu = p[0] * u[0] - p[1] * u[1] - p[2] * u[2] - p[3] * u[3];
  const double c = (pdotu + p[0]) / (1.0 + u[0]);
  // Computed into a local copy so that pprime may alias p.
  double out[4];
  out[0] = p[0] + 2.0 * p[0] * u[0] - c * (u[0] + 1.0);
  for (int i = 1; i < 4; i++) out[i] = p[i] + 2.0 * p[0] * u[i] - c * u[i];
  for (int i = 0; i < 4; i++) pprime[i] = out[i];
}

double GetQinv(const double* p1, const double* p2) {
  double qsquared = 0.0;
  for (int i = 1; i < 4; i++) qsquared += (p1[i] - p2[i]) * (p1[i] - p2[i]);
  qsquared -= (p1[0] - p2[0]) * (p1[0] - p2[0]);
  if (qsquared < 0.0) femtokit::Fatal("DISASTER with GetQinv, wrong sign, = %g\n", qsquared);
  return std::sqrt(qsquared);
}

void outsidelong(const double* pa, const double* pb, double& /*extra*/, double& qout, double& qside,
                 double& qlong) {
  double P[4], q[4];
  for (int i = 0; i < 4; i++) {
    P[i] = pa[i] + pb[i];
    q[i] = 0.5 * (pa[i] - pb[i]);
  }
  // Longitudinally co-moving frame: boost along z until P_z = 0.
  const double vz = P[3] / P[0];
  const double gammaz = 1.0 / std::sqrt(1.0 - vz * vz);
  qlong = gammaz * (q[3] - vz * q[0]);
  const double q0prime = gammaz * (q[0] - vz * q[3]);
  const double P0prime = gammaz * (P[0] - vz * P[3]);

  const double PT = std::sqrt(P[1] * P[1] + P[2] * P[2]);
  if (PT == 0.0) {
    // No transverse direction of the pair: take x as out; the pair already
    // rests in this frame, so no transverse boost.
    qout = q[1];
    qside = q[2];
    return;
  }
  qside = (P[1] * q[2] - P[2] * q[1]) / PT;
  const double qT = (P[1] * q[1] + P[2] * q[2]) / PT;
  const double vT = PT / P0prime;
  const double gammaT = 1.0 / std::sqrt(1.0 - vT * vT);
  qout = gammaT * (qT - vT * q0prime);
}

int iround(double x) { return static_cast<int>(std::floor(x + 0.5)); }

double cgc(double j1, double m1, double j2, double m2, double J, double M) {
  const int two_j1 = static_cast<int>(std::lrint(2.0 * j1));
  const int two_j2 = static_cast<int>(std::lrint(2.0 * j2));
  const int two_J = static_cast<int>(std::lrint(2.0 * J));
  const int two_m1 = static_cast<int>(std::lrint(2.0 * m1));
  const int two_m2 = static_cast<int>(std::lrint(2.0 * m2));
  const int two_M = static_cast<int>(std::lrint(2.0 * M));
  femtokit::PrepareGSL();
  const double threej = gsl_sf_coupling_3j(two_j1, two_j2, two_J, two_m1, two_m2, -two_M);
  const long phase = std::lrint(j1 - j2 + M);
  const double sign = (phase % 2 != 0) ? -1.0 : 1.0;
  return sign * std::sqrt(2.0 * J + 1.0) * threej;
}

double oldcgc(double j1, double m1, double j2, double m2, double J, double M) {
  if (std::fabs(m1 + m2 - M) > 0.01) return 0.0;
  if (m1 + m2 != M) return 0.0;
  if (j1 + j2 < J) return 0.0;
  if (j2 > j1 + J) return 0.0;
  if (M > J || M < -J) return 0.0;

  const double norm = (2.0 * J + 1.0) * cgc_fractorial(j1 + j2 - J, j1 + j2 + J + 1.0) *
                      cgc_fractorial(j1 - m1, J + j1 - j2) * cgc_fractorial(j2 - m2, J + j2 - j1) *
                      cgc_fractorial(J + M, j1 + m1) * cgc_fractorial(J - M, j2 + m2);
  // Racah's sum; k runs over the integers that keep every factorial argument
  // non-negative.
  double sum = 0.0;
  for (int k = 0; k <= J + 2.0 * (j1 + j2); k++) {
    if (j1 - m1 - k >= 0 && J - M - k >= 0 && j2 - J + m1 + k >= 0) {
      sum += std::pow(-1.0, k + j1 - m1) * cgc_fractorial(j1 + m1 + k, j1 - m1 - k) *
             cgc_fractorial(j2 + J - m1 - k, J - M - k) /
             (cgc_factorial(k) * cgc_factorial(j2 - J + m1 + k));
    }
  }
  return std::sqrt(norm) * sum;
}

double cgc_factorial(double n) {
  double result = 1.0;
  for (double factor = 1.0; factor <= n; factor += 1.0) result *= factor;
  return result;
}

double cgc_fractorial(double n, double m) {
  double result = 1.0;
  if (n > m) {
    for (double factor = m + 1.0; factor <= n; factor += 1.0) result *= factor;
  } else if (n < m) {
    for (double factor = n + 1.0; factor <= m; factor += 1.0) result *= factor;
    result = 1.0 / result;
  }
  return result;
}

int cgc_delta(int i, int j) { return i == j ? 1 : 0; }

std::complex<double> ceiphi(double phi) { return {std::cos(phi), std::sin(phi)}; }

std::complex<double> cexp(std::complex<double> z) { return std::exp(z.real()) * ceiphi(z.imag()); }

std::complex<double> cpow(std::complex<double> a, std::complex<double> b) {
  const std::complex<double> loga(std::log(std::abs(a)), std::atan2(a.imag(), a.real()));
  return cexp(b * loga);
}

}  // namespace Misc

#include "wavefunctions/planewave.h"

#include <cmath>
#include <cstdio>

#include "numeric/constants.h"
#include "numeric/misc.h"
#include "numeric/output.h"
#include "wavefunctions/coulwave.h"

namespace {
using femtokit::constants::kHbarC;
}  // namespace

CPlaneWave::CPlaneWave(double eta_set, int q1q2_set, double q_set)
    : PI(femtokit::constants::kPi),
      ci(0.0, 1.0),
      delr(0.01),
      q1q2(q1q2_set),
      nrmax(1000),
      coulombnorm(0.0),
      invgamma_bminusa(0.0),
      invgamma_a(0.0),
      seriesratio(),
      asymcoef1(),
      asymcoef2(),
      q(q_set),
      eta(eta_set),
      hypertable(nullptr) {
  // The table reaches x = 30 q / HBARC (r = 30 fm at ctheta = 0), at least
  // x = 10 where the asymptotic form takes over anyway.
  const double xmax = 30.0 * q / kHbarC;
  if (xmax > 10.0) nrmax = static_cast<int>(std::floor(xmax / 0.01 + 1.0));
  hypertable = new std::complex<double>[nrmax + 1]();
  if (q1q2 == 0) return;  // the plain plane wave needs no 1F1

  const std::complex<double> a(0.0, -eta);
  coulombnorm = CoulWave::cgamma(1.0 + ci * eta) * std::exp(-0.5 * eta * PI);
  // Term k of the b = 1 power series over term k-1: z (a + k - 1) / k^2.
  for (int k = 1; k <= 40; k++) seriesratio[k] = (a + double(k - 1)) / double(k * k);
  // (a)_k (1 + a - b)_k / k! and (b - a)_k (1 - a)_k / k! with b = 1.
  std::complex<double> poch_a(1.0), poch_1ma(1.0);
  double kfact = 1.0;
  for (int k = 1; k <= 5; k++) {
    poch_a *= a + double(k - 1);
    poch_1ma *= 1.0 - a + double(k - 1);
    kfact *= k;
    asymcoef1[k] = poch_a * poch_a / kfact;
    asymcoef2[k] = poch_1ma * poch_1ma / kfact;
  }
  invgamma_bminusa = 1.0 / CoulWave::cgamma(1.0 - a);
  invgamma_a = 1.0 / CoulWave::cgamma(a);
  // The constant factors of AsymptoticPlaneWave.
  const std::complex<double> scale = std::exp(0.5 * PI * eta) * coulombnorm;
  asymfactor1_ = scale * invgamma_bminusa;
  asymfactor2_ = scale * invgamma_a * std::complex<double>(0.0, -1.0);
  std::complex<double> ik(1.0);
  for (int k = 1; k <= 5; k++) {
    ik *= ci;
    asymseries1_[k] = asymcoef1[k] * ik;
    asymseries2_[k] = asymcoef2[k] * std::conj(ik);
  }

  for (int i = 0; i <= nrmax; i++) hypertable[i] = hyper(a, 1.0, ci * ((i + 0.5) * delr));
}

CPlaneWave::~CPlaneWave() { delete[] hypertable; }

std::complex<double> CPlaneWave::hyper(std::complex<double> a, std::complex<double> b,
                                       std::complex<double> z) {
  if (std::abs(z) < 10.0) {
    // Below |z| = 10 the power series converges within 40 terms to 1e-5.
    std::complex<double> term(1.0), sum(1.0);
    for (int k = 1; k <= 40; k++) {
      term *= z * seriesratio[k];
      sum += term;
      if (std::abs(term) < 1.0e-5) return sum;
    }
    femtokit::Warn("hyper not coverging!.\n");
    return sum;
  }
  // From |z| = 10 on the series would need too many terms and lose digits to
  // cancellation; use the asymptotic expansion (Abramowitz & Stegun 13.5.1)
  //   1F1 ~ Gamma(b)/Gamma(b-a) (-z)^{-a} S1 + Gamma(b)/Gamma(a) e^z z^{a-b} S2
  // with Gamma(b) = 1 for b = 1.
  std::complex<double> s1(1.0), s2(1.0), mzpow(1.0), zpow(1.0);
  for (int k = 1; k <= 5; k++) {
    mzpow *= -z;
    zpow *= z;
    s1 += asymcoef1[k] / mzpow;
    s2 += asymcoef2[k] / zpow;
  }
  // Subtracting whole turns keeps the phase of e^z small.
  const double n = std::floor(z.imag() / (2.0 * PI));
  const std::complex<double> ez =
      Misc::cexp(std::complex<double>(z.real(), z.imag() - 2.0 * PI * n));
  return invgamma_bminusa * s1 * Misc::cpow(-z, -a) + invgamma_a * s2 * Misc::cpow(z, a - b) * ez;
}

namespace {

// a b without the checks for infinite parts of std::complex's product (the operands here are
// finite: coefficients, unit rotations and sums of them).
std::complex<double> Mul(std::complex<double> a, std::complex<double> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

std::complex<double> CPlaneWave::AsymptoticPlaneWave(double x, double phase) const {
  // hyper's expansion at z = i x (x >= 10) with a = -i eta, b = 1. There -z = -i x and z = i x
  // have the logarithms ln x -+ i PI/2, so with theta = eta ln x and E = e^{PI eta / 2}
  //   (-z)^{-a} = E e^{i theta},   z^{a - b} = -i (E / x) e^{-i theta},
  // and the inverse powers 1/(-z)^k = (i/x)^k, 1/z^k = (-i/x)^k make both series polynomials
  // in w = 1/x with the coefficients asymcoef1[k] i^k and asymcoef2[k] (-i)^k (Horner). The
  // plane wave's phase factor e^{i phase} joins the two rotations: two sines and cosines
  // instead of the general form's complex logarithms, powers, divisions and four; the same
  // terms to rounding. Beyond the tables a kernel evaluates this at every angle.
  const double w = 1.0 / x;
  std::complex<double> s1 = asymseries1_[5], s2 = asymseries2_[5];
  for (int k = 4; k >= 1; k--) {
    s1 = asymseries1_[k] + w * s1;
    s2 = asymseries2_[k] + w * s2;
  }
  s1 = 1.0 + w * s1;
  s2 = 1.0 + w * s2;
  const double theta = eta * std::log(x);
  // Subtracting whole turns keeps the phase of e^z small (as in hyper).
  const double turns = x - 2.0 * PI * std::floor(x / (2.0 * PI));
  const std::complex<double> F =
      Mul(Mul(asymfactor1_, s1), Misc::ceiphi(phase + theta)) +
      w * Mul(Mul(asymfactor2_, s2), Misc::ceiphi(phase - theta + turns));
  return std::conj(F);
}

std::complex<double> CPlaneWave::planewave(double r, double ctheta) {
  if (q1q2 == 0) return Misc::ceiphi(q * r * ctheta / kHbarC);
  const double x = q * r * (1.0 + ctheta) / kHbarC;
  const double u = x / delr;
  double phase = -q * r * ctheta / kHbarC;
  phase -= 2.0 * PI * std::floor(phase / (2.0 * PI));
  std::complex<double> F;
  // Table points sit at (i + 0.5) delr: interpolate where two neighbours
  // exist, evaluate 1F1 directly next to x = 0 and beyond the table.
  if (x > delr && u - 0.5 < nrmax) {
    const int ix = static_cast<int>(std::floor(u - 0.5));
    F = (ix + 1.5 - u) * hypertable[ix] + (u - ix - 0.5) * hypertable[ix + 1];
  } else if (x < 10.0) {
    F = hyper(std::complex<double>(0.0, -eta), 1.0, ci * x);
  } else {
    return AsymptoticPlaneWave(x, phase);  // hyper's asymptotic branch, written out for z = i x
  }
  const std::complex<double> c = coulombnorm * F;
  return std::conj(Misc::ceiphi(phase) * c);
}

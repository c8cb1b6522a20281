#include "wavefunctions/coulwave.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_sf_coulomb.h>
#include <gsl/gsl_sf_gamma.h>
#include <gsl/gsl_sf_result.h>

#include <cmath>
#include <vector>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace CoulWave {

namespace {

using femtokit::constants::kPi;

// GSL returns F and G scaled by e^{-exponent} when they would overflow or
// underflow; multiplying back gives the plain value, which may itself be 0
// (underflow, harmless) or infinite (overflow, reported by the callers).
double Unscale(double value, double exponent) {
  return exponent == 0.0 ? value : value * std::exp(exponent);
}

}  // namespace

void GetFG(int ell, double x, double eta, double* F, double* G) {
  femtokit::PrepareGSL();
  std::vector<double> fc(ell + 1, 0.0), gc(ell + 1, 0.0);
  double fexp = 0.0, gexp = 0.0;
  const int status =
      gsl_sf_coulomb_wave_FG_array(0.0, ell, eta, x, fc.data(), gc.data(), &fexp, &gexp);
  *F = Unscale(fc[ell], fexp);
  *G = Unscale(gc[ell], gexp);
  // A domain error (x <= 0) comes back as finite zeros, an overflow as inf or
  // NaN; neither is a wave function. Accuracy-loss and underflow statuses
  // carry usable values and pass.
  if (status == GSL_EDOM || !std::isfinite(*F) || !std::isfinite(*G)) {
    femtokit::Fatal(
        "CoulWave::GetFG: no finite Coulomb functions at ell=%d, x=%g, eta=%g (F=%g, G=%g)\n", ell,
        x, eta, *F, *G);
  }
}

void GetFGprime(int ell, double x, double eta, double* F, double* G, double* Fprime,
                double* Gprime) {
  femtokit::PrepareGSL();
  double fc = 0.0, fcp = 0.0, gc = 0.0, gcp = 0.0, fexp = 0.0, gexp = 0.0;
  const int status =
      gsl_sf_coulomb_wave_FGp_array(ell, 0, eta, x, &fc, &fcp, &gc, &gcp, &fexp, &gexp);
  *F = Unscale(fc, fexp);
  *Fprime = Unscale(fcp, fexp);
  *G = Unscale(gc, gexp);
  *Gprime = Unscale(gcp, gexp);
  if (status == GSL_EDOM || !std::isfinite(*F) || !std::isfinite(*G) || !std::isfinite(*Fprime) ||
      !std::isfinite(*Gprime)) {
    femtokit::Fatal(
        "CoulWave::GetFGprime: no finite Coulomb functions at ell=%d, x=%g, eta=%g (F=%g, G=%g, "
        "F'=%g, G'=%g)\n",
        ell, x, eta, *F, *G, *Fprime, *Gprime);
  }
}

std::complex<double> CWincoming(int ell, double x, double eta) {
  double F, G;
  GetFG(ell, x, eta, &F, &G);
  return {F, G};
}

std::complex<double> CWoutgoing(int ell, double x, double eta) {
  double F, G;
  GetFG(ell, x, eta, &F, &G);
  return {F, -G};
}

std::complex<double> cgamma(std::complex<double> z) {
  femtokit::PrepareGSL();
  gsl_sf_result lnr, arg;
  gsl_sf_lngamma_complex_e(z.real(), z.imag(), &lnr, &arg);
  return std::exp(lnr.val) * std::complex<double>(std::cos(arg.val), std::sin(arg.val));
}

void phaseshift_CoulombCorrect(int ell, double q, double eta, double& delta, double& ddeltadq) {
  // Without Coulomb interaction A = 1 and B = 0: nothing to correct (and the
  // Gamow factor would be 0/0 at eta = 0).
  if (std::fabs(eta) <= 1.0e-10) return;
  std::vector<double> A(ell + 1), B(ell + 1);
  const double e2pieta = std::exp(2.0 * kPi * eta);
  A[0] = 2.0 * kPi * eta / (e2pieta - 1.0);
  // dA_0/dq, using d eta/dq = -eta/q.
  B[0] = (A[0] / q) * (A[0] * e2pieta - 1.0);
  for (int i = 1; i <= ell; i++) {
    A[i] = (eta * eta + i * i) * A[i - 1];
    B[i] = (eta * eta + i * i) * B[i - 1] - (2.0 * eta * eta / q) * A[i - 1];
  }
  const double t = std::tan(delta);
  double newdelta = std::atan(A[ell] * t);
  // Keep the corrected phase in the same half-turn as the uncorrected one.
  if (std::cos(delta) <= 0.0) newdelta += kPi;
  if (newdelta > kPi) newdelta -= 2.0 * kPi;
  ddeltadq = (t * B[ell] + (1.0 + t * t) * ddeltadq * A[ell]) / (1.0 + A[ell] * t * A[ell] * t);
  delta = newdelta;
}

}  // namespace CoulWave

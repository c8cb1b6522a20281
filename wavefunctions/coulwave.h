#ifndef FEMTOKIT_WAVEFUNCTIONS_COULWAVE_H
#define FEMTOKIT_WAVEFUNCTIONS_COULWAVE_H

// Coulomb wave functions and the Coulomb correction of strong phase shifts.
//
// Arguments: ell >= 0 the orbital angular momentum, x = q r / HBARC > 0 the
// dimensionless radius (q in MeV/c, r in fm, HBARC = 197.3269602 MeV fm), eta
// the Sommerfeld parameter (positive for repulsion, negative for attraction).
// Argument order is always (ell, x, eta).
//
// F_ell and G_ell are the regular and irregular Coulomb wave functions
// (Abramowitz & Stegun 14.1): for eta = 0, F_ell = x j_ell(x) and
// G_ell = -x y_ell(x); for large x, F ~ sin(theta), G ~ cos(theta) with
// theta = x - eta ln 2x - ell pi/2 + sigma_ell. Their Wronskian is
// F' G - F G' = 1. They come from GSL (gsl_sf_coulomb_wave_FG_array,
// gsl_sf_coulomb_wave_FGp_array), which returns scaled values and exponents;
// the exponents are multiplied back in.
//
// Failure: GSL never aborts the process (its handler is off). When GSL cannot
// give a result -- arguments outside its domain (x <= 0, which GSL answers
// with zeros) or a value that comes back non-finite (overflow of G at tiny x
// and large eta or high ell) -- the process ends with status 1 and the message
// "CoulWave::GetFG: no finite Coulomb functions at ell=%d, x=%g, eta=%g (F=%g, G=%g)\n"
// (GetFGprime likewise, with its name and the derivatives added).

#include <complex>

namespace CoulWave {

// F_ell(x, eta) and G_ell(x, eta).
void GetFG(int ell, double x, double eta, double* F, double* G);

// F, G and their derivatives dF/dx, dG/dx.
void GetFGprime(int ell, double x, double eta, double* F, double* G, double* Fprime,
                double* Gprime);

// F + i G (asymptotically i e^{-i theta}, an incoming spherical wave).
std::complex<double> CWincoming(int ell, double x, double eta);

// F - i G = conj(CWincoming) (asymptotically -i e^{i theta}, outgoing).
std::complex<double> CWoutgoing(int ell, double x, double eta);

// Gamma(z) for complex z, as exp(ln|Gamma|) (cos arg + i sin arg) from
// gsl_sf_lngamma_complex_e. Non-finite at the poles z = 0, -1, -2, ...
std::complex<double> cgamma(std::complex<double> z);

// Coulomb correction of a strong phase shift delta (radians) and of its
// derivative ddeltadq (per MeV/c), in place, at momentum q (MeV/c) with
// Sommerfeld parameter eta (proportional to 1/q):
//   tan(delta_new) = A_ell tan(delta),
//   A_0 = 2 pi eta / (e^{2 pi eta} - 1)   (the Gamow factor),
//   A_i = (eta^2 + i^2) A_{i-1},
// with delta_new in the half-turn of delta (cos(delta) > 0 keeps atan, else
// atan + pi, then wrapped to (-pi, pi]) and ddeltadq_new = d(delta_new)/dq
// from B_i = dA_i/dq. |eta| <= 1e-10 leaves both values unchanged.
void phaseshift_CoulombCorrect(int ell, double q, double eta, double& delta, double& ddeltadq);

}  // namespace CoulWave

#endif  // FEMTOKIT_WAVEFUNCTIONS_COULWAVE_H

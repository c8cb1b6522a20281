#ifndef FEMTOKIT_KERNEL_LEDNICKY_H
#define FEMTOKIT_KERNEL_LEDNICKY_H

// The Lednicky-Lyuboshitz model: the correlation function of a pair with an s-wave interaction
// of scattering length f0 and effective range d0 per spin channel, for a Gaussian source
// S(r) = (4 pi R^2)^(-3/2) exp(-r^2 / (4 R^2)) of the pair separation r (R the single-particle
// radius, fm). R. Lednicky, V. L. Lyuboshitz, Sov. J. Nucl. Phys. 35 (1982) 770.
//
// Conventions: q in MeV/c is the momentum of one particle in the pair rest frame (k = q / hbar c,
// fm^-1); f0 in the femtoscopy sign, f0 = -a (f0 > 0 attraction without a bound state), complex
// allowed (Im f0 > 0 for absorption); d0 in fm. Amplitude f(k) = [1/f0 + d0 k^2 / 2 - i k]^-1.
// Per channel S (weight rho_S, the weights of a pair summing to 1):
//   T_S = (1/2) |f/R|^2 (1 - d0 / (2 sqrt(pi) R)) + 2 Re f F1(2kR) / (sqrt(pi) R)
//         - Im f F2(2kR) / R,
//   F1(z) = Dawson(z) / z,  F2(z) = (1 - exp(-z^2)) / z;
// the factor (1 - d0/(2 sqrt(pi) R)) corrects for the asymptotic wave used inside the range,
// unreliable once R approaches d0.
//   distinct particles:  C = 1 + sum_S rho_S T_S,
//   identical particles: C = 1 + sum_S rho_S [(-1)^S exp(-4 k^2 R^2) + 2 T_S (S even only)]
//   (spatial symmetry (-1)^S: identical spin-1/2 fermions with only 1S0 interacting give
//   1 - exp(-4k^2R^2)/2 + T_0/2).
// Charged pairs (z1z2 != 0): with eta = z1 z2 alpha mu / q (non-relativistic reduced mass mu, the
// radial solver's convention), the Gamow factor A_c = 2 pi eta / (exp(2 pi eta) - 1) and
// h(eta) = Re psi(i eta) - ln|eta|, the amplitude becomes
//   f_c = [1/f0 + d0 k^2 / 2 - 2 k eta h(eta) - i k A_c]^-1
// and C = A_c [the neutral expression with f -> f_c]: the common approximation. Measured against
// the exact pp solution (Reid93 + Coulomb, 1S0 f0 = 7.82 fm, d0 = 2.77 fm, P waves left out) it
// is rough: at R = 3 fm its peak lies 8 % above the exact one and at q = 50 MeV/c it falls to
// 0.87 against 0.98; at R = 1.2 fm the peak lies 5 % above. For charged pairs prefer the solved
// wave functions. Neutral pairs: nn agrees with the exact solution to 1 % at R = 3 fm, but at
// R = 1.2 fm its low-q C comes out 20 % low (the source probes the potential region).

#include <complex>
#include <vector>

namespace femtokit {

struct LednickyChannel {
  double weight = 1.0;
  int spin = 0;
  std::complex<double> f0 = 0.0;  // fm, femtoscopy sign
  double d0 = 0.0;                // fm
};

struct LednickyPair {
  std::vector<LednickyChannel> channels;
  bool identical = false;
  int z1z2 = 0;
  double mu = 0.0;  // reduced mass, MeV (needed when z1z2 != 0)
};

// The (Coulomb-modified when z1z2 != 0) s-wave amplitude of a channel at q (MeV/c), fm.
std::complex<double> LednickyAmplitude(const LednickyPair& pair, const LednickyChannel& channel,
                                       double q);

// C(q) for the Gaussian radius R (fm). Fatal for R <= 0 or q < 0, for a charged pair without
// its reduced mass, and at q = 0 for opposite charges (C = 0 there for like charges).
double LednickyCF(const LednickyPair& pair, double R, double q);
std::vector<double> LednickyCF(const LednickyPair& pair, double R, const std::vector<double>& q);

}  // namespace femtokit

#endif  // FEMTOKIT_KERNEL_LEDNICKY_H

#ifndef FEMTOKIT_WAVEFUNCTIONS_SPINSUM_H
#define FEMTOKIT_WAVEFUNCTIONS_SPINSUM_H

// The spin-averaged partial-wave sum of two identical spin-1/2 nucleons (proton-proton,
// neutron-neutron) with strong corrections in 1S0, 3P0, 3P1 and 3P2:
//   |psi|^2 = 1/4 |S + k0|^2 + 1/2 (|A + k1|^2 + |k2|^2) + 1/4 (|A + k3|^2 + 2 |k4|^2),
// S, A = (p(r, c) +- p(r, -c))/sqrt(2) the (anti)symmetrised plane waves, 1/4 singlet and 3/4
// triplet spread over its three projections with the weights of 3P0, 3P1 and 3P2. Each k is a
// radial correction amplitude times its spherical harmonic at (theta, phi = 0), cos theta = c:
//   k0 = sqrt(2 PI) Y_00 d0,     k1 = i sqrt(6 PI) Y_10 d1,     k2 = i sqrt(6 PI) Y_11 d2,
//   k3 = i sqrt(6 PI) Y_10 d3,   k4 = i sqrt(6 PI) Y_11 d4,
// with the harmonics in closed form, Condon-Shortley phase as SpherHarmonics::Ylm:
// Y_00 = 1/sqrt(4 PI), Y_10 = sqrt(3/(4 PI)) c, Y_11 = -sqrt(3/(8 PI)) sqrt(1 - c^2)
// (1 - c^2 taken as 0 when negative). So sqrt(2 PI) Y_00 = 1/sqrt 2,
// i sqrt(6 PI) Y_10 = i (3/sqrt 2) c and i sqrt(6 PI) Y_11 = -1.5 i sqrt(1 - c^2).

#include <cmath>
#include <complex>

namespace SpinSum {

// Radial correction amplitudes d0 .. d4 of the sum above, in terms of the corrections D_X of the
// single waves (D_X = R_ell (e_X - 1) outside the potential, R_ell = incoming partial wave / x,
// e_X = e^{-2 i delta_X}):
//   d0 = D_1S0,                 d1 = (D_3P1 + D_3P2)/2,   d2 = (D_3P1 - D_3P2)/2,
//   d3 = (2 D_3P2 + D_3P0)/3,   d4 = (D_3P2 - D_3P0)/3.
// d2 and d4 enter only through |k2|, |k4|: their overall sign is free.
struct Corrections {
  std::complex<double> d0, d1, d2, d3, d4;
};

// The d's of the asymptotic form from R_0, R_1 and e^{-2 i delta} of the four waves:
//   d0 = R_0 (e_1S0 - 1),               d1 = R_1 (e_3P1/2 + e_3P2/2 - 1),
//   d2 = R_1 (e_3P1 - e_3P2)/2,         d3 = R_1 (2 e_3P2/3 + e_3P0/3 - 1),
//   d4 = R_1 (e_3P2 - e_3P0)/3.
inline Corrections OuterCorrections(std::complex<double> R0, std::complex<double> R1,
                                    std::complex<double> e1S0, std::complex<double> e3P0,
                                    std::complex<double> e3P1, std::complex<double> e3P2) {
  Corrections d;
  d.d0 = R0 * (e1S0 - 1.0);
  d.d1 = R1 * (0.5 * e3P1 + 0.5 * e3P2 - 1.0);
  d.d2 = R1 * (e3P1 - e3P2) / 2.0;
  d.d3 = R1 * (2.0 * e3P2 / 3.0 + e3P0 / 3.0 - 1.0);
  d.d4 = R1 * (e3P2 - e3P0) / 3.0;
  return d;
}

// |psi|^2 of the sum above for symmetric and antisymmetric plane waves S, A, corrections d and
// ctheta = c. With all d zero it is 1/4 |S|^2 + 3/4 |A|^2.
inline double PsiSquared(std::complex<double> S, std::complex<double> A, const Corrections& d,
                         double ctheta) {
  using cdouble = std::complex<double>;
  // Multiplying by i b (b real) is exact: (x + i y) i b = -b y + i b x.
  const auto times_ib = [](double b, cdouble z) { return cdouble(-b * z.imag(), b * z.real()); };
  const double b10 = 1.5 * std::sqrt(2.0) * ctheta;                            // sqrt(6 PI) Y_10
  const double b11 = -1.5 * std::sqrt(std::fmax(0.0, 1.0 - ctheta * ctheta));  // sqrt(6 PI) Y_11
  const double w = 1.0 / std::sqrt(2.0);  // sqrt(2 PI) Y_00
  const cdouble k0 = w * d.d0;
  const cdouble k1 = times_ib(b10, d.d1);
  const cdouble k2 = times_ib(b11, d.d2);
  const cdouble k3 = times_ib(b10, d.d3);
  const cdouble k4 = times_ib(b11, d.d4);
  return 0.25 * std::norm(S + k0) + 0.5 * (std::norm(A + k1) + std::norm(k2)) +
         0.25 * (std::norm(A + k3) + 2.0 * std::norm(k4));
}

}  // namespace SpinSum

#endif  // FEMTOKIT_WAVEFUNCTIONS_SPINSUM_H

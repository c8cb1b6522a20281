#ifndef FEMTOKIT_NUMERIC_SPHERHARMONICS_H
#define FEMTOKIT_NUMERIC_SPHERHARMONICS_H

// Legendre polynomials and spherical harmonics (Condon-Shortley phase,
// orthonormal on the unit sphere).

#include <complex>

namespace SpherHarmonics {

// Legendre polynomial P_l(x), l >= 0, |x| <= 1 (GSL gsl_sf_legendre_Pl).
double legendre(int l, double x);

// Y_lm(theta, phi) = sphPlm(l, |m|, cos theta) e^{i m phi}, times (-1)^|m| for
// m < 0, so that Y_{l,-m} = (-1)^m conj(Y_lm). Angles in radians; 0 <= |m| <= l.
std::complex<double> Ylm(int l, int m, double theta, double phi);

}  // namespace SpherHarmonics

#endif  // FEMTOKIT_NUMERIC_SPHERHARMONICS_H

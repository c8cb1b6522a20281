#include "numeric/spherharmonics.h"

#include <gsl/gsl_sf_legendre.h>

#include <cmath>
#include <cstdlib>

#include "numeric/gslerror.h"
#include "numeric/misc.h"

namespace SpherHarmonics {

double legendre(int l, double x) { femtokit::PrepareGSL(); return gsl_sf_legendre_Pl(l, x); }

std::complex<double> Ylm(int l, int m, double theta, double phi) {
  femtokit::PrepareGSL();
  const int absm = std::abs(m);
  // sphPlm carries the normalisation sqrt((2l+1)/(4 pi) (l-m)!/(l+m)!) and the
  // Condon-Shortley phase for m >= 0.
  std::complex<double> y = gsl_sf_legendre_sphPlm(l, absm, std::cos(theta)) * Misc::ceiphi(m * phi);
  // Negative m from Y_{l,-m} = (-1)^m conj(Y_lm).
  if (m < 0 && absm % 2 == 1) y = -y;
  return y;
}

}  // namespace SpherHarmonics

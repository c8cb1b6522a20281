#ifndef FEMTOKIT_WAVEFUNCTIONS_TRIPLETSUM_H
#define FEMTOKIT_WAVEFUNCTIONS_TRIPLETSUM_H

// The spin-averaged |psi|^2 of the spin triplet of two distinct spin-1/2 particles whose partial
// waves are split by total angular momentum J (neutron-proton: 3S1, 3P0, 3P1, 3P2, 3D2 ...).
//
// With the quantisation axis along q, incoming spin projection m and outgoing m', a wave w of
// orbital ell and total J with radial correction D_w(r) (as in wf_solved.h: F_ell / x becomes
// F_ell / x + D_w / 2) adds to the plane wave p(r, c)
//   psi_{m'm} = p delta_{m'm} + sum_w a_w(m, m') Y_{ell, m - m'}(theta, phi = 0) D_w,
//   a_w(m, m') = i^ell sqrt(4 pi (2 ell + 1)) / 2 <ell 0 1 m|J m> <ell m-m' 1 m'|J m>,
// and |psi|^2 = (1/3) sum_{m, m'} |psi_{m'm}|^2 (c = cos theta between q and r). The sum is exact
// for uncoupled waves; the phase convention of Y_{ell, M} does not matter (for fixed m, m' every
// term has the same M). When all J of one ell share one correction, the sum over J of the
// Clebsch-Gordan products is delta_{m'm} delta_{M0} and the result is the spinless
// |p + sum_ell (ell + 1/2) i^ell P_ell(c) D_ell|^2. Waves not listed (and listed waves with
// D = 0) are free.

#include <complex>
#include <vector>

namespace femtokit {

class TripletSpinSum {
 public:
  struct Wave {
    int ell;
    int j;
  };
  // Fatal when a J is outside |ell - 1| .. ell + 1, ell < 0, or an (ell, J) repeats.
  explicit TripletSpinSum(const std::vector<Wave>& waves);

  // d: one radial correction per wave, in the order of the constructor.
  double PsiSquared(std::complex<double> p, const std::complex<double>* d, double ctheta) const;

 private:
  struct Term {
    int wave;
    int ell;
    int absm;        // |m - m'|
    double y_sign;   // Y_{ell,-M} = (-1)^M Y_{ell,M} at phi = 0
    std::complex<double> a;
  };
  int ellmax_ = 0;
  std::vector<Term> terms_[2][3];  // [m][m' + 1], m = 0, 1
};

}  // namespace femtokit

#endif  // FEMTOKIT_WAVEFUNCTIONS_TRIPLETSUM_H

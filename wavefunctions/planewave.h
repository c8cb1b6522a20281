#ifndef FEMTOKIT_WAVEFUNCTIONS_PLANEWAVE_H
#define FEMTOKIT_WAVEFUNCTIONS_PLANEWAVE_H

// The Coulomb-distorted plane wave of relative momentum q (MeV/c) with
// incoming-wave boundary condition,
//   psi(r, ctheta) = e^{i q r ctheta / HBARC} Gamma(1 - i eta) e^{-pi eta / 2}
//                    1F1(i eta; 1; -i x),     x = q r (1 + ctheta) / HBARC,
// r in fm, ctheta the cosine between the relative momentum and the
// separation, HBARC = 197.3269602 MeV fm. Without Coulomb (q1q2 = 0) it is
// e^{i q r ctheta / HBARC}. At r = 0 (or ctheta = -1) |psi|^2 is the Gamow
// factor 2 pi eta / (e^{2 pi eta} - 1).
//
// 1F1(a; 1; i x) with a = -i eta is tabulated at x_i = (i + 0.5) 0.01 and
// interpolated linearly; `hyper` evaluates it directly by its power series
// for |z| < 10 and by the five-term asymptotic expansion (Abramowitz & Stegun
// 13.5.1) for |z| >= 10. Beyond the table planewave() evaluates 1F1 directly;
// there (x >= 10) it uses the same expansion written out for z = i x, which
// needs no complex power or division (equal to `hyper` to rounding).
//
// Accuracy of 1F1 (relative): the series, stopped at terms below 1e-5, is good
// to a few 1e-6. The truncated asymptotic series is worst at |z| = 10, where
// it is good to 1e-5 for |eta| <= 0.2, 5e-5 at |eta| = 0.5, 3e-4 at
// |eta| = 1 and 1e-3 at |eta| = 1.5 (its error grows like the next term,
// ~ |(1 - a)_6|^2 / (6! |z|^6)), and improves quickly with |z|. Linear
// interpolation in the table adds about 1e-5.
//
// Owns `hypertable`; not copyable.

#include <complex>

class CPlaneWave {
 public:
  CPlaneWave(double eta, int q1q2, double q);
  ~CPlaneWave();
  CPlaneWave(const CPlaneWave&) = delete;
  CPlaneWave& operator=(const CPlaneWave&) = delete;

  // psi(r, ctheta) above; r in fm.
  std::complex<double> planewave(double r, double ctheta);

  // 1F1(a; b; z). The series ratios and asymptotic coefficients are those
  // built by the constructor for a = -i eta, b = 1, whatever a and b are
  // passed; a and b enter only the powers of the asymptotic form.
  // |z| < 10: power series, stopped after the first term below 1e-5 in
  // modulus (40 terms at most: "hyper not coverging!." is printed and the
  // partial sum returned). |z| >= 10: asymptotic form.
  std::complex<double> hyper(std::complex<double> a, std::complex<double> b,
                             std::complex<double> z);

  double PI;
  std::complex<double> ci;
  double delr;  // table step in x: 0.01
  int q1q2;
  int nrmax;                              // last table index
  std::complex<double> coulombnorm;       // Gamma(1 + i eta) e^{-pi eta / 2}
  std::complex<double> invgamma_bminusa;  // 1 / Gamma(1 + i eta)
  std::complex<double> invgamma_a;        // 1 / Gamma(-i eta)
  std::complex<double> seriesratio[41];   // (a + k - 1) / k^2, k = 1..40
  std::complex<double> asymcoef1[6];      // ((a)_k)^2 / k!, k = 1..5
  std::complex<double> asymcoef2[6];      // ((1 - a)_k)^2 / k!, k = 1..5
  double q;                               // MeV/c
  double eta;                             // Sommerfeld parameter
  std::complex<double>* hypertable;       // [nrmax + 1], 1F1(a; 1; i x_i)

 private:
  // The plane wave at x >= 10 beyond the table, phase = -q r ctheta / HBARC reduced to
  // [0, 2 PI): hyper's asymptotic form for z = i x without complex powers or divisions, equal
  // to it up to rounding.
  std::complex<double> AsymptoticPlaneWave(double x, double phase) const;
  // e^{PI eta / 2} coulombnorm times 1/Gamma(1 + i eta), and times -i/Gamma(-i eta).
  std::complex<double> asymfactor1_, asymfactor2_;
  // asymcoef1[k] i^k and asymcoef2[k] (-i)^k, k = 1..5: the series in 1/x.
  std::complex<double> asymseries1_[6] = {}, asymseries2_[6] = {};
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_PLANEWAVE_H

#ifndef FEMTOKIT_ARRAYS_YLMARRAY_H
#define FEMTOKIT_ARRAYS_YLMARRAY_H

// CYlmArray: a function of a three-vector as complex spherical-harmonic
// coefficients Y(l, m) per radial bin. With the convention of the conversions in
// arrays/arraycalc.h, Y(l, m, ir) = (4 pi)^(-1/2) * integral dOmega F(ir, e) Y_lm(e)
// (orthonormal harmonics, Condon-Shortley phase; note: Y_lm, not its conjugate),
// so F(ir, e) = sqrt(4 pi) sum_{l, |m| <= l} Y(l, m, ir) conj(Y_lm(e)) and Y(0, 0) is
// the angular average of F.
//
// Only m >= 0 is stored: for a real function the negative-m coefficients follow
// from Y(l, -m) = (-1)^m conj Y(l, m). The array carries no bin width and no
// symmetry flags. Storage ylm[l][m][ir], l = 0 ... LMAX, m = 0 ... l,
// ir = 0 ... NRADIAL-1; loops visit l outer, m inner, the bin innermost.
//
// Element access does no index test (0 <= m <= l <= LMAX, 0 <= ir < NRADIAL is the
// caller's duty). The array owns its storage; copying is disabled.

#include <complex>

class CYlmArray {
 public:
  int NRADIAL;
  int LMAX;
  std::complex<double> ***ylm;  // ylm[l][m][ir]

  // Zeroed storage for l = 0 ... LMAX, NRADIAL bins.
  CYlmArray(int LMAX, int NRADIAL);
  ~CYlmArray();
  CYlmArray(const CYlmArray &) = delete;
  CYlmArray &operator=(const CYlmArray &) = delete;

  int GetLMAX() const { return LMAX; }
  int GetNRADIAL() const { return NRADIAL; }

  std::complex<double> GetElement(int l, int m, int ir) const { return ylm[l][m][ir]; }
  void SetElement(int l, int m, int ir, std::complex<double> value) { ylm[l][m][ir] = value; }
  void IncrementElement(int l, int m, int ir, std::complex<double> value) {
    ylm[l][m][ir] += value;
  }

  void ZeroArray();
  void ZeroArray(int ir);
  void ScaleArray(double f);
  void ScaleArray(double f, int ir);

  // Prints bin ir as a triangle: a heading row with one column per m = 0 ... LMAX,
  // then one row per l with the pairs "(%10.3e,%10.3e) " for m = 0 ... l.
  void PrintArrayFixedIR(int ir) const;
};

#endif  // FEMTOKIT_ARRAYS_YLMARRAY_H

#ifndef FEMTOKIT_SOURCE_SOURCECALC_CAUCHY_H
#define FEMTOKIT_SOURCE_SOURCECALC_CAUCHY_H

// Cauchy sources: the three-dimensional Cauchy (Lorentzian-like) distribution of
// the relative separation, isotropic or with out-side-long radii.
//
// Isotropic (CSourceCalc_Cauchy1D), r in fm, S in fm^-3:
//   S(r) = lambda R / (pi^2 (r^2 + R^2)^2),
// integrating to lambda, for identical non-interacting bosons
//   C(q) - 1 = lambda exp(-2 q R / hbar c)   (q in MeV/c, half the relative momentum);
// it is the Levy-stable source of sourcecalc_levy.h with alpha = 1. The tail
// ~ r^-4 holds the fraction 4 R/(pi r) + O(r^-3) of lambda beyond r: on a
// finite grid NormCheck shows lambda (2/pi)(atan(x) - x/(1 + x^2)), x = rmax/R.
//
// Out-side-long (CSourceCalc_Cauchy3D), x out, y side, z long (fm):
//   S = lambda / (pi^2 Ro Rs Rl (1 + x^2/Ro^2 + y^2/Rs^2 + z^2/Rl^2)^2),
//   C(q) - 1 = lambda exp(-2 sqrt(qo^2 Ro^2 + qs^2 Rs^2 + ql^2 Rl^2) / hbar c).
// Projected on the array's Cartesian harmonics as described in sourcecalc_radial.h.
//
// Parameters (keys, defaults): "lambda" 1.0 (integral), "R" 4.0 fm, resp.
// "Ro" "Rs" "Rl" 4.0 fm. Radii <= 0 and non-finite values are fatal.

#include <vector>

#include "source/sourcecalc_radial.h"

class CSourceCalc_Cauchy1D : public CSourceCalc_Radial {
 public:
  CSourceCalc_Cauchy1D();
  void InitSPars();
  void SetSPars(double lambda, double R);
  std::vector<double> Density(const std::vector<double>& r) const override;
};

class CSourceCalc_Cauchy3D : public CSourceCalc_Elliptic {
 public:
  CSourceCalc_Cauchy3D();
  void InitSPars();
  void SetSPars(double lambda, double Ro, double Rs, double Rl);

 protected:
  Shape ReadShape() const override;
  std::vector<double> Profile(const std::vector<double>& rho) const override;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_CAUCHY_H

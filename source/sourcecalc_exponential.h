#ifndef FEMTOKIT_SOURCE_SOURCECALC_EXPONENTIAL_H
#define FEMTOKIT_SOURCE_SOURCECALC_EXPONENTIAL_H

// Exponential source, the form pion sources in small systems follow:
//   S(r) = lambda exp(-r/R) / (8 pi R^3)   (r, R in fm; S in fm^-3),
// integrating to lambda; for identical non-interacting bosons
//   C(q) - 1 = lambda / (1 + (2 q R / hbar c)^2)^2   (q in MeV/c, half the relative momentum).
// The fraction beyond r is exp(-x)(1 + x + x^2/2), x = r/R.
//
// Parameters (keys, defaults): "lambda" 1.0, "R" 2.0 fm. R <= 0 and non-finite
// values are fatal.

#include <vector>

#include "source/sourcecalc_radial.h"

class CSourceCalc_Exponential : public CSourceCalc_Radial {
 public:
  CSourceCalc_Exponential();
  void InitSPars();
  void SetSPars(double lambda, double R);
  std::vector<double> Density(const std::vector<double>& r) const override;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_EXPONENTIAL_H

#include "source/sourcecalc_exponential.h"

#include <cmath>

#include "numeric/constants.h"

CSourceCalc_Exponential::CSourceCalc_Exponential() { InitSPars(); }

void CSourceCalc_Exponential::InitSPars() { SetSPars(1.0, 2.0); }

void CSourceCalc_Exponential::SetSPars(double lambda, double R) {
  SetSParValues({{"lambda", lambda}, {"R", R}});
}

std::vector<double> CSourceCalc_Exponential::Density(const std::vector<double>& r) const {
  using femtokit::constants::kPi;
  const double lambda =
      femtokit::SourcePar::Finite(spars, "CSourceCalc_Exponential", "lambda", 1.0);
  const double R = femtokit::SourcePar::Length(spars, "CSourceCalc_Exponential", "R", 2.0);
  const double norm = lambda / (8.0 * kPi * R * R * R);
  std::vector<double> S(r.size());
  for (size_t i = 0; i < r.size(); i++) S[i] = norm * std::exp(-r[i] / R);
  return S;
}

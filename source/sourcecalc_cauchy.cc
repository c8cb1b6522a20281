#include "source/sourcecalc_cauchy.h"

#include "numeric/constants.h"

namespace {

using femtokit::constants::kPi;
using femtokit::SourcePar::Finite;
using femtokit::SourcePar::Length;

// Unit-scale profile 1/(pi^2 (1 + rho^2)^2): 4 pi int rho^2 g drho = 1.
double UnitCauchy(double rho) {
  const double d = 1.0 + rho * rho;
  return 1.0 / (kPi * kPi * d * d);
}

}  // namespace

CSourceCalc_Cauchy1D::CSourceCalc_Cauchy1D() { InitSPars(); }

void CSourceCalc_Cauchy1D::InitSPars() { SetSPars(1.0, 4.0); }

void CSourceCalc_Cauchy1D::SetSPars(double lambda, double R) {
  SetSParValues({{"lambda", lambda}, {"R", R}});
}

std::vector<double> CSourceCalc_Cauchy1D::Density(const std::vector<double>& r) const {
  const double lambda = Finite(spars, "CSourceCalc_Cauchy1D", "lambda", 1.0);
  const double R = Length(spars, "CSourceCalc_Cauchy1D", "R", 4.0);
  std::vector<double> S(r.size());
  for (size_t i = 0; i < r.size(); i++) S[i] = lambda * UnitCauchy(r[i] / R) / (R * R * R);
  return S;
}

CSourceCalc_Cauchy3D::CSourceCalc_Cauchy3D() { InitSPars(); }

void CSourceCalc_Cauchy3D::InitSPars() { SetSPars(1.0, 4.0, 4.0, 4.0); }

void CSourceCalc_Cauchy3D::SetSPars(double lambda, double Ro, double Rs, double Rl) {
  SetSParValues({{"lambda", lambda}, {"Ro", Ro}, {"Rs", Rs}, {"Rl", Rl}});
}

CSourceCalc_Elliptic::Shape CSourceCalc_Cauchy3D::ReadShape() const {
  return ReadLambdaRadii("CSourceCalc_Cauchy3D");
}

std::vector<double> CSourceCalc_Cauchy3D::Profile(const std::vector<double>& rho) const {
  std::vector<double> g(rho.size());
  for (size_t i = 0; i < rho.size(); i++) g[i] = UnitCauchy(rho[i]);
  return g;
}

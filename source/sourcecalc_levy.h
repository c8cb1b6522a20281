#ifndef FEMTOKIT_SOURCE_SOURCECALC_LEVY_H
#define FEMTOKIT_SOURCE_SOURCECALC_LEVY_H

// Levy-stable sources: the isotropic three-dimensional symmetric stable law with
// index alpha and its out-side-long form.
//
// Unit-scale density (rho dimensionless):
//
//   f_alpha(rho) = (2 pi)^-3 int d^3k exp(-i k.rho) exp(-|k|^alpha)
//                = 1/(2 pi^2 rho) int_0^inf k sin(k rho) exp(-k^alpha) dk,
//
// positive, integrating to 1 over d^3 rho, with f_2(rho) = (4 pi)^(-3/2) exp(-rho^2/4)
// and f_1(rho) = 1/(pi^2 (1 + rho^2)^2). For alpha < 2 the tail falls as
// f ~ Gamma(alpha + 2) sin(pi alpha / 2) / (2 pi^2) rho^(-3-alpha).
//
// Source with scale R (fm): S(r) = lambda R^-3 f_alpha(r / R) (the models use
// LevyStableTables below), so that for
// identical non-interacting bosons (kernel cos(2 q.r / hbar c), q in MeV/c, half
// the relative momentum) C(q) - 1 = lambda exp(-|2 q R / hbar c|^alpha): alpha = 2
// is the Gaussian of the Gaussian models (exp(-r^2/(4R^2)), same R), alpha = 1
// the Cauchy source of sourcecalc_cauchy.h.
//
// Evaluation of f_alpha (LevyStableDensity3D), relative error ~1e-10 (checked:
// the closed form at alpha = 1 to 5e-13 through all three methods below; the
// normalisation to 1e-8 for alpha from 0.5 to 1.999; alpha -> 2 against the
// Gaussian; the tail), by:
//  - alpha = 2 exactly: the Gaussian closed form (the ray integral below has an
//    absolute noise floor ~1e-19 f(0) there, visible where the Gaussian dies out);
//  - small rho: the Taylor series
//      f = 1/(2 pi^2 alpha) sum_n (-1)^n Gamma((2n+3)/alpha) rho^(2n) / (2n+1)!,
//    used only when it has converged to 1e-16 with cancellation below 1e3
//    (it converges for alpha > 1, is asymptotic for alpha <= 1);
//  - large rho: the tail series
//      f = 1/(2 pi^2) sum_{n>=1} (-1)^(n+1) Gamma(n alpha + 2) sin(n pi alpha/2) / (n! rho^(n
//      alpha+3)),
//    with the same acceptance rule (convergent for alpha < 1, asymptotic above;
//    identically zero at alpha = 2, where it is never accepted);
//  - otherwise: the k integral along the ray k = t exp(i theta),
//    theta = min(pi/2, pi/(4 alpha)), on which both exp(i k rho) and exp(-k^alpha)
//    decay, so the integrand is damped with ~10 oscillations at most instead of
//    oscillating without end; GSL's adaptive Gauss-Kronrod (QAG, 31 points) to
//    1e-10 relative, cut where the damping exponent reaches 45.
//
// Failure: alpha outside (0, 2], non-finite values and radii <= 0 are fatal
// (femtokit::Fatal) with a message naming the model, key and value.

#include <memory>
#include <vector>

#include "source/sourcecalc_radial.h"

namespace femtokit {

// Fatal unless alpha lies in (0, 2]: "<model>: parameter alpha=<value> must lie in (0, 2]".
void CheckAlphaForModel(double alpha, const char* model);

// f_alpha(rho) above, rho >= 0 (dimensionless), alpha in (0, 2] (fatal otherwise).
double LevyStableDensity3D(double rho, double alpha);

// f_alpha at many points: direct evaluation for up to 600 points (or fewer points
// than the table below would need), otherwise a cubic
// spline of ln f in ln rho through 120 nodes per decade spanning the points
// (interpolation error below ~1e-8 relative where f is above ~1e-30 f(0)).
// Threads: femtokit::ThreadCount(); the result does not depend on it.
std::vector<double> LevyStableDensity3D(const std::vector<double>& rho, double alpha);

// f_alpha from tables kept for the last few alpha values, for models that
// recompute with the same alpha again and again (a fit varies alpha in only
// some of its evaluations): one table per alpha, ln f as a cubic spline in ln rho
// with 120 nodes per decade over rho in [1e-3, 1e4] (built once, ~1000
// evaluations, in parallel); interpolation error below ~1e-8 relative. Points
// outside that range are evaluated directly (both series converge fast there).
// Not shared between threads: each model holds its own.
class LevyStableTables {
 public:
  LevyStableTables();
  ~LevyStableTables();
  LevyStableTables(const LevyStableTables&) = delete;
  LevyStableTables& operator=(const LevyStableTables&) = delete;
  std::vector<double> Density(const std::vector<double>& rho, double alpha);

 private:
  struct Table;
  const Table& TableFor(double alpha);
  std::vector<std::unique_ptr<Table>> tables_;  // most recent last
};

}  // namespace femtokit

// Isotropic Levy-stable source, S(r) = lambda R^-3 f_alpha(r/R) (fm^-3).
// Parameters (keys, defaults): "lambda" 1.0 (integral of S), "R" 4.0 fm (scale),
// "alpha" 1.5 (stability index, in (0, 2]).
// Heavy tail: for alpha < 2 the fraction of S beyond r is ~ (4 pi/alpha)
// Gamma(alpha+2) sin(pi alpha/2)/(2 pi^2) (r/R)^(-alpha); NormCheck on a finite
// grid shows lambda minus that fraction.
class CSourceCalc_Levy1D : public CSourceCalc_Radial {
 public:
  CSourceCalc_Levy1D();
  void InitSPars();
  void SetSPars(double lambda, double R, double alpha);
  std::vector<double> Density(const std::vector<double>& r) const override;

 private:
  mutable femtokit::LevyStableTables tables_;
};

// Out-side-long Levy-stable source with one index alpha and three scales:
//   S(x, y, z) = lambda / (Ro Rs Rl) f_alpha(sqrt(x^2/Ro^2 + y^2/Rs^2 + z^2/Rl^2)),
// x out, y side, z long (fm), so that for identical bosons
//   C(q) - 1 = lambda exp(-(4 (qo^2 Ro^2 + qs^2 Rs^2 + ql^2 Rl^2) / (hbar c)^2)^(alpha/2)).
// alpha = 2: the axis-aligned three-dimensional Gaussian with radii Ro, Rs, Rl;
// alpha = 1: the out-side-long Cauchy source.
// Parameters (keys, defaults): "lambda" 1.0, "Ro" "Rs" "Rl" 4.0 fm, "alpha" 1.5.
class CSourceCalc_Levy3D : public CSourceCalc_Elliptic {
 public:
  CSourceCalc_Levy3D();
  void InitSPars();
  void SetSPars(double lambda, double Ro, double Rs, double Rl, double alpha);

 protected:
  Shape ReadShape() const override;
  std::vector<double> Profile(const std::vector<double>& rho) const override;

 private:
  mutable femtokit::LevyStableTables tables_;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_LEVY_H

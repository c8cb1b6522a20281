#include "source/sourcecalc_levy.h"

#include <gsl/gsl_integration.h>
#include <gsl/gsl_spline.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "numeric/threads.h"

namespace femtokit {

void CheckAlphaForModel(double alpha, const char* model) {
  if (!(alpha > 0.0 && alpha <= 2.0))
    Fatal("%s: parameter alpha=%g must lie in (0, 2]\n", model, alpha);
}

namespace {

using constants::kPi;

// A series is used only when its terms fell below this fraction of the sum...
constexpr double kSeriesTolerance = 1e-16;
// ...and no term exceeded the sum by more than this factor (cancellation would
// cost that many digits).
constexpr double kMaxCancellation = 1e3;
constexpr int kMaxTerms = 400;

// Taylor series in rho^2 (derived by expanding sin(k rho) under the integral):
// f = 1/(2 pi^2 alpha) sum_n (-1)^n Gamma((2n+3)/alpha) rho^(2n) / (2n+1)!.
bool TaylorSeries(double rho, double alpha, double& f) {
  const double lnrho = std::log(rho);
  double sum = 0.0, biggest = 0.0;
  for (int n = 0; n < kMaxTerms; n++) {
    const double lnterm = std::lgamma((2.0 * n + 3.0) / alpha) - std::lgamma(2.0 * n + 2.0) +
                          (rho > 0.0 ? 2.0 * n * lnrho : (n == 0 ? 0.0 : -HUGE_VAL));
    const double term = (n % 2 == 0 ? 1.0 : -1.0) * std::exp(lnterm);
    if (!std::isfinite(term)) return false;
    // Terms growing past the cancellation limit: the series is of no use here.
    biggest = std::fmax(biggest, std::fabs(term));
    sum += term;
    if (!(biggest <= kMaxCancellation * std::fabs(sum)) && n > 2) return false;
    if (std::fabs(term) <= kSeriesTolerance * std::fabs(sum)) {
      if (biggest > kMaxCancellation * std::fabs(sum)) return false;
      f = sum / (2.0 * kPi * kPi * alpha);
      return true;
    }
  }
  return false;
}

// Tail series (term-wise Fourier transform of exp(-k^alpha) = sum (-k^alpha)^n/n!):
// f = 1/(2 pi^2) sum_{n>=1} (-1)^(n+1) Gamma(n alpha + 2) sin(n pi alpha/2) / (n! rho^(n alpha +
// 3)). Convergence is judged on the terms without the sine, which may vanish.
bool TailSeries(double rho, double alpha, double& f) {
  if (!(rho > 0.0)) return false;
  const double lnrho = std::log(rho);
  double sum = 0.0, biggest = 0.0, previous = HUGE_VAL;
  for (int n = 1; n < kMaxTerms; n++) {
    const double bound =
        std::exp(std::lgamma(n * alpha + 2.0) - std::lgamma(n + 1.0) - (n * alpha + 3.0) * lnrho);
    // Growing bounds: an asymptotic series past its smallest term.
    if (bound > previous || !std::isfinite(bound)) return false;
    previous = bound;
    const double term = (n % 2 == 1 ? 1.0 : -1.0) * bound * std::sin(n * kPi * alpha / 2.0);
    biggest = std::fmax(biggest, bound);
    sum += term;
    if (bound <= kSeriesTolerance * std::fabs(sum)) {
      if (!(biggest <= kMaxCancellation * std::fabs(sum))) return false;
      f = sum / (2.0 * kPi * kPi);
      return true;
    }
  }
  return false;
}

struct RayIntegrand {
  double rho, alpha, theta;
};

// Im[exp(2 i theta) t exp(i t rho e^(i theta) - t^alpha e^(i alpha theta))]: the
// integrand of int k sin(k rho) exp(-k^alpha) dk on the ray k = t e^(i theta).
double RayValue(double t, void* params) {
  const RayIntegrand& p = *static_cast<const RayIntegrand*>(params);
  if (t <= 0.0) return 0.0;
  const double ta = std::pow(t, p.alpha);
  const double damping = -t * p.rho * std::sin(p.theta) - ta * std::cos(p.alpha * p.theta);
  const double phase = t * p.rho * std::cos(p.theta) - ta * std::sin(p.alpha * p.theta);
  return t * std::exp(damping) * std::sin(2.0 * p.theta + phase);
}

double RayIntegral(double rho, double alpha) {
  // Both factors decay on this ray (cos(alpha theta) >= cos(pi/4) for alpha >= 1,
  // sin(theta) = 1 for alpha <= 1 ... see the header), and the phase grows by
  // at most ~60 over the range, so the integrand has few oscillations.
  RayIntegrand p{rho, alpha, std::fmin(kPi / 2.0, kPi / (4.0 * alpha))};
  // Cut where the damping exponent has reached 45: the rest is below e^-45 ~ 3e-20
  // of the integrand's scale, while the cancellation on the ray costs at most
  // ~1e-4 of it (at the largest rho that reaches this path).
  constexpr double kCut = 45.0;
  double upper = std::pow(kCut / std::cos(alpha * p.theta), 1.0 / alpha);
  if (rho > 0.0) upper = std::fmin(upper, kCut / (rho * std::sin(p.theta)));
  femtokit::PrepareGSL();
  gsl_function F{RayValue, &p};
  constexpr size_t kLimit = 2000;
  std::unique_ptr<gsl_integration_workspace, void (*)(gsl_integration_workspace*)> ws(
      gsl_integration_workspace_alloc(kLimit), gsl_integration_workspace_free);
  double result = 0.0, abserr = 0.0;
  gsl_integration_qag(&F, 0.0, upper, 0.0, 1e-10, kLimit, GSL_INTEG_GAUSS31, ws.get(), &result,
                      &abserr);
  return result;
}

}  // namespace

double LevyStableDensity3D(double rho, double alpha) {
  CheckAlphaForModel(alpha, "LevyStableDensity3D");
  if (!(rho >= 0.0) || !std::isfinite(rho))
    Fatal("LevyStableDensity3D: rho=%g must be finite and >= 0\n", rho);
  // The stable law at alpha = 2 is the Gaussian; in closed form, since the ray
  // integral there has an absolute noise floor ~1e-19 f(0) (cancellation on the
  // ray theta = pi/8) that would show where the Gaussian has died out.
  if (alpha == 2.0) return std::exp(-0.25 * rho * rho) / std::pow(4.0 * kPi, 1.5);
  double f = 0.0;
  if (TaylorSeries(rho, alpha, f)) return f;
  if (TailSeries(rho, alpha, f)) return f;
  // rho > 0 here: the Taylor series always converges at rho = 0.
  // The density is positive; a negative value can only be the integral's noise
  // floor where the true density is far below it.
  return std::fmax(0.0, RayIntegral(rho, alpha) / (2.0 * kPi * kPi * rho));
}

std::vector<double> LevyStableDensity3D(const std::vector<double>& rho, double alpha) {
  CheckAlphaForModel(alpha, "LevyStableDensity3D");
  std::vector<double> f(rho.size());
  const int nthreads = ThreadCount();
  // Few points: evaluate each one.
  constexpr size_t kDirect = 600;
  double lo = HUGE_VAL, hi = 0.0;
  for (double x : rho) {
    if (!(x >= 0.0) || !std::isfinite(x))
      Fatal("LevyStableDensity3D: rho=%g must be finite and >= 0\n", x);
    if (x > 0.0) lo = std::fmin(lo, x);
    hi = std::fmax(hi, x);
  }
  constexpr double kNodesPerDecade = 120.0;
  // The natural spline's end conditions (zero curvature) spoil its last few
  // intervals: the table extends this many nodes beyond the points on each side.
  constexpr int kMargin = 16;
  const double h = std::log(10.0) / kNodesPerDecade;
  const double decades = hi > lo ? std::log10(hi / lo) : 0.0;
  const int nnodes = static_cast<int>(std::ceil(decades * kNodesPerDecade)) + 1 + 2 * kMargin;
  if (rho.size() <= kDirect || static_cast<size_t>(nnodes) >= rho.size() || !(hi > 0.0)) {
#pragma omp parallel for num_threads(nthreads) schedule(dynamic, 8)
    for (long i = 0; i < static_cast<long>(rho.size()); i++)
      f[i] = LevyStableDensity3D(rho[i], alpha);
    return f;
  }
  std::vector<double> lnx(nnodes), lnf(nnodes);
  const double lnlo = std::log(lo) - kMargin * h;
#pragma omp parallel for num_threads(nthreads) schedule(dynamic, 8)
  for (int k = 0; k < nnodes; k++) {
    lnx[k] = lnlo + k * h;
    // A density below the smallest normal double would give -inf: floor its log.
    lnf[k] = std::log(std::fmax(LevyStableDensity3D(std::exp(lnx[k]), alpha), 1e-300));
  }
  femtokit::PrepareGSL();
  std::unique_ptr<gsl_spline, void (*)(gsl_spline*)> spline(
      gsl_spline_alloc(gsl_interp_cspline, nnodes), gsl_spline_free);
  std::unique_ptr<gsl_interp_accel, void (*)(gsl_interp_accel*)> accel(gsl_interp_accel_alloc(),
                                                                       gsl_interp_accel_free);
  gsl_spline_init(spline.get(), lnx.data(), lnf.data(), nnodes);
  const double f0 = LevyStableDensity3D(0.0, alpha);
  for (size_t i = 0; i < rho.size(); i++) {
    if (rho[i] == 0.0) {
      f[i] = f0;
      continue;
    }
    f[i] = std::exp(gsl_spline_eval(spline.get(), std::log(rho[i]), accel.get()));
  }
  return f;
}

struct LevyStableTables::Table {
  double alpha = 0.0;
  double lnlo = 0.0, lnhi = 0.0;
  std::unique_ptr<gsl_spline, void (*)(gsl_spline*)> spline{nullptr, gsl_spline_free};
};

LevyStableTables::LevyStableTables() = default;
LevyStableTables::~LevyStableTables() = default;

const LevyStableTables::Table& LevyStableTables::TableFor(double alpha) {
  for (const auto& table : tables_)
    if (table->alpha == alpha) return *table;
  // Keep the last four: a Newton iteration uses alpha and alpha +- step.
  constexpr size_t kKeep = 4;
  if (tables_.size() >= kKeep) tables_.erase(tables_.begin());
  constexpr double kNodesPerDecade = 120.0;
  constexpr int kMargin = 16;  // nodes beyond the range: the spline's ends are poor
  const double h = std::log(10.0) / kNodesPerDecade;
  const double lnlo = std::log(1e-3), lnhi = std::log(1e4);
  const int n = static_cast<int>(std::ceil((lnhi - lnlo) / h)) + 1 + 2 * kMargin;
  std::vector<double> lnx(n), lnf(n);
  const int nthreads = ThreadCount();
#pragma omp parallel for num_threads(nthreads) schedule(dynamic, 8)
  for (int k = 0; k < n; k++) {
    lnx[k] = lnlo + (k - kMargin) * h;
    lnf[k] = std::log(std::fmax(LevyStableDensity3D(std::exp(lnx[k]), alpha), 1e-300));
  }
  auto table = std::make_unique<Table>();
  table->alpha = alpha;
  table->lnlo = lnlo;
  table->lnhi = lnhi;
  table->spline.reset(gsl_spline_alloc(gsl_interp_cspline, n));
  gsl_spline_init(table->spline.get(), lnx.data(), lnf.data(), n);
  tables_.push_back(std::move(table));
  return *tables_.back();
}

std::vector<double> LevyStableTables::Density(const std::vector<double>& rho, double alpha) {
  CheckAlphaForModel(alpha, "LevyStableDensity3D");
  const Table& table = TableFor(alpha);
  std::unique_ptr<gsl_interp_accel, void (*)(gsl_interp_accel*)> accel(gsl_interp_accel_alloc(),
                                                                       gsl_interp_accel_free);
  std::vector<double> f(rho.size());
  for (size_t i = 0; i < rho.size(); i++) {
    const double x = rho[i] > 0.0 ? std::log(rho[i]) : -HUGE_VAL;
    f[i] = (x >= table.lnlo && x <= table.lnhi)
               ? std::exp(gsl_spline_eval(table.spline.get(), x, accel.get()))
               : LevyStableDensity3D(rho[i], alpha);
  }
  return f;
}

}  // namespace femtokit

namespace {
using femtokit::SourcePar::Finite;
using femtokit::SourcePar::Length;
}  // namespace

CSourceCalc_Levy1D::CSourceCalc_Levy1D() { InitSPars(); }

void CSourceCalc_Levy1D::InitSPars() { SetSPars(1.0, 4.0, 1.5); }

void CSourceCalc_Levy1D::SetSPars(double lambda, double R, double alpha) {
  SetSParValues({{"lambda", lambda}, {"R", R}, {"alpha", alpha}});
}

std::vector<double> CSourceCalc_Levy1D::Density(const std::vector<double>& r) const {
  const char* model = "CSourceCalc_Levy1D";
  const double lambda = Finite(spars, model, "lambda", 1.0);
  const double R = Length(spars, model, "R", 4.0);
  const double alpha = Finite(spars, model, "alpha", 1.5);
  femtokit::CheckAlphaForModel(alpha, model);
  std::vector<double> rho(r.size());
  for (size_t i = 0; i < r.size(); i++) rho[i] = r[i] / R;
  std::vector<double> S = tables_.Density(rho, alpha);
  for (double& s : S) s *= lambda / (R * R * R);
  return S;
}

CSourceCalc_Levy3D::CSourceCalc_Levy3D() { InitSPars(); }

void CSourceCalc_Levy3D::InitSPars() { SetSPars(1.0, 4.0, 4.0, 4.0, 1.5); }

void CSourceCalc_Levy3D::SetSPars(double lambda, double Ro, double Rs, double Rl, double alpha) {
  SetSParValues({{"lambda", lambda}, {"Ro", Ro}, {"Rs", Rs}, {"Rl", Rl}, {"alpha", alpha}});
}

CSourceCalc_Elliptic::Shape CSourceCalc_Levy3D::ReadShape() const {
  return ReadLambdaRadii("CSourceCalc_Levy3D");
}

std::vector<double> CSourceCalc_Levy3D::Profile(const std::vector<double>& rho) const {
  const double alpha = Finite(spars, "CSourceCalc_Levy3D", "alpha", 1.5);
  femtokit::CheckAlphaForModel(alpha, "CSourceCalc_Levy3D");
  return tables_.Density(rho, alpha);
}

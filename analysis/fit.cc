#include "analysis/fit.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_multifit_nlinear.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "arrays/charray.h"
#include "fit/cf2sfit.h"
#include "kernel/kernel.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "numeric/output.h"
#include "source/sourcecalc.h"

using femtokit::constants::kPi;

namespace femtokit::analysis {
namespace {

constexpr double kEdmTolerance = 1e-3;  // chi^2 units: MINUIT's customary order
constexpr double kHugeResidual = 1e10;  // a model that is not finite is a very bad fit

// ---------------------------------------------------------------- bounds transform

struct Transform {
  double lo, hi;
  bool has_lo, has_hi;

  explicit Transform(const FitParameter& p)
      : lo(p.lower), hi(p.upper), has_lo(std::isfinite(p.lower)), has_hi(std::isfinite(p.upper)) {}

  double External(double u) const {
    if (has_lo && has_hi) return lo + (hi - lo) * 0.5 * (std::sin(u) + 1.0);
    if (has_lo) return lo - 1.0 + std::sqrt(u * u + 1.0);
    if (has_hi) return hi + 1.0 - std::sqrt(u * u + 1.0);
    return u;
  }
  double Internal(double p) const {
    if (has_lo && has_hi) {
      // A start exactly on a bound would sit where the transform is flat.
      const double x = std::clamp(2.0 * (p - lo) / (hi - lo) - 1.0, -1.0 + 1e-6, 1.0 - 1e-6);
      return std::asin(x);
    }
    if (has_lo) {
      const double a = std::max(p - lo, 1e-6) + 1.0;
      return std::sqrt(a * a - 1.0);
    }
    if (has_hi) {
      const double a = std::max(hi - p, 1e-6) + 1.0;
      return std::sqrt(a * a - 1.0);
    }
    return p;
  }
};

// ---------------------------------------------------------------- the problem in free parameters

struct Problem {
  const Analysis* analysis;
  std::vector<FitParameter> pars;
  std::vector<int> free;  // indices into pars
  std::vector<Transform> transforms;
  int evaluations = 0;

  ParameterValues Values(const std::vector<double>& external_free) const {
    ParameterValues v;
    for (const FitParameter& p : pars) v[p.name] = p.start;
    for (std::size_t j = 0; j < free.size(); ++j) v[pars[free[j]].name] = external_free[j];
    return v;
  }
  std::vector<double> Residuals(const std::vector<double>& external_free) {
    ++evaluations;
    std::vector<double> r = analysis->Residuals(Values(external_free));
    for (double& x : r)
      if (!std::isfinite(x)) x = kHugeResidual;
    return r;
  }
};

int GslResiduals(const gsl_vector* u, void* data, gsl_vector* f) {
  Problem& problem = *static_cast<Problem*>(data);
  std::vector<double> x(problem.free.size());
  for (std::size_t j = 0; j < x.size(); ++j) x[j] = problem.transforms[j].External(gsl_vector_get(u, j));
  const std::vector<double> r = problem.Residuals(x);
  for (std::size_t i = 0; i < r.size(); ++i) gsl_vector_set(f, i, r[i]);
  return GSL_SUCCESS;
}

struct GslMatrixDeleter {
  void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};
using MatrixPtr = std::unique_ptr<gsl_matrix, GslMatrixDeleter>;
struct GslVectorDeleter {
  void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};
using VectorPtr = std::unique_ptr<gsl_vector, GslVectorDeleter>;
struct WorkspaceDeleter {
  void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};

// Trust region in the transformed parameters; fills x (external) and the status.
void RunTrustRegion(Problem& problem, const FitOptions& options, std::vector<double>& x,
                    FitResult& result) {
  const std::size_t n = static_cast<std::size_t>(problem.analysis->nbins());
  const std::size_t p = problem.free.size();
  gsl_multifit_nlinear_fdf fdf{};
  fdf.f = GslResiduals;
  fdf.df = nullptr;  // forward differences
  fdf.fvv = nullptr;
  fdf.n = n;
  fdf.p = p;
  fdf.params = &problem;
  femtokit::PrepareGSL();
  gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
  std::unique_ptr<gsl_multifit_nlinear_workspace, WorkspaceDeleter> w(
      gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p));
  VectorPtr u0(gsl_vector_alloc(p));
  for (std::size_t j = 0; j < p; ++j) gsl_vector_set(u0.get(), j, problem.transforms[j].Internal(x[j]));
  gsl_multifit_nlinear_init(u0.get(), &fdf, w.get());
  int info = 0;
  const int status = gsl_multifit_nlinear_driver(options.max_iterations, options.xtol,
                                                 options.gtol, 0.0, nullptr, nullptr, &info, w.get());
  const gsl_vector* u = gsl_multifit_nlinear_position(w.get());
  for (std::size_t j = 0; j < p; ++j) x[j] = problem.transforms[j].External(gsl_vector_get(u, j));
  result.iterations = static_cast<int>(gsl_multifit_nlinear_niter(w.get()));
  if (status == GSL_SUCCESS) {
    result.status = info == 1 ? "step size below xtol" : "gradient below gtol";
    result.converged = true;
  } else if (status == GSL_EMAXITER) {
    result.status = "maximum number of iterations reached";
  } else if (status == GSL_ENOPROG) {
    // Often the minimum itself (no step improves chi^2): the EDM test below decides.
    result.status = "no further progress possible";
    result.converged = true;
  } else {
    result.status = std::string("GSL error: ") + gsl_strerror(status);
  }
}

// ---------------------------------------------------------------- legacy minimisers

// Presents the analysis to the fit framework as a "source" whose transform through
// a unit diagonal kernel is the model itself: S(i) = C_model(i) / (4 pi r_i^2 dr), so
// that the framework's chi^2 is the analysis' chi^2 (bins concatenated).
class ModelAsSource : public CSourceCalc {
 public:
  explicit ModelAsSource(const Problem& problem) : problem_(problem) {}
  void CalcS(CCHArray* A) override { CalcS(0, 0, 0, A); }
  void CalcS(int, int, int, CCHArray* A) override {
    ParameterValues v;
    for (const FitParameter& p : problem_.pars) v[p.name] = parameter::getD(spars, p.name, p.start);
    std::size_t i = 0;
    for (const DataSet& set : problem_.analysis->data_sets()) {
      const std::vector<double> model = set.model->Evaluate(set.data.k, v);
      for (double m : model) {
        const double r = i + 0.5;
        A->SetElement(0, 0, 0, static_cast<int>(i), m / (4.0 * kPi * r * r));
        ++i;
      }
    }
  }

 private:
  const Problem& problem_;
};

void RunLegacy(Problem& problem, const FitOptions& options, std::vector<double>& x,
               FitResult& result) {
  const int n = problem.analysis->nbins();
  const int np = static_cast<int>(problem.pars.size());
  CCHArray exp(0, n, 1.0, true, true, true), err(0, n, 1.0, true, true, true);
  CCHArray theory(0, n, 1.0, true, true, true), source(0, n, 1.0, true, true, true);
  int i = 0;
  for (const DataSet& set : problem.analysis->data_sets())
    for (std::size_t b = 0; b < set.data.size(); ++b, ++i) {
      exp.SetElement(0, 0, 0, i, set.data.value[b]);
      err.SetElement(0, 0, 0, i, set.data.error[b]);
    }
  // The unit diagonal kernel on q = r = bin index.
  char text[160];
  std::snprintf(text, sizeof text, "int NQMAX %d\nint NRMAX %d\ndouble DELQ 1\ndouble DELR 1\n"
                "int KLMAX 0\nbool IDENTICAL 1\n", n, n);
  std::string path = "/tmp/femtokit_legacy_XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) Fatal("cannot create a temporary parameter file\n");
  FILE* f = fdopen(fd, "w");
  std::fputs(text, f);
  std::fclose(f);
  std::unique_ptr<CKernel> kernel;
  struct Remove {
    std::string p;
    ~Remove() { std::remove(p.c_str()); }
  } remove{path};
  kernel = std::make_unique<CKernel>(path.c_str());
  for (int q = 0; q < n; ++q) kernel->kernel[0][q][q] = 1.0;

  ModelAsSource model(problem);
  CCF2SFit fit;
  fit.npars = np;
  fit.ndim = 1;
  fit.sourcecalc = &model;
  fit.kernel = kernel.get();
  fit.cexpCH = &exp;
  fit.cerrorCH = &err;
  fit.ctheoryCH = &theory;
  fit.sourceCH = &source;
  fit.Init();
  fit.SetL(0, 0, 0);
  for (int j = 0; j < np; ++j) {
    const FitParameter& p = problem.pars[j];
    // Newton's finite-difference step and first error guess: small against the value
    // and the range (it updates them from the curvature after each iteration).
    double step = 0.01 * std::fabs(p.start);
    if (std::isfinite(p.lower) && std::isfinite(p.upper))
      step = step > 0.0 ? std::min(step, 1e-3 * (p.upper - p.lower)) : 1e-3 * (p.upper - p.lower);
    if (!(step > 0.0)) step = 1e-3;
    fit.par[j]->Set(p.name.c_str(), p.start, step, std::isfinite(p.lower) ? p.lower : -1e10,
                    std::isfinite(p.upper) ? p.upper : 1e10);
    fit.ErrorMatrix[j][j] = step * step;
    fit.StepMatrix[j][j] = step;
  }
  for (const FitParameter& p : problem.pars)
    if (p.fixed) fit.FixPar(p.name.c_str());
  if (options.minimizer == "newton") {
    fit.Newton(std::max(2, options.max_iterations));
  } else {
    fit.Metropolis(options.metropolis_steps);
  }
  fit.UseBestPars();
  result.status = options.minimizer + " finished";
  result.converged = true;  // the EDM test below decides
  result.iterations = fit.Ncalls;
  result.minimizer_errors.assign(problem.pars.size(), 0.0);
  for (int j = 0; j < np; ++j) {
    const std::string name = fit.par[j]->name;
    for (std::size_t k = 0; k < problem.pars.size(); ++k) {
      if (problem.pars[k].name != name) continue;
      const auto pos = std::find(problem.free.begin(), problem.free.end(), static_cast<int>(k));
      if (pos != problem.free.end()) x[pos - problem.free.begin()] = fit.par[j]->currentx;
      if (!problem.pars[k].fixed)
        result.minimizer_errors[k] = options.minimizer == "newton"
                                         ? std::sqrt(2.0) * fit.par[j]->error
                                         : fit.par[j]->error;
    }
  }
  result.error_note =
      options.minimizer == "newton"
          ? "newton's error matrix is the inverse chi^2 curvature (errors 1/sqrt(2) of one "
            "sigma); minimizer_errors are multiplied by sqrt(2). The reported errors come from "
            "the covariance (J^T J)^-1 at the final point."
          : "minimizer_errors are the spread of the Metropolis walk. The reported errors come "
            "from the covariance (J^T J)^-1 at the final point.";
}

// ---------------------------------------------------------------- covariance and EDM

// Central differences of the residuals in the external parameters; a step that would
// leave a bound is taken one-sided.
std::vector<std::vector<double>> Jacobian(Problem& problem, const std::vector<double>& x,
                                          const std::vector<double>& scale) {
  std::vector<std::vector<double>> columns;
  for (std::size_t j = 0; j < x.size(); ++j) {
    const FitParameter& p = problem.pars[problem.free[j]];
    const double h = scale[j];
    double up = x[j] + h, down = x[j] - h;
    if (up > p.upper) up = x[j];
    if (down < p.lower) down = x[j];
    std::vector<double> xu = x, xd = x;
    xu[j] = up;
    xd[j] = down;
    const std::vector<double> ru = problem.Residuals(xu), rd = problem.Residuals(xd);
    std::vector<double> column(ru.size());
    for (std::size_t i = 0; i < ru.size(); ++i) column[i] = (ru[i] - rd[i]) / (up - down);
    columns.push_back(std::move(column));
  }
  return columns;
}

// (J^T J)^-1 and EDM = r^T J (J^T J)^-1 J^T r (= g^T C g / 4); false when singular.
bool Covariance(const std::vector<std::vector<double>>& J, const std::vector<double>& r,
                std::vector<std::vector<double>>& cov, double& edm) {
  const std::size_t p = J.size();
  MatrixPtr a(gsl_matrix_alloc(p, p));
  VectorPtr b(gsl_vector_alloc(p));
  for (std::size_t i = 0; i < p; ++i) {
    double bi = 0.0;
    for (std::size_t k = 0; k < r.size(); ++k) bi += J[i][k] * r[k];
    gsl_vector_set(b.get(), i, bi);
    for (std::size_t j = 0; j < p; ++j) {
      double s = 0.0;
      for (std::size_t k = 0; k < r.size(); ++k) s += J[i][k] * J[j][k];
      gsl_matrix_set(a.get(), i, j, s);
    }
  }
  if (gsl_linalg_cholesky_decomp1(a.get()) != GSL_SUCCESS) return false;
  VectorPtr y(gsl_vector_alloc(p));
  gsl_linalg_cholesky_solve(a.get(), b.get(), y.get());
  gsl_blas_ddot(b.get(), y.get(), &edm);
  if (gsl_linalg_cholesky_invert(a.get()) != GSL_SUCCESS) return false;
  cov.assign(p, std::vector<double>(p));
  for (std::size_t i = 0; i < p; ++i)
    for (std::size_t j = 0; j < p; ++j) cov[i][j] = gsl_matrix_get(a.get(), i, j);
  for (std::size_t i = 0; i < p; ++i)
    if (!(cov[i][i] > 0.0) || !std::isfinite(cov[i][i])) return false;
  return true;
}

bool IsResidualLambda(const std::string& name) { return name.rfind("lambda_", 0) == 0; }

}  // namespace

// ---------------------------------------------------------------- FitResult

double FitResult::value(const std::string& name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return values[i];
  Fatal("the fit result has no parameter '%s'\n", name.c_str());
}

double FitResult::error(const std::string& name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return errors[i];
  Fatal("the fit result has no parameter '%s'\n", name.c_str());
}

ParameterValues FitResult::Values() const {
  ParameterValues v;
  for (std::size_t i = 0; i < names.size(); ++i) v[names[i]] = values[i];
  return v;
}

// ---------------------------------------------------------------- Analysis

void Analysis::AddDataSet(DataSet set) {
  if (!set.model) Fatal("data set '%s' has no model\n", set.name.c_str());
  CheckMeasuredData(set.data);
  for (const DataSet& s : sets_)
    if (s.name == set.name) Fatal("two data sets are called '%s'\n", set.name.c_str());
  sets_.push_back(std::move(set));
}

void Analysis::SetParameter(const FitParameter& p) {
  const char* n = p.name.c_str();
  if (p.name.empty()) Fatal("a fit parameter needs a name\n");
  if (std::isnan(p.lower) || std::isnan(p.upper) || !(p.lower < p.upper))
    Fatal("parameter %s: lower bound %g must be below upper bound %g\n", n, p.lower, p.upper);
  if (!std::isfinite(p.start)) Fatal("parameter %s: start value %g is not finite\n", n, p.start);
  if (p.start < p.lower || p.start > p.upper)
    Fatal("parameter %s: start value %g lies outside its bounds [%g, %g]\n", n, p.start, p.lower,
          p.upper);
  for (FitParameter& q : set_parameters_)
    if (q.name == p.name) {
      q = p;
      return;
    }
  set_parameters_.push_back(p);
}

std::vector<std::string> Analysis::ParameterNames() const {
  std::vector<std::string> names;
  for (const DataSet& s : sets_)
    for (const std::string& n : s.model->ParameterNames())
      if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  return names;
}

std::vector<FitParameter> Analysis::Parameters() const {
  const std::vector<std::string> names = ParameterNames();
  for (const FitParameter& p : set_parameters_)
    if (std::find(names.begin(), names.end(), p.name) == names.end()) {
      std::string known;
      for (const std::string& n : names) known += " " + n;
      Fatal("parameter '%s' is not read by any model; the models read:%s\n", p.name.c_str(),
            known.c_str());
    }
  std::vector<FitParameter> pars;
  for (const std::string& name : names) {
    auto it = std::find_if(set_parameters_.begin(), set_parameters_.end(),
                           [&](const FitParameter& p) { return p.name == name; });
    if (it != set_parameters_.end()) {
      pars.push_back(*it);
      continue;
    }
    FitParameter p;
    p.name = name;
    p.fixed = true;
    if (name == "N") {
      p.start = 1.0;
      p.fixed = false;
    } else if (name == "lambda_gen") {
      p.start = 1.0;
    } else if (IsResidualLambda(name) || name == "b1" || name == "b2" || name == "b3") {
      p.start = 0.0;
    } else {
      double def = std::numeric_limits<double>::quiet_NaN();
      for (const DataSet& s : sets_)
        if (std::isnan(def)) def = s.model->genuine().DefaultValue(name);
      p.start = std::isnan(def) ? 0.0 : def;
    }
    pars.push_back(p);
  }
  return pars;
}

ParameterValues Analysis::StartValues() const {
  ParameterValues v;
  for (const FitParameter& p : Parameters()) v[p.name] = p.start;
  return v;
}

int Analysis::nbins() const {
  int n = 0;
  for (const DataSet& s : sets_) n += static_cast<int>(s.data.size());
  return n;
}

std::vector<double> Analysis::Residuals(const ParameterValues& p) const {
  std::vector<double> r;
  r.reserve(nbins());
  for (const DataSet& s : sets_) {
    const std::vector<double> model = s.model->Evaluate(s.data.k, p);
    for (std::size_t i = 0; i < model.size(); ++i)
      r.push_back((s.data.value[i] - model[i]) / s.data.error[i]);
  }
  return r;
}

double Analysis::ChiSquare(const ParameterValues& p) const {
  double chi2 = 0.0;
  for (double x : Residuals(p)) chi2 += x * x;
  return chi2;
}

std::vector<ModelCurves> Analysis::Curves(const ParameterValues& p) const {
  std::vector<ModelCurves> curves;
  for (const DataSet& s : sets_) curves.push_back(s.model->EvaluateCurves(s.data.k, p));
  return curves;
}

std::vector<std::string> Analysis::Warnings() const {
  std::vector<std::string> warnings;
  for (const DataSet& s : sets_)
    for (const std::string& w : s.model->genuine().Warnings())
      if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
  return warnings;
}

FitResult Analysis::Fit(const FitOptions& options) const {
  if (sets_.empty()) Fatal("an analysis needs at least one data set to fit\n");
  if (options.minimizer != "trust-region" && options.minimizer != "newton" &&
      options.minimizer != "metropolis")
    Fatal("unknown minimizer '%s'; known: trust-region newton metropolis\n",
          options.minimizer.c_str());
  Problem problem{this, Parameters(), {}, {}, 0};
  std::vector<double> x;
  for (std::size_t i = 0; i < problem.pars.size(); ++i)
    if (!problem.pars[i].fixed) {
      problem.free.push_back(static_cast<int>(i));
      problem.transforms.emplace_back(problem.pars[i]);
      x.push_back(problem.pars[i].start);
    }
  FitResult result;
  result.minimizer = options.minimizer;
  result.nbins = nbins();
  result.nfree = static_cast<int>(problem.free.size());
  result.ndf = result.nbins - result.nfree;
  if (problem.free.empty()) Fatal("every fit parameter is fixed: nothing to fit\n");
  if (result.ndf < 0)
    Fatal("%d free parameters for %d data bins: the fit is undetermined\n", result.nfree,
          result.nbins);

  if (options.minimizer == "trust-region")
    RunTrustRegion(problem, options, x, result);
  else
    RunLegacy(problem, options, x, result);

  // Covariance in the parameters themselves: steps from a first pass with small
  // relative steps, then a second with a tenth of the errors found.
  const std::vector<double> r = problem.Residuals(x);
  std::vector<double> scale(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) {
    const FitParameter& p = problem.pars[problem.free[j]];
    double range = std::isfinite(p.upper - p.lower) ? p.upper - p.lower : 0.0;
    scale[j] = std::max({1e-4 * std::fabs(x[j]), 1e-6 * range, 1e-12});
  }
  std::vector<std::vector<double>> cov;
  double edm = 0.0;
  bool ok = Covariance(Jacobian(problem, x, scale), r, cov, edm);
  if (ok) {
    for (std::size_t j = 0; j < x.size(); ++j) scale[j] = 0.1 * std::sqrt(cov[j][j]);
    ok = Covariance(Jacobian(problem, x, scale), r, cov, edm);
  }
  if (!ok) {
    result.converged = false;
    result.status += "; covariance singular (a free parameter does not change chi^2, or two "
                     "act alike)";
  }
  result.edm = ok ? edm : std::numeric_limits<double>::quiet_NaN();
  if (ok && result.converged && !(edm < kEdmTolerance)) {
    result.converged = false;
    char text[96];
    std::snprintf(text, sizeof text, "; estimated distance to the minimum %.3g above %g", edm,
                  kEdmTolerance);
    result.status += text;
  }

  const std::size_t np = problem.pars.size();
  result.names.resize(np);
  result.values.resize(np);
  result.errors.assign(np, 0.0);
  result.fixed.resize(np);
  result.at_limit.assign(np, false);
  result.covariance.assign(np, std::vector<double>(np, 0.0));
  result.correlation.assign(np, std::vector<double>(np, 0.0));
  for (std::size_t i = 0; i < np; ++i) {
    result.names[i] = problem.pars[i].name;
    result.values[i] = problem.pars[i].start;
    result.fixed[i] = problem.pars[i].fixed;
    result.correlation[i][i] = 1.0;
  }
  for (std::size_t a = 0; a < x.size(); ++a) {
    const int i = problem.free[a];
    const FitParameter& p = problem.pars[i];
    result.values[i] = x[a];
    const double range = std::isfinite(p.upper - p.lower) ? p.upper - p.lower : 0.0;
    result.at_limit[i] = range > 0.0 && (x[a] - p.lower < 1e-6 * range || p.upper - x[a] < 1e-6 * range);
    if (result.at_limit[i])
      result.warnings.push_back("parameter " + p.name + " ends at a bound of its range");
    if (!ok) {
      result.errors[i] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    result.errors[i] = std::sqrt(cov[a][a]);
    for (std::size_t b = 0; b < x.size(); ++b) {
      const int j = problem.free[b];
      result.covariance[i][j] = cov[a][b];
      result.correlation[i][j] = cov[a][b] / std::sqrt(cov[a][a] * cov[b][b]);
    }
  }
  result.chi2 = 0.0;
  for (double v : problem.Residuals(x)) result.chi2 += v * v;
  if (result.ndf > 0) result.p_value = gsl_cdf_chisq_Q(result.chi2, result.ndf);
  result.evaluations = problem.evaluations;
  for (const std::string& w : Warnings()) result.warnings.push_back(w);
  return result;
}

}  // namespace femtokit::analysis

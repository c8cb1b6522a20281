#ifndef FEMTOKIT_ANALYSIS_FIT_H
#define FEMTOKIT_ANALYSIS_FIT_H

// Fitting analysis models to measured correlation functions.
// Meaning of the errors (one sigma; the legacy Newton convention): docs/conventions.md.
//
// An Analysis holds one or more data sets, each with its model; parameters are
// shared by name across the sets (a set keeps its own by renaming, model.h), and
//
//   chi^2 = sum_sets sum_bins ((C_data - C_model) / error)^2.
//
// Minimisers:
//  - "trust-region" (default): GSL's nonlinear least squares (gsl_multifit_nlinear,
//    Levenberg-Marquardt trust region). Bounds by a smooth transform of each bounded
//    parameter (p = lo + (hi - lo)(sin u + 1)/2 for two bounds, p = lo - 1 +
//    sqrt(u^2 + 1) for a lower one), so every trial stays inside them.
//  - "newton", "metropolis": the fit framework's own minimisers (fit/cf2sfit.h),
//    started at the start values. Their trial values pass through six significant
//    digits; their final point is refined by nothing. Newton keeps its own bound
//    handling (a sixth bound violation within one iteration is fatal) and stops after
//    two iterations, so it suits starts close to the minimum.
// Whatever the minimiser, the errors are standard one-sigma errors (chi^2 + 1)
// from the covariance (J^T J)^-1 of the residuals' Jacobian J, taken by central
// differences in the parameters themselves at the final point (so a parameter near
// its bound still gets an error). The fit framework's Newton error matrix is the
// inverse chi^2 curvature, i.e. half this covariance (errors 1/sqrt(2) of one sigma);
// it is not used for the reported errors.
//
// Convergence: the minimiser must report success and the estimated distance to
// the minimum, EDM = g^T C g / 4 (g the chi^2 gradient, C the covariance), must be
// below 1e-3 (chi^2 units); otherwise the result says converged = false with the
// reason, never a silent success.

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/measureddata.h"
#include "analysis/model.h"

namespace femtokit::analysis {

struct FitParameter {
  std::string name;
  double start = 0.0;
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
  bool fixed = false;
};

struct DataSet {
  std::string name;
  MeasuredData data;
  std::shared_ptr<Model> model;
};

struct FitOptions {
  std::string minimizer = "trust-region";  // or "newton", "metropolis"
  int max_iterations = 200;
  double xtol = 1e-8;  // relative step size at which the trust region stops
  double gtol = 1e-8;  // scaled gradient at which it stops
  int metropolis_steps = 2000;
};

struct FitResult {
  std::vector<std::string> names;  // every parameter, in the analysis' order
  std::vector<double> values;
  std::vector<double> errors;      // one sigma (chi^2 + 1); 0 for fixed parameters
  std::vector<bool> fixed;
  std::vector<bool> at_limit;      // within 1e-6 of the range of a bound
  std::vector<std::vector<double>> covariance;   // names x names, zero rows for fixed
  std::vector<std::vector<double>> correlation;  // names x names, 1 on the diagonal
  double chi2 = 0.0;
  int nbins = 0;
  int nfree = 0;
  int ndf = 0;
  double p_value = std::numeric_limits<double>::quiet_NaN();  // NaN when ndf <= 0
  double edm = std::numeric_limits<double>::quiet_NaN();
  bool converged = false;
  std::string status;  // why it stopped, in words
  std::string minimizer;
  int iterations = 0;
  int evaluations = 0;
  std::vector<std::string> warnings;
  // The minimiser's own errors where it has them (newton: sqrt(2) x the square root of
  // its error matrix diagonal, i.e. converted to one sigma; metropolis: the walk's
  // spread), with a note on the conversion; empty for the trust region.
  std::vector<double> minimizer_errors;
  std::string error_note;

  double value(const std::string& name) const;  // fatal for an unknown name
  double error(const std::string& name) const;
  ParameterValues Values() const;
};

class Analysis {
 public:
  void AddDataSet(DataSet set);
  // Sets (or replaces) the parameter of that name; checks its bounds and start.
  void SetParameter(const FitParameter& parameter);

  // Every parameter some model reads, in first-seen order.
  std::vector<std::string> ParameterNames() const;
  // The parameter table used by a fit: set ones as given, the others at their
  // defaults and fixed (N free at 1; lambda_gen 1; residual lambdas, b1 ... b3 0;
  // source parameters at the source model's values). A set parameter no model
  // reads is fatal (a misspelt name must not be ignored).
  std::vector<FitParameter> Parameters() const;
  ParameterValues StartValues() const;

  const std::vector<DataSet>& data_sets() const { return sets_; }
  int nbins() const;

  // The residuals (C_data - C_model)/error of every set, concatenated.
  std::vector<double> Residuals(const ParameterValues& p) const;
  double ChiSquare(const ParameterValues& p) const;
  std::vector<ModelCurves> Curves(const ParameterValues& p) const;

  FitResult Fit(const FitOptions& options = {}) const;

  // Warnings of the genuine correlations (e.g. a source beyond the kernel grid).
  std::vector<std::string> Warnings() const;

 private:
  std::vector<DataSet> sets_;
  std::vector<FitParameter> set_parameters_;
};

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_FIT_H

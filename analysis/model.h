#ifndef FEMTOKIT_ANALYSIS_MODEL_H
#define FEMTOKIT_ANALYSIS_MODEL_H

// The model of a measured correlation function, a sum of parts:
//
//   C_model(k) = N B(k) [ M X ](k),
//   X(k')      = 1 + lambda_gen (C_gen(k') - 1) + sum_i lambda_i (C_i(k') - 1),
//
// k, k' in MeV/c. C_gen is the genuine correlation (analysis/genuine.h); each
// residual C_i is flat (misidentified pairs, C_i = 1), a table, or a parent pair's
// correlation carried to the daughter pair's k by a decay matrix (then fixed:
// C_i(k) = sum_k' T_i(k, k') C_parent(k')). M is the momentum-resolution matrix
// (rows normalised; X is evaluated at its true-k bins and folded to the data's k);
// without one, M is the identity. The resolution acts on the femtoscopic bracket
// only: the baseline and normalisation describe the measured (reconstructed) pairs.
// B(k) = 1 + b1 k + b2 k^2 + b3 k^3 (k in MeV/c; degree 0 to 3, the coefficients
// beyond the degree absent) or a fixed table.
//
// Parameters by name: the genuine correlation's (source parameters),
// "lambda_gen", "lambda_<residual>", "N", "b1" ... "b3". A rename table maps
// these names to the names of the fit (so that data sets share a parameter by
// using the same fit name, or keep their own).

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/genuine.h"
#include "analysis/tables.h"

namespace femtokit::analysis {

struct Residual {
  enum class Kind { kFlat, kTable, kDecay };
  std::string name;  // its lambda is "lambda_<name>"
  Kind kind = Kind::kFlat;
  CurveTable table;  // kTable: C_i itself; kDecay: the parent's correlation at k'
  BinMatrix decay;   // kDecay: T_i(k, k'), rows at the daughter's k
};

struct Baseline {
  int degree = 0;                    // polynomial degree 0 ... 3
  std::optional<CurveTable> table;   // a fixed B(k) instead of the polynomial
};

// The curves of one evaluation at the data's k: the model and its parts.
struct ModelCurves {
  std::vector<double> k;
  std::vector<double> model;     // C_model
  std::vector<double> baseline;  // N B(k)
  std::vector<double> genuine;   // C_gen at k (unfolded)
  // Contribution of each term to the folded bracket: lambda (C - 1) folded with M;
  // first the genuine term ("genuine"), then each residual by name.
  std::vector<std::string> term_names;
  std::vector<std::vector<double>> terms;
};

class Model {
 public:
  explicit Model(std::shared_ptr<GenuineCorrelation> genuine);

  void AddResidual(Residual residual);
  void SetResolution(BinMatrix resolution);
  void SetBaseline(Baseline baseline);
  // The model's own parameter `name` is the fit parameter `fit_name` (call after the
  // parts are added; a name the model does not have is fatal).
  void Rename(const std::string& name, const std::string& fit_name);

  // The fit names of every parameter the model reads.
  std::vector<std::string> ParameterNames() const;
  // C_model at k (the data's bins; with a resolution matrix each k must be one of its rows).
  std::vector<double> Evaluate(const std::vector<double>& k, const ParameterValues& p) const;
  ModelCurves EvaluateCurves(const std::vector<double>& k, const ParameterValues& p) const;

  GenuineCorrelation& genuine() const { return *genuine_; }
  const std::vector<Residual>& residuals() const { return residuals_; }
  const std::optional<BinMatrix>& resolution() const { return resolution_; }
  const Baseline& baseline() const { return baseline_; }
  // Where the model needs C_gen: the resolution's true bins, else k itself.
  std::vector<double> TrueGrid(const std::vector<double>& k) const;

 private:
  // The model's own names -> values (through the rename table).
  // The curves; C_gen at k itself only when asked (with a resolution matrix it costs
  // a second evaluation of the genuine correlation).
  ModelCurves Compute(const std::vector<double>& k, const ParameterValues& p,
                      bool with_genuine) const;
  ParameterValues Local(const ParameterValues& fit_values) const;
  std::string FitName(const std::string& name) const;

  std::shared_ptr<GenuineCorrelation> genuine_;
  std::vector<Residual> residuals_;
  std::optional<BinMatrix> resolution_;
  Baseline baseline_;
  std::map<std::string, std::string> rename_;
};

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_MODEL_H

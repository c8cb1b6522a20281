#include "analysis/model.h"

#include <algorithm>
#include <cmath>

#include "numeric/fatal.h"

namespace femtokit::analysis {
namespace {

constexpr const char* kBaselineNames[] = {"b1", "b2", "b3"};

double Get(const ParameterValues& p, const std::string& name, double def) {
  const auto it = p.find(name);
  return it == p.end() ? def : it->second;
}

}  // namespace

Model::Model(std::shared_ptr<GenuineCorrelation> genuine) : genuine_(std::move(genuine)) {
  if (!genuine_) Fatal("an analysis model needs a genuine correlation\n");
}

void Model::AddResidual(Residual residual) {
  if (residual.name.empty() || residual.name == "gen")
    Fatal("a residual needs a name other than 'gen' (its lambda is lambda_<name>)\n");
  for (const Residual& r : residuals_)
    if (r.name == residual.name) Fatal("two residuals are called '%s'\n", residual.name.c_str());
  if (residual.kind == Residual::Kind::kDecay) {
    // The parent's correlation carried to the daughter's k once: it has no parameters.
    const BinMatrix& t = residual.decay;
    CurveTable carried;
    carried.origin = t.origin + " applied to " + residual.table.origin;
    carried.k = t.row_k;
    for (std::size_t row = 0; row < t.row_k.size(); ++row) {
      double sum = 0.0;
      for (std::size_t col = 0; col < t.col_k.size(); ++col)
        if (t.at(row, col) != 0.0) sum += t.at(row, col) * residual.table.At(t.col_k[col]);
      carried.value.push_back(sum);
    }
    residual.table = std::move(carried);
    residual.kind = Residual::Kind::kTable;
  }
  residuals_.push_back(std::move(residual));
}

void Model::SetResolution(BinMatrix resolution) { resolution_ = std::move(resolution); }

void Model::SetBaseline(Baseline baseline) {
  if (baseline.degree < 0 || baseline.degree > 3)
    Fatal("baseline degree %d: must be 0 ... 3\n", baseline.degree);
  baseline_ = std::move(baseline);
}

void Model::Rename(const std::string& name, const std::string& fit_name) {
  // Against the model's own names: a misspelt rename must not be ignored.
  const std::map<std::string, std::string> saved = std::move(rename_);
  rename_.clear();
  const std::vector<std::string> own = ParameterNames();
  rename_ = saved;
  if (std::find(own.begin(), own.end(), name) == own.end()) {
    std::string known;
    for (const std::string& n : own) known += " " + n;
    Fatal("the model has no parameter '%s' to rename; its parameters:%s\n", name.c_str(),
          known.c_str());
  }
  rename_[name] = fit_name;
}

std::string Model::FitName(const std::string& name) const {
  const auto it = rename_.find(name);
  return it == rename_.end() ? name : it->second;
}

std::vector<std::string> Model::ParameterNames() const {
  std::vector<std::string> names;
  for (const std::string& n : genuine_->ParameterNames()) names.push_back(FitName(n));
  names.push_back(FitName("lambda_gen"));
  for (const Residual& r : residuals_) names.push_back(FitName("lambda_" + r.name));
  names.push_back(FitName("N"));
  if (!baseline_.table)
    for (int d = 1; d <= baseline_.degree; ++d) names.push_back(FitName(kBaselineNames[d - 1]));
  return names;
}

ParameterValues Model::Local(const ParameterValues& fit_values) const {
  if (rename_.empty()) return fit_values;
  ParameterValues local = fit_values;
  for (const auto& [name, fit_name] : rename_)
    if (auto it = fit_values.find(fit_name); it != fit_values.end()) local[name] = it->second;
  return local;
}

std::vector<double> Model::TrueGrid(const std::vector<double>& k) const {
  return resolution_ ? resolution_->col_k : k;
}

std::vector<double> Model::Evaluate(const std::vector<double>& k, const ParameterValues& p) const {
  return Compute(k, p, false).model;
}

ModelCurves Model::EvaluateCurves(const std::vector<double>& k, const ParameterValues& p) const {
  return Compute(k, p, true);
}

ModelCurves Model::Compute(const std::vector<double>& k, const ParameterValues& fit_p,
                           bool with_genuine) const {
  const ParameterValues p = Local(fit_p);
  const std::vector<double> tk = TrueGrid(k);
  const std::vector<double> cgen = genuine_->Evaluate(tk, p);

  // lambda (C - 1) of each term at the true k.
  std::vector<std::vector<double>> raw;
  ModelCurves out;
  out.term_names.push_back("genuine");
  {
    const double lambda = Get(p, "lambda_gen", 1.0);
    std::vector<double> term(tk.size());
    for (std::size_t j = 0; j < tk.size(); ++j) term[j] = lambda * (cgen[j] - 1.0);
    raw.push_back(std::move(term));
  }
  for (const Residual& r : residuals_) {
    out.term_names.push_back(r.name);
    const double lambda = Get(p, "lambda_" + r.name, 0.0);
    std::vector<double> term(tk.size(), 0.0);
    if (r.kind != Residual::Kind::kFlat)
      for (std::size_t j = 0; j < tk.size(); ++j) term[j] = lambda * (r.table.At(tk[j]) - 1.0);
    raw.push_back(std::move(term));
  }

  // Fold with the resolution: row of each data k against the true bins.
  std::vector<std::size_t> rows;
  if (resolution_)
    for (double x : k) rows.push_back(resolution_->RowOf(x));
  for (const std::vector<double>& term : raw) {
    if (!resolution_) {
      out.terms.push_back(term);
      continue;
    }
    std::vector<double> folded(k.size(), 0.0);
    for (std::size_t i = 0; i < k.size(); ++i)
      for (std::size_t j = 0; j < tk.size(); ++j)
        folded[i] += resolution_->at(rows[i], j) * term[j];
    out.terms.push_back(std::move(folded));
  }

  const double norm = Get(p, "N", 1.0);
  out.k = k;
  if (with_genuine) out.genuine = resolution_ ? genuine_->Evaluate(k, p) : cgen;
  out.baseline.resize(k.size());
  out.model.resize(k.size());
  for (std::size_t i = 0; i < k.size(); ++i) {
    double b = 1.0;
    if (baseline_.table) {
      b = baseline_.table->At(k[i]);
    } else {
      double power = 1.0;
      for (int d = 1; d <= baseline_.degree; ++d) {
        power *= k[i];
        b += Get(p, kBaselineNames[d - 1], 0.0) * power;
      }
    }
    out.baseline[i] = norm * b;
    double bracket = 1.0;
    for (const std::vector<double>& term : out.terms) bracket += term[i];
    out.model[i] = out.baseline[i] * bracket;
  }
  return out;
}

}  // namespace femtokit::analysis

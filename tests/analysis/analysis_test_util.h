#ifndef FEMTOKIT_TESTS_ANALYSIS_ANALYSIS_TEST_UTIL_H
#define FEMTOKIT_TESTS_ANALYSIS_ANALYSIS_TEST_UTIL_H

// Shared pieces of the analysis tests: a known analytic genuine correlation, a
// Gaussian bin matrix, uniform bin centres.

#include <cmath>
#include <string>
#include <vector>

#include "analysis/genuine.h"
#include "analysis/tables.h"

namespace femtokit_test {

// C_gen(k) = 1 + a exp(-(k / w)^2) for k below kcut, exactly 1 above; parameters "a", "w".
class AnalyticGenuine : public femtokit::analysis::GenuineCorrelation {
 public:
  explicit AnalyticGenuine(double kcut = 1e300) : kcut_(kcut) {}
  std::vector<std::string> ParameterNames() const override { return {"a", "w"}; }
  std::vector<double> Evaluate(const std::vector<double>& k,
                               const femtokit::analysis::ParameterValues& p) override {
    const double a = p.count("a") ? p.at("a") : 1.0, w = p.count("w") ? p.at("w") : 30.0;
    std::vector<double> c;
    for (double x : k) c.push_back(x < kcut_ ? 1.0 + a * std::exp(-(x / w) * (x / w)) : 1.0);
    return c;
  }
  std::string Description() const override { return "analytic test correlation"; }

 private:
  double kcut_;
};

inline std::vector<double> Centres(int n, double step) {
  std::vector<double> k;
  for (int i = 0; i < n; ++i) k.push_back((i + 0.5) * step);
  return k;
}

// Rows at `rows`, columns at `cols`, Gaussian of width sigma around the row's k.
inline femtokit::analysis::BinMatrix GaussianMatrix(const std::vector<double>& rows,
                                                    const std::vector<double>& cols,
                                                    double sigma) {
  femtokit::analysis::BinMatrix m;
  m.origin = "gaussian";
  m.row_k = rows;
  m.col_k = cols;
  for (double r : rows)
    for (double c : cols) m.weight.push_back(std::exp(-0.5 * std::pow((c - r) / sigma, 2)));
  m.NormaliseRows();
  return m;
}

}  // namespace femtokit_test

#endif  // FEMTOKIT_TESTS_ANALYSIS_ANALYSIS_TEST_UTIL_H

#ifndef FEMTOKIT_ANALYSIS_WRITERS_H
#define FEMTOKIT_ANALYSIS_WRITERS_H

// What an analysis run leaves behind: result.json (parameters, errors, covariance,
// chi^2, the configuration echoed, the femtokit version, the variations and the
// spread of each parameter over them) and curves.csv (per data bin: k, data, error,
// model and every component).

#include <string>
#include <vector>

#include "analysis/fit.h"

namespace femtokit::analysis {

// Spread of one parameter over the variations that converged.
struct ParameterSpread {
  std::string name;
  double nominal = 0.0;
  int n = 0;  // variations that converged
  double mean = 0.0, rms = 0.0, min = 0.0, max = 0.0;
  double max_deviation = 0.0;  // largest |variation - nominal|
};

std::vector<ParameterSpread> Spread(const FitResult& nominal,
                                    const std::vector<FitResult>& variations);

struct RunReport {
  std::string mode = "fit";        // "fit" or "predict"
  std::string configuration_json;  // the configuration, echoed
  std::vector<std::string> data_sets;     // "name: description" of each set
  FitResult nominal;
  std::vector<std::string> variation_names;
  std::vector<FitResult> variations;
};

std::string ResultJson(const RunReport& report);
void WriteResultJson(const std::string& path, const RunReport& report);

// Columns: set, k, k_low, k_high, data, error, model, baseline, C_gen, then
// term_<name> = lambda (C - 1) after folding, for the genuine term and each
// residual (empty where a set has no such residual). Predictions without data
// leave data and error empty.
void WriteCurvesCsv(const std::string& path, const Analysis& analysis,
                    const std::vector<ModelCurves>& curves, bool with_data = true);

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_WRITERS_H

#ifndef FEMTOKIT_ANALYSIS_RUN_H
#define FEMTOKIT_ANALYSIS_RUN_H

// An analysis configuration run as one call, as femtoanalyze runs it: the nominal fit
// (or, predicting, the model at the start values), then every configured variation,
// gathered into the report that result.json is written from. For embedding programs
// (the Python package) that want the results without the program's printing.

#include <functional>
#include <string>
#include <vector>

#include "analysis/analysisconfig.h"
#include "analysis/writers.h"

namespace femtokit::analysis {

struct RunOptions {
  bool predict = false;     // fit nothing: the model at the start values
  bool variations = true;   // also fit each [[variation]] (not when predicting)
};

struct RunOutcome {
  RunReport report;
  AnalysisSetup nominal;            // the nominal analysis, for curves and further fits
  std::vector<ModelCurves> curves;  // per data set, at the nominal result (start values when predicting)
  bool has_data = true;             // false when a set has k bins only (a prediction)
};

// Called with "nominal" or a variation's name as soon as that fit is done (never when
// predicting), so that a program can report each result while the next one runs.
using FitReporter = std::function<void(const std::string& title, const FitResult& result)>;

// Progress lines per variation go through femtokit::Progress. Fatal on a bad configuration.
RunOutcome RunAnalysis(const AnalysisConfig& config, const RunOptions& options = {},
                       const FitReporter& on_fit = nullptr);

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_RUN_H

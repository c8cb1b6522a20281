#include "analysis/run.h"

#include <string>

#include "numeric/output.h"

namespace femtokit::analysis {
namespace {

// A prediction reports the start values as fixed parameters and fits nothing.
FitResult PredictionResult(const Analysis& analysis) {
  FitResult r;
  for (const FitParameter& p : analysis.Parameters()) {
    r.names.push_back(p.name);
    r.values.push_back(p.start);
    r.errors.push_back(0.0);
    r.fixed.push_back(true);
    r.at_limit.push_back(false);
  }
  r.status = "prediction: nothing fitted";
  r.minimizer = "none";
  r.nbins = analysis.nbins();
  r.warnings = analysis.Warnings();
  return r;
}

}  // namespace

RunOutcome RunAnalysis(const AnalysisConfig& config, const RunOptions& options,
                       const FitReporter& on_fit) {
  RunOutcome out;
  out.nominal = config.Build();
  const Analysis& nominal = out.nominal.analysis;
  RunReport& report = out.report;
  report.mode = options.predict ? "predict" : "fit";
  report.configuration_json = config.Json();
  for (const DataSet& s : nominal.data_sets()) {
    report.data_sets.push_back(s.name + ": " + s.model->genuine().Description() + ", " +
                               std::to_string(s.data.size()) + " bins from " + s.data.origin);
    if (s.data.origin.find(".kbins") != std::string::npos) out.has_data = false;
  }
  if (options.predict) {
    report.nominal = PredictionResult(nominal);
    const ParameterValues start = nominal.StartValues();
    if (out.has_data) {
      report.nominal.chi2 = nominal.ChiSquare(start);
      report.nominal.ndf = report.nominal.nbins;
    }
    out.curves = nominal.Curves(start);
    return out;
  }
  Progress("fitting the nominal configuration\n");
  report.nominal = nominal.Fit(out.nominal.options);
  if (on_fit) on_fit("nominal", report.nominal);
  out.curves = nominal.Curves(report.nominal.Values());
  if (!options.variations) return out;
  report.variation_names = config.VariationNames();
  const std::size_t n = report.variation_names.size();
  for (std::size_t i = 0; i < n; ++i) {
    Progress("variation %zu/%zu: %s\n", i + 1, n, report.variation_names[i].c_str());
    const AnalysisSetup setup = config.Build(static_cast<int>(i));
    report.variations.push_back(setup.analysis.Fit(setup.options));
    if (on_fit) on_fit(report.variation_names[i], report.variations.back());
  }
  return out;
}

}  // namespace femtokit::analysis

// femtoanalyze: fits a model of parts (genuine correlation of a pair through its
// kernel and a source model, residual correlations, momentum resolution, baseline)
// to measured correlation functions, as described by a TOML configuration; runs the
// configured systematic variations; with --predict fits nothing and writes the model
// at the given parameter values.
//
// Exit status: 0 done; 1 bad input (the message names it); 2 usage; 3 the results
// were written but the plot could not be made; 4 the results were written but the
// nominal fit did not converge.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/analysisconfig.h"
#include "analysis/run.h"
#include "analysis/writers.h"
#include "numeric/output.h"

namespace {

using namespace femtokit::analysis;

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: femtoanalyze [options] CONFIG.toml\n"
               "Fits the correlation functions described by CONFIG.toml and writes result.json\n"
               "(parameters, one-sigma errors, covariance, chi^2/ndf, p-value, variations and\n"
               "their spread) and curves.csv (data, model and every component per bin).\n"
               "options:\n"
               "  --predict        fit nothing: write the model at the start values\n"
               "  --output DIR     where result.json and curves.csv go (default: .)\n"
               "  --plot FILE      draw data, model, components and residuals into FILE\n"
               "  --no-variations  fit the nominal configuration only\n"
               "  --quiet          print results only, no progress\n"
               "  --help, --version\n"
               "exit status: 0 done, 1 bad input, 2 usage, 3 plot not made, 4 fit not converged\n");
}

std::string PlotScript() {
  if (const char* env = std::getenv("FEMTOKIT_ANALYSISPLOT")) return env;
  for (const std::string& dir : {std::string(FEMTOKIT_PYTHON_DIR), std::string(FEMTOKIT_PYTHON_INSTALL_DIR)}) {
    const std::string path = dir + "/femtokit/analysisplot.py";
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return path;
  }
  return "";
}

// Runs the plotting script; false (with the reason printed) when it cannot.
bool Plot(const std::string& curves, const std::string& out) {
  const char* python = "/usr/bin/python3";
  struct stat st;
  if (stat(python, &st) != 0) {
    std::printf("plot not available: %s not found\n", python);
    return false;
  }
  const std::string script = PlotScript();
  if (script.empty()) {
    std::printf("plot not available: analysisplot.py not found (set FEMTOKIT_ANALYSISPLOT)\n");
    return false;
  }
  const std::string command = std::string(python) + " '" + script + "' '" + curves + "' '" + out + "'";
  std::fflush(stdout);
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (status != 0) {
    std::printf("plot not made: %s exited with status %d (see its message above)\n", script.c_str(),
                status);
    return false;
  }
  std::printf("wrote %s\n", out.c_str());
  return true;
}

void PrintResult(const std::string& title, const FitResult& r) {
  std::printf("== %s: %s (%s)\n", title.c_str(), r.converged ? "converged" : "FIT DID NOT CONVERGE",
              r.status.c_str());
  for (std::size_t i = 0; i < r.names.size(); ++i) {
    if (r.fixed[i])
      std::printf("  %-14s %12.6g  (fixed)\n", r.names[i].c_str(), r.values[i]);
    else
      std::printf("  %-14s %12.6g +- %-10.4g%s\n", r.names[i].c_str(), r.values[i], r.errors[i],
                  r.at_limit[i] ? "  AT LIMIT" : "");
  }
  std::printf("  chi2/ndf = %.4g / %d, p-value = %.4g\n", r.chi2, r.ndf, r.p_value);
  for (const std::string& w : r.warnings) std::printf("  warning: %s\n", w.c_str());
}

// The spread of the converged variations' results around the nominal one.
void PrintSpread(const RunReport& report) {
  const std::size_t n = report.variation_names.size();
  if (n == 0) return;
  std::printf("== spread over %zu variations (converged ones)\n", n);
  for (const ParameterSpread& s : Spread(report.nominal, report.variations))
    if (s.n > 0 && s.max > s.min)
      std::printf("  %-14s nominal %10.5g  rms %10.4g  range %10.5g ... %-10.5g (%d)\n",
                  s.name.c_str(), s.nominal, s.rms, s.min, s.max, s.n);
}

// The model at the start values, one line per bin: "set k C_model".
void PrintPrediction(const Analysis& analysis, const std::vector<ModelCurves>& curves) {
  std::printf("# set k C_model\n");
  for (std::size_t s = 0; s < curves.size(); ++s)
    for (std::size_t i = 0; i < curves[s].k.size(); ++i)
      std::printf("%s %.6g %.8g\n", analysis.data_sets()[s].name.c_str(), curves[s].k[i],
                  curves[s].model[i]);
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_path, output = ".", plot;
  bool predict = false, variations = true, quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("femtoanalyze (femtokit) %s\n", FEMTOKIT_VERSION);
      return 0;
    } else if (a == "--predict") {
      predict = true;
    } else if (a == "--no-variations") {
      variations = false;
    } else if (a == "--quiet") {
      quiet = true;
    } else if ((a == "--output" || a == "--plot") && i + 1 < argc) {
      (a == "--output" ? output : plot) = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "femtoanalyze: unknown or incomplete option %s\n", a.c_str());
      Usage(stderr);
      return 2;
    } else if (config_path.empty()) {
      config_path = a;
    } else {
      std::fprintf(stderr, "femtoanalyze: more than one configuration file given\n");
      Usage(stderr);
      return 2;
    }
  }
  if (config_path.empty()) {
    Usage(stderr);
    return 2;
  }
  if (quiet) femtokit::SetVerbosity(femtokit::Verbosity::kWarning);

  const AnalysisConfig config = AnalysisConfig::Load(config_path);
  RunOptions options;
  options.predict = predict;
  options.variations = variations;
  // The nominal result always, each variation's unless quiet, as soon as it is fitted.
  const FitReporter report_fit = [quiet, nominal = true](const std::string& title,
                                                        const FitResult& r) mutable {
    if (nominal || !quiet) PrintResult(title, r);
    nominal = false;
  };
  mkdir(output.c_str(), 0755);
  const std::string curves_path = output + "/curves.csv";
  const std::string json_path = output + "/result.json";
  const RunOutcome run = RunAnalysis(config, options, report_fit);
  const Analysis& analysis = run.nominal.analysis;
  if (predict) PrintPrediction(analysis, run.curves);
  WriteCurvesCsv(curves_path, analysis, run.curves, !predict || run.has_data);
  if (!predict) PrintSpread(run.report);
  WriteResultJson(json_path, run.report);
  std::printf("wrote %s and %s\n", json_path.c_str(), curves_path.c_str());
  if (predict) return plot.empty() || Plot(curves_path, plot) ? 0 : 3;
  int status = run.report.nominal.converged ? 0 : 4;
  if (!plot.empty() && !Plot(curves_path, plot) && status == 0) status = 3;
  return status;
}

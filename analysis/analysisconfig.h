#ifndef FEMTOKIT_ANALYSIS_ANALYSISCONFIG_H
#define FEMTOKIT_ANALYSIS_ANALYSISCONFIG_H

// An analysis described by a TOML file, as femtoanalyze reads it.
//
//   [fit]          minimizer = "trust-region" | "newton" | "metropolis", max_iterations
//   [[dataset]]    name, file (or values_dir + errors_dir, or kbins = [kmin, kmax, step]
//                  for a prediction without data), columns = {k, value, error},
//                  header = [...], systematic = bool, range = [kmin, kmax] (MeV/c),
//                  genuine = "kernel-source" (the default) | "lednicky",
//                  lednicky = {pair = "pp" | "nn" | "plambda" | "pomega"} |
//                             {name, masses = [m1, m2], charges = [z1, z2], identical},
//                             with channels = [{name, spin, weight, f0, d0}, ...]
//                             (f0 a number or [re, im], fm; for a built-in pair only
//                             name, f0, d0 to override its values; analysis/lednickycorrelation.h),
//                  kernel = {pair, epsilon, strong, coulomb, delr, rmax} | {directory} |
//                           {hbt = true, delr, rmax},
//                  source = {model, settings = {key = value}} (kernel and source:
//                  kernel-source only),
//                  resolution = FILE, baseline = {degree} | {table = FILE},
//                  rename = {model name = fit name},
//                  [[dataset.residual]] name, kind = "flat" | "table" | "decay",
//                                       table = FILE, matrix = FILE
//   [parameters]   NAME = {start, lower, upper, fixed}
//   [[variation]]  name, and any of dataset = {...} (merged into every data set),
//                  parameters = {...}, fit = {...}: each variation is the nominal
//                  configuration with these tables merged in.
//                  A variation's dataset.genuine that switches the model drops the
//                  other model's tables (kernel and source, or lednicky).
// Relative file names are taken from the configuration file's directory. Every key
// is checked: an unknown key is fatal with its name and where it was found.
//
// A kernel computed from a pair follows the data: its q grid is the data's bins (or
// the resolution matrix's true bins), its r grid reaches the radius holding 99.9 % of
// the source for the start values and for each free source parameter at its bounds
// (rmax may be given to override). Kernels are shared between data sets and
// variations that need the same one.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/fit.h"

namespace femtokit::analysis {

struct AnalysisSetup {
  std::string name;  // "nominal" or the variation's name
  Analysis analysis;
  FitOptions options;
};

class AnalysisConfig {
 public:
  // Parses and checks the file (fatal with the parser's message and position).
  static AnalysisConfig Load(const std::string& path);
  // The same from TOML text; base_dir resolves relative file names.
  static AnalysisConfig Parse(const std::string& text, const std::string& base_dir);

  AnalysisConfig(AnalysisConfig&&) noexcept;
  AnalysisConfig& operator=(AnalysisConfig&&) noexcept;
  ~AnalysisConfig();

  // The configuration as JSON text (for result.json).
  std::string Json() const;
  std::vector<std::string> VariationNames() const;
  // The nominal analysis (variation -1) or variation i, ready to fit.
  AnalysisSetup Build(int variation = -1) const;

 private:
  AnalysisConfig();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_ANALYSISCONFIG_H

#include "analysis/writers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "numeric/fatal.h"

namespace femtokit::analysis {
namespace {

using nlohmann::json;

// NaN and infinities have no JSON form: null.
json Number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

json Matrix(const std::vector<std::vector<double>>& m) {
  json rows = json::array();
  for (const auto& row : m) {
    json r = json::array();
    for (double v : row) r.push_back(Number(v));
    rows.push_back(r);
  }
  return rows;
}

json ResultObject(const FitResult& r) {
  json j;
  j["converged"] = r.converged;
  j["status"] = r.status;
  j["minimizer"] = r.minimizer;
  j["chi2"] = Number(r.chi2);
  j["ndf"] = r.ndf;
  j["chi2_per_ndf"] = r.ndf > 0 ? Number(r.chi2 / r.ndf) : json(nullptr);
  j["p_value"] = Number(r.p_value);
  j["edm"] = Number(r.edm);
  j["nbins"] = r.nbins;
  j["iterations"] = r.iterations;
  j["evaluations"] = r.evaluations;
  json pars = json::array();
  for (std::size_t i = 0; i < r.names.size(); ++i) {
    json p;
    p["name"] = r.names[i];
    p["value"] = Number(r.values[i]);
    p["error"] = Number(r.errors[i]);
    p["fixed"] = static_cast<bool>(r.fixed[i]);
    p["at_limit"] = static_cast<bool>(r.at_limit[i]);
    if (!r.minimizer_errors.empty()) p["minimizer_error"] = Number(r.minimizer_errors[i]);
    pars.push_back(p);
  }
  j["parameters"] = pars;
  j["parameter_order"] = r.names;
  j["covariance"] = Matrix(r.covariance);
  j["correlation"] = Matrix(r.correlation);
  j["errors_are"] =
      "one standard deviation (chi^2 + 1), from the covariance (J^T J)^-1 of the residuals' "
      "Jacobian at the final point";
  if (!r.error_note.empty()) j["minimizer_error_note"] = r.error_note;
  j["warnings"] = r.warnings;
  return j;
}

}  // namespace

std::vector<ParameterSpread> Spread(const FitResult& nominal,
                                    const std::vector<FitResult>& variations) {
  std::vector<ParameterSpread> out;
  for (std::size_t i = 0; i < nominal.names.size(); ++i) {
    ParameterSpread s;
    s.name = nominal.names[i];
    s.nominal = nominal.values[i];
    s.min = s.max = s.nominal;
    double sum = 0.0, sum2 = 0.0;
    for (const FitResult& v : variations) {
      if (!v.converged) continue;
      const auto it = std::find(v.names.begin(), v.names.end(), s.name);
      if (it == v.names.end()) continue;
      const double x = v.values[it - v.names.begin()];
      sum += x;
      sum2 += x * x;
      s.n += 1;
      s.min = s.n == 1 ? x : std::min(s.min, x);
      s.max = s.n == 1 ? x : std::max(s.max, x);
      s.max_deviation = std::max(s.max_deviation, std::fabs(x - s.nominal));
    }
    if (s.n > 0) {
      s.mean = sum / s.n;
      s.rms = std::sqrt(std::max(0.0, sum2 / s.n - s.mean * s.mean));
    }
    out.push_back(s);
  }
  return out;
}

std::string ResultJson(const RunReport& report) {
  json j;
  j["femtokit_version"] = FEMTOKIT_VERSION;
  j["mode"] = report.mode;
  j["data_sets"] = report.data_sets;
  j["result"] = ResultObject(report.nominal);
  if (!report.variations.empty()) {
    json vars = json::array();
    for (std::size_t i = 0; i < report.variations.size(); ++i) {
      json v = ResultObject(report.variations[i]);
      v["name"] = i < report.variation_names.size() ? report.variation_names[i] : "";
      vars.push_back(v);
    }
    j["variations"] = vars;
    json spread = json::array();
    for (const ParameterSpread& s : Spread(report.nominal, report.variations)) {
      json p;
      p["name"] = s.name;
      p["nominal"] = Number(s.nominal);
      p["converged_variations"] = s.n;
      p["mean"] = Number(s.mean);
      p["rms"] = Number(s.rms);
      p["min"] = Number(s.min);
      p["max"] = Number(s.max);
      p["max_deviation"] = Number(s.max_deviation);
      spread.push_back(p);
    }
    j["spread"] = spread;
  }
  if (!report.configuration_json.empty())
    j["configuration"] = json::parse(report.configuration_json, nullptr, false);
  return j.dump(2) + "\n";
}

void WriteResultJson(const std::string& path, const RunReport& report) {
  std::ofstream out(path);
  if (!out) Fatal("cannot write %s\n", path.c_str());
  out << ResultJson(report);
  if (!out) Fatal("error writing %s\n", path.c_str());
}

void WriteCurvesCsv(const std::string& path, const Analysis& analysis,
                    const std::vector<ModelCurves>& curves, bool with_data) {
  std::vector<std::string> terms;
  for (const ModelCurves& c : curves)
    for (const std::string& t : c.term_names)
      if (std::find(terms.begin(), terms.end(), t) == terms.end()) terms.push_back(t);
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "w"), std::fclose);
  if (!f) Fatal("cannot write %s\n", path.c_str());
  std::fprintf(f.get(), "set,k,k_low,k_high,data,error,model,baseline,C_gen");
  for (const std::string& t : terms) std::fprintf(f.get(), ",term_%s", t.c_str());
  std::fprintf(f.get(), "\n");
  const auto& sets = analysis.data_sets();
  for (std::size_t s = 0; s < curves.size() && s < sets.size(); ++s) {
    const ModelCurves& c = curves[s];
    const MeasuredData& d = sets[s].data;
    for (std::size_t i = 0; i < c.k.size(); ++i) {
      std::fprintf(f.get(), "%s,%.10g,%.10g,%.10g,", sets[s].name.c_str(), c.k[i], d.k_low[i],
                   d.k_high[i]);
      if (with_data)
        std::fprintf(f.get(), "%.10g,%.10g,", d.value[i], d.error[i]);
      else
        std::fprintf(f.get(), ",,");
      std::fprintf(f.get(), "%.10g,%.10g,%.10g", c.model[i], c.baseline[i], c.genuine[i]);
      for (const std::string& t : terms) {
        const auto it = std::find(c.term_names.begin(), c.term_names.end(), t);
        if (it == c.term_names.end())
          std::fprintf(f.get(), ",");
        else
          std::fprintf(f.get(), ",%.10g", c.terms[it - c.term_names.begin()][i]);
      }
      std::fprintf(f.get(), "\n");
    }
  }
  if (std::ferror(f.get())) Fatal("error writing %s\n", path.c_str());
}

}  // namespace femtokit::analysis

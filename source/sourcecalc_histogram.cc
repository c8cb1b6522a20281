#include "source/sourcecalc_histogram.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "arrays/charray.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

namespace {

const char* const kModel = "CSourceCalc_Histogram";

// The numbers of one line, up to a '#' comment, separated by whitespace, ',' or ';'.
// Returns false when a token is not a number.
bool SplitNumbers(std::string line, std::vector<double>& values) {
  values.clear();
  line = line.substr(0, line.find('#'));
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
  const char* p = line.c_str();
  while (true) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
    if (*p == '\0') return true;
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !(*end == '\0' || *end == ' ' || *end == '\t' || *end == '\r')) return false;
    values.push_back(v);
    p = end;
  }
}

// 4 pi int r^2 S dr of the linear interpolant, flat below r[0]; Simpson's rule is
// exact on each segment since r^2 S(r) is a cubic there.
double TableNorm(const std::vector<double>& r, const std::vector<double>& S) {
  using femtokit::constants::kPi;
  double sum = S[0] * r[0] * r[0] * r[0] / 3.0;
  for (size_t i = 0; i + 1 < r.size(); i++) {
    const double a = r[i], b = r[i + 1], m = 0.5 * (a + b);
    sum +=
        (b - a) / 6.0 * (a * a * S[i] + 4.0 * m * m * 0.5 * (S[i] + S[i + 1]) + b * b * S[i + 1]);
  }
  return 4.0 * kPi * sum;
}

}  // namespace

CSourceCalc_Histogram::CSourceCalc_Histogram() { InitSPars(); }

void CSourceCalc_Histogram::InitSPars() { SetSPars("", 1.0, false); }

void CSourceCalc_Histogram::SetSPars(const std::string& filename, double lambda, bool normalize) {
  parameter::set(spars, "filename", filename);
  parameter::set(spars, "lambda", lambda);
  parameter::set(spars, "normalize", normalize);
}

const CSourceCalc_Histogram::Table& CSourceCalc_Histogram::CurrentTable() const {
  const std::string filename = parameter::getS(spars, "filename", "");
  if (filename.empty()) femtokit::Fatal("%s: parameter filename is empty\n", kModel);
  if (filename == table_.filename && !table_.r.empty()) return table_;

  std::ifstream in(filename);
  if (!in) femtokit::Fatal("%s: cannot open table %s\n", kModel, filename.c_str());
  Table table;
  table.filename = filename;
  std::string line;
  std::vector<double> v;
  int lineno = 0;
  bool haserrors = true;
  while (std::getline(in, line)) {
    lineno++;
    const bool numeric = SplitNumbers(line, v);
    // A header (text before the first row) is skipped; text after it is an error.
    if (!numeric && table.r.empty()) continue;
    if (v.empty() && numeric) continue;
    if (!numeric || v.size() < 2)
      femtokit::Fatal("%s: %s line %d: expected \"r S [error]\", got \"%s\"\n", kModel,
                      filename.c_str(), lineno, line.c_str());
    for (double x : v)
      if (!std::isfinite(x))
        femtokit::Fatal("%s: %s line %d: value %g is not finite\n", kModel, filename.c_str(),
                        lineno, x);
    if (v[0] < 0.0 || (!table.r.empty() && !(v[0] > table.r.back())))
      femtokit::Fatal("%s: %s line %d: r=%g must be >= 0 and above the previous row's\n", kModel,
                      filename.c_str(), lineno, v[0]);
    table.r.push_back(v[0]);
    table.S.push_back(v[1]);
    haserrors = haserrors && v.size() >= 3;
    table.error.push_back(v.size() >= 3 ? v[2] : 0.0);
  }
  if (in.bad()) femtokit::Fatal("%s: error reading %s\n", kModel, filename.c_str());
  if (table.r.size() < 2)
    femtokit::Fatal("%s: %s holds %zu rows, at least 2 needed\n", kModel, filename.c_str(),
                    table.r.size());
  if (!haserrors) std::fill(table.error.begin(), table.error.end(), 0.0);
  table.integral = TableNorm(table.r, table.S);
  femtokit::Progress("histogram source %s: %zu rows, r = %g ... %g fm, 4 pi int r^2 S dr = %g\n",
                     filename.c_str(), table.r.size(), table.r.front(), table.r.back(),
                     table.integral);
  table_ = std::move(table);
  return table_;
}

double CSourceCalc_Histogram::Factor(const Table& table) const {
  const double lambda = femtokit::SourcePar::Finite(spars, kModel, "lambda", 1.0);
  if (!parameter::getB(spars, "normalize", false)) return lambda;
  if (table.integral == 0.0)
    femtokit::Fatal("%s: table %s integrates to 0, cannot normalize\n", kModel,
                    table.filename.c_str());
  return lambda / table.integral;
}

double CSourceCalc_Histogram::Interpolate(const std::vector<double>& r,
                                          const std::vector<double>& y, double x) {
  if (x <= r.front()) return y.front();
  if (x > r.back()) return 0.0;
  const size_t i = std::upper_bound(r.begin(), r.end(), x) - r.begin();  // r[i-1] < x <= r[i]
  if (i >= r.size()) return y.back();
  const double t = (x - r[i - 1]) / (r[i] - r[i - 1]);
  return y[i - 1] + t * (y[i] - y[i - 1]);
}

std::vector<double> CSourceCalc_Histogram::Density(const std::vector<double>& r) const {
  const Table& table = CurrentTable();
  const double factor = Factor(table);
  std::vector<double> S(r.size());
  for (size_t i = 0; i < r.size(); i++) S[i] = factor * Interpolate(table.r, table.S, r[i]);
  return S;
}

double CSourceCalc_Histogram::TableIntegral() const { return CurrentTable().integral; }

void CSourceCalc_Histogram::FillErrors(CCHArray* E) const {
  const Table& table = CurrentTable();
  const double factor = std::fabs(Factor(table));
  E->ZeroArray();
  for (int ir = 0; ir < E->GetNRADIAL(); ir++)
    E->SetElement(0, 0, 0, ir,
                  factor * Interpolate(table.r, table.error, (ir + 0.5) * E->GetRADSTEP()));
}

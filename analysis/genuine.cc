#include "analysis/genuine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#include "arrays/charray.h"
#include "kernel/kernel.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "source/sourcemodels.h"
#include "wavefunctions/pairs.h"

namespace femtokit::analysis {
namespace {

// A parameter file for the legacy classes, written to a private temporary file and
// removed when this goes out of scope (also when a Fatal handler throws).
class TempParameterFile {
 public:
  explicit TempParameterFile(const std::string& text) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "femtokit_analysis_XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) Fatal("cannot create a temporary parameter file %s\n", pattern.c_str());
    close(fd);
    path_ = pattern;
    std::ofstream(path_) << text;
  }
  ~TempParameterFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempParameterFile(const TempParameterFile&) = delete;
  TempParameterFile& operator=(const TempParameterFile&) = delete;
  const char* c_str() const { return path_.c_str(); }

 private:
  std::string path_;
};

std::string KernelParameters(const KernelGrid& g, bool identical) {
  char text[256];
  std::snprintf(text, sizeof text,
                "int NQMAX %d\ndouble DELQ %.17g\nint NRMAX %d\ndouble DELR %.17g\nint KLMAX 0\n"
                "bool IDENTICAL %d\n",
                g.nq, g.delq, g.nr, g.delr, identical ? 1 : 0);
  return text;
}

std::string FormatValue(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

bool IsNumber(const std::string& text) {
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0';
}

// S_000 of the model on bins of dr, out to n bins; the array is reused.
void ComputeSource(CSourceCalc& source, CCHArray& array) {
  array.ZeroArray();
  source.CalcS(&array);
}

// 4 pi sum r^2 dr S over the first n bins.
double Integral(const CCHArray& array, int n) {
  const double dr = array.GetRADSTEP();
  double sum = 0.0;
  for (int ir = 0; ir < n; ++ir) {
    const double r = (ir + 0.5) * dr;
    sum += r * r * array.GetElement(0, 0, 0, ir);
  }
  return 4.0 * constants::kPi * dr * sum;
}

void ApplySettings(CSourceCalc& source, const std::string& model, const parameter_map& settings) {
  for (const auto& [key, value] : settings) {
    if (source.spars.count(key) == 0) {
      std::string known;
      for (const auto& entry : source.spars) known += " " + entry.first;
      Fatal("source model %s has no parameter '%s'; known:%s\n", model.c_str(), key.c_str(),
            known.c_str());
    }
    source.spars[key] = value;
  }
}

}  // namespace

KernelGrid GridFor(const std::vector<double>& k, double rmax, double delr) {
  if (k.empty()) Fatal("a kernel grid needs at least one k\n");
  KernelGrid g;
  double delq = 0.0;
  if (k.size() >= 2) {
    const double step = k[1] - k[0];
    bool uniform = std::fabs(k[0] - 0.5 * step) < 1e-6 * step;
    for (std::size_t i = 1; i < k.size() && uniform; ++i)
      uniform = std::fabs(k[i] - (i + 0.5) * step) < 1e-6 * step;
    if (uniform) {
      delq = step;
    } else {
      double smallest = k[1] - k[0];
      for (std::size_t i = 2; i < k.size(); ++i) smallest = std::min(smallest, k[i] - k[i - 1]);
      delq = 0.5 * smallest;
    }
  } else {
    delq = 2.0 * std::max(k[0], 0.5);
  }
  g.delq = delq;
  g.nq = static_cast<int>(std::ceil(k.back() / delq + 0.5 - 1e-9));
  g.delr = delr;
  g.nr = static_cast<int>(std::ceil(rmax / delr - 1e-9));
  return g;
}

double GenuineCorrelation::DefaultValue(const std::string&) const {
  return std::numeric_limits<double>::quiet_NaN();
}

// ------------------------------------------------------------------ KernelTable

KernelTable::KernelTable(std::unique_ptr<CKernel> kernel, std::string description)
    : kernel_(std::move(kernel)), description_(std::move(description)) {}

KernelTable::~KernelTable() = default;

std::shared_ptr<KernelTable> KernelTable::FromPair(const std::string& pair, const KernelGrid& grid,
                                                   const WaveFunctionOptions& options) {
  if (FindPair(pair) == nullptr) MakeWaveFunction(pair, "");  // fatal with the known names
  char text[256];
  std::snprintf(text, sizeof text,
                "int NQMAX %d\ndouble DELQ %.17g\ndouble EPSILON %.17g\nbool STRONG %d\n"
                "bool COULOMB %d\n",
                grid.nq, grid.delq, options.epsilon, options.strong ? 1 : 0,
                options.coulomb ? 1 : 0);
  const TempParameterFile wfpars(text);
  std::unique_ptr<CWaveFunction> wf = MakeWaveFunction(pair, wfpars.c_str());
  // Identical pairs keep only even ell; the s-wave table used here is the same either way.
  const TempParameterFile kpars(KernelParameters(grid, false));
  auto kernel = std::make_unique<CKernel>(kpars.c_str());
  Progress("computing the %s kernel: %d q points to %g MeV/c, %d r points to %g fm\n",
           pair.c_str(), grid.nq, grid.nq * grid.delq, grid.nr, grid.nr * grid.delr);
  kernel->Calc(wf.get());
  return std::make_shared<KernelTable>(std::move(kernel), pair + " kernel (computed)");
}

std::shared_ptr<KernelTable> KernelTable::FromDirectory(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) Fatal("kernel directory %s does not exist\n", dir.c_str());
  std::vector<double> q;
  bool odd = false;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    int ell = -1;
    double value = 0.0;
    if (std::sscanf(name.c_str(), "ell%d_q%lf.tmp", &ell, &value) != 2) continue;
    if (ell == 0) q.push_back(value);
    if (ell % 2 == 1) odd = true;
  }
  if (q.empty()) Fatal("kernel directory %s holds no ell0_q*.tmp files\n", dir.c_str());
  std::sort(q.begin(), q.end());
  const double delq = q.size() >= 2 ? q[1] - q[0] : 2.0 * q[0];
  for (std::size_t i = 0; i < q.size(); ++i)
    if (std::fabs(q[i] - (i + 0.5) * delq) > 0.006)  // names carry two decimals
      Fatal("kernel directory %s: q points are not the centres of a uniform grid (q=%g)\n",
            dir.c_str(), q[i]);
  KernelGrid grid;
  grid.delq = delq;
  grid.nq = static_cast<int>(q.size());
  {
    char first[64];
    std::snprintf(first, sizeof first, "/ell0_q%07.2f.tmp", q[0]);
    std::ifstream in(dir + first);
    if (!(in >> grid.nr >> grid.delr) || grid.nr < 1 || !(grid.delr > 0.0))
      Fatal("kernel directory %s: unreadable header in %s\n", dir.c_str(), first);
  }
  const TempParameterFile kpars(KernelParameters(grid, !odd));
  auto kernel = std::make_unique<CKernel>(kpars.c_str());
  kernel->Read(dir.c_str());
  return std::make_shared<KernelTable>(std::move(kernel), "kernel read from " + dir);
}

std::shared_ptr<KernelTable> KernelTable::PureHBT(const KernelGrid& grid) {
  const TempParameterFile kpars(KernelParameters(grid, true));
  auto kernel = std::make_unique<CKernel>(kpars.c_str());
  kernel->Calc_PureHBT();
  return std::make_shared<KernelTable>(std::move(kernel), "identical bosons without interaction");
}

double KernelTable::K0(double k, double r) const { return kernel_->GetValue(0, k, r); }
double KernelTable::delr() const { return kernel_->GetDELR(); }
int KernelTable::nr() const { return kernel_->GetNRMAX(); }
double KernelTable::kmax() const { return kernel_->GetDELQ() * kernel_->GetNQMAX(); }

// ------------------------------------------------------------------ KernelSourceCorrelation

KernelSourceCorrelation::KernelSourceCorrelation(std::shared_ptr<KernelTable> kernel,
                                                 const std::string& source_model,
                                                 const parameter_map& settings)
    : kernel_(std::move(kernel)), model_name_(source_model) {
  source_ = MakeSourceCalc(source_model);
  ApplySettings(*source_, source_model, settings);
  for (const auto& [key, value] : source_->spars)
    if (IsNumber(value)) names_.push_back(key);
  defaults_ = source_->spars;
  // Out to four times the kernel's reach, to measure what the kernel grid misses.
  array_ = std::make_unique<CCHArray>(0, 4 * kernel_->nr(), kernel_->delr(), true, true, true);
}

KernelSourceCorrelation::~KernelSourceCorrelation() = default;

std::vector<std::string> KernelSourceCorrelation::ParameterNames() const { return names_; }

double KernelSourceCorrelation::DefaultValue(const std::string& name) const {
  const auto it = defaults_.find(name);
  return it == defaults_.end() ? GenuineCorrelation::DefaultValue(name) : std::atof(it->second.c_str());
}

std::string KernelSourceCorrelation::Description() const {
  return kernel_->description() + " x " + model_name_ + " source";
}

void KernelSourceCorrelation::SetParameters(const ParameterValues& p) {
  // Full precision: the map's "%g" setter would round trial values to six digits,
  // which hides the small steps of a numerical Jacobian.
  for (const std::string& name : names_)
    if (auto it = p.find(name); it != p.end()) source_->spars[name] = FormatValue(it->second);
}

void KernelSourceCorrelation::PrepareKernelMatrix(const std::vector<double>& k) {
  if (k == cached_k_ && !kmatrix_.empty()) return;
  if (!k.empty() && k.back() > kernel_->kmax())
    Fatal("the kernel (%s) reaches k = %g MeV/c, the model needs k = %g MeV/c\n",
          kernel_->description().c_str(), kernel_->kmax(), k.back());
  const int nr = kernel_->nr();
  const double dr = kernel_->delr();
  kmatrix_.assign(k.size() * nr, 0.0);
  for (std::size_t i = 0; i < k.size(); ++i)
    for (int ir = 0; ir < nr; ++ir) {
      const double r = (ir + 0.5) * dr;
      kmatrix_[i * nr + ir] = 4.0 * constants::kPi * r * r * dr * kernel_->K0(k[i], r);
    }
  cached_k_ = k;
}

std::vector<double> KernelSourceCorrelation::Evaluate(const std::vector<double>& k,
                                                      const ParameterValues& p) {
  PrepareKernelMatrix(k);
  SetParameters(p);
  ComputeSource(*source_, *array_);
  const int nr = kernel_->nr();
  lambda_inside_ = Integral(*array_, nr);
  const double total = Integral(*array_, array_->GetNRADIAL());
  inside_fraction_ = total != 0.0 ? lambda_inside_ / total : 1.0;
  if (inside_fraction_ < kRequiredInsideFraction) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "the %s source holds only %.2f%% of its lambda inside the kernel's r grid "
                  "(%g fm) for some parameter values tried",
                  model_name_.c_str(), 100.0 * inside_fraction_, kernel_->rmax());
    if (std::find(warnings_.begin(), warnings_.end(), text) == warnings_.end() &&
        warnings_.size() < 8) {
      warnings_.emplace_back(text);
      Warn("warning: %s\n", text);
    }
  }
  std::vector<double> c(k.size(), 1.0);
  std::vector<double> s(nr);
  for (int ir = 0; ir < nr; ++ir) s[ir] = array_->GetElement(0, 0, 0, ir);
  for (std::size_t i = 0; i < k.size(); ++i) {
    const double* row = &kmatrix_[i * nr];
    double sum = 0.0;
    for (int ir = 0; ir < nr; ++ir) sum += row[ir] * s[ir];
    c[i] += sum;
  }
  return c;
}

double RequiredRadius(const std::string& source_model, const parameter_map& settings,
                      const std::vector<ParameterValues>& parameter_sets, double rcap) {
  constexpr double kDelr = 0.25;
  const int n = static_cast<int>(std::ceil(2.0 * rcap / kDelr));
  std::unique_ptr<CSourceCalc> source = MakeSourceCalc(source_model);
  ApplySettings(*source, source_model, settings);
  CCHArray array(0, n, kDelr, true, true, true);
  double needed = 5.0;
  for (const ParameterValues& p : parameter_sets) {
    for (const auto& [name, value] : p)
      if (source->spars.count(name) != 0) source->spars[name] = FormatValue(value);
    ComputeSource(*source, array);
    const double total = Integral(array, n);
    if (total == 0.0) continue;
    double r = 5.0;
    while (r < rcap &&
           Integral(array, static_cast<int>(std::lround(r / kDelr))) / total < kRequiredInsideFraction)
      r += 5.0;
    needed = std::max(needed, std::min(r, rcap));
  }
  return needed;
}

}  // namespace femtokit::analysis

#ifndef FEMTOKIT_ANALYSIS_GENUINE_H
#define FEMTOKIT_ANALYSIS_GENUINE_H

// The genuine correlation C_gen(k) of the measured pair, the part of an analysis
// model that carries the source.
//
// GenuineCorrelation is the seam: anything that turns named parameter values into
// C_gen at given k* (MeV/c) plugs into the model (analysis/model.h). The
// implementation here integrates a source model over the angle-averaged kernel of
// the pair,
//
//   C_gen(k) = 1 + sum_ir 4 pi r_ir^2 dr K_0(k, r_ir) S(r_ir),
//
// r_ir = (ir + 0.5) dr the kernel's bin centres (fm), S the source model's
// angle-averaged S_000 (fm^-3, its integral is the source's own lambda). An
// analytic model (Lednicky-Lyuboshitz) or an exact radial solver implements the
// same interface.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/parameter.h"

class CKernel;
class CSourceCalc;
class CCHArray;

namespace femtokit::analysis {

// Parameter values by name (source radii, lambdas, baseline coefficients, N).
using ParameterValues = std::map<std::string, double>;

class GenuineCorrelation {
 public:
  virtual ~GenuineCorrelation() = default;
  // The names this correlation reads from ParameterValues (absent ones keep the
  // model's defaults).
  virtual std::vector<std::string> ParameterNames() const = 0;
  // C_gen at each k (MeV/c).
  virtual std::vector<double> Evaluate(const std::vector<double>& k, const ParameterValues& p) = 0;
  // The value a parameter has when the analysis does not set it (NaN: none).
  virtual double DefaultValue(const std::string& name) const;
  // One line for reports ("pp kernel (computed) x gx1d source").
  virtual std::string Description() const = 0;
  // Problems met while evaluating (e.g. a source reaching beyond the kernel's r grid),
  // each reported once.
  virtual std::vector<std::string> Warnings() const { return {}; }
};

// The grid of a kernel: q centres (iq + 0.5) delq, iq < nq (MeV/c); r centres
// (ir + 0.5) delr, ir < nr (fm).
struct KernelGrid {
  double delq = 4.0;
  int nq = 25;
  double delr = 0.5;
  int nr = 60;
};

// A q grid for data at bin centres k: the data's own spacing when k are the centres
// of a uniform grid starting at 0 (no interpolation in q), else half the smallest
// spacing; it reaches the last k. r: delr up to at least rmax.
KernelGrid GridFor(const std::vector<double>& k, double rmax, double delr = 0.5);

// Settings of a pair wave function that the kernel is computed from.
struct WaveFunctionOptions {
  double epsilon = 5.0;  // fm: integrated radial waves inside, phase-shifted waves outside
  bool strong = true;
  bool coulomb = true;
};

// An angular kernel (kernel/kernel.h) owned by the analysis; K_0 only is used.
// Shared between the data sets and variations that need the same kernel.
class KernelTable {
 public:
  KernelTable(std::unique_ptr<CKernel> kernel, std::string description);
  ~KernelTable();
  KernelTable(const KernelTable&) = delete;
  KernelTable& operator=(const KernelTable&) = delete;

  // Computed from the pair's wave function (wavefunctions/pairs.h registry) on grid.
  // The wave function's q grid is the kernel's own. Takes seconds for pp.
  static std::shared_ptr<KernelTable> FromPair(const std::string& pair, const KernelGrid& grid,
                                               const WaveFunctionOptions& options);
  // Read from a kernel directory (files "ell%d_q%07.2f.tmp"): the grid is taken
  // from the file names and headers, no parameter file needed.
  static std::shared_ptr<KernelTable> FromDirectory(const std::string& dir);
  // Identical non-interacting bosons (K_0 = j_0(2 q r / hbar c)): for tests and
  // quick looks; C - 1 = lambda exp(-4 q^2 R^2 / (hbar c)^2) for a Gaussian source.
  static std::shared_ptr<KernelTable> PureHBT(const KernelGrid& grid);

  // K_0 at k (MeV/c) and r (fm), bilinear between the centres (the kernel's
  // GetValue: flat below the first q centre, 0 beyond the q range).
  double K0(double k, double r) const;
  double delr() const;
  int nr() const;
  double rmax() const { return delr() * nr(); }
  double kmax() const;  // end of the q range, MeV/c
  const std::string& description() const { return description_; }

 private:
  std::unique_ptr<CKernel> kernel_;
  std::string description_;
};

// Fraction of a source's lambda that lies inside rmax (fm) is at least this for
// every parameter value a fit tries; else the kernel grid is enlarged or a warning
// is recorded.
inline constexpr double kRequiredInsideFraction = 0.999;

// C_gen from a source model (source/sourcemodels.h registry, by name) through a kernel.
class KernelSourceCorrelation : public GenuineCorrelation {
 public:
  // settings: values for the model's parameter map that are not fit parameters
  // (e.g. an event file name); a key the model does not know is fatal.
  KernelSourceCorrelation(std::shared_ptr<KernelTable> kernel, const std::string& source_model,
                          const parameter_map& settings = {});
  ~KernelSourceCorrelation() override;

  std::vector<std::string> ParameterNames() const override;
  double DefaultValue(const std::string& name) const override;
  std::vector<double> Evaluate(const std::vector<double>& k, const ParameterValues& p) override;
  std::string Description() const override;
  std::vector<std::string> Warnings() const override { return warnings_; }

  // Of the last Evaluate: the source's integral (lambda) inside the kernel's r grid
  // and the fraction it is of the integral out to four times that radius.
  double last_lambda_inside() const { return lambda_inside_; }
  double last_inside_fraction() const { return inside_fraction_; }
  const KernelTable& kernel() const { return *kernel_; }

 private:
  void SetParameters(const ParameterValues& p);
  void PrepareKernelMatrix(const std::vector<double>& k);

  std::shared_ptr<KernelTable> kernel_;
  std::string model_name_;
  std::unique_ptr<CSourceCalc> source_;
  std::unique_ptr<CCHArray> array_;       // S_000 out to 4 x the kernel's rmax
  std::vector<std::string> names_;        // numeric keys of the model's map
  parameter_map defaults_;                // the map before any fit value was written
  std::vector<double> cached_k_;          // k of kmatrix_
  std::vector<double> kmatrix_;           // 4 pi r^2 dr K_0(k_i, r_j), row-major
  std::vector<std::string> warnings_;
  double lambda_inside_ = 0.0;
  double inside_fraction_ = 1.0;
};

// The smallest radius (fm, a multiple of 5 fm, at most rcap) that holds
// kRequiredInsideFraction of the model's source for each parameter set; rcap when
// none does (the caller says so).
double RequiredRadius(const std::string& source_model, const parameter_map& settings,
                      const std::vector<ParameterValues>& parameter_sets, double rcap = 200.0);

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_GENUINE_H

#ifndef FEMTOKIT_FIT_CF2SFIT_GENERIC_H
#define FEMTOKIT_FIT_CF2SFIT_GENERIC_H

// A fit of any source model (source/sourcemodels.h) to one Cartesian-harmonic
// component of a measured correlation function, or to one measured on a
// three-dimensional grid, with the parameters to fit chosen by key. The chi-square is that of every
// one-dimensional fit (fit/cf2sfit.h, ndim 1): the model's component (lx, ly, lz) of S(r) (fm^-3)
// is transformed through the kernel into C(q) - 1 (q in MeV/c) and compared
// bin by bin; the component is (0,0,0) after construction (SetL changes it).
//
// Each fitted key gets an error (Newton's finite-difference step, the steepest
// descent's scale, the first Metropolis step) and bounds; its starting value is
// the model's current value (a key the model does not have is fatal). Keys not
// fitted keep whatever the model's map holds.
//
// Bounds protect the model: Newton's finite-difference probes may step past a
// bound (fit/minimizers.cc), and the new models stop on parameters outside their
// domain (alpha > 2, a radius <= 0). Every value is therefore clamped into
// [xmin, xmax] before it reaches the model, so a probe beyond a bound evaluates
// the model at the bound. Choose bounds inside the model's domain.
//
// Ownership: the fit owns the model it makes by name (Model() gives access to
// set fixed keys); a model passed by pointer stays the caller's. Like every fit,
// the arrays and the kernel are the caller's. CCF2SFit has no virtual
// destructor: delete a CCF2SFit_Generic through its own type.

#include <memory>
#include <string>
#include <vector>

#include "fit/cf2sfit.h"

class CSourceCalc;
class CCHArray;
class C3DArray;
class CKernel;

namespace femtokit {

// One fitted key: its name (at most CParInfo::kMaxNameLength characters), error
// and bounds.
struct FitParSetting {
  std::string name;
  double error;
  double xmin;
  double xmax;
};

// Defaults for a key starting at value start:
//   "alpha"              error 0.05,          bounds [0.05, 2];
//   keys "lambda..."     error 0.02,          bounds [-10, 10];
//   other, start > 0     error 5% of start,   bounds [start/100, 100 start];
//   other, start <= 0    error max(5% |start|, 0.1), bounds [-1e10, 1e10].
FitParSetting DefaultFitParSetting(const std::string& key, double start);

}  // namespace femtokit

class CCF2SFit_Generic : public CCF2SFit {
 public:
  // Makes the registry model model_name (fatal when unknown) with its defaults.
  CCF2SFit_Generic(const std::string& model_name, const std::vector<femtokit::FitParSetting>& pars,
                   CCHArray* cexpCHset, CCHArray* cerrorCHset, CCHArray* ctheoryCHset,
                   CCHArray* sourceCHset, CKernel* kernelset);
  // The same with DefaultFitParSetting for each key.
  CCF2SFit_Generic(const std::string& model_name, const std::vector<std::string>& keys,
                   CCHArray* cexpCHset, CCHArray* cerrorCHset, CCHArray* ctheoryCHset,
                   CCHArray* sourceCHset, CKernel* kernelset);
  // A model owned by the caller, which must outlive the fit.
  CCF2SFit_Generic(CSourceCalc* model, const std::vector<femtokit::FitParSetting>& pars,
                   CCHArray* cexpCHset, CCHArray* cerrorCHset, CCHArray* ctheoryCHset,
                   CCHArray* sourceCHset, CKernel* kernelset);
  // Comparison on a three-dimensional grid (ndim 3, as CCF2SFit_3DGaussian): every
  // evaluation computes the whole source into sourceCH, transforms it into
  // ctheoryCH (C(q) - 1), completes it by tracelessness, expands it onto the grid
  // ctheory3D and returns the grid chi^2 against cexp3D with errors cerror3D
  // (which must hold C(q) - 1). The model is made by name, as above.
  CCF2SFit_Generic(const std::string& model_name, const std::vector<femtokit::FitParSetting>& pars,
                   C3DArray* cexp3Dset, C3DArray* cerror3Dset, C3DArray* ctheory3Dset,
                   CCHArray* ctheoryCHset, CCHArray* sourceCHset, CKernel* kernelset);
  ~CCF2SFit_Generic();

  // The fitted model (its map holds the values of the last evaluation).
  CSourceCalc* Model() { return model_; }

 private:
  class Bounded;
  // The checks, the bounded model and the table; the arrays are set by the caller.
  void Build(const std::vector<femtokit::FitParSetting>& pars);
  std::unique_ptr<CSourceCalc> owned_;
  CSourceCalc* model_ = nullptr;
  std::unique_ptr<Bounded> bounded_;  // what the base's sourcecalc points at
};

#endif  // FEMTOKIT_FIT_CF2SFIT_GENERIC_H

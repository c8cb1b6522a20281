#ifndef FEMTOKIT_FIT_SOURCECHISQUARE_H
#define FEMTOKIT_FIT_SOURCECHISQUARE_H

// The chi-square of any source model against one Cartesian-harmonic component
// of a measured correlation function, as a plain function of a parameter
// vector: the form external minimisers (iminuit from Python) want.
//
//   chi^2(p) = sum_{iq < NRADIAL} (C_exp(q_iq) - C_th(q_iq; p))^2 / sigma(q_iq)^2,
//
// C_th the (lx, ly, lz) component of the model source S(r; p) (fm^-3, r in fm)
// carried through the angular kernel (kernel/s2cf.h); for (0,0,0) the arrays
// hold C(q) - 1, q in MeV/c. One evaluation writes the values into the model's
// parameter map under the given names, recomputes the source, transforms it and
// sums (kernel/cfcalc.h) -- the same steps as CCF2SFit::GetChiSquared for a
// one-dimensional fit, with two differences that suit a minimiser probing tiny
// steps: the values are stored with 17 significant digits (not "%g"), and a
// model that cannot compute a single component (its component CalcS is the
// base's dummy, found out once at construction) computes its whole source.
//
// The source array is built on the kernel's r grid (NRADIAL = nrmax, RADSTEP =
// delr) so that the transform reads the kernel table directly; it and the model
// correlation array take the data's symmetries and LMAX max(kernel LMAX, data
// LMAX, rank of the component). Model, kernel and data arrays are borrowed and
// must outlive this object.
//
// Fatal (femtokit::Fatal, nothing built): no parameter name, an empty name,
// data and error arrays of different shape, a component the data array does
// not store.

#include <memory>
#include <string>
#include <vector>

class CSourceCalc;
class CKernel;
class CCHArray;
class CCF2SFit;

namespace femtokit {

class SourceChiSquare {
 public:
  SourceChiSquare(CSourceCalc* model, CKernel* kernel, CCHArray* cexp, CCHArray* cerror,
                  std::vector<std::string> parnames, int lx = 0, int ly = 0, int lz = 0);
  ~SourceChiSquare();
  SourceChiSquare(const SourceChiSquare&) = delete;
  SourceChiSquare& operator=(const SourceChiSquare&) = delete;

  // chi^2 at values[0 ... names().size()-1], in the order of names().
  double Evaluate(const double* values);
  double operator()(const std::vector<double>& values);

  const std::vector<std::string>& names() const { return names_; }
  // Number of compared bins (the data array's NRADIAL).
  int NBins() const;
  // Whether the model computes the compared component alone.
  bool Componentwise() const { return componentwise_; }
  int lx() const { return lx_; }
  int ly() const { return ly_; }
  int lz() const { return lz_; }

  // Arrays of the last evaluation (zero before the first).
  CCHArray& Source() { return *source_; }
  CCHArray& Theory() { return *theory_; }
  CSourceCalc& Model() { return *model_; }
  CKernel& Kernel() { return *kernel_; }
  CCHArray& Data() { return *cexp_; }
  CCHArray& Errors() { return *cerror_; }

 private:
  CSourceCalc* model_;
  CKernel* kernel_;
  CCHArray* cexp_;
  CCHArray* cerror_;
  std::vector<std::string> names_;
  int lx_, ly_, lz_;
  std::unique_ptr<CCHArray> source_;
  std::unique_ptr<CCHArray> theory_;
  bool componentwise_ = false;

  bool ProbeComponentwise();
};

// One parameter of a built-in fit: start value, error (Newton's finite-difference
// step, the walk's initial step) and bounds.
struct FitParameter {
  std::string name;
  double value;
  double error;
  double xmin;
  double xmax;
};

// A fit (fit/cf2sfit.h) over the named parameters of cost's model, comparing the
// same component with the same kernel and arrays as cost, so that the built-in
// minimisers (Newton, SteepestDescent, Metropolis) run on any model. Like every
// CCF2SFit it writes trial values with six significant digits and computes the
// single component: fatal when cost's model cannot (cost.Componentwise() false),
// when a name is not one of cost's, or is longer than CParInfo::kMaxNameLength.
// cost must outlive the fit.
std::unique_ptr<CCF2SFit> MakeBuiltinFit(SourceChiSquare& cost,
                                         const std::vector<FitParameter>& pars);

}  // namespace femtokit

#endif  // FEMTOKIT_FIT_SOURCECHISQUARE_H

#include "fit/sourcechisquare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "fit/cf2sfit.h"
#include "kernel/cfcalc.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "source/sourcecalc.h"

namespace femtokit {

namespace {

bool SameShape(const CCHArray& a, const CCHArray& b) {
  return a.GetLMAX() == b.GetLMAX() && a.GetNRADIAL() == b.GetNRADIAL() &&
         std::fabs(a.GetRADSTEP() - b.GetRADSTEP()) <= 1e-10 * std::fabs(a.GetRADSTEP()) &&
         a.GetXSYM() == b.GetXSYM() && a.GetYSYM() == b.GetYSYM() && a.GetZSYM() == b.GetZSYM();
}

// Every check before anything is allocated, so a fatal condition that throws
// (embedding programs) leaves nothing half-built.
void CheckInputs(CSourceCalc* model, CKernel* kernel, CCHArray* cexp, CCHArray* cerror,
                 const std::vector<std::string>& names, int lx, int ly, int lz) {
  if (model == nullptr || kernel == nullptr || cexp == nullptr || cerror == nullptr)
    Fatal("SourceChiSquare: model, kernel, data and errors must all be given\n");
  if (names.empty()) Fatal("SourceChiSquare: no parameter names given\n");
  for (const std::string& name : names)
    if (name.empty()) Fatal("SourceChiSquare: empty parameter name\n");
  if (!SameShape(*cexp, *cerror))
    Fatal("SourceChiSquare: data and error arrays differ in LMAX, NRADIAL, RADSTEP or symmetry\n");
  if (!cexp->IsStored(lx, ly, lz, 0))
    Fatal("SourceChiSquare: component l=(%d,%d,%d) is not stored in the data array\n", lx, ly, lz);
}

}  // namespace

SourceChiSquare::SourceChiSquare(CSourceCalc* model, CKernel* kernel, CCHArray* cexp,
                                 CCHArray* cerror, std::vector<std::string> parnames, int lx,
                                 int ly, int lz)
    : model_(model),
      kernel_(kernel),
      cexp_(cexp),
      cerror_(cerror),
      names_(std::move(parnames)),
      lx_(lx),
      ly_(ly),
      lz_(lz) {
  CheckInputs(model, kernel, cexp, cerror, names_, lx, ly, lz);
  const int lmax = std::max({kernel->GetLMAX(), cexp->GetLMAX(), lx + ly + lz});
  source_ = std::make_unique<CCHArray>(lmax, kernel->GetNRMAX(), kernel->GetDELR(), cexp->XSYM,
                                       cexp->YSYM, cexp->ZSYM);
  theory_ = std::make_unique<CCHArray>(lmax, cexp->GetNRADIAL(), cexp->GetRADSTEP(), cexp->XSYM,
                                       cexp->YSYM, cexp->ZSYM);
  componentwise_ = ProbeComponentwise();
}

SourceChiSquare::~SourceChiSquare() = default;

namespace {
// Keeps the probe's own messages (the dummy's "i'm a dummy") out of the output;
// restores the level also when the model's CalcS ends in a thrown fatal error.
class QuietScope {
 public:
  QuietScope() : saved_(GetVerbosity()) { SetVerbosity(Verbosity::kQuiet); }
  ~QuietScope() { SetVerbosity(saved_); }
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

 private:
  Verbosity saved_;
};
}  // namespace

// A model whose component CalcS is the base's dummy writes nothing: mark the
// component with NaN, ask for it, and see whether it was overwritten.
bool SourceChiSquare::ProbeComponentwise() {
  QuietScope quiet;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int ir = 0; ir < source_->GetNRADIAL(); ir++) source_->SetElement(lx_, ly_, lz_, ir, nan);
  model_->CalcS(lx_, ly_, lz_, source_.get());
  bool written = false;
  for (int ir = 0; ir < source_->GetNRADIAL(); ir++)
    if (!std::isnan(source_->GetElement(lx_, ly_, lz_, ir))) written = true;
  source_->ZeroArray();
  return written;
}

int SourceChiSquare::NBins() const { return cexp_->GetNRADIAL(); }

double SourceChiSquare::Evaluate(const double* values) {
  char text[32];
  for (size_t i = 0; i < names_.size(); i++) {
    std::snprintf(text, sizeof text, "%.17g", values[i]);
    parameter::set(model_->spars, names_[i], std::string(text));
  }
  if (componentwise_) {
    model_->CalcS(lx_, ly_, lz_, source_.get());
  } else {
    model_->CalcS(source_.get());
  }
  S2CF::s2c(lx_, ly_, lz_, source_.get(), kernel_, theory_.get());
  return CFCalc::GetChiSquared(lx_, ly_, lz_, cexp_, cerror_, theory_.get());
}

double SourceChiSquare::operator()(const std::vector<double>& values) {
  if (values.size() != names_.size())
    Fatal("SourceChiSquare: %zu values given for %zu parameters\n", values.size(), names_.size());
  return Evaluate(values.data());
}

std::unique_ptr<CCF2SFit> MakeBuiltinFit(SourceChiSquare& cost,
                                         const std::vector<FitParameter>& pars) {
  if (!cost.Componentwise())
    Fatal("MakeBuiltinFit: the built-in minimisers need a model that computes single "
          "components\n");
  if (pars.empty()) Fatal("MakeBuiltinFit: no parameters given\n");
  for (const FitParameter& p : pars) {
    if (std::find(cost.names().begin(), cost.names().end(), p.name) == cost.names().end())
      Fatal("MakeBuiltinFit: parameter %s is not one of the cost's parameters\n", p.name.c_str());
    if (static_cast<int>(p.name.size()) > CParInfo::kMaxNameLength)
      Fatal("MakeBuiltinFit: parameter name %s longer than %d characters\n", p.name.c_str(),
            CParInfo::kMaxNameLength);
    if (!(p.xmin <= p.xmax)) Fatal("MakeBuiltinFit: bounds of %s are reversed\n", p.name.c_str());
  }
  auto fit = std::make_unique<CCF2SFit>();
  fit->npars = static_cast<int>(pars.size());
  fit->ndim = 1;
  fit->sourcecalc = &cost.Model();
  fit->kernel = &cost.Kernel();
  fit->cexpCH = &cost.Data();
  fit->cerrorCH = &cost.Errors();
  fit->ctheoryCH = &cost.Theory();
  fit->sourceCH = &cost.Source();
  fit->SetL(cost.lx(), cost.ly(), cost.lz());
  fit->Init();
  for (int i = 0; i < fit->npars; i++) {
    const FitParameter& p = pars[i];
    fit->par[i]->Set(p.name.c_str(), p.value, p.error, p.xmin, p.xmax);
    fit->StepMatrix[i][i] = p.error;
    fit->ErrorMatrix[i][i] = p.error * p.error;
  }
  return fit;
}

}  // namespace femtokit

#include "fit/cf2sfit_generic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/parameter.h"
#include "fit/cf2sfit_internal.h"
#include "numeric/fatal.h"
#include "source/sourcecalc.h"
#include "source/sourcemodels.h"

namespace femtokit {

FitParSetting DefaultFitParSetting(const std::string& key, double start) {
  if (key == "alpha") return {key, 0.05, 0.05, 2.0};
  if (key.compare(0, 6, "lambda") == 0) return {key, 0.02, -10.0, 10.0};
  if (start > 0.0) return {key, 0.05 * start, start / 100.0, 100.0 * start};
  return {key, std::fmax(0.05 * std::fabs(start), 0.1), -1e10, 1e10};
}

}  // namespace femtokit

namespace {

// The arrays of a one-component fit.
void SetArrays(CCF2SFit* fit, CCHArray* cexpCH, CCHArray* cerrorCH, CCHArray* ctheoryCH,
               CCHArray* sourceCH, CKernel* kernel) {
  fit->cexpCH = cexpCH;
  fit->cerrorCH = cerrorCH;
  fit->ctheoryCH = ctheoryCH;
  fit->sourceCH = sourceCH;
  fit->kernel = kernel;
}

}  // namespace

// The source calculator the fit writes into: it clamps each fitted value into
// its bounds, passes it to the model and lets the model compute.
class CCF2SFit_Generic::Bounded : public CSourceCalc {
 public:
  Bounded(CSourceCalc* model, std::vector<femtokit::FitParSetting> pars)
      : model_(model), pars_(std::move(pars)) {
    spars = model_->spars;
  }
  void CalcS(CCHArray* A) override { Prepared()->CalcS(A); }
  void CalcS(int lx, int ly, int lz, CCHArray* A) override { Prepared()->CalcS(lx, ly, lz, A); }

 private:
  CSourceCalc* Prepared() {
    for (const femtokit::FitParSetting& p : pars_) {
      const double x = parameter::getD(spars, p.name, 0.0);
      const double clamped = std::clamp(x, p.xmin, p.xmax);
      if (clamped == x) {
        // Unchanged: the same text (six digits) the fit wrote.
        model_->spars[p.name] = spars[p.name];
      } else {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", clamped);
        model_->spars[p.name] = text;
      }
    }
    return model_;
  }
  CSourceCalc* model_;
  std::vector<femtokit::FitParSetting> pars_;
};

CCF2SFit_Generic::CCF2SFit_Generic(const std::string& model_name,
                                   const std::vector<femtokit::FitParSetting>& pars,
                                   CCHArray* cexpCHset, CCHArray* cerrorCHset,
                                   CCHArray* ctheoryCHset, CCHArray* sourceCHset,
                                   CKernel* kernelset)
    : owned_(femtokit::MakeSourceCalc(model_name)), model_(owned_.get()) {
  SetArrays(this, cexpCHset, cerrorCHset, ctheoryCHset, sourceCHset, kernelset);
  Build(pars);
}

CCF2SFit_Generic::CCF2SFit_Generic(const std::string& model_name,
                                   const std::vector<std::string>& keys, CCHArray* cexpCHset,
                                   CCHArray* cerrorCHset, CCHArray* ctheoryCHset,
                                   CCHArray* sourceCHset, CKernel* kernelset)
    : owned_(femtokit::MakeSourceCalc(model_name)), model_(owned_.get()) {
  std::vector<femtokit::FitParSetting> pars;
  for (const std::string& key : keys)
    pars.push_back(femtokit::DefaultFitParSetting(key, parameter::getD(model_->spars, key, 0.0)));
  SetArrays(this, cexpCHset, cerrorCHset, ctheoryCHset, sourceCHset, kernelset);
  Build(pars);
}

CCF2SFit_Generic::CCF2SFit_Generic(CSourceCalc* model,
                                   const std::vector<femtokit::FitParSetting>& pars,
                                   CCHArray* cexpCHset, CCHArray* cerrorCHset,
                                   CCHArray* ctheoryCHset, CCHArray* sourceCHset,
                                   CKernel* kernelset)
    : model_(model) {
  if (!model_) femtokit::Fatal("CCF2SFit_Generic: no source model\n");
  SetArrays(this, cexpCHset, cerrorCHset, ctheoryCHset, sourceCHset, kernelset);
  Build(pars);
}

CCF2SFit_Generic::~CCF2SFit_Generic() = default;

CCF2SFit_Generic::CCF2SFit_Generic(const std::string& model_name,
                                   const std::vector<femtokit::FitParSetting>& pars,
                                   C3DArray* cexp3Dset, C3DArray* cerror3Dset,
                                   C3DArray* ctheory3Dset, CCHArray* ctheoryCHset,
                                   CCHArray* sourceCHset, CKernel* kernelset)
    : owned_(femtokit::MakeSourceCalc(model_name)), model_(owned_.get()) {
  cexp3D = cexp3Dset;
  cerror3D = cerror3Dset;
  ctheory3D = ctheory3Dset;
  ctheoryCH = ctheoryCHset;
  sourceCH = sourceCHset;
  kernel = kernelset;
  Build(pars);
  ndim = 3;
}

void CCF2SFit_Generic::Build(const std::vector<femtokit::FitParSetting>& pars) {
  if (pars.empty()) femtokit::Fatal("CCF2SFit_Generic: no parameters to fit\n");
  std::vector<ModelFit::ParRow> rows;
  for (const femtokit::FitParSetting& p : pars) {
    if (model_->spars.count(p.name) == 0)
      femtokit::Fatal("CCF2SFit_Generic: %s is not a parameter of the model\n", p.name.c_str());
    if (p.name.size() > static_cast<size_t>(CParInfo::kMaxNameLength))
      femtokit::Fatal("CCF2SFit_Generic: parameter name %s longer than %d characters\n",
                      p.name.c_str(), CParInfo::kMaxNameLength);
    if (!(p.error > 0.0) || !(p.xmin <= p.xmax) || !std::isfinite(p.error))
      femtokit::Fatal("CCF2SFit_Generic: parameter %s needs error > 0 and xmin <= xmax\n",
                      p.name.c_str());
    rows.push_back({p.name.c_str(), 0.0, p.error, p.xmin, p.xmax});
  }
  bounded_ = std::make_unique<Bounded>(model_, pars);
  npars = static_cast<int>(pars.size());
  ndim = 1;
  sourcecalc = bounded_.get();
  Init();
  ModelFit::FillTable(this, rows.data());
  SetL(0, 0, 0);
}

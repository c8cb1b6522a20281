#include "fit/cf2sfit_models.h"

#include "config/parameter.h"
#include "fit/cf2sfit_internal.h"
#include "source/sourcecalc.h"

void ModelFit::FillTable(CCF2SFit* fit, const ParRow* rows) {
  for (int i = 0; i < fit->npars; i++) {
    const ParRow& row = rows[i];
    const double x = parameter::getD(fit->sourcecalc->spars, row.name, row.xdefault);
    fit->par[i]->Set(row.name, x, row.error, row.xmin, row.xmax);
  }
  for (int i = 0; i < fit->npars; i++) {
    for (int j = 0; j < fit->npars; j++) {
      fit->StepMatrix[i][j] = 0.0;
      fit->ErrorMatrix[i][j] = 0.0;
    }
    fit->StepMatrix[i][i] = fit->par[i]->error;
    fit->ErrorMatrix[i][i] = fit->par[i]->error * fit->par[i]->error;
  }
}

namespace {

using ModelFit::ParRow;

const ParRow kGX1DPars[5] = {
    {"lambdaG", 0.3, 0.02, 0.0, 1.5}, {"R", 5.0, 0.2, 1.0, 12.0}, {"lambdaX", 0.3, 0.02, 0.0, 1.5},
    {"X", 10.0, 0.4, 1.0, 25.0},      {"a", 5.0, 0.2, 1.0, 20.0},
};

}  // namespace

CCF2SFit_GX1D::CCF2SFit_GX1D(CSourceCalc* scset, CCHArray* cexpCHset, CCHArray* cerrorCHset,
                             CCHArray* ctheoryCHset, CCHArray* sourceCHset, CKernel* kernelset) {
  npars = 5;
  sourcecalc = scset;
  cexpCH = cexpCHset;
  cerrorCH = cerrorCHset;
  ctheoryCH = ctheoryCHset;
  sourceCH = sourceCHset;
  kernel = kernelset;
  ndim = 1;
  Init();
  ModelFit::FillTable(this, kGX1DPars);
}

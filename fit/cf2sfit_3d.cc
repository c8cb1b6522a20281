// Constructors of the three-dimensional fits; their chi^2 is the grid
// evaluation of CCF2SFit::GetChiSquared (ndim 3).

#include "fit/cf2sfit_internal.h"
#include "fit/cf2sfit_models.h"
#include "source/sourcecalc.h"

namespace {

using ModelFit::ParRow;

const ParRow k3DGaussianPars[5] = {
    {"lambda", 0.5, 0.02, 0.0, 1.5}, {"Rx", 5.0, 0.2, 1.0, 12.0},     {"Ry", 5.0, 0.2, 1.0, 12.0},
    {"Rz", 5.0, 0.2, 1.0, 12.0},     {"Xoff", 0.0, 0.2, -10.0, 10.0},
};

const ParRow kBlastPars[4] = {
    {"lambda", 1.0, 0.05, 0.0, 1.5},
    {"R", 13.0, 0.5, 5.0, 20.0},
    {"Tau", 12.0, 0.5, 5.0, 20.0},
    {"DelTau", 5.0, 0.5, 0.0, 20.0},
};

// Everything a three-dimensional fit's constructor does: store the objects,
// Init, then the shared table setup (start values, bounds, diagonal matrices).
void Construct(CCF2SFit* fit, int npars, const ParRow* rows, CSourceCalc* sc, C3DArray* cexp3D,
               C3DArray* cerror3D, C3DArray* ctheory3D, CCHArray* ctheoryCH, CCHArray* sourceCH,
               CKernel* kernel) {
  fit->npars = npars;
  fit->sourcecalc = sc;
  fit->cexp3D = cexp3D;
  fit->cerror3D = cerror3D;
  fit->ctheory3D = ctheory3D;
  fit->ctheoryCH = ctheoryCH;
  fit->sourceCH = sourceCH;
  fit->kernel = kernel;
  fit->ndim = 3;
  fit->Init();
  ModelFit::FillTable(fit, rows);
}

}  // namespace

CCF2SFit_3DGaussian::CCF2SFit_3DGaussian(CSourceCalc* scset, C3DArray* cexp3Dset,
                                         C3DArray* cerror3Dset, C3DArray* ctheory3Dset,
                                         CCHArray* ctheoryCHset, CCHArray* sourceCHset,
                                         CKernel* kernelset) {
  Construct(this, 5, k3DGaussianPars, scset, cexp3Dset, cerror3Dset, ctheory3Dset, ctheoryCHset,
            sourceCHset, kernelset);
}

CCF2SFit_Blast::CCF2SFit_Blast(CSourceCalc* scset, C3DArray* cexp3Dset, C3DArray* cerror3Dset,
                               C3DArray* ctheory3Dset, CCHArray* ctheoryCHset,
                               CCHArray* sourceCHset, CKernel* kernelset) {
  Construct(this, 4, kBlastPars, scset, cexp3Dset, cerror3Dset, ctheory3Dset, ctheoryCHset,
            sourceCHset, kernelset);
}

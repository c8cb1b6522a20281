#include "fit/cf2sfit.h"

#include <gsl/gsl_cdf.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/charray.h"
#include "arrays/gridcells.h"
#include "config/parameter.h"
#include "kernel/cfcalc.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "numeric/misc.h"
#include "numeric/output.h"
#include "numeric/random.h"
#include "source/sourcecalc.h"
#include "numeric/output.h"

// ---------------------------------------------------------------- CParInfo --

CParInfo::CParInfo()
    : fixed(false),
      xmin(0.0),
      xmax(0.0),
      error(0.0),
      xbar(0.0),
      bestx(0.0),
      currentx(0.0),
      name(new char[kMaxNameLength + 1]) {
  name[0] = '\0';
}

CParInfo::~CParInfo() { delete[] name; }

void CParInfo::Set(const char* newname, double x, double newerror, double newxmin, double newxmax) {
  // Cut a long name instead of writing past the buffer: the name is also the
  // key in the model's map, so a cut name simply matches no model parameter.
  std::strncpy(name, newname, kMaxNameLength);
  name[kMaxNameLength] = '\0';
  currentx = x;
  error = newerror;
  xmin = newxmin;
  xmax = newxmax;
}

// ---------------------------------------------------------------- CCF2SFit --

CCF2SFit::CCF2SFit()
    : par(nullptr),
      ndim(1),
      npars(0),
      nfreepars(0),
      ErrorMatrix(nullptr),
      currentchi2(1.0e20),
      bestchi2(1.0e20),
      sourcecalc(nullptr),
      kernel(nullptr),
      ctheoryCH(nullptr),
      cexp3D(nullptr),
      cerror3D(nullptr),
      ctheory3D(nullptr),
      lx(0),
      ly(0),
      lz(0),
      cexpCH(nullptr),
      cerrorCH(nullptr),
      sourceCH(nullptr),
      randy(nullptr),
      Ncalls(0),
      StepMatrix(nullptr) {}

CCF2SFit::~CCF2SFit() { ReleaseTables(); }

void CCF2SFit::ReleaseTables() {
  if (par != nullptr) {
    for (int i = 0; i < ntables_; i++) delete par[i];
    delete[] par;
    par = nullptr;
  }
  if (ErrorMatrix != nullptr) {
    for (int i = 0; i < ntables_; i++) delete[] ErrorMatrix[i];
    delete[] ErrorMatrix;
    ErrorMatrix = nullptr;
  }
  if (StepMatrix != nullptr) {
    for (int i = 0; i < ntables_; i++) delete[] StepMatrix[i];
    delete[] StepMatrix;
    StepMatrix = nullptr;
  }
  delete randy;
  randy = nullptr;
  ntables_ = 0;
}

void CCF2SFit::Init() {
  ReleaseTables();
  Ncalls = 0;
  bestchi2 = currentchi2 = 1.0e20;
  nfreepars = npars;
  ntables_ = npars;
  randy = new CRandom(-1234);
  par = new CParInfo*[npars];
  ErrorMatrix = new double*[npars];
  StepMatrix = new double*[npars];
  for (int i = 0; i < npars; i++) {
    par[i] = new CParInfo();
    par[i]->bestx = 0.0;
    par[i]->xmin = -1.0e10;
    par[i]->xmax = 1.0e10;
    par[i]->fixed = false;
    ErrorMatrix[i] = new double[npars]();
    StepMatrix[i] = new double[npars]();
  }
  femtokit::Progress("SFit Arrays Initialized\n");
}

void CCF2SFit::SetL(int lxset, int lyset, int lzset) {
  lx = lxset;
  ly = lyset;
  lz = lzset;
}

int CCF2SFit::FindPar(const char* parname, int first, int last) const {
  for (int i = first; i < last; i++) {
    if (Misc::comparestrings(par[i]->name, parname)) return i;
  }
  return -1;
}

void CCF2SFit::SetPar(const char* parname, double value) {
  const int i = FindPar(parname, 0, npars);
  if (i < 0) {
    femtokit::Warn("Can not set %s, parameter with that name does not exist\n", parname);
    return;
  }
  par[i]->currentx = value;
}

void CCF2SFit::FixPar(const char* parname) {
  const int i = FindPar(parname, 0, nfreepars);
  if (i < 0) {
    femtokit::Warn("Par %s already fixed or does not exist\n", parname);
    return;
  }
  if (i != nfreepars - 1) SwitchPars(i, nfreepars - 1);
  nfreepars -= 1;
  par[nfreepars]->fixed = true;
  femtokit::Progress("Fixing par[%d], name=%s\n", nfreepars, par[nfreepars]->name);
}

void CCF2SFit::FreePar(const char* parname) {
  const int i = FindPar(parname, nfreepars, npars);
  if (i < 0) {
    femtokit::Warn("Par %s already free or does not exist\n", parname);
    return;
  }
  if (i != nfreepars) SwitchPars(i, nfreepars);
  par[nfreepars]->fixed = false;
  femtokit::Progress("Freeing par[%d], name=%s\n", nfreepars, par[nfreepars]->name);
  nfreepars += 1;
}

void CCF2SFit::SwitchPars(int i, int j) {
  std::swap(par[i], par[j]);
  // The matrices are indexed by position: their rows and columns move with the parameters, so
  // that an error keeps belonging to its parameter after FixPar/FreePar.
  for (double** m : {ErrorMatrix, StepMatrix}) {
    std::swap(m[i], m[j]);
    for (int k = 0; k < npars; k++) std::swap(m[k][i], m[k][j]);
  }
}

void CCF2SFit::UseBestPars() {
  currentchi2 = bestchi2;
  for (int i = 0; i < npars; i++) par[i]->currentx = par[i]->bestx;
}

double CCF2SFit::GetChiSquared(const double* x) {
  Ncalls += 1;
  std::vector<double> v(npars);
  for (int i = 0; i < npars; i++) v[i] = (i < nfreepars) ? x[i] : par[i]->currentx;

  femtokit::Progress("In GetChiSquare, x[] = ");
  for (int i = 0; i < npars; i++) femtokit::Progress("%g,", v[i]);
  femtokit::Progress("\n");

  // The map stores "%g" text: the model sees every value with six significant
  // digits, which also makes ever smaller minimiser steps end in equal chi^2.
  for (int i = 0; i < npars; i++) parameter::set(sourcecalc->spars, par[i]->name, v[i]);

  double chi2;
  if (ndim == 1) {
    sourcecalc->CalcS(lx, ly, lz, sourceCH);
    S2CF::s2c(sourceCH, kernel, ctheoryCH);
    chi2 = CFCalc::GetChiSquared(lx, ly, lz, cexpCH, cerrorCH, ctheoryCH);
  } else {
    chi2 = GetChiSquared3D();
  }

  if (chi2 < bestchi2) {
    bestchi2 = chi2;
    for (int i = 0; i < npars; i++) par[i]->bestx = v[i];
  }
  return chi2;
}

// The grid comparison of the three-dimensional fits: the whole source (all
// components, whatever SetL holds), its transform C(q) - 1 as a
// Cartesian-harmonic array, that array expanded onto the measured grid, and the
// chi^2 over every grid cell (fatal when the grids' parameters differ).
double CCF2SFit::GetChiSquared3D() {
  sourcecalc->CalcS(sourceCH);
  S2CF::s2c(sourceCH, kernel, ctheoryCH);
  // The transform fills only the lx <= 1 components, but the expansion onto the
  // grid evaluates all of them: complete the lx >= 2 ones by tracelessness, or
  // every anisotropy along x would be lost.
  ctheoryCH->FillRemainderX();
  ArrayCalc::Calc3DArrayFromAExpArray(ctheoryCH, ctheory3D);
  return CFCalc::GetChiSquared(cexp3D, cerror3D, ctheory3D);
}

void CCF2SFit::PrintPars() {
  printf("ipar        name     value       error       min         max     fixed\n");
  for (int i = 0; i < npars; i++) {
    printf("%2d : %12s %11.4e %11.4e %11.4e %11.4e  %d\n", i, par[i]->name, par[i]->currentx,
           par[i]->error, par[i]->xmin, par[i]->xmax, par[i]->fixed ? 1 : 0);
  }
}

namespace {

void PrintMatrix(const char* title, double** M, int n) {
  printf("%s\n", title);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) printf("%9.2e ", M[i][j]);
    printf("\n");
  }
  printf("___________________________________\n");
}

}  // namespace

void CCF2SFit::PrintErrorMatrix() {
  PrintMatrix("________ < delX_i delX_j > ________", ErrorMatrix, npars);
}

void CCF2SFit::PrintStepMatrix() {
  PrintMatrix("________ < StepMatrix_ij > ________", StepMatrix, npars);
}

// ---------------------------------------------------------------- data and verdict --

namespace {

void CheckBin(double value, double error, const char* where) {
  if (!std::isfinite(value))
    femtokit::Fatal("fit data: measured value %g at %s is not a finite number\n", value, where);
  if (!std::isfinite(error) || !(error > 0.0))
    femtokit::Fatal("fit data: error %g at %s must be a finite number above 0\n", error, where);
}

}  // namespace

void CCF2SFit::CheckData() {
  char where[96];
  if (ndim == 1) {
    for (int ir = 0; ir < cexpCH->GetNRADIAL(); ir++) {
      snprintf(where, sizeof where, "bin %d of component (%d,%d,%d)", ir, lx, ly, lz);
      CheckBin(cexpCH->GetElement(lx, ly, lz, ir), cerrorCH->GetElement(lx, ly, lz, ir), where);
    }
    return;
  }
  femtokit::ForEachCell(femtokit::GridCells(*cexp3D), [&](const femtokit::GridCell& c) {
    snprintf(where, sizeof where, "grid cell (%d,%d,%d,%d,%d,%d)", c.isx, c.ix, c.isy, c.iy, c.isz,
             c.iz);
    CheckBin(cexp3D->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz),
             cerror3D->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz), where);
  });
}

int CCF2SFit::NBins() const {
  if (ndim == 1) return cexpCH != nullptr ? cexpCH->GetNRADIAL() : 0;
  if (cexp3D == nullptr) return 0;
  return static_cast<int>(femtokit::GridCells(*cexp3D).Count());
}

FitVerdict CCF2SFit::Verdict() const {
  femtokit::PrepareGSL();
  FitVerdict v;
  v.converged = newton_converged_;
  v.more_iterations_may_help = newton_at_limit_;
  v.chi2 = currentchi2;
  v.ndof = NBins() - nfreepars;
  v.pvalue = (v.ndof > 0 && std::isfinite(currentchi2)) ? gsl_cdf_chisq_Q(currentchi2, v.ndof) : -1;
  v.reason = newton_reason_;
  return v;
}

bool CCF2SFit::PrintVerdict() const { return PrintFitVerdict(Verdict()); }

bool PrintFitVerdict(const FitVerdict& v) {
  char pvalue[32] = "n/a (no degrees of freedom)";
  if (v.pvalue >= 0.0) snprintf(pvalue, sizeof pvalue, "%.3g", v.pvalue);
  printf("fit %s: chi^2/ndof = %g/%d = %g, p-value %s; %s\n",
         v.converged ? "converged" : "NOT converged", v.chi2, v.ndof,
         v.ndof > 0 ? v.chi2 / v.ndof : v.chi2, pvalue, v.reason.c_str());
  // A p-value this small says the model, the errors or the minimum found is wrong.
  if (v.converged && v.pvalue >= 0.0 && v.pvalue < 1e-6)
    femtokit::Warn(
        "warning: the fit's p-value %.3g is below 1e-6: the model does not describe the data "
        "(a false minimum, wrong errors or the wrong model)\n",
        v.pvalue);
  return v.converged;
}

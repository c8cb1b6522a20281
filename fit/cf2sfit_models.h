#ifndef FEMTOKIT_FIT_CF2SFIT_MODELS_H
#define FEMTOKIT_FIT_CF2SFIT_MODELS_H

// Model fits: each binds the fit framework (fit/cf2sfit.h) to one source model
// by a constructor only. The constructor stores the objects, sizes the
// parameter table (Init), takes each parameter's starting value from the
// model's map `spars` (the table's default when the map lacks the name), and
// seeds the matrices: StepMatrix_ii = error_i, ErrorMatrix_ii = error_i^2, 0
// off the diagonal. Every parameter starts free. Nothing checks that the model
// is of the matching class: it must read its parameters under the table's
// names, since every evaluation writes the trial values there. A starting
// value outside its bounds is accepted; only minimiser trials are bounded.

#include "fit/cf2sfit.h"

class CSourceCalc;
class CCHArray;
class C3DArray;
class CKernel;

// One-dimensional Gaussian-plus-exponential source (CSourceCalc_GX1D) fitted to
// one Cartesian-harmonic component (ndim 1; choose it with SetL). Parameters
// (default start, error = finite-difference step / scale, bounds):
//
//   0 "lambdaG"  0.3   0.02   0 ... 1.5     weight of the Gaussian
//   1 "R"        5.0   0.2    1 ... 12 fm   Gaussian radius
//   2 "lambdaX"  0.3   0.02   0 ... 1.5     weight of the exponential
//   3 "X"       10.0   0.4    1 ... 25 fm   range of the exponential
//   4 "a"        5.0   0.2    1 ... 20 fm   scale of the L > 0 suppression
//
// The three grid pointers stay null.
class CCF2SFit_GX1D : public CCF2SFit {
 public:
  CCF2SFit_GX1D(CSourceCalc* scset, CCHArray* cexpCHset, CCHArray* cerrorCHset,
                CCHArray* ctheoryCHset, CCHArray* sourceCHset, CKernel* kernelset);
};

// ---- Three-dimensional fits (fit/cf2sfit_3d.cc) ----
// Both compare on grids (ndim 3): every evaluation computes the whole source
// into sourceCH (the model's CalcS(CCHArray*), whatever SetL holds), transforms
// it through the angular kernel into ctheoryCH (C(q) - 1), completes the
// lx >= 2 components of ctheoryCH by tracelessness (CCHArray::FillRemainderX),
// expands that onto the measured grid (ArrayCalc::Calc3DArrayFromAExpArray
// into ctheory3D) and returns the grid chi^2 against cexp3D with errors
// cerror3D. The completion is needed because the transform fills only the
// lx <= 1 components while the grid expansion reads all of them: without it
// every anisotropy along x would be lost. The measured grid
// must therefore hold C(q) - 1, and ctheoryCH must have the grid's symmetries.
// Grids with different parameters are fatal in the grid chi^2. cexpCH and
// cerrorCH stay null.

// Three-dimensional Gaussian source (CSourceCalc_Gaussian). Parameters:
//
//   0 "lambda"  0.5   0.02   0 ... 1.5       integral of the source
//   1 "Rx"      5.0   0.2    1 ... 12 fm     radius along x
//   2 "Ry"      5.0   0.2    1 ... 12 fm     radius along y
//   3 "Rz"      5.0   0.2    1 ... 12 fm     radius along z
//   4 "Xoff"    0.0   0.2  -10 ... 10 fm     offset along x
//
// The model's other parameters (Yoff, Zoff, the Euler angles) are used as its
// map holds them. On a source array with XSYM a non-zero Xoff is fatal in the
// model: fix "Xoff" at 0 there.
class CCF2SFit_3DGaussian : public CCF2SFit {
 public:
  CCF2SFit_3DGaussian(CSourceCalc* scset, C3DArray* cexp3Dset, C3DArray* cerror3Dset,
                      C3DArray* ctheory3Dset, CCHArray* ctheoryCHset, CCHArray* sourceCHset,
                      CKernel* kernelset);
};

// Blast-wave source (CSourceCalc_Blast). Parameters:
//
//   0 "lambda"  1.0   0.05   0 ... 1.5       weight of every pair
//   1 "R"      13.0   0.5    5 ... 20 fm     transverse radius
//   2 "Tau"    12.0   0.5    5 ... 20 fm/c   mean proper emission time
//   3 "DelTau"  5.0   0.5    0 ... 20 fm/c   width of the emission time
//
// Beta, T, Pt, Phi, EtaG, Ma, Mb and Nsample are used as the model's map holds
// them. The source is a Monte-Carlo estimate drawn afresh at every evaluation,
// so the chi^2 carries sampling noise (finite-difference steps must exceed it).
class CCF2SFit_Blast : public CCF2SFit {
 public:
  CCF2SFit_Blast(CSourceCalc* scset, C3DArray* cexp3Dset, C3DArray* cerror3Dset,
                 C3DArray* ctheory3Dset, CCHArray* ctheoryCHset, CCHArray* sourceCHset,
                 CKernel* kernelset);
};

#endif  // FEMTOKIT_FIT_CF2SFIT_MODELS_H

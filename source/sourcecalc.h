#ifndef FEMTOKIT_SOURCE_SOURCECALC_H
#define FEMTOKIT_SOURCE_SOURCECALC_H

// Source calculators: fill a source array S(r) from named model parameters.
// Normalisation, radius convention and frame: docs/conventions.md.
//
// S(r) is the distribution of the pair's relative separation r (fm), in fm^-3,
// normalised so that 4 pi int r^2 S_000(r) dr is the fraction of correlated
// pairs. Source arrays are AExp Cartesian-harmonic arrays (arrays/charray.h);
// a model that fills them component by component writes the independent
// components only (lx = 0, and lx = 1 when the array has no XSYM), the lx >= 2
// ones follow by tracelessness. Radial bin ir is evaluated at its centre
// r = (ir + 0.5) RADSTEP; every radial sum below weights a bin with
// 4 pi r^2 RADSTEP.

#include <initializer_list>
#include <utility>

#include "config/parameter.h"

class CCHArray;
class C3DArray;

// Common base of the source models. Callers compute a source through the two
// virtual CalcS without knowing the model; fits write trial values into
// `spars` by name and recompute.
class CSourceCalc {
 public:
  // The model parameters by name; each model stores its defaults in its
  // InitSPars and reads them back with parameter::getD when it computes.
  parameter_map spars;

  CSourceCalc();

  // Virtual operations, in this slot order. The base versions only print
  // "i'm a dummyCalcS(CCHArray)", resp. "i'm a dummy CalcS(int,int,int,CCHArray *)".
  // Compute the whole source into A.
  virtual void CalcS(CCHArray* A);
  // Compute component (lx, ly, lz) of the source into A, every radial bin.
  virtual void CalcS(int lx, int ly, int lz, CCHArray* A);

  // Virtual so that a model deleted through a base pointer releases its own
  // resources (placed after the two CalcS so their slot order is unchanged).
  virtual ~CSourceCalc() = default;

  // Reads a parameter file into `spars`: keys in the file replace the
  // defaults, others stay. A missing file is fatal (parameter::ReadParsFromFile).
  void ReadSPars(const char* filename);

  // Prints "normalization check = %g\n" with 4 pi sum_ir r^2 dr A(0,0,0,ir).
  void NormCheck(CCHArray* A);
  // Prints "Norm Check of 3DArray = %g\n" with sum over every stored cell of
  // DELX DELY DELZ A, the cell volume doubled once per symmetric axis (a
  // symmetric axis stores one half-space only).
  void NormCheck(C3DArray* A);

  // Offsets and one-particle radii of the Gaussian with the same first and
  // second moments as the AExp source A (fm); needs LMAX >= 2 for the radii
  // (the array warns and reads 0.0 otherwise). Prints the block
  // "__________  EFFECTIVE GAUSSIAN PARAMETERS ____________", "Rinv=%g",
  // "Gassian distribution with same offsets and 1-part. radii",
  // "offset_xyz=(%g,%g,%g), R_xyz=(%g,%g,%g)" and a closing line of 54 '_'.
  // A relative-separation variance of 2 R^2 per axis gives radius R.
  void CalcEffGaussPars(CCHArray* A);
  // The same; also stores the three radii and the three offsets.
  void CalcEffGaussPars(CCHArray* A, double& Rx, double& Ry, double& Rz, double& Xoff, double& Yoff,
                        double& Zoff);

 protected:
  // spars[key] = value ("%g") for each pair, in order: the body of the models' SetSPars.
  void SetSParValues(std::initializer_list<std::pair<const char*, double>> values);
};

// Spherical Gaussian plus an exponential-like tail, with a factor that gives
// the L > 0 components a radial shape of their own:
//
//   S(r) = lambdaG N_G exp(-r^2 / (4 R^2)) + lambdaX N_X exp(-sqrt(r^2/X^2 + z^2)),
//   z = 2 R^2 / X^2,  N_G = (4 pi R^2)^(-3/2),
//   N_X = 1 / (4 pi X^3 (2 z K1(z) + z^2 K0(z)))   (K0, K1 modified Bessel),
//
// so that 4 pi int r^2 S dr = lambdaG + lambdaX. Component (lx, ly, lz) of rank
// L = lx + ly + lz > 0 is S(r) (r^2 / (r^2 + a^2))^(L/2). Lengths R, X, a in fm.
//
// Parameters (keys of `spars`, defaults): "lambdaG" 0.3, "lambdaX" 0.3,
// "R" 5.0, "X" 10.0, "a" 5.0. R <= 0 or X <= 0 is fatal (the normalisations
// and K0, K1 need positive lengths).
class CSourceCalc_GX1D : public CSourceCalc {
 public:
  CSourceCalc_GX1D();

  // Stores the defaults, in the order lambdaG, lambdaX, R, X, a.
  void InitSPars();
  // Stores the five values under "lambdaG", "R", "lambdaX", "X", "a".
  void SetSPars(double lambdaG, double R, double lambdaX, double X, double a);

  // Every independent component: lx = 0 (and 1 without XSYM), ly, lz stepping
  // by the array's steps up to its LMAX. Components with lx >= 2 are untouched.
  void CalcS(CCHArray* A) override;
  // Component (lx, ly, lz) in every radial bin; a component the array does not
  // store is fatal (the array's SetElement).
  void CalcS(int lx, int ly, int lz, CCHArray* A) override;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_H

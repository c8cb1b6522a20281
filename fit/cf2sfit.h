#ifndef FEMTOKIT_FIT_CF2SFIT_H
#define FEMTOKIT_FIT_CF2SFIT_H

// Fitting source-model parameters to a measured correlation function.
//
// A fit turns a vector of parameter values into a chi-square: the values are
// written into the source model's parameter map (source/sourcecalc.h), the
// model recomputes the source S(r) (fm^-3, r in fm), the source is carried
// through the kernel into a model correlation function C(q) - 1 (q in MeV/c,
// kernel/s2cf.h) and compared with the measured one bin by bin,
//
//   chi^2 = sum_bins (C_exp - C_theory)^2 / sigma^2    (kernel/cfcalc.h).
//
// `CCF2SFit` is the base of the model fits (fit/cf2sfit_models.h). It holds
// the parameter table, remembers the lowest chi-square seen with its
// parameters, and keeps two N x N matrices over the parameters (N = npars):
// the error matrix <dx_i dx_j> and the step matrix of the Metropolis walk.
// The minimisers (Newton, steepest descent, Metropolis) are members and work
// only through GetChiSquared and these fields.
//
// Parameter order: the free parameters occupy positions 0 ... nfreepars-1 of
// `par`, the fixed ones nfreepars ... npars-1. FixPar/FreePar keep this order
// by exchanging entries of `par`, and the rows and columns of the two matrices
// move with them (an error stays with its parameter). A parameter vector handed to GetChiSquared lists the
// free values in position order.
//
// Every parameter value reaches the source model through its text parameter
// map, i.e. with six significant digits ("%g"); bestx keeps the unrounded
// values.
//
// Ownership: a fit owns its parameter records, its two matrices and its random
// generator. The source model, kernel and arrays belong to the caller and must
// outlive the fit.
//
// Output: every evaluation prints its parameter vector, and the minimisers
// print their progress, on standard output. Fatal conditions (a Newton step
// that cannot be brought inside the bounds, a negative eigenvalue of the error
// matrix) print a message and end the process with status 1.

#include <string>

class CSourceCalc;
class CKernel;
class CCHArray;
class C3DArray;
class CRandom;

// How the last Newton run ended. converged: the curvature matrix at the last
// iteration's point was positive definite and the estimated distance to the minimum
// there, EDM = g^T C^-1 g / 2, was below 0.01 max(1, chi^2/ndof) (one hundredth of a
// standard deviation in chi^2, with the errors scaled up when the model fits badly).
// Not converged: no step possible (singular or indefinite curvature), or the
// iterations ended with the minimum still farther away. ndof = compared bins - free
// parameters; pvalue = P(chi^2_ndof >= chi2) (-1 when ndof <= 0).
struct FitVerdict {
  bool converged;
  bool more_iterations_may_help;  // ended at the iteration limit, still descending
  double chi2;
  int ndof;
  double pvalue;
  std::string reason;
};

// Prints a verdict as CCF2SFit::PrintVerdict does; returns v.converged.
bool PrintFitVerdict(const FitVerdict& v);

// One fit parameter.
class CParInfo {
 public:
  // Longest name that fits the name buffer (one byte is kept for the '\0').
  static constexpr int kMaxNameLength = 19;

  // Allocates the (empty) name buffer; numeric fields start at 0, fixed false.
  CParInfo();
  ~CParInfo();
  CParInfo(const CParInfo&) = delete;
  CParInfo& operator=(const CParInfo&) = delete;

  // Copies the name (a longer name is cut to kMaxNameLength characters) and
  // sets currentx = x, error, xmin, xmax. fixed, xbar and bestx are unchanged.
  void Set(const char* name, double x, double error, double xmin, double xmax);

  bool fixed;       // true while the parameter is held fixed
  double xmin;      // lower bound of the value
  double xmax;      // upper bound of the value
  double error;     // uncertainty; also Newton's finite-difference step and the
                    // steepest descent's scale
  double xbar;      // mean over the last Metropolis walk
  double bestx;     // value at the lowest chi-square seen so far
  double currentx;  // current value
  char* name;       // owned buffer of kMaxNameLength + 1 bytes; also the key of
                    // the value in the source model's parameter map
};

// Base of the model fits. Plain class without virtual operations: the model
// fits only add a constructor, no fields.
class CCF2SFit {
 public:
  // Sets the pointers to null and the counts to 0; a subclass constructor sets
  // npars, ndim and the object pointers, calls Init, then fills the parameter
  // table and the matrices' diagonals.
  CCF2SFit();
  ~CCF2SFit();
  CCF2SFit(const CCF2SFit&) = delete;
  CCF2SFit& operator=(const CCF2SFit&) = delete;

  // Ncalls = 0, bestchi2 = currentchi2 = 1e20, nfreepars = npars, a new
  // generator seeded with -1234, npars fresh parameter records (bestx 0,
  // bounds -1e10 ... 1e10, free) and zeroed N x N matrices. Prints
  // "SFit Arrays Initialized". A second Init releases the previous tables.
  void Init();

  // The Cartesian-harmonic component (lx, ly, lz) that a one-dimensional fit
  // compares. Not set by any constructor: call before the first evaluation.
  void SetL(int lx, int ly, int lz);

  // Sets currentx of the parameter of that name (fixed or free); nothing else.
  // Unknown name: "Can not set %s, parameter with that name does not exist\n".
  void SetPar(const char* name, double value);
  // Moves a free parameter to the fixed group: it is exchanged with the last
  // free position, nfreepars drops by one, "Fixing par[%d], name=%s\n" is
  // printed with its new position. Not free or unknown:
  // "Par %s already fixed or does not exist\n", nothing changes.
  void FixPar(const char* name);
  // Moves a fixed parameter to the free group: it is exchanged with the first
  // fixed position, "Freeing par[%d], name=%s\n" is printed with that position,
  // nfreepars grows by one. Not fixed or unknown:
  // "Par %s already free or does not exist\n", nothing changes.
  void FreePar(const char* name);
  // Exchanges the parameter records at positions i and j (matrices stay).
  void SwitchPars(int i, int j);
  // currentchi2 = bestchi2 and currentx = bestx for every parameter.
  void UseBestPars();

  // chi^2 of the free values x[0 ... nfreepars-1] (fixed parameters at their
  // currentx). Prints "In GetChiSquare, x[] = " and the full vector, writes it
  // into the model's map (six significant digits) and, for ndim 1, recomputes
  // component (lx, ly, lz) of the source, transforms the source array through
  // the kernel (S2CF::s2c) and compares component (lx, ly, lz) with the data
  // (CFCalc::GetChiSquared); ndim 3 compares grids. A result strictly below
  // bestchi2 becomes the best point (bestx = the unrounded values). Counts the
  // call in Ncalls; does not change currentchi2 or currentx.
  double GetChiSquared(const double* x);

  // The parameter table, the error matrix and the step matrix as text tables.
  void PrintPars();
  void PrintErrorMatrix();
  void PrintStepMatrix();

  // Fatal unless every compared bin of the measured correlation function is finite
  // and its error finite and > 0 (component (lx, ly, lz) for ndim 1, every grid cell
  // for ndim 3): such data make chi^2 meaningless. Newton calls it first.
  void CheckData();
  // Number of bins compared.
  int NBins() const;
  // The verdict of the last Newton run (converged false, reason "no fit run" before).
  FitVerdict Verdict() const;
  // Prints the verdict as one line starting "fit converged:" or "fit NOT converged:",
  // then, for a converged fit with p-value below 1e-6, a warning (femtokit::Warn).
  // Returns Verdict().converged.
  bool PrintVerdict() const;

  // ---- Minimisers (fit/minimizers.cc). n = nfreepars, N = npars. ----

  // Newton's method with a finite-difference gradient and curvature matrix C
  // (steps = the parameters' errors; 1 + 2n + 2n(n-1) evaluations per iteration
  // before its trials). The step delx = C^-1 g is halved while the trial point
  // is worse or leaves the bounds; a sixth bound violation in one iteration is
  // fatal. After each success the error matrix becomes C^-1 (errors updated).
  // Stops after the second iteration at the latest, after one when
  // maxtries <= 1. A curvature matrix that is not finite or singular (an
  // eigenvalue below 1e-12 of the largest in size, e.g. a free parameter that
  // does not enter chi^2) gives no step: the run ends at the current point with
  // a message, currentchi2 = chi^2 there. A chi^2 that is not finite at the current
  // point is fatal (no result is ever made of it); a trial point with a non-finite
  // chi^2 counts as worse. Records the verdict (Verdict()). "SUCCESS!!!!!!!!!!!"
  // marks an iteration whose step lowered chi^2.
  void Newton(int maxtries);
  // Steepest descent in error-scaled coordinates with a curvature-estimated
  // step and a halving line search; ends after its second success or maxcalls
  // iterations. Leaves errors and the error matrix alone.
  void SteepestDescent(int maxcalls);
  // Metropolis walk of ncalls trials with proposal StepMatrix z / sqrt(n)
  // (z standard normal), Boltzmann acceptance exp(-dchi^2/2). Sets xbar and
  // ErrorMatrix to the walk's mean and covariance (the covariance is scaled by
  // A/(A-1), A the number of accepted trials); with fewer than two accepted
  // trials (or ncalls <= 0) the previous ErrorMatrix is kept and a warning
  // printed. Trials leaving the bounds are redrawn, at most 10000 times in a
  // row; then, or when a fixed parameter lies outside its bounds, the walk ends
  // early with a message and its statistics cover the trials made. Prints the
  // best point at the end.
  void Metropolis(int ncalls);
  // ErrorMatrix = C^-1 on the free block (from the eigen-decomposition of the
  // n x n curvature matrix C), 0 elsewhere; error_i = sqrt(|ErrorMatrix_ii|).
  // A C whose inverse is not finite leaves both unchanged, with a message.
  void CalcErrorMatrixFromCurvature(const double* const* C);
  // StepMatrix = V sqrt(|Lambda|) from ErrorMatrix = V Lambda V^T, so that
  // StepMatrix StepMatrix^T = ErrorMatrix; error_i = sqrt(ErrorMatrix_ii).
  // An eigenvalue below -1e-10 is fatal.
  void UpdateMetroStepSize();

  CParInfo** par;        // the parameter table, npars entries
  int ndim;              // 1: compare one CH component; 3: compare 3D grids
  int npars;             // number of parameters (set by the subclass)
  int nfreepars;         // number of free parameters
  double** ErrorMatrix;  // npars x npars, <dx_i dx_j>
  double currentchi2;    // chi^2 at the current values
  double bestchi2;       // lowest chi^2 returned by GetChiSquared so far
  CSourceCalc* sourcecalc;
  CKernel* kernel;
  CCHArray* ctheoryCH;  // receives the model correlation function
  C3DArray* cexp3D;     // measured correlation function on a grid (ndim 3)
  C3DArray* cerror3D;   // its errors (ndim 3)
  C3DArray* ctheory3D;  // model correlation function on the grid (ndim 3)
  int lx, ly, lz;       // component compared when ndim is 1
  CCHArray* cexpCH;     // measured correlation function (ndim 1)
  CCHArray* cerrorCH;   // its errors (ndim 1)
  CCHArray* sourceCH;   // receives the model source
  CRandom* randy;       // generator of the Metropolis walk, owned
  int Ncalls;           // GetChiSquared calls since Init
  double** StepMatrix;  // npars x npars, Metropolis step matrix

 private:
  // Size of the tables made by the last Init (npars may be changed before the
  // next Init; the release must use the size that was allocated).
  int ntables_ = 0;
  // Outcome of the last Newton run (see FitVerdict).
  bool newton_converged_ = false;
  bool newton_at_limit_ = false;
  std::string newton_reason_ = "no fit run";
  // chi^2 of the current model parameters for ndim 3 (grid comparison).
  double GetChiSquared3D();
  // Releases the parameter table, the matrices and the generator.
  void ReleaseTables();
  // Position of the parameter called `name` among [first, last), or -1.
  int FindPar(const char* name, int first, int last) const;
};

#endif  // FEMTOKIT_FIT_CF2SFIT_H

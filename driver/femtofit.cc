// femtofit: fits the one-dimensional Gaussian-plus-exponential source to the
// angle-averaged proton-proton correlation function.
//
// The run is fixed: every input sits at a relative path from the working
// directory, nothing is written, all output goes to standard output. It reads
// the array parameters, the measured correlation function with its errors and
// a precomputed kernel, builds the GX1D source model (lambdaG 0.5, R 6 fm,
// lambdaX 0, X 10 fm, a 5 fm), fixes lambdaX, a and X, and minimises the
// chi-square of the (0,0,0) component over lambdaG and R by Newton's method (up
// to five runs of two iterations while it is still descending),
// printing the parameter table before and after and, last, the fit's verdict
// (converged or not, chi^2/ndof, p-value, why). Exit status 0 when the fit
// converged, 3 when it did not, 1 on any fatal input condition (reported by the
// part that meets it) or when standard output cannot be written, 2 on an
// unknown command-line argument.

#include <cstdio>
#include <cstring>

#include "arrays/charray.h"
#include "fit/cf2sfit.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "numeric/checked_io.h"
#include "source/sourcecalc.h"

namespace {

// Exit status of a fit that ran but did not converge.
constexpr int kNotConverged = 3;
// Newton runs (of at most two iterations each) before a fit still descending counts as not
// converged.
constexpr int kMaxNewtonRuns = 5;

const char kVersion[] = "femtofit (femtokit) " FEMTOKIT_VERSION;

const char kUsage[] = "usage: femtofit [--help | --version]\n";

const char kHelp[] =
    "usage: femtofit [--help | --version]\n"
    "\n"
    "Fits the one-dimensional Gaussian-plus-exponential source (lambdaG, R, lambdaX,\n"
    "X, a) to the angle-averaged (lx,ly,lz) = (0,0,0) component of a proton-proton\n"
    "correlation function by Newton's method. Takes no arguments; every input is\n"
    "read from a fixed path relative to the working directory:\n"
    "\n"
    "  parameters/pp/aparsCH_source.dat  array parameters of the source\n"
    "  parameters/pp/aparsCH_CF.dat      array parameters of the correlation functions\n"
    "  fakedata/GX1d/pp/                 measured correlation function, lx%d_ly%d_lz%d.tmp\n"
    "  fakedata/GX1d/pp_errors/          its errors, same layout\n"
    "  parameters/pp/kparameters.dat     kernel parameters\n"
    "  ../kdata/pp/                      kernel table, ell%d_q%07.2f.tmp\n"
    "\n"
    "Starts from lambdaG=0.5, R=6 fm, lambdaX=0, X=10 fm, a=5 fm, keeps lambdaX, a\n"
    "and X fixed, and prints on standard output the source normalisation, the\n"
    "parameter table before and after the fit and the progress of every chi-square\n"
    "evaluation, and as the last line the verdict: \"fit converged:\" or \"fit NOT\n"
    "converged:\" with chi^2/ndof, its p-value and the reason. Writes no files.\n"
    "\n"
    "Exit status: 0 when the fit converged, 3 when it did not, 1 when an input is\n"
    "missing or inconsistent (the message names it) or the output cannot be\n"
    "written, 2 on an unknown argument.\n"
    "\n"
    "Options:\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";

int RunFit() {
  char parsdirname[] = "parameters/pp";
  char filename[200];

  snprintf(filename, sizeof filename, "%s/aparsCH_source.dat", parsdirname);
  CCHArray* sourceCH = new CCHArray(filename);

  snprintf(filename, sizeof filename, "%s/aparsCH_CF.dat", parsdirname);
  CCHArray* ctheoryCH = new CCHArray(filename);
  CCHArray* cexpCH = new CCHArray(filename);
  cexpCH->ReadAX("fakedata/GX1d/pp");
  CCHArray* cerrorCH = new CCHArray(filename);
  cerrorCH->ReadAX("fakedata/GX1d/pp_errors");

  snprintf(filename, sizeof filename, "%s/kparameters.dat", parsdirname);
  CKernel* kernel = new CKernel(filename);
  kernel->Read("../kdata/pp");

  CSourceCalc_GX1D* sourcecalc = new CSourceCalc_GX1D();
  sourcecalc->SetSPars(0.5, 6.0, 0.0, 10.0, 5.0);
  // The source computed here serves only the normalisation check; the fit
  // recomputes it at every evaluation.
  sourcecalc->CalcS(sourceCH);
  sourcecalc->NormCheck(sourceCH);

  CCF2SFit_GX1D* fit = new CCF2SFit_GX1D(sourcecalc, cexpCH, cerrorCH, ctheoryCH, sourceCH, kernel);
  fit->SetL(0, 0, 0);
  fit->FixPar("lambdaX");
  fit->FixPar("a");
  fit->FixPar("X");

  printf("Beginning Parameters : \n");
  fit->PrintPars();
  // Newton stops after two iterations; further runs continue while it is still descending.
  fit->Newton(6);
  for (int run = 1; run < kMaxNewtonRuns && fit->Verdict().more_iterations_may_help; run++)
    fit->Newton(6);
  fit->PrintPars();
  const bool converged = fit->PrintVerdict();
  // The objects live until the process ends.
  return converged ? 0 : kNotConverged;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
      fputs(kHelp, stdout);
      return femtokit::StdoutWritten("femtofit") ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
      printf("%s\n", kVersion);
      return femtokit::StdoutWritten("femtofit") ? 0 : 1;
    }
    fputs(kUsage, stderr);
    return 2;
  }
  const int status = RunFit();
  // A result that did not reach its reader is a failure.
  if (!femtokit::StdoutWritten("femtofit")) return 1;
  return status;
}

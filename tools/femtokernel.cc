// femtokernel: computes the angular kernel K_ell(q, r) of a particle pair and writes it as a
// kernel directory (one file per ell and q) that femtofit and the other tools read.
//
//   femtokernel [options] PAIR WF_PARAMETERS KERNEL_PARAMETERS OUTDIR
//   femtokernel --table 3d PAIR WF_PARAMETERS KERNEL_PARAMETERS OUTDIR
//   femtokernel purehbt|purefermion KERNEL_PARAMETERS OUTDIR
//   femtokernel [--ma MASS] [--mb MASS] [--q1q2 N] classcoul KERNEL_PARAMETERS OUTDIR
//
// PAIR names a wave function (the pair list of wavefunctions/pairs.h); it is built from its
// parameter file (q grid, EPSILON, STRONG, COULOMB), then projected on the Legendre polynomials
// at the kernel's grid points ("pp" and "nn" are the exact Reid93 solutions, "pp-legacy" and
// "nn-legacy" the older classes, "potential" any pair from the file named by POTENTIALFILE in
// WF_PARAMETERS). "purehbt" is the non-interacting identical-boson kernel, "purefermion" that of
// identical spin-1/2 fermions,
// "classcoul" the kernel of classical Coulomb trajectories (masses in MeV, default two protons,
// charge product default 1). Progress: one line per q row, or a progress bar on a terminal.
// "--table 3d" writes the three-dimensional kernel instead (CKernelWF: |psi|^2 - 1 on the
// (q, r, cos theta) grid, one file per q; its KERNEL_PARAMETERS keys are NQMAX, NRMAX,
// NCTHETA, DELQ, DELR, IDENTICAL); it needs a PAIR with a wave function. "--table angular" is
// the default. --ma, --mb and --q1q2 apply to classcoul only.
// Exit status 0 on success, 2 on a usage error (message and usage on standard error), 1 on any
// fatal condition of the library (including a write that fails, also of standard output).

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "numeric/checked_io.h"
#include "numeric/constants.h"
#include "wavefunctions/pairs.h"
#include "wavefunctions/wavefunction.h"

namespace {

using femtokit::FindPair;
using femtokit::PairInfo;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: femtokernel [--table angular|3d] PAIR WF_PARAMETERS KERNEL_PARAMETERS "
               "OUTDIR\n"
               "       femtokernel purehbt|purefermion KERNEL_PARAMETERS OUTDIR\n"
               "       femtokernel [--ma MASS] [--mb MASS] [--q1q2 N] classcoul "
               "KERNEL_PARAMETERS OUTDIR\n"
               "Computes the angular kernel K_ell(q, r) and writes it into OUTDIR; with\n"
               "--table 3d, the three-dimensional kernel |psi(q, r, cos theta)|^2 - 1 instead.\n"
               "Pairs with a wave function:\n");
  for (const PairInfo& pair : femtokit::Pairs())
    std::fprintf(out, "  %-14s %s\n", pair.name.c_str(), pair.description.c_str());
  std::fprintf(out,
               "Kernels without a wave function:\n"
               "  %-14s non-interacting identical bosons (symmetrised plane wave)\n"
               "  %-14s non-interacting identical spin-1/2 fermions, spin-averaged\n"
               "  %-14s classical Coulomb trajectories; --ma, --mb masses in MeV (default "
               "%g),\n"
               "  %-14s --q1q2 charge product (default 1)\n",
               "purehbt", "purefermion", "classcoul", femtokit::constants::kMassProton, "");
}

int UsageError(const char* format, const char* detail) {
  std::fprintf(stderr, "femtokernel: ");
  std::fprintf(stderr, format, detail);
  std::fprintf(stderr, "\n");
  PrintUsage(stderr);
  return 2;
}

// A mass: a positive finite number.
bool ParseDouble(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(*value) && *value > 0.0;
}

// A charge product: an integer of a size charges can have.
bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  *value = static_cast<int>(v);
  return end != text && *end == '\0' && errno == 0 && v >= -10000 && v <= 10000;
}

// Progress of CKernel::Calc: a bar that redraws itself on a terminal, else one line per q.
const CKernel* g_kernel = nullptr;
bool g_terminal = false;
std::chrono::steady_clock::time_point g_start;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ReportRow(int iq, int nqmax) {
  const double q = (iq + 0.5) * g_kernel->GetDELQ();
  if (g_terminal) {
    constexpr int kWidth = 40;
    const int filled = (iq + 1) * kWidth / nqmax;
    std::printf("\r[%s%s] %d/%d q=%g MeV/c, %.1f s", std::string(filled, '#').c_str(),
                std::string(kWidth - filled, ' ').c_str(), iq + 1, nqmax, q, SecondsSince(g_start));
    if (iq + 1 == nqmax) std::printf("\n");
  } else {
    std::printf("q=%g MeV/c done (%d/%d), %.1f s\n", q, iq + 1, nqmax, SecondsSince(g_start));
  }
  std::fflush(stdout);
}

// Beyond the wave function's q grid |psi|^2 is taken as 1, which would silently zero the
// kernel there: say so.
void WarnBeyondWaveFunction(CWaveFunction* wf, int kernel_nqmax, double kernel_delq) {
  const int n = wf->GetNQMAX();
  const double qlast = wf->GetQ(n - 1);
  const double reach = n > 1 ? qlast + 0.5 * (qlast - wf->GetQ(n - 2)) : qlast;
  const double kernel_qmax = (kernel_nqmax - 0.5) * kernel_delq;
  if (kernel_qmax > reach) {
    std::printf(
        "femtokernel: warning: kernel q reaches %g MeV/c beyond the wave function's grid (last "
        "point %g MeV/c); the kernel is zero there\n",
        kernel_qmax, qlast);
  }
}

// The legacy pp wave function joins its integrated inner waves to the asymptotic outer form at
// EPSILON; inside the range of the Reid93 potential |psi|^2 jumps there (from 4 fm on the two
// forms agree to about 0.5 %). The physical "pp" has no EPSILON: it needs no warning.
constexpr double kPPMinEpsilon = 4.0;  // fm

void WarnShortEpsilon(const std::string& pairname, const CWaveFunction* wf) {
  if (pairname == "pp-legacy" && wf->epsilon < kPPMinEpsilon) {
    std::printf(
        "femtokernel: warning: EPSILON=%g fm lies inside the range of the pp potential; use "
        "%g fm or more, or |psi|^2 jumps at EPSILON\n",
        wf->epsilon, kPPMinEpsilon);
  }
}

// Angular kernel of a wave function.
void CalcFromWaveFunction(CKernel* kernel, CWaveFunction* wf) {
  WarnBeyondWaveFunction(wf, kernel->GetNQMAX(), kernel->GetDELQ());
  g_kernel = kernel;
  g_terminal = isatty(STDOUT_FILENO) != 0;
  g_start = std::chrono::steady_clock::now();
  kernel->Calc(wf, ReportRow);
}

// What the command line asks for.
struct Options {
  double ma = femtokit::constants::kMassProton, mb = femtokit::constants::kMassProton;
  int q1q2 = 1;
  bool table3d = false;
  std::string coulomb_option;  // the last of --ma, --mb, --q1q2 given
  std::vector<std::string> args;
};

// Reads the options and positional arguments into *opt. Returns -1 to carry on, else the
// exit status (0 after the help, 1 if it could not be written, 2 on a usage error).
int ParseOptions(int argc, char** argv, Options* opt) {
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return femtokit::StdoutWritten("femtokernel") ? 0 : 1;
    }
    if (arg == "--ma" || arg == "--mb" || arg == "--q1q2") {
      if (i + 1 >= argc) return UsageError("option %s needs a value", arg.c_str());
      const char* value = argv[++i];
      const bool ok = arg == "--q1q2" ? ParseInt(value, &opt->q1q2)
                                      : ParseDouble(value, arg == "--ma" ? &opt->ma : &opt->mb);
      if (!ok)
        return UsageError(arg == "--q1q2" ? "--q1q2 needs an integer from -10000 to 10000, not %s"
                                          : "masses must be positive finite numbers, not %s",
                          value);
      opt->coulomb_option = arg;
      continue;
    }
    if (arg == "--table") {
      if (i + 1 >= argc) return UsageError("option %s needs a value", arg.c_str());
      const std::string table = argv[++i];
      if (table != "angular" && table != "3d")
        return UsageError("unknown table %s (angular or 3d)", table.c_str());
      opt->table3d = table == "3d";
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option %s", arg.c_str());
    opt->args.push_back(arg);
  }
  if (opt->args.empty()) return UsageError("%s", "missing PAIR");
  return -1;
}

// The pair named first and the arguments it needs: a pair with a wave function takes
// WF_PARAMETERS KERNEL_PARAMETERS OUTDIR, the kernels without one KERNEL_PARAMETERS OUTDIR.
// *pair is null for the latter. Returns -1 to carry on, else the exit status (2).
int CheckArguments(const Options& opt, const PairInfo** pair) {
  const std::string& pairname = opt.args[0];
  *pair = FindPair(pairname);
  const bool analytic = pairname == "purehbt" || pairname == "purefermion";
  if (*pair == nullptr && !analytic && pairname != "classcoul")
    return UsageError("unknown pair %s", pairname.c_str());
  const size_t expected = *pair != nullptr ? 4 : 3;
  if (opt.args.size() != expected) {
    return UsageError(*pair != nullptr ? "%s needs WF_PARAMETERS KERNEL_PARAMETERS OUTDIR"
                                       : "%s needs KERNEL_PARAMETERS OUTDIR",
                      pairname.c_str());
  }
  if (!opt.coulomb_option.empty() && pairname != "classcoul")
    return UsageError("option %s applies to classcoul only", opt.coulomb_option.c_str());
  if (opt.table3d && *pair == nullptr)
    return UsageError("--table 3d needs a PAIR with a wave function, not %s", pairname.c_str());
  return -1;
}

// |psi(q, r, cos theta)|^2 - 1 of the pair's wave function, written into outdir.
void WriteTable3D(const PairInfo& pair, const std::string& pairname, const std::string& wfpars,
                  const std::string& kernelpars, const std::string& outdir) {
  const auto start = std::chrono::steady_clock::now();
  auto kernelwf = std::make_unique<CKernelWF>(kernelpars.c_str());
  std::unique_ptr<CWaveFunction> wf = pair.make(wfpars);
  std::printf("%s wave function built in %.2f s\n", pairname.c_str(), SecondsSince(start));
  WarnShortEpsilon(pairname, wf.get());
  WarnBeyondWaveFunction(wf.get(), kernelwf->GetNQMAX(), kernelwf->GetDELQ());
  kernelwf->Calc(wf.get());
  wf.reset();
  std::printf("%s three-dimensional kernel computed in %.2f s\n", pairname.c_str(),
              SecondsSince(start));
  kernelwf->Write(outdir.c_str());
}

// The angular kernel K_ell(q, r) of the pair (or of an analytic kernel), written into outdir.
void WriteAngularKernel(const PairInfo* pair, const Options& opt, const std::string& kernelpars,
                        const std::string& outdir) {
  const std::string& pairname = opt.args[0];
  const auto start = std::chrono::steady_clock::now();
  auto kernel = std::make_unique<CKernel>(kernelpars.c_str());
  if (pair != nullptr) {
    const auto wfstart = std::chrono::steady_clock::now();
    std::unique_ptr<CWaveFunction> wf = pair->make(opt.args[1]);
    std::printf("%s wave function built in %.2f s\n", pairname.c_str(), SecondsSince(wfstart));
    WarnShortEpsilon(pairname, wf.get());
    CalcFromWaveFunction(kernel.get(), wf.get());
  } else if (pairname == "purehbt") {
    kernel->Calc_PureHBT();
  } else if (pairname == "purefermion") {
    kernel->Calc_PureFermion();
  } else {
    kernel->Calc_ClassCoul(opt.ma, opt.mb, opt.q1q2);
  }
  std::printf("%s kernel computed in %.2f s\n", pairname.c_str(), SecondsSince(start));
  kernel->Write(outdir.c_str(), pairname);
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  int status = ParseOptions(argc, argv, &opt);
  if (status >= 0) return status;
  const PairInfo* pair = nullptr;
  status = CheckArguments(opt, &pair);
  if (status >= 0) return status;
  const size_t n = opt.args.size();
  const std::string& kernelpars = opt.args[n - 2];
  const std::string& outdir = opt.args[n - 1];
  if (opt.table3d)
    WriteTable3D(*pair, opt.args[0], opt.args[1], kernelpars, outdir);
  else
    WriteAngularKernel(pair, opt, kernelpars, outdir);
  return femtokit::StdoutWritten("femtokernel") ? 0 : 1;
}

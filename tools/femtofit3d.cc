// femtofit3d: the three-dimensional fit run end to end on a known answer.
//
// A Gaussian source with radii Rx, Ry, Rz (fm, exp(-x^2/(4 Rx^2)) along x) and integral lambda
// is put on a grid, carried through the three-dimensional kernel of identical non-interacting
// bosons, |psi|^2 = 1 + cos(2 q.r / hbar c), with the grid transform, and the resulting grid
// C(q) - 1 is fitted with CCF2SFit_3DGaussian, which goes the other way: Cartesian-harmonic
// source, angular kernel (the same plane wave), expansion onto the grid. Newton's method should
// find the radii again to well within 1 %; the program prints the parameter table before and
// after and a last line comparing fit and truth.
//
//   femtofit3d [--lambda L] [--radii RX RY RZ] [--start L R] [--newton N]
//
// Defaults: lambda 0.8, radii 2.6 3.0 3.4 fm, start lambda 0.7 with all radii 3.2 fm, 4 Newton
// runs (each at most two iterations; N is a non-negative integer). Xoff is fixed at 0 (the grids
// are reflection symmetric). The grids are small (20 fm source cube, 60 MeV/c correlation cube),
// so radii of about 2 to 4 fm fit them; radii outside 0.5 ... 5 fm and lambda outside (0, 2] are
// usage errors. The last line is the fit's verdict (converged or not, chi^2/ndof, p-value, why).
// Exit status 0 when the fit converged, 3 when it did not, 2 on a usage error (message and usage
// on standard error), 1 on a fatal condition (including a scratch directory that cannot be made
// under TMPDIR and standard output that cannot be written).

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "kernel/s2cf.h"
#include "numeric/checked_io.h"
#include "numeric/constants.h"
#include "source/sourcecalc_gaussian.h"

namespace {

using femtokit::constants::kHbarC;

// Grids: source cells of 1.25 fm (16 per axis), correlation cells of 6 MeV/c (10 per axis);
// Cartesian-harmonic arrays of rank 6 on 0.5 fm and 2 MeV/c bins reaching past the grid
// corners; the three-dimensional kernel on 1 MeV/c, 0.25 fm and 1/200 in cos theta so its
// linear interpolation stays far below the fit's accuracy.
constexpr int kNSource = 16;
constexpr double kDelSource = 1.25;
constexpr int kNCF = 10;
constexpr double kDelCF = 6.0;
constexpr int kLmax = 6;
constexpr int kNRadial = 60;
constexpr double kRadStep = 0.5;
constexpr int kNQ = 55;
constexpr double kQStep = 2.0;
constexpr double kError = 1e-3;  // the same error in every cell of the noiseless data

// Values the grids can carry: a radius below half a source cell is not resolved, one above a
// quarter of the source cube does not fit in it.
constexpr double kMinRadius = 0.5, kMaxRadius = 5.0;  // fm
constexpr double kMaxLambda = 2.0;
// Exit status of a fit that ran but did not converge.
constexpr int kNotConverged = 3;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: femtofit3d [--lambda L] [--radii RX RY RZ] [--start L R] [--newton N]\n"
               "Fits a 3D Gaussian to the grid correlation function of a known Gaussian source\n"
               "(defaults: lambda 0.8, radii 2.6 3.0 3.4 fm, start 0.7 3.2, 4 Newton runs).\n"
               "Prints the fit's progress, then the parameter table after the fit and as the\n"
               "last line the fitted values against the true ones:\n"
               "  fit/truth: lambda F/T  Rx F/T  Ry F/T  Rz F/T  chi^2 C\n"
               "then the verdict (\"fit converged:\" or \"fit NOT converged:\"). Radii from 0.5\n"
               "to 5 fm, lambda above 0 up to 2. Exit status 0 converged, 3 not converged,\n"
               "2 usage error, 1 other failure.\n");
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "femtofit3d: %s\n", message.c_str());
  PrintUsage(stderr);
  return 2;
}

// A number in (min, max] (min excluded only when open_min), nothing after it.
bool ReadInRange(const char* text, double min, double max, bool open_min, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(*value)) return false;
  return (open_min ? *value > min : *value >= min) && *value <= max;
}

// A count: decimal digits only (no sign, fraction or exponent), at most INT_MAX.
bool ReadCount(const char* text, int* value) {
  if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (*end != '\0' || errno != 0 || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    std::fprintf(stderr, "femtofit3d: cannot write %s\n", path.c_str());
    return false;
  }
  std::fputs(text.c_str(), f);
  femtokit::CloseWritten(f, path.string());
  return true;
}

// The private scratch directory under TMPDIR (or /tmp); an empty path, after a message, when
// none can be made.
std::filesystem::path MakeScratchDir() {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::fprintf(stderr, "femtofit3d: no directory for scratch files (TMPDIR=%s): %s\n",
                 tmpdir ? tmpdir : "", ec.message().c_str());
    return {};
  }
  const std::filesystem::path dir = base / ("femtofit3d_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir)) {
    std::fprintf(stderr, "femtofit3d: cannot create scratch directory %s: %s\n", dir.c_str(),
                 ec.message().c_str());
    return {};
  }
  return dir;
}

// The measured grid: C(q) - 1 of the Gaussian source through the grid transform.
void MakeData(CSourceCalc_Gaussian* truth, CKernelWF* kernelwf, C3DArray* cexp) {
  for (int iq = 0; iq < kernelwf->nqmax; iq++)
    for (int ir = 0; ir < kernelwf->nrmax; ir++)
      for (int ic = 0; ic <= kernelwf->nctheta; ic++) {
        const double q = (iq + 0.5) * kernelwf->delq, r = (ir + 0.5) * kernelwf->delr;
        const double c = 1.0 - ic * kernelwf->delctheta;
        kernelwf->kernel[iq][ir][ic] = std::cos(2.0 * q * r * c / kHbarC);
      }
  C3DArray source(kNSource, kDelSource, true, true, true);
  truth->CalcS(&source);
  truth->NormCheck(&source);
  S2CF::s2c(&source, kernelwf, cexp);
  // The transform gives C(q) = integral of S |psi|^2: remove the grid source's own integral
  // (eight octants of stored cells).
  double norm = 0.0;
  for (int ix = 0; ix < kNSource; ix++)
    for (int iy = 0; iy < kNSource; iy++)
      for (int iz = 0; iz < kNSource; iz++) norm += source.GetElement(0, ix, 0, iy, 0, iz);
  norm *= 8.0 * kDelSource * kDelSource * kDelSource;
  for (int ix = 0; ix < kNCF; ix++)
    for (int iy = 0; iy < kNCF; iy++)
      for (int iz = 0; iz < kNCF; iz++) cexp->IncrementElement(0, ix, 0, iy, 0, iz, -norm);
}

// What the command line asks for: the true source, the start values and the Newton runs.
struct Options {
  double lambda = 0.8, radii[3] = {2.6, 3.0, 3.4}, start_lambda = 0.7, start_r = 3.2;
  int newton_runs = 4;
};

// Reads the command line into *opt. Returns -1 to carry on, else the exit status (0 after the
// help, 1 if it could not be written, 2 on a usage error).
int ParseOptions(int argc, char** argv, Options* opt) {
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return femtokit::StdoutWritten("femtofit3d") ? 0 : 1;
    }
    if (arg == "--newton") {
      if (i + 1 >= argc) return UsageError("option --newton needs a value");
      if (!ReadCount(argv[++i], &opt->newton_runs))
        return UsageError(std::string("option --newton needs a non-negative integer, not ") +
                          argv[i]);
      continue;
    }
    // Each value with the range it must lie in: {target, is a lambda}.
    std::vector<std::pair<double*, bool>> targets;
    if (arg == "--lambda") {
      targets = {{&opt->lambda, true}};
    } else if (arg == "--radii") {
      targets = {{&opt->radii[0], false}, {&opt->radii[1], false}, {&opt->radii[2], false}};
    } else if (arg == "--start") {
      targets = {{&opt->start_lambda, true}, {&opt->start_r, false}};
    } else {
      return UsageError("unknown argument " + arg);
    }
    if (i + static_cast<int>(targets.size()) >= argc)
      return UsageError("option " + arg + " needs " + std::to_string(targets.size()) + " values");
    for (const auto& [target, is_lambda] : targets) {
      const bool ok = is_lambda ? ReadInRange(argv[++i], 0.0, kMaxLambda, true, target)
                                : ReadInRange(argv[++i], kMinRadius, kMaxRadius, false, target);
      if (!ok)
        return UsageError(
            "option " + arg + " needs " +
            (is_lambda ? "a lambda above 0 and at most 2" : "radii from 0.5 to 5 fm") + ", not " +
            argv[i]);
    }
  }
  return -1;
}

// The kernel parameter files (angular kernel, 3D kernel) in dir; false after a message.
bool WriteKernelParameters(const std::filesystem::path& dir) {
  const std::string angular = "int NQMAX " + std::to_string(kNQ) + "\nint NRMAX " +
                              std::to_string(kNRadial) + "\nint KLMAX " + std::to_string(kLmax) +
                              "\ndouble DELQ " + std::to_string(kQStep) + "\ndouble DELR " +
                              std::to_string(kRadStep) + "\nbool IDENTICAL 1\n";
  return WriteFile(dir / "kparameters.dat", angular) &&
         WriteFile(dir / "kwfparameters.dat",
                   "int NQMAX 110\nint NRMAX 145\nint NCTHETA 200\ndouble DELQ 1.0\n"
                   "double DELR 0.25\nbool IDENTICAL 1\n");
}

// Makes the data of the true source, fits the 3D Gaussian with opt.newton_runs Newton runs and
// prints the parameters before and after and the fit/truth line. The kernel parameter files
// in dir are read and the directory removed. The fit's objects end here, so that their
// farewell messages come before the verdict.
FitVerdict FitKnownSource(const Options& opt, const std::filesystem::path& dir) {
  CKernel kernel((dir / "kparameters.dat").c_str());
  kernel.Calc_PureHBT();
  auto kernelwf = std::make_unique<CKernelWF>((dir / "kwfparameters.dat").c_str());
  std::filesystem::remove_all(dir);

  CSourceCalc_Gaussian truth;
  truth.SetSPars(opt.lambda, opt.radii[0], opt.radii[1], opt.radii[2]);
  C3DArray cexp(kNCF, kDelCF, true, true, true), cerror(kNCF, kDelCF, true, true, true),
      ctheory3D(kNCF, kDelCF, true, true, true);
  MakeData(&truth, kernelwf.get(), &cexp);
  kernelwf.reset();  // 24 MB table, not needed by the fit
  cerror.MakeConstant(kError);

  CCHArray sourceCH(kLmax, kNRadial, kRadStep, true, true, true);
  CCHArray ctheoryCH(kLmax, kNQ, kQStep, true, true, true);
  CSourceCalc_Gaussian model;
  model.SetSPars(opt.start_lambda, opt.start_r, opt.start_r, opt.start_r);
  CCF2SFit_3DGaussian fit(&model, &cexp, &cerror, &ctheory3D, &ctheoryCH, &sourceCH, &kernel);
  fit.FixPar("Xoff");
  fit.PrintPars();
  for (int run = 0; run < opt.newton_runs; run++) fit.Newton(2);
  // Zero runs leave the start values unfitted: say so in the verdict, not as a result.
  if (opt.newton_runs == 0) std::printf("femtofit3d: --newton 0: no fit run\n");
  fit.PrintPars();
  std::printf("fit/truth: lambda %.4f/%g  Rx %.4f/%g  Ry %.4f/%g  Rz %.4f/%g  chi^2 %g\n",
              fit.par[0]->currentx, opt.lambda, fit.par[1]->currentx, opt.radii[0],
              fit.par[2]->currentx, opt.radii[1], fit.par[3]->currentx, opt.radii[2],
              fit.currentchi2);
  return fit.Verdict();
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const int status = ParseOptions(argc, argv, &opt);
  if (status >= 0) return status;

  // Kernel parameter files in a private scratch directory, removed at the end.
  const std::filesystem::path dir = MakeScratchDir();
  if (dir.empty()) return 1;
  if (!WriteKernelParameters(dir)) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 1;
  }
  const FitVerdict verdict = FitKnownSource(opt, dir);
  const bool converged = PrintFitVerdict(verdict);
  if (!femtokit::StdoutWritten("femtofit3d")) return 1;
  return converged ? 0 : kNotConverged;
}

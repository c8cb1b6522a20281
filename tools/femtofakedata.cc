// femtofakedata: a "measured" correlation function with known source parameters, for trying out
// fits. The source model computes S(r) into an array, the kernel turns it into C(q) - 1
// (S2CF::s2c), and every independent component gets Gaussian noise of a fixed size sigma from a
// seeded generator, so the same command always writes the same data:
//
//   C_meas(q) - 1 = C(q) - 1 + sigma N(0, 1),   error(q) = sigma.
//
//   femtofakedata [--model NAME] [--source-pars FILE] [--noise SIGMA] [--seed N]
//                 SOURCE_ARRAY_PARS CF_ARRAY_PARS KERNEL_PARAMETERS KERNEL_DIR OUTDIR
//
// The correlation function is written with WriteAX into OUTDIR, the errors into OUTDIR_errors
// (the layout femtofit reads as fakedata/GX1d/pp and fakedata/GX1d/pp_errors). The source
// parameters are the model's defaults, replaced by those of --source-pars. Exit status 0 on
// success, 2 on a usage error (message and usage on standard error), 1 on any fatal condition of
// the library.

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "numeric/checked_io.h"
#include "numeric/fatal.h"
#include "numeric/random.h"
#include "source/sourcecalc.h"
#include "source/sourcemodels.h"

namespace {

// The default model; every model of the library's list (femtokit::SourceModels()) may be named.
constexpr const char* kDefaultModel = "gx1d";

// Models that read their pairs or table from a file named in their parameters: without
// --source-pars they have nothing to read.
bool ReadsInputFile(const std::string& name) {
  return name == "oscar" || name == "events" || name == "histogram";
}

constexpr double kDefaultNoise = 0.005;
constexpr int kDefaultSeed = 1234;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: femtofakedata [--model NAME] [--source-pars FILE] [--noise SIGMA] "
               "[--seed N]\n"
               "                     SOURCE_ARRAY_PARS CF_ARRAY_PARS KERNEL_PARAMETERS "
               "KERNEL_DIR OUTDIR\n"
               "Writes C(q) - 1 of the source model through the kernel, plus Gaussian noise of "
               "size SIGMA\n"
               "(default %g, seed default %d), into OUTDIR and its errors into OUTDIR_errors.\n"
               "Source models (--model, default %s):\n",
               kDefaultNoise, kDefaultSeed, kDefaultModel);
  for (const femtokit::SourceModelInfo& model : femtokit::SourceModels())
    std::fprintf(out, "  %-11s %s\n", model.name.c_str(), model.description.c_str());
  std::fprintf(out, "oscar, events and histogram read a file named in their parameters: they need "
                    "--source-pars.\n");
}

int UsageError(const char* format, const char* detail) {
  std::fprintf(stderr, "femtofakedata: ");
  std::fprintf(stderr, format, detail);
  std::fprintf(stderr, "\n");
  PrintUsage(stderr);
  return 2;
}

// Adds sigma N(0,1) to every independent component (lx = 0, and 1 without XSYM: those that
// s2c fills and WriteAX writes) and sets their errors to sigma; lx >= 2 follow by
// tracelessness when the data are read back.
void AddNoise(CCHArray* cf, CCHArray* errors, double sigma, CRandom* random) {
  const int dlx = cf->GetXSYM() ? 2 : 1, dly = cf->GetYSYM() ? 2 : 1, dlz = cf->GetZSYM() ? 2 : 1;
  const int lmax = cf->GetLMAX();
  for (int ir = 0; ir < cf->GetNRADIAL(); ir++) {
    for (int lx = 0; lx <= 1 && lx <= lmax; lx += dlx) {
      for (int ly = 0; ly <= lmax - lx; ly += dly) {
        for (int lz = 0; lz <= lmax - lx - ly; lz += dlz) {
          cf->IncrementElement(lx, ly, lz, ir, sigma * random->gauss());
          errors->SetElement(lx, ly, lz, ir, sigma);
        }
      }
    }
  }
}

// A source whose parameters mean nothing (a width of 0, say) gives a correlation function
// that is not finite: refuse to write it as data.
void CheckFinite(const CCHArray& cf, const char* modelname) {
  const int lmax = cf.GetLMAX();
  for (int ir = 0; ir < cf.GetNRADIAL(); ir++)
    for (int lx = 0; lx <= lmax; lx++)
      for (int ly = 0; ly <= lmax - lx; ly++)
        for (int lz = 0; lz <= lmax - lx - ly; lz++) {
          if ((cf.GetXSYM() && lx % 2) || (cf.GetYSYM() && ly % 2) || (cf.GetZSYM() && lz % 2))
            continue;
          const double v = cf.GetElement(lx, ly, lz, ir);
          if (!std::isfinite(v))
            femtokit::Fatal(
                "femtofakedata: the correlation function of source model %s is %g at bin %d of "
                "(%d,%d,%d); check the source parameters\n",
                modelname, v, ir, lx, ly, lz);
        }
}

// What the command line asks for.
struct Options {
  std::string modelname = kDefaultModel;
  std::string sourcepars;
  double sigma = kDefaultNoise;
  int seed = kDefaultSeed;
  // SOURCE_ARRAY_PARS CF_ARRAY_PARS KERNEL_PARAMETERS KERNEL_DIR OUTDIR
  std::vector<std::string> args;
};

// The value of --noise or --seed into *opt; returns -1, or 2 after a usage error.
int ParseNumber(const std::string& option, const char* value, Options* opt) {
  char* end = nullptr;
  if (option == "--noise") {
    opt->sigma = std::strtod(value, &end);
    // The errors array holds sigma: zero would make every chi-square infinite.
    if (end == value || *end != '\0' || !(opt->sigma > 0.0) || !std::isfinite(opt->sigma))
      return UsageError("--noise needs a positive number, not %s", value);
    return -1;
  }
  errno = 0;
  const long long v = std::strtoll(value, &end, 10);
  if (end == value || *end != '\0') return UsageError("--seed needs an integer, not %s", value);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
    return UsageError("--seed needs an integer from -2147483648 to 2147483647, not %s", value);
  opt->seed = static_cast<int>(v);
  return -1;
}

// Reads the command line into *opt and checks the model. Returns -1 to carry on, else the
// exit status (0 after the help, 1 if it could not be written, 2 on a usage error).
int ParseOptions(int argc, char** argv, Options* opt) {
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return femtokit::StdoutWritten("femtofakedata") ? 0 : 1;
    }
    if (arg == "--model" || arg == "--source-pars" || arg == "--noise" || arg == "--seed") {
      if (i + 1 >= argc) return UsageError("option %s needs a value", arg.c_str());
      const char* value = argv[++i];
      if (arg == "--model") {
        opt->modelname = value;
      } else if (arg == "--source-pars") {
        opt->sourcepars = value;
      } else {
        const int status = ParseNumber(arg, value, opt);
        if (status >= 0) return status;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option %s", arg.c_str());
    opt->args.push_back(arg);
  }
  if (opt->args.size() != 5)
    return UsageError("%s",
                      "needs SOURCE_ARRAY_PARS CF_ARRAY_PARS KERNEL_PARAMETERS KERNEL_DIR OUTDIR");
  if (femtokit::FindSourceModel(opt->modelname) == nullptr)
    return UsageError("unknown source model %s", opt->modelname.c_str());
  if (ReadsInputFile(opt->modelname) && opt->sourcepars.empty())
    return UsageError("source model %s reads a file named in its parameters; give them with "
                      "--source-pars",
                      opt->modelname.c_str());
  return -1;
}

// The source of the model with its defaults, replaced by those of the --source-pars file,
// computed into source; prints the parameters and the normalisation.
void ComputeSource(const Options& opt, CCHArray* source) {
  std::unique_ptr<CSourceCalc> sourcecalc = femtokit::FindSourceModel(opt.modelname)->make();
  if (!opt.sourcepars.empty()) sourcecalc->ReadSPars(opt.sourcepars.c_str());
  std::printf("source model %s with parameters:\n", opt.modelname.c_str());
  parameter::PrintPars(sourcecalc->spars);
  sourcecalc->CalcS(source);
  sourcecalc->NormCheck(source);
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const int status = ParseOptions(argc, argv, &opt);
  if (status >= 0) return status;
  const std::vector<std::string>& args = opt.args;

  auto source = std::make_unique<CCHArray>(args[0].c_str());
  auto cf = std::make_unique<CCHArray>(args[1].c_str());
  auto errors = std::make_unique<CCHArray>(args[1].c_str());
  auto kernel = std::make_unique<CKernel>(args[2].c_str());
  kernel->Read(args[3].c_str());
  ComputeSource(opt, source.get());

  S2CF::s2c(source.get(), kernel.get(), cf.get());
  CheckFinite(*cf, opt.modelname.c_str());
  CRandom random(opt.seed);
  AddNoise(cf.get(), errors.get(), opt.sigma, &random);

  const std::string& outdir = args[4];
  cf->WriteAX(outdir.c_str());
  errors->WriteAX((outdir + "_errors").c_str());
  std::printf("wrote %s and %s_errors (noise sigma=%g, seed=%d)\n", outdir.c_str(), outdir.c_str(),
              opt.sigma, opt.seed);
  // Released in the order of old (the kernel's destructor reports itself).
  kernel.reset();
  errors.reset();
  cf.reset();
  source.reset();
  return femtokit::StdoutWritten("femtofakedata") ? 0 : 1;
}

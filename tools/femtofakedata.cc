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

namespace {

// Source models: a new model adds one line here.
struct SourceModel {
  const char* name;
  const char* description;
  CSourceCalc* (*make)();
};

template <class Model>
CSourceCalc* Make() {
  return new Model();
}

const SourceModel kSourceModels[] = {
    {"gx1d", "Gaussian plus exponential (lambdaG, R, lambdaX, X, a)", Make<CSourceCalc_GX1D>},
};

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
               kDefaultNoise, kDefaultSeed, kSourceModels[0].name);
  for (const SourceModel& model : kSourceModels)
    std::fprintf(out, "  %-8s %s\n", model.name, model.description);
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

}  // namespace

int main(int argc, char** argv) {
  std::string modelname = kSourceModels[0].name;
  std::string sourcepars;
  double sigma = kDefaultNoise;
  int seed = kDefaultSeed;
  std::vector<std::string> args;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return femtokit::StdoutWritten("femtofakedata") ? 0 : 1;
    }
    if (arg == "--model" || arg == "--source-pars" || arg == "--noise" || arg == "--seed") {
      if (i + 1 >= argc) return UsageError("option %s needs a value", arg.c_str());
      const char* value = argv[++i];
      char* end = nullptr;
      if (arg == "--model") {
        modelname = value;
      } else if (arg == "--source-pars") {
        sourcepars = value;
      } else if (arg == "--noise") {
        sigma = std::strtod(value, &end);
        // The errors array holds sigma: zero would make every chi-square infinite.
        if (end == value || *end != '\0' || !(sigma > 0.0) || !std::isfinite(sigma))
          return UsageError("--noise needs a positive number, not %s", value);
      } else {
        errno = 0;
        const long long v = std::strtoll(value, &end, 10);
        if (end == value || *end != '\0')
          return UsageError("--seed needs an integer, not %s", value);
        if (errno == ERANGE || v < INT_MIN || v > INT_MAX)
          return UsageError("--seed needs an integer from -2147483648 to 2147483647, not %s",
                            value);
        seed = static_cast<int>(v);
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option %s", arg.c_str());
    args.push_back(arg);
  }
  if (args.size() != 5)
    return UsageError("%s",
                      "needs SOURCE_ARRAY_PARS CF_ARRAY_PARS KERNEL_PARAMETERS KERNEL_DIR OUTDIR");
  const SourceModel* model = nullptr;
  for (const SourceModel& m : kSourceModels)
    if (modelname == m.name) model = &m;
  if (model == nullptr) return UsageError("unknown source model %s", modelname.c_str());

  CCHArray* source = new CCHArray(args[0].c_str());
  CCHArray* cf = new CCHArray(args[1].c_str());
  CCHArray* errors = new CCHArray(args[1].c_str());
  CKernel* kernel = new CKernel(args[2].c_str());
  kernel->Read(args[3].c_str());

  CSourceCalc* sourcecalc = model->make();
  if (!sourcepars.empty()) sourcecalc->ReadSPars(sourcepars.c_str());
  std::printf("source model %s with parameters:\n", model->name);
  parameter::PrintPars(sourcecalc->spars);
  sourcecalc->CalcS(source);
  sourcecalc->NormCheck(source);

  S2CF::s2c(source, kernel, cf);
  CheckFinite(*cf, model->name);
  CRandom random(seed);
  AddNoise(cf, errors, sigma, &random);

  const std::string outdir = args[4];
  cf->WriteAX(outdir.c_str());
  errors->WriteAX((outdir + "_errors").c_str());
  std::printf("wrote %s and %s_errors (noise sigma=%g, seed=%d)\n", outdir.c_str(), outdir.c_str(),
              sigma, seed);

  delete sourcecalc;
  delete kernel;
  delete errors;
  delete cf;
  delete source;
  return femtokit::StdoutWritten("femtofakedata") ? 0 : 1;
}

// C++ side of the Python-layer overhead measurement (python/bench/overhead.py
// runs the same work through femtokit and compares): |psi|^2 of the pp wave
// function on 10^6 points, and one chi-square evaluation of the
// Gaussian-plus-exponential source through an identical-boson kernel.
// The inputs are defined identically on both sides (see overhead.py).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "fit/cf2sfit_models.h"
#include "fit/sourcechisquare.h"
#include "kernel/kernel.h"
#include "numeric/output.h"
#include "source/sourcemodels.h"
#include "wavefunctions/pairs.h"

namespace {

constexpr int kPoints = 1000000;

std::string WriteFile(const char* name, const char* text) {
  const std::string path = std::string("/tmp/femtokit_overhead_") + name;
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fputs(text, f);
  std::fclose(f);
  return path;
}

// Point i of the |psi|^2 benchmark: q in [1, 100) MeV/c, r in [0.2, 20.2) fm, c in [-1, 1].
void Point(int i, double& q, double& r, double& c) {
  q = 1.0 + 99.0 * ((i * 7919L) % 1000) / 1000.0;
  r = 0.2 + 20.0 * ((i * 104729L) % 1000) / 1000.0;
  c = -1.0 + 2.0 * ((i * 1299709L) % 1000) / 999.0;
}

void BM_PsiSquaredLoop(benchmark::State& state) {
  femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
  const std::string pars =
      WriteFile("wf.dat", "int NQMAX 20\ndouble DELQ 5.0\ndouble EPSILON 5.0\n");
  std::unique_ptr<CWaveFunction> wf = femtokit::MakeWaveFunction("pp", pars);
  std::vector<double> q(kPoints), r(kPoints), c(kPoints), out(kPoints);
  for (int i = 0; i < kPoints; i++) Point(i, q[i], r[i], c[i]);
  for (auto _ : state) {
    for (int i = 0; i < kPoints; i++) out[i] = wf->GetPsiSquared(q[i], r[i], c[i]);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_PsiSquaredLoop)->Unit(benchmark::kMillisecond);

struct ChiSquareSetup {
  std::unique_ptr<CKernel> kernel;
  std::unique_ptr<CSourceCalc> model;
  std::unique_ptr<CCHArray> data, errors;
  ChiSquareSetup() {
    femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
    kernel = std::make_unique<CKernel>(
        WriteFile("k.dat",
                  "int NQMAX 30\ndouble DELQ 4.0\nint NRMAX 160\ndouble DELR 0.25\nint KLMAX 2\n"
                  "bool IDENTICAL 1\n")
            .c_str());
    kernel->Calc_PureHBT();
    model = femtokit::MakeSourceCalc("gx1d");
    parameter::set(model->spars, "lambdaX", 0.0);
    data = std::make_unique<CCHArray>(2, 30, 4.0, true, true, true);
    errors = std::make_unique<CCHArray>(2, 30, 4.0, true, true, true);
    for (int i = 0; i < 30; i++) {
      data->SetElement(0, 0, 0, i, 0.5 * std::exp(-(i + 0.5) * 4.0 / 40.0));
      errors->SetElement(0, 0, 0, i, 0.01);
    }
  }
};

void BM_SourceChiSquare(benchmark::State& state) {
  ChiSquareSetup s;
  femtokit::SourceChiSquare cost(s.model.get(), s.kernel.get(), s.data.get(), s.errors.get(),
                                 {"lambdaG", "R"});
  const double x[2] = {0.8, 4.0};
  for (auto _ : state) benchmark::DoNotOptimize(cost.Evaluate(x));
}
BENCHMARK(BM_SourceChiSquare)->Unit(benchmark::kMicrosecond);

// The library's own fit evaluation on the same inputs, for reference.
void BM_CF2SFitChiSquare(benchmark::State& state) {
  ChiSquareSetup s;
  CCHArray source(2, 160, 0.25, true, true, true), theory(2, 30, 4.0, true, true, true);
  CCF2SFit_GX1D fit(s.model.get(), s.data.get(), s.errors.get(), &theory, &source, s.kernel.get());
  fit.SetL(0, 0, 0);
  const double x[5] = {0.8, 4.0, 0.0, 10.0, 5.0};
  for (auto _ : state) benchmark::DoNotOptimize(fit.GetChiSquared(x));
}
BENCHMARK(BM_CF2SFitChiSquare)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

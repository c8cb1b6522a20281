// Proton-proton wave function throughput: construction (the radial integrations of every wave at
// every q), CalcPsiSquared evaluations per second (target: at least 2 million on one core), and
// the kernel computation on the demo grid (demo/pp/parameters/pp: 25 q x 60 r x 720 angles).
// Construction on 25 q points: 83 ms CPU before the Reid93 potential was tabulated once per wave
// and the partial waves filled their table points on demand, 13 ms after (one thread, load 3).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_util.h"
#include "kernel/kernel.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_bench::QuietStdout;
using femtokit_bench::WriteParameters;

// The demo's wave-function and kernel parameters.
const char kDemoWF[] = "int NQMAX 25\ndouble DELQ 4.0\ndouble EPSILON 5.0\nbool STRONG 1\n";
const char kDemoKernel[] =
    "int NQMAX 25\ndouble DELQ 4.0\nint NRMAX 60\ndouble DELR 0.5\nint KLMAX 2\n"
    "bool IDENTICAL 1\n";

std::unique_ptr<CWaveFunction_pp> MakeDemoWaveFunction() {
  const std::string pars = WriteParameters("wf.dat", kDemoWF);
  QuietStdout quiet;
  auto wf = std::make_unique<CWaveFunction_pp>(pars.c_str());
  std::filesystem::remove(pars);
  return wf;
}

void BM_PPConstruction(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<CWaveFunction_pp> wf = MakeDemoWaveFunction();
    benchmark::DoNotOptimize(wf->phase1S0[0]);
  }
  state.SetLabel("25 q points, 6 waves x 2 passes x 1001 steps each");
}
BENCHMARK(BM_PPConstruction)->Unit(benchmark::kMillisecond);

// Evaluations spread like the kernel's: every q point, cos theta over (-1, 1), and r over the
// 60 bins of 0.5 fm of the demo grid (0.25 .. 29.75 fm, inside and outside epsilon), or over
// 30 .. 60 fm, where the 30 fm tables of the Coulomb waves end and every evaluation computes the
// waves from GSL.
void PsiSquaredLoop(benchmark::State& state, double rfirst) {
  std::unique_ptr<CWaveFunction_pp> wf = MakeDemoWaveFunction();
  int iq = 0, ir = 0, ic = 0;
  for (auto _ : state) {
    const double r = rfirst + (ir + 0.5) * 0.5, c = 2.0 * (ic + 0.5) / 97.0 - 1.0;
    benchmark::DoNotOptimize(wf->CalcPsiSquared(iq, r, c));
    if (++ic == 97) {
      ic = 0;
      if (++ir == 60) {
        ir = 0;
        if (++iq == 25) iq = 0;
      }
    }
  }
  state.SetItemsProcessed(state.iterations());
}
void BM_PPCalcPsiSquared(benchmark::State& state) { PsiSquaredLoop(state, 0.0); }
void BM_PPCalcPsiSquaredBeyondTables(benchmark::State& state) { PsiSquaredLoop(state, 30.0); }
BENCHMARK(BM_PPCalcPsiSquared);
BENCHMARK(BM_PPCalcPsiSquaredBeyondTables);

void BM_PPKernelDemoGrid(benchmark::State& state) {
  std::unique_ptr<CWaveFunction_pp> wf = MakeDemoWaveFunction();
  const std::string pars = WriteParameters("kpars.dat", kDemoKernel);
  std::unique_ptr<CKernel> kernel;
  {
    QuietStdout quiet;
    kernel = std::make_unique<CKernel>(pars.c_str());
  }
  std::filesystem::remove(pars);
  for (auto _ : state) {
    kernel->Calc(wf.get());
    benchmark::DoNotOptimize(kernel->kernel[0][0][0]);
  }
  state.SetItemsProcessed(state.iterations() * 25 * 60 * 720);
  QuietStdout quiet;  // the kernel's destructor prints
  kernel.reset();
}
BENCHMARK(BM_PPKernelDemoGrid)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

// Physical pp (exact radial waves): building the wave function on 50 q points and its kernel on
// 50 q x 200 r bins with KLMAX 4 (target: both together under 2 s on one core), at one thread and
// at every core.
// Measured (load 2.5): wave function alone (one thread) 65.8 -> 23.1 ms, wave function and
// kernel 0.664 -> 0.494 s at one thread and 0.334 -> 0.205 s at two, before and after the outer
// Coulomb waves filled their table points on demand, the plane waves were built on threads and
// took the written-out asymptotic form beyond their 1F1 tables.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_util.h"
#include "kernel/kernel.h"
#include "numeric/threads.h"
#include "wavefunctions/pairs.h"

namespace {

using femtokit_bench::QuietStdout;
using femtokit_bench::WriteParameters;

const char kWF[] = "int NQMAX 50\ndouble DELQ 2.0\n";
const char kKernel[] =
    "int NQMAX 50\ndouble DELQ 2.0\nint NRMAX 200\ndouble DELR 0.2\nint KLMAX 4\n"
    "bool IDENTICAL 1\n";

// Argument: thread count (0: every core).
void BM_PhysicalPPWaveFunctionAndKernel(benchmark::State& state) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  const std::string wfpars = WriteParameters("wf.dat", kWF);
  const std::string kpars = WriteParameters("k.dat", kKernel);
  for (auto _ : state) {
    QuietStdout quiet;
    std::unique_ptr<CWaveFunction> wf = femtokit::MakeWaveFunction("pp", wfpars);
    CKernel kernel(kpars.c_str());
    kernel.Calc(wf.get());
    benchmark::DoNotOptimize(kernel.kernel[0][0][0]);
  }
  std::filesystem::remove(wfpars);
  std::filesystem::remove(kpars);
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_PhysicalPPWaveFunctionAndKernel)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_PhysicalPPWaveFunction(benchmark::State& state) {
  femtokit::SetThreadCount(1);
  const std::string wfpars = WriteParameters("wf.dat", kWF);
  for (auto _ : state) {
    QuietStdout quiet;
    std::unique_ptr<CWaveFunction> wf = femtokit::MakeWaveFunction("pp", wfpars);
    benchmark::DoNotOptimize(wf.get());
  }
  std::filesystem::remove(wfpars);
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_PhysicalPPWaveFunction)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

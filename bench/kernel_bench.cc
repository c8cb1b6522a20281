// Kernels from wave functions on the grid of a typical fit: 50 q bins of 4 MeV/c x 200 r bins
// of 0.5 fm (out to 100 fm, far beyond the 30 fm Coulomb tables), KLMAX 4, 720 angles each,
// for pp (identical) and pi+ pi- (non-identical), at one thread and at every core.
// Reported: wall time ("real") and the CPU time of the whole process ("cpu"); at one thread
// both should agree and the CPU figure is the robust one on a loaded machine.
//
// Measured (Release, 2-core VM shared with six other builds, CPU time at one thread):
//   one angle at a time (before):      pp 11.6 s, pi+ pi- 14.9 s (load about 10)
//   all angles of one (q, r) at once:  pp 1.10 s, pi+ pi- 1.34 s (load about 4)
// The CPU figures of a loaded machine are inflated, so the gain was also counted with
// callgrind on a tenth of the grid (5 q x 200 r, instructions of CKernel::Calc alone): pp
// 4520 M -> 326 M (13.9x), pi+ pi- 6678 M -> 499 M (13.4x).
//
// Construction plus kernel (BM_BuildAndKernel*, the legacy pp with EPSILON 5 fm), before and
// after the partial waves filled their table points on demand, the legacy pp integrated its q
// points on threads from a tabulated Reid93 potential, and the plane wave beyond its 1F1 table
// took the asymptotic form written out on the imaginary axis. Wall time, median of three, at
// one thread / two threads (load 1.6, the second core free), and callgrind instructions of the
// whole run at one thread:
//                           before                        after
//   construction pp         290 ms / 207 ms    1959 M     26 ms / 17 ms      211 M
//   construction pi+ pi-    263 ms / 139 ms    1654 M     20 ms / 12 ms      170 M
//   pp, both                1.77 s / 1.02 s   11317 M     0.59 s / 0.29 s   3927 M
//   pi+ pi-, both           2.29 s / 0.98 s   12901 M     0.74 s / 0.37 s   4529 M
// Under heavier load (other builds on the second core) the two-thread runs show no gain and the
// one-thread times vary by a third: compare the instruction counts.
// Later, on the quiet VM (median of 5-7 alternating 1- and 2-thread runs): kernel alone pp
// 1.98x, construction plus kernel pp 2.02x, pi+ pi- 1.89x; construction alone pp 1.80x and
// pi+ pi- 1.80-1.83x, then 1.92x both once the phase shifts, short-range weights, Reid93
// tables and the zeroing of the pp inner tables also ran on the threads.
// Of the 3001 points of each 30 fm partial-wave table the kernel touches two per r bin below
// 30 fm; beyond 30 fm the waves are computed once per (q, r): 50 x 140 x 2 evaluations of
// about 3300 instructions, 46 M of the 3927 M (1 %). Tables out to 100 fm would cost at least
// as many evaluations (two points per bin) and change the numbers by their interpolation error,
// so the waves beyond 30 fm stay exact.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_util.h"
#include "kernel/kernel.h"
#include "numeric/threads.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_bench::QuietStdout;
using femtokit_bench::WriteParameters;

template <class WF>
void KernelBench(benchmark::State& state, const char* wftext, bool identical) {
  const int threads = state.range(0) > 0 ? static_cast<int>(state.range(0)) : 0;
  femtokit::SetThreadCount(threads);
  const std::string wfpars = WriteParameters("wf.dat", wftext);
  const std::string kpars = WriteParameters(
      "k.dat", std::string("int NQMAX 50\ndouble DELQ 4.0\nint NRMAX 200\ndouble DELR 0.5\n"
                           "int KLMAX 4\nbool IDENTICAL ") +
                   (identical ? "1\n" : "0\n"));
  std::unique_ptr<WF> wf;
  std::unique_ptr<CKernel> kernel;
  {
    QuietStdout quiet;
    wf = std::make_unique<WF>(wfpars.c_str());
    kernel = std::make_unique<CKernel>(kpars.c_str());
  }
  std::filesystem::remove(wfpars);
  std::filesystem::remove(kpars);
  for (auto _ : state) {
    kernel->Calc(wf.get());
    benchmark::DoNotOptimize(kernel->kernel[0][0][0]);
  }
  state.counters["threads"] = femtokit::ThreadCount();
  {
    QuietStdout quiet;  // the kernel's destructor prints
    kernel.reset();
  }
  femtokit::SetThreadCount(0);
}

// Construction of the wave function and its kernel together, as femtokernel runs them (what the
// kernel does not ask for is never built).
template <class WF>
void BuildAndKernelBench(benchmark::State& state, const char* wftext, bool identical) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  const std::string wfpars = WriteParameters("wfb.dat", wftext);
  const std::string kpars = WriteParameters(
      "kb.dat", std::string("int NQMAX 50\ndouble DELQ 4.0\nint NRMAX 200\ndouble DELR 0.5\n"
                            "int KLMAX 4\nbool IDENTICAL ") +
                    (identical ? "1\n" : "0\n"));
  for (auto _ : state) {
    QuietStdout quiet;
    WF wf(wfpars.c_str());
    CKernel kernel(kpars.c_str());
    kernel.Calc(&wf);
    benchmark::DoNotOptimize(kernel.kernel[0][0][0]);
  }
  std::filesystem::remove(wfpars);
  std::filesystem::remove(kpars);
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}

void BM_KernelPP(benchmark::State& state) {
  KernelBench<CWaveFunction_pp>(state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 5.0\n", true);
}
void BM_KernelPiPlusPiMinus(benchmark::State& state) {
  KernelBench<CWaveFunction_pipluspiminus>(
      state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 1.0\n", false);
}

// Construction alone on 50 q points, the q points on the threads.
template <class WF>
void ConstructBench(benchmark::State& state, const char* wftext) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  const std::string wfpars = WriteParameters("wfc.dat", wftext);
  for (auto _ : state) {
    QuietStdout quiet;
    WF wf(wfpars.c_str());
    benchmark::DoNotOptimize(wf.eta[0]);
  }
  std::filesystem::remove(wfpars);
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}
void BM_ConstructPiPlusPiMinus(benchmark::State& state) {
  ConstructBench<CWaveFunction_pipluspiminus>(
      state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 1.0\n");
}
void BM_ConstructPP(benchmark::State& state) {
  ConstructBench<CWaveFunction_pp>(state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 5.0\n");
}
// Registration shared by the benchmarks below: argument 1 (one thread) and 0 (every core, or
// FEMTOKIT_THREADS / OMP_NUM_THREADS), wall time and the CPU time of the whole process.
void OneAndAllThreads(benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(0)->MeasureProcessCPUTime()->UseRealTime();
}
// The same, one iteration each (runs of a second or more).
void OneAndAllThreadsOnce(benchmark::internal::Benchmark* b) {
  OneAndAllThreads(b);
  b->Iterations(1);
}

BENCHMARK(BM_ConstructPiPlusPiMinus)->Apply(OneAndAllThreads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConstructPP)->Apply(OneAndAllThreads)->Unit(benchmark::kMillisecond);

void BM_BuildAndKernelPP(benchmark::State& state) {
  BuildAndKernelBench<CWaveFunction_pp>(
      state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 5.0\n", true);
}
void BM_BuildAndKernelPiPlusPiMinus(benchmark::State& state) {
  BuildAndKernelBench<CWaveFunction_pipluspiminus>(
      state, "int NQMAX 50\ndouble DELQ 4.0\ndouble EPSILON 1.0\n", false);
}

BENCHMARK(BM_BuildAndKernelPP)->Apply(OneAndAllThreadsOnce)->Unit(benchmark::kSecond);
BENCHMARK(BM_BuildAndKernelPiPlusPiMinus)->Apply(OneAndAllThreadsOnce)->Unit(benchmark::kSecond);
BENCHMARK(BM_KernelPP)->Apply(OneAndAllThreadsOnce)->Unit(benchmark::kSecond);
BENCHMARK(BM_KernelPiPlusPiMinus)->Apply(OneAndAllThreadsOnce)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

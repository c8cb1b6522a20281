// One chi-square evaluation of the three-dimensional Gaussian fit (what every step of femtofit3d
// costs): the source on a rank-6 array of 60 bins of 0.5 fm, its transform through a pure-HBT
// kernel of 55 bins of 2 MeV/c, the expansion of C(q) - 1 onto a 10^3-cell grid of 6 MeV/c per
// axis (the grids of femtofit3d's example) and the chi-square over the cells. Argument: threads
// (1, or 0 for every core); wall ("real") time.
//
// Measured on the 2-core VM (7 alternating runs): 1 thread 0.73-1.27 ms, 2 threads 0.54-0.77 ms,
// median ratio 1.82 (range 1.29-2.22); a later session 1.48-1.60 (range 1.00-2.73), the
// one-thread time itself moving 0.68-1.31 ms between runs. BM_Fit3DThreadRatio alternates the
// two in blocks of 4 evaluations: 1.70-1.97 in most runs (one of five 1.35). Timed phase by
// phase (500 evaluations each): the Gaussian source 1110 -> 578-613 us (1.81-1.94x), the
// expansion onto the grid 147 -> 83-87 us (1.7x), the transform 18 us and the chi-square 12 us
// (serial: 2.4 % of one thread, 4.5 % of two). A profile at 2 threads shows the second thread
// waiting 13 % of its time.

#include <benchmark/benchmark.h>

#include <memory>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "numeric/threads.h"
#include "source/sourcecalc_gaussian.h"
#include "bench_util.h"

namespace {

// femtofit3d's example grids: the kernel, the arrays, the model and the fit over them.
struct Fit3DSetup {
  femtokit_bench::QuietStdout quiet;  // while the kernel is built
  CKernel kernel{femtokit_bench::WriteParameters(
                     "fit3d_bench_kernel",
                     "int NQMAX 55\nint NRMAX 60\nint KLMAX 6\ndouble DELQ 2.0\n"
                     "double DELR 0.5\nbool IDENTICAL 1\n")
                     .c_str()};
  C3DArray cexp{10, 6.0, true, true, true}, cerror{10, 6.0, true, true, true},
      ctheory3D{10, 6.0, true, true, true};
  CCHArray sourceCH{6, 60, 0.5, true, true, true}, ctheoryCH{6, 55, 2.0, true, true, true};
  CSourceCalc_Gaussian model;
  CCF2SFit_3DGaussian fit{&model, &cexp, &cerror, &ctheory3D, &ctheoryCH, &sourceCH, &kernel};
  const double x[5] = {0.8, 2.6, 3.0, 3.4, 0.0};
  Fit3DSetup() {
    kernel.Calc_PureHBT();
    cerror.MakeConstant(1e-3);
  }
  double ChiSquare() { return fit.GetChiSquared(x); }
};

void BM_Fit3DChiSquare(benchmark::State& state) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  Fit3DSetup setup;
  for (auto _ : state) benchmark::DoNotOptimize(setup.ChiSquare());
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_Fit3DChiSquare)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same evaluation alternately on one thread and on every core, in 60 blocks of 4 each:
// counter "ratio", the one-thread time over the all-core time (robust to the machine's speed
// swings).
void BM_Fit3DThreadRatio(benchmark::State& state) {
  Fit3DSetup setup;
  double ratio = 0.0;
  for (auto _ : state)
    ratio = femtokit_bench::AlternatingThreadRatio(
        [&] { benchmark::DoNotOptimize(setup.ChiSquare()); }, 60, 4);
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_Fit3DThreadRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

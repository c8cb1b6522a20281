// One chi-square evaluation of the three-dimensional Gaussian fit (what every step of femtofit3d
// costs): the source on a rank-6 array of 60 bins of 0.5 fm, its transform through a pure-HBT
// kernel of 55 bins of 2 MeV/c, the expansion of C(q) - 1 onto a 10^3-cell grid of 6 MeV/c per
// axis (the grids of femtofit3d's example) and the chi-square over the cells. Argument: threads
// (1, or 0 for every core); wall ("real") time.
//
// Measured on the 2-core VM (7 alternating runs): 1 thread 0.73-1.27 ms, 2 threads 0.54-0.77 ms,
// median ratio 1.82 (range 1.29-2.22). Of one evaluation the Gaussian source takes ~85 %, the
// expansion onto the grid ~12 %, the transform and the chi-square ~2 %.

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

void BM_Fit3DChiSquare(benchmark::State& state) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  auto quiet = std::make_unique<femtokit_bench::QuietStdout>();
  const std::string pars = femtokit_bench::WriteParameters(
      "fit3d_bench_kernel", "int NQMAX 55\nint NRMAX 60\nint KLMAX 6\ndouble DELQ 2.0\n"
                            "double DELR 0.5\nbool IDENTICAL 1\n");
  CKernel kernel(pars.c_str());
  kernel.Calc_PureHBT();
  C3DArray cexp(10, 6.0, true, true, true), cerror(10, 6.0, true, true, true),
      ctheory3D(10, 6.0, true, true, true);
  cerror.MakeConstant(1e-3);
  CCHArray sourceCH(6, 60, 0.5, true, true, true), ctheoryCH(6, 55, 2.0, true, true, true);
  CSourceCalc_Gaussian model;
  CCF2SFit_3DGaussian fit(&model, &cexp, &cerror, &ctheory3D, &ctheoryCH, &sourceCH, &kernel);
  const double x[5] = {0.8, 2.6, 3.0, 3.4, 0.0};
  for (auto _ : state) benchmark::DoNotOptimize(fit.GetChiSquared(x));
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_Fit3DChiSquare)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

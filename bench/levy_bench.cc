// Levy-stable sources: the cost a fit pays per evaluation.
//  - BM_LevyDensityTable: one new alpha, i.e. one density table (~1000 points of
//    the series / ray integral), the worst case of a fit evaluation;
//  - BM_Levy1DSameAlpha: CalcS of 400 bins of 0.1 fm when the table exists (the
//    evaluations that vary only lambda or R);
//  - BM_Levy3DCalcS: the out-side-long source, LMAX 4, 100 bins of 0.5 fm, axis
//    ratio 2 (angular projection with 16 x 16 octant nodes per bin).
// Thread count from FEMTOKIT_THREADS (the table is built in parallel).

#include <benchmark/benchmark.h>

#include "arrays/charray.h"
#include "source/sourcecalc_levy.h"

namespace {

void BM_LevyDensityTable(benchmark::State& state) {
  double alpha = 1.3;
  for (auto _ : state) {
    femtokit::LevyStableTables tables;
    alpha += 1e-9;  // a new table every time
    benchmark::DoNotOptimize(tables.Density({1.0}, alpha));
  }
}
BENCHMARK(BM_LevyDensityTable)->Unit(benchmark::kMillisecond);

void BM_Levy1DSameAlpha(benchmark::State& state) {
  CSourceCalc_Levy1D levy;
  levy.SetSPars(1.0, 3.0, 1.3);
  CCHArray A(0, 400, 0.1);
  levy.CalcS(&A);
  for (auto _ : state) {
    levy.CalcS(&A);
    benchmark::DoNotOptimize(A.GetElement(0, 0, 0, 0));
  }
}
BENCHMARK(BM_Levy1DSameAlpha)->Unit(benchmark::kMicrosecond);

void BM_Levy3DCalcS(benchmark::State& state) {
  CSourceCalc_Levy3D levy;
  levy.SetSPars(1.0, 3.0, 4.0, 6.0, 1.3);
  CCHArray A(4, 100, 0.5, true, true, true);
  levy.CalcS(&A);
  for (auto _ : state) {
    levy.CalcS(&A);
    benchmark::DoNotOptimize(A.GetElement(0, 0, 0, 0));
  }
}
BENCHMARK(BM_Levy3DCalcS)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

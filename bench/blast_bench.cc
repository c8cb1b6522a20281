// One CalcS of the blast-wave source with its default parameters (Nsample = 1000 points of each
// of two unequal species, 10^6 pairs, including the sampling of the points; also 4000 points,
// 1.6x10^7 pairs) into a Cartesian-harmonic array of LMAX 4 and 40 bins of 1 fm. Target: below
// 0.1 s on one core. Also reports the sampling alone (Get_r for both species) and the pairs per
// second of the whole call. CalcS arguments: threads (1, or 0 for every core) and Nsample; wall
// ("real") and whole-process CPU time.
//
// Measured on the 2-core VM (its single-core speed drifts by up to 30 % from run to run; ratios
// are medians of 9-11 alternating 1- and 2-thread runs with nothing else running):
// - serial sampling (before): 2 threads 1.3x;
// - sampling in runs on the threads, pair sum in 8 chunks: CalcS 1 thread 14.5-21.8 ms,
//   2 threads 9.9-12.1 ms, 1.71-1.76x;
// - both species sampled in one loop, 16 chunks, divider-free pair loop: 1.70-1.76x at Nsample
//   1000; 1.81x at Nsample 4000.
//   Timing the phases inside CalcS at Nsample 1000: the sampling ran at 1.81-1.89x on 2
//   threads, the pair sum (about 4 ms on 2 threads) at only 1.24-1.45x. Without glibc's trimming
//   of freed memory (GLIBC_TUNABLES=glibc.malloc.trim_threshold=...) the ratio rose to 1.84: the
//   chunk sums' work space, freed at the end of each call, was faulted in anew on every call.
// - pair sums kept by the source from call to call, in 64 chunks through ChunkedPairSums (three
//   work sums per thread, made by their thread), work arrays on cache lines: 1 thread
//   13.0-21.7 ms, 2 threads 6.9-10.7 ms, median ratio 1.87-1.94 at Nsample 1000 (11 runs), 1.97
//   at Nsample 4000 (132-191 ms -> 73-101 ms).

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "numeric/constants.h"
#include "numeric/threads.h"
#include "source/sourcecalc_blast.h"

namespace {

void BM_BlastCalcS(benchmark::State& state) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  CSourceCalc_Blast blast;
  const int n = static_cast<int>(state.range(1));
  parameter::set(blast.spars, "Nsample", n);
  CCHArray A(4, 40, 1.0);
  for (auto _ : state) {
    blast.CalcS(&A);
    benchmark::DoNotOptimize(A.A[0][0][0][0]);
  }
  state.counters["pairs/s"] = benchmark::Counter(static_cast<double>(n) * n * state.iterations(),
                                                 benchmark::Counter::kIsRate);
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_BlastCalcS)
    ->Args({1, 1000})
    ->Args({0, 1000})
    ->Args({1, 4000})
    ->Args({0, 4000})
    ->ArgNames({"threads", "Nsample"})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The emission points alone (both species, default momenta shared by mass), on every core.
void BM_BlastGetR(benchmark::State& state) {
  CSourceCalc_Blast blast;
  const int n = 1000;
  std::vector<double> data(4 * n);
  std::vector<double*> r(n);
  for (int i = 0; i < n; i++) r[i] = &data[4 * i];
  const double ma = femtokit::constants::kMassProtonSourceModels,
               mb = femtokit::constants::kMassPionCharged, pt = 600.0;
  const double pa = ma * pt / (ma + mb), pb = mb * pt / (ma + mb);
  double Pa[4] = {std::sqrt(ma * ma + pa * pa), pa, 0.0, 0.0};
  double Pb[4] = {std::sqrt(mb * mb + pb * pb), pb, 0.0, 0.0};
  for (auto _ : state) {
    blast.Get_r(Pa, r.data());
    blast.Get_r(Pb, r.data());
    benchmark::DoNotOptimize(data[0]);
  }
}
BENCHMARK(BM_BlastGetR)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// One CalcS of the blast-wave source with its default parameters (1000 points of each of two
// unequal species, 10^6 pairs, including the sampling of the points) into a Cartesian-harmonic
// array of LMAX 4 and 40 bins of 1 fm. Target: below 0.1 s on one core. Also reports the
// sampling alone (Get_r for both species) and the pairs per second of the whole call.
// CalcS argument: threads (1, or 0 for every core); wall ("real") and whole-process CPU time.
//
// Measured on the 2-core machine with nothing else running (30 runs each; its single-core
// speed drifts by up to 30 % from run to run): CalcS 1 thread 17-27 ms (median 23.0),
// 2 threads 9.0-13.5 ms (median 11.5): 2.0x; Get_r of both species on 2 threads 5.1 ms.
// While the sampling was serial (RANLUX itself was 80 % of it, 40 % of CalcS): 2 threads
// 13-18 ms, 1.3x; Get_r 8-10 ms.
// With the pair sum in 8 chunks handed out dynamically (each made on its thread): CalcS 1
// thread 14.5-21.8 ms, 2 threads 9.9-12.1 ms, median ratio of 7 alternating runs 1.76 (range
// 1.46-1.88). A 2-thread profile shows both threads busy throughout (process CPU = 2x wall):
// what is missing to 2x is each core running slower while the other works, not serial code.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "arrays/charray.h"
#include "numeric/constants.h"
#include "numeric/threads.h"
#include "source/sourcecalc_blast.h"

namespace {

void BM_BlastCalcS(benchmark::State& state) {
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  CSourceCalc_Blast blast;
  CCHArray A(4, 40, 1.0);
  const int n = 1000;
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
    ->Arg(1)
    ->Arg(0)
    ->ArgName("threads")
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

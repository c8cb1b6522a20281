// Pair loop of the event-file source: every pair of 20,000 identical particles (2x10^8 pairs)
// histogrammed into a Cartesian-harmonic source array at LMAX 4 and 8, reported as pairs per
// second (counter "pairs/s"). The per-pair IncrementAExpArrayFromE path it replaces is measured
// on fewer particles for comparison.
//
// Third argument: threads (1, or 0 for every core): the particles are cut into 64 ranges of
// equal pair counts, summed by whichever thread is free and merged in range order
// (ChunkedPairSums, as the event-file source sums its pairs). Times: wall ("real") and
// whole-process CPU.
//
// Per-core limit (the "limit" counter is the measured rate over it). The work of a pair, as the
// direct form states it: one square root and one divide (the direction; the bin is a multiply
// for a power-of-two RADSTEP such as the 1 fm here), about (LMAX+1)^2 fused multiply-adds for
// the moments plus 2 LMAX multiplies for the powers, and the sort (a count, 3 loads and 3
// stores). With double-pumped 512-bit units (one vector multiply-add per cycle, a 512-bit
// divide every 10 and a square root every 18 cycles), 8 pairs per vector, that is about
//   (18 + 10 + (LMAX+1)^2 + 2 LMAX) / 8 + 2 (sort) cycles per pair,
// i.e. 9.6 cycles at LMAX 4 and 17.6 at LMAX 8: 281 and 153 M pairs/s at 2.7 GHz (the clock
// measured on the 2-core VM: a chain of dependent integer multiplies, 3 cycles each, runs at
// 2.70-2.76 G steps per second). (A figure of 410 M pairs/s at LMAX 4, estimated once from the
// operation count alone, assumed two 512-bit multiply-adds per cycle and no divider limit.)
// The AVX-512 variant now avoids the divider (reciprocal square root with Newton steps), so it
// does less than this work; the limit is kept as the yardstick of the work itself. Profile at
// LMAX 4 after that change: the sort ~45 % (bound by its stores: dropping two of its three
// direction stores makes the loop 1.17x faster), the separation pass ~26 %, the moments ~25 %.
//
// Measured (Release, AVX-512 variant, 2x10^8 pairs, best of 3-5 alternating runs at raised
// priority on the 2-core VM, whose speed drifts by up to 1.5x between runs and phases), one
// thread:
//   LMAX 4: 55.9-62.4 M pairs/s (the code before the pair-loop work) -> 148-162 (register
//           moments, branch-free sort) -> 199-253 (no divider, no full-run list, runs 136
//           entries apart, work arrays on cache lines; 1.16-1.25x over the previous step run side
//           by side): 2.8x-3.5x in all (the product of the side-by-side gains, 2.4-2.8x and
//           1.16-1.25x); 0.71-0.90 of the limit above, 0.49-0.62 of the 410.
//   LMAX 8: 34.1-38.0 -> 66-78 -> 98-118 (1.44-1.53x over the previous step): 2.4x-3.1x in
//           all; 0.64-0.77 of the limit.
// Two threads (64 chunks through ChunkedPairSums; median of 7 alternating 1- and 2-thread runs,
// ratio of wall times): LMAX 4 1.88 (range 1.69-2.06), LMAX 8 1.83 (1.58-2.02). Before the work
// arrays were aligned, LMAX 8 gave only 1.5-1.7: a power table that malloc placed off a cache
// line made every vector load span two lines (1.2-1.4x slower), which hit some of the chunk
// sums and not the single sum of one thread.
//
// The event-file source as a whole (BM_EventSourceThreads: reading, chunked sums, merge) and
// the OSCAR2013 text reader (BM_ReadOSCAR2013). Event source, 2x10^8 pairs at LMAX 4, one
// thread 0.98-1.44 s, two threads 0.54-0.79 s, median ratio 1.87-1.96 (7 runs each time; it
// was 1.60 with one wait per progress step and the chunk sums made by the main thread). Reading
// OSCAR2013 text at 199 MB/s.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "numeric/constants.h"
#include "numeric/output.h"
#include "numeric/random.h"
#include "numeric/threads.h"
#include "source/chunkedpairsums.h"
#include "source/eventreader.h"
#include "source/oscargen.h"
#include "source/pairseparationsum.h"
#include "source/sourcecalc_oscar.h"

namespace {

// Points of a Gaussian source of width 5 fm per axis (a typical pion source).
void MakePoints(int n, std::vector<double>& x, std::vector<double>& y, std::vector<double>& z) {
  CRandom random(1234);
  x.resize(n);
  y.resize(n);
  z.resize(n);
  for (int i = 0; i < n; ++i) {
    x[i] = 5.0 * random.gauss();
    y[i] = 5.0 * random.gauss();
    z[i] = 5.0 * random.gauss();
  }
}

// Estimated per-core limit in pairs per second (comment above).
double PerCoreLimit(int lmax) {
  const double cycles = (18.0 + 10.0 + (lmax + 1.0) * (lmax + 1.0) + 2.0 * lmax) / 8.0 + 2.0;
  return 2.7e9 / cycles;
}

// Moment accumulation and conversion, as in CSourceCalc_OSCAR::CalcS.
void BM_PairLoopMoments(benchmark::State& state) {
  const int lmax = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  femtokit::SetThreadCount(static_cast<int>(state.range(2)));
  const int nthreads = femtokit::ThreadCount();
  std::vector<double> x, y, z;
  MakePoints(n, x, y, z);
  CCHArray A(lmax, 40, 1.0);
  // Chunks of equal pair counts, handed out to the threads as they come free and merged in
  // chunk order (ChunkedPairSums, as the event-file source sums its pairs).
  const int nchunks = 64;
  std::vector<int> bounds(nchunks + 1, n);
  for (int k = 0; k < nchunks; ++k)
    bounds[k] = static_cast<int>(std::sqrt(static_cast<double>(k) / nchunks) * n);
  double pairs = 0.0;
  femtokit::ChunkedPairSums sums(&A);
  for (auto _ : state) {
    sums.Clear();
    sums.Add(nchunks, nthreads, [&](int k, CPairSeparationSum& sum) {
      for (int ia = bounds[k]; ia < bounds[k + 1]; ++ia)
        sum.AddPairs(x[ia], y[ia], z[ia], x.data(), y.data(), z.data(), ia);
    });
    A.ZeroArray();
    sums.Total().Store(&A);
    benchmark::DoNotOptimize(A.GetElement(0, 0, 0, 3));
    pairs += static_cast<double>(sums.Total().npairs);
  }
  state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsRate);
  // Rate per thread-second of CPU time over the per-core limit.
  state.counters["limit"] =
      benchmark::Counter(pairs / PerCoreLimit(lmax), benchmark::Counter::kIsRate);
  state.counters["threads"] = nthreads;
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_PairLoopMoments)
    ->Args({4, 20000, 1})
    ->Args({8, 20000, 1})
    ->Args({4, 20000, 0})
    ->Args({8, 20000, 0})
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kSecond);

// The straightforward form: one IncrementAExpArrayFromE per pair.
void BM_PairLoopPerPairIncrement(benchmark::State& state) {
  const int lmax = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  std::vector<double> x, y, z;
  MakePoints(n, x, y, z);
  CCHArray A(lmax, 40, 1.0);
  double pairs = 0.0;
  for (auto _ : state) {
    A.ZeroArray();
    for (int ia = 0; ia < n; ++ia)
      for (int ib = 0; ib < ia; ++ib) {
        const double dx = x[ia] - x[ib], dy = y[ia] - y[ib], dz = z[ia] - z[ib];
        const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
        const int ir = static_cast<int>(r / A.GetRADSTEP());
        if (ir < A.GetNRADIAL() && r > 0.0)
          A.IncrementAExpArrayFromE(dx / r, dy / r, dz / r, 1.0, ir);
      }
    benchmark::DoNotOptimize(A.GetElement(0, 0, 0, 3));
    pairs += 0.5 * n * (n - 1.0);
  }
  state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PairLoopPerPairIncrement)
    ->Args({4, 2000})
    ->Args({8, 2000})
    ->Unit(benchmark::kMillisecond);

// A generated event file in the temporary directory, written once per process.
std::string GeneratedFile(const std::string& format, int nevents, int count) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("femtokit_oscar_bench_" + format + "_" + std::to_string(nevents) +
                             "x" + std::to_string(count)))
                               .string();
  if (!std::filesystem::exists(path)) {
    CRandom random(99);
    std::vector<OSCARGen::Species> species = {
        {211, femtokit::constants::kMassPionCharged, count, 300.0, 20.0}};
    OSCARGen::WriteFormat(path, format, nevents, species, OSCARGen::Geometry(), &random);
  }
  return path;
}

// The event-file source's whole pair path (reading, threads, merge) on 20,000 identical pions of
// one file, every pair (2x10^8) at LMAX 4: one thread (argument 1) and every core (0).
void BM_EventSourceThreads(benchmark::State& state) {
  const std::string file = GeneratedFile("OSCAR2013", 1, 20000);
  femtokit::SetThreadCount(static_cast<int>(state.range(0)));
  femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
  CSourceCalc_Events calc;
  parameter::set(calc.spars, "OSCARfilename", file);
  parameter::set(calc.spars, "DELPT", 1000);
  CCHArray A(4, 40, 1.0);
  double pairs = 0.0;
  for (auto _ : state) {
    OSCARPairTotals totals;
    calc.AccumulateS(&A, &totals);
    pairs += totals.npairs;
  }
  state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsRate);
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
  femtokit::SetVerbosity(femtokit::Verbosity::kProgress);
}
BENCHMARK(BM_EventSourceThreads)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// Reading an OSCAR2013 text file (100 events of 1000 particles, each written as an "in", an
// intermediate and a final "out" block: about 40 MB): bytes of file per second.
void BM_ReadOSCAR2013(benchmark::State& state) {
  const std::string file = GeneratedFile("OSCAR2013", 100, 1000);
  const double bytes = static_cast<double>(std::filesystem::file_size(file));
  std::vector<femtokit::EventParticle> particles;
  double total = 0.0, kept = 0.0;
  for (auto _ : state) {
    auto reader = femtokit::OpenEventFile(file);
    while (reader->NextEvent(&particles)) kept += particles.size();
    total += bytes;
  }
  benchmark::DoNotOptimize(kept);
  state.counters["bytes/s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadOSCAR2013)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

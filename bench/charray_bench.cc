// Throughput of the Cartesian-harmonic array's per-pair operations: samples per second of
// IncrementAExpArrayFromE (called once per particle pair by the blast-wave and event-file
// sources) and evaluations per second of AExpand, at LMAX 4 and 8, without and with all three
// reflection symmetries. Reported as items_per_second.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "arrays/charray.h"
#include "numeric/random.h"

namespace {

constexpr int kNDir = 4096;
constexpr int kNRadial = 20;

struct Directions {
  std::vector<double> ex, ey, ez;
  std::vector<int> ir;
  Directions() {
    CRandom ran(17);
    for (int i = 0; i < kNDir; ++i) {
      const double c = 1.0 - 2.0 * ran.ran(), s = std::sqrt(1.0 - c * c);
      const double phi = 6.283185307179586 * ran.ran();
      ex.push_back(s * std::cos(phi));
      ey.push_back(s * std::sin(phi));
      ez.push_back(c);
      ir.push_back(static_cast<int>(ran.iran(kNRadial)));
    }
  }
};

const Directions& Dirs() {
  static const Directions dirs;
  return dirs;
}

// Arguments: LMAX, symmetries (0 none, 1 all three).
void BM_IncrementAExpArrayFromE(benchmark::State& state) {
  const bool sym = state.range(1) != 0;
  CCHArray a(static_cast<int>(state.range(0)), kNRadial, 1.0, sym, sym, sym);
  const Directions& d = Dirs();
  int i = 0;
  for (auto _ : state) {
    a.IncrementAExpArrayFromE(d.ex[i], d.ey[i], d.ez[i], 1.0, d.ir[i]);
    i = (i + 1) & (kNDir - 1);
  }
  benchmark::DoNotOptimize(a.A[0][0][0][0]);
  state.SetItemsProcessed(state.iterations());
}

void BM_AExpand(benchmark::State& state) {
  const bool sym = state.range(1) != 0;
  CCHArray a(static_cast<int>(state.range(0)), kNRadial, 1.0, sym, sym, sym);
  a.RandomInit(5);
  a.RandomizeA(1.0);
  const Directions& d = Dirs();
  int i = 0;
  double sum = 0.0;
  for (auto _ : state) {
    sum += a.AExpand(d.ex[i], d.ey[i], d.ez[i], d.ir[i]);
    i = (i + 1) & (kNDir - 1);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_AltIncrementAExpArrayFromE(benchmark::State& state) {
  const bool sym = state.range(1) != 0;
  CCHArray a(static_cast<int>(state.range(0)), kNRadial, 1.0, sym, sym, sym);
  const Directions& d = Dirs();
  int i = 0;
  for (auto _ : state) {
    a.AltIncrementAExpArrayFromE(d.ex[i], d.ey[i], d.ez[i], 1.0, d.ir[i]);
    i = (i + 1) & (kNDir - 1);
  }
  benchmark::DoNotOptimize(a.A[0][0][0][0]);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_IncrementAExpArrayFromE)->ArgsProduct({{4, 8}, {0, 1}})->ArgNames({"LMAX", "sym"});
BENCHMARK(BM_AExpand)->ArgsProduct({{4, 8}, {0, 1}})->ArgNames({"LMAX", "sym"});
BENCHMARK(BM_AltIncrementAExpArrayFromE)->Args({4, 0})->ArgNames({"LMAX", "sym"});

}  // namespace

BENCHMARK_MAIN();

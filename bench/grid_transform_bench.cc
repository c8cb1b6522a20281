// Throughput of the grid transform S2CF::s2c(C3DArray*, CKernelWF*, C3DArray*): cell pairs
// (source cells x correlation cells) per second, for source and correlation grids of 20^3
// cells per half-space with all three reflection symmetries (the shape of a three-dimensional
// identical-pion analysis). Arguments: 1 for an identical-particle kernel (cos theta folded to
// |cos theta|, images r and -r share a lookup), 0 for distinct particles. Reported as
// items_per_second (one item = one cell pair). Second argument: threads (1, or 0 for every
// core); times are wall ("real") and whole-process CPU. The transform prints three progress
// lines per call.
//
// Measured on the 2-core machine with nothing else running (12 runs each; its single-core
// speed drifts by up to 30 % from run to run, so compare medians or back-to-back runs):
//   identical 1: 1 thread 1016-1739 ms (median 1246), 2 threads 550-874 ms (median 664): 1.9x
//   identical 0: 1 thread  945-1754 ms (median 1187), 2 threads 575-813 ms (median 669): 1.8x
// One thread runs as fast as before the threads split the table rows (back to back, within
// 1 %); before, every thread filled whole tables, 5 % of the one-thread time each.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "arrays/array3d.h"
#include "kernel/kernelwf.h"
#include "kernel/s2cf.h"
#include "numeric/constants.h"
#include "numeric/threads.h"

using femtokit::constants::kPi;

namespace {

constexpr int kCells = 20;  // per half axis

std::unique_ptr<CKernelWF> MakeKernel(bool identical) {
  const std::string name =
      (std::filesystem::temp_directory_path() / "femtokit_grid_transform_bench.dat").string();
  FILE* f = fopen(name.c_str(), "w");
  // q up to 100 MeV/c and r up to 60 fm cover every cell pair below.
  fprintf(f,
          "int NQMAX 25\ndouble DELQ 4.0\nint NRMAX 120\ndouble DELR 0.5\nint NCTHETA 120\n"
          "bool IDENTICAL %d\n",
          identical ? 1 : 0);
  fclose(f);
  auto kernel = std::make_unique<CKernelWF>(name.c_str());
  std::filesystem::remove(name);
  // The free-boson table, |psi|^2 - 1 = cos(2 q r cos theta / hbar c).
  for (int iq = 0; iq < kernel->nqmax; iq++)
    for (int ir = 0; ir < kernel->nrmax; ir++)
      for (int ic = 0; ic <= kernel->nctheta; ic++)
        kernel->kernel[iq][ir][ic] =
            cos(2.0 * (iq + 0.5) * kernel->delq * (ir + 0.5) * kernel->delr *
                (1.0 - ic * kernel->delctheta) / femtokit::constants::kHbarC);
  return kernel;
}

void BM_GridTransform(benchmark::State& state) {
  auto kernel = MakeKernel(state.range(0) != 0);
  femtokit::SetThreadCount(static_cast<int>(state.range(1)));
  C3DArray S(kCells, 1.0, true, true, true);   // fm
  C3DArray CF(kCells, 2.0, true, true, true);  // MeV/c
  const double R = 5.0;
  for (int ix = 0; ix < kCells; ix++)
    for (int iy = 0; iy < kCells; iy++)
      for (int iz = 0; iz < kCells; iz++) {
        const double x = ix + 0.5, y = iy + 0.5, z = iz + 0.5;
        S.SetElement(0, ix, 0, iy, 0, iz,
                     pow(4.0 * kPi * R * R, -1.5) * exp(-(x * x + y * y + z * z) / (4 * R * R)));
      }
  for (auto _ : state) {
    S2CF::s2c(&S, kernel.get(), &CF);
    benchmark::DoNotOptimize(CF.F[0][0][0][0][0][0]);
  }
  const double pairs = std::pow(kCells, 6);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pairs));
  state.counters["threads"] = femtokit::ThreadCount();
  femtokit::SetThreadCount(0);
}
BENCHMARK(BM_GridTransform)
    ->ArgsProduct({{1, 0}, {1, 0}})
    ->ArgNames({"identical", "threads"})
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

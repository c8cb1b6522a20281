// The Cartesian-harmonic transform S2CF::s2c(CCHArray*, CKernel*, CCHArray*) on matching grids
// (the kernel's table read directly): 50 q x 200 r bins, LMAX 4 and 8, without symmetries
// (every component). Reported as time per transform; one item = one (component, q, r) term.
// It runs on one thread (a few million multiply-adds: threads would not pay).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "arrays/charray.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"

namespace {

constexpr int kNQ = 50, kNR = 200;

std::unique_ptr<CKernel> MakeKernel(int lmax) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("femtokit_s2cf_bench_" + std::to_string(getpid()));
  std::ofstream(path) << "int NQMAX " << kNQ << "\ndouble DELQ 4.0\nint NRMAX " << kNR
                      << "\ndouble DELR 0.5\nint KLMAX " << lmax << "\nbool IDENTICAL 0\n";
  std::fflush(stdout);
  const int saved = dup(1), devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  auto kernel = std::make_unique<CKernel>(path.c_str());
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devnull);
  std::filesystem::remove(path);
  for (int ell = 0; ell <= lmax; ell++)
    for (int iq = 0; iq < kNQ; iq++)
      for (int ir = 0; ir < kNR; ir++)
        kernel->kernel[ell][iq][ir] = std::sin(0.1 * iq + 0.03 * ir + ell) / (1.0 + 0.1 * ir);
  return kernel;
}

void BM_S2CF(benchmark::State& state) {
  const int lmax = static_cast<int>(state.range(0));
  std::unique_ptr<CKernel> kernel = MakeKernel(lmax);
  CCHArray S(lmax, kNR, 0.5), CF(lmax, kNQ, 4.0);
  S.RandomInit(3);
  S.RandomizeA(1.0);
  int ncomponents = 0;
  for (int lx = 0; lx <= 1; lx++)
    for (int ly = 0; ly <= lmax - lx; ly++) ncomponents += lmax - lx - ly + 1;
  for (auto _ : state) {
    S2CF::s2c(&S, kernel.get(), &CF);
    benchmark::DoNotOptimize(CF.A[0][0][0][0]);
  }
  state.SetItemsProcessed(state.iterations() * ncomponents * kNQ * kNR);
  std::fflush(stdout);
  const int saved = dup(1), devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  kernel.reset();  // prints
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devnull);
}
BENCHMARK(BM_S2CF)->Arg(4)->Arg(8)->ArgName("LMAX")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

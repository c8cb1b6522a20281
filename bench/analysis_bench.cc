// Fits of the analysis layer with a precomputed pp kernel (Reid93 + Coulomb, 60 q bins of
// 4 MeV/c, r to 20 fm): one fit of 50 data bins with every model part switched on
// (Gaussian source, resolution matrix, a decay and a flat residual, linear baseline;
// R, lambda_gen, N, b1 free), and a variation set of 100 such fits (fit ranges and
// lambda values varied), each building its model anew around the shared kernel.
//
// Targets: one fit under 50 ms, the 100-fit set under 10 s on one core (the fits are
// serial). Measured figures are in the analysis layer's report.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "analysis/fit.h"
#include "numeric/output.h"

namespace {

using namespace femtokit::analysis;

std::vector<double> Centres(int n) {
  std::vector<double> k;
  for (int i = 0; i < n; ++i) k.push_back((i + 0.5) * 4.0);
  return k;
}

BinMatrix Gaussian(const std::vector<double>& rows, const std::vector<double>& cols, double s) {
  BinMatrix m;
  m.origin = "bench";
  m.row_k = rows;
  m.col_k = cols;
  for (double r : rows)
    for (double c : cols) m.weight.push_back(std::exp(-0.5 * std::pow((c - r) / s, 2)));
  m.NormaliseRows();
  return m;
}

std::shared_ptr<KernelTable> Kernel() {
  static std::shared_ptr<KernelTable> kernel = [] {
    femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
    return KernelTable::FromPair("pp", GridFor(Centres(60), 20.0), WaveFunctionOptions{});
  }();
  return kernel;
}

std::shared_ptr<Model> MakeModel() {
  auto model = std::make_shared<Model>(std::make_shared<KernelSourceCorrelation>(Kernel(), "gx1d"));
  model->SetResolution(Gaussian(Centres(50), Centres(60), 4.0));
  model->AddResidual(Residual{"feed", Residual::Kind::kDecay, CurveTable{"parent", {0, 400}, {1.5, 1}},
                              Gaussian(Centres(60), Centres(80), 15.0)});
  model->AddResidual(Residual{"misid", Residual::Kind::kFlat, {}, {}});
  model->SetBaseline(Baseline{1, std::nullopt});
  return model;
}

const ParameterValues kTruth = {{"R", 1.3},          {"lambdaG", 1.0},     {"lambdaX", 0.0},
                                {"lambda_gen", 0.67}, {"lambda_feed", 0.2}, {"lambda_misid", 0.13},
                                {"N", 0.98},         {"b1", 2e-4}};

MeasuredData Data() {
  static MeasuredData data = [] {
    MeasuredData d;
    d.origin = "bench";
    d.k = Centres(50);
    d.k_low = d.k_high = d.k;
    std::mt19937 random(1);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (double c : MakeModel()->Evaluate(d.k, kTruth)) {
      const double e = 0.006 + 0.05 * std::exp(-d.k[d.value.size()] / 25.0);
      d.value.push_back(c + e * gauss(random));
      d.error.push_back(e);
    }
    return d;
  }();
  return data;
}

FitResult FitOnce(double kmax, double lambda_feed) {
  Analysis a;
  a.AddDataSet({"pp", Data().InRange(0.0, kmax), MakeModel()});
  a.SetParameter({"R", 1.6, 0.5, 3.0, false});
  a.SetParameter({"lambdaG", 1.0, 0.0, 1.0, true});
  a.SetParameter({"lambdaX", 0.0, 0.0, 1.0, true});
  a.SetParameter({"lambda_gen", 0.6, 0.0, 1.0, false});
  a.SetParameter({"lambda_feed", lambda_feed, 0.0, 1.0, true});
  a.SetParameter({"lambda_misid", 1.0 - 0.67 - lambda_feed, 0.0, 1.0, true});
  a.SetParameter({"N", 1.0, 0.8, 1.2, false});
  a.SetParameter({"b1", 0.0, -0.01, 0.01, false});
  return a.Fit();
}

void BM_OneFit50Bins(benchmark::State& state) {
  Kernel();
  Data();
  int evaluations = 0;
  for (auto _ : state) {
    const FitResult r = FitOnce(200.0, 0.2);
    if (!r.converged) state.SkipWithError(r.status.c_str());
    evaluations = r.evaluations;
  }
  state.counters["evaluations"] = evaluations;
}
BENCHMARK(BM_OneFit50Bins)->Unit(benchmark::kMillisecond);

void BM_VariationSet100Fits(benchmark::State& state) {
  Kernel();
  Data();
  for (auto _ : state) {
    int converged = 0;
    for (int i = 0; i < 100; ++i) {
      const double kmax = 120.0 + 8.0 * (i % 10);       // 10 fit ranges
      const double lambda_feed = 0.15 + 0.01 * (i / 10);  // x 10 feed-down fractions
      converged += FitOnce(kmax, lambda_feed).converged ? 1 : 0;
    }
    state.counters["converged"] = converged;
  }
}
BENCHMARK(BM_VariationSet100Fits)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

// femtoanalysisdemo: writes the inputs of the pp analysis example from a known truth,
// so that femtoanalyze can be seen to recover it.
//
// The truth: a Gaussian pp source (gx1d, lambdaG 1, R 1.3 fm) through the pp kernel
// (Reid93 + Coulomb), lambda_gen 0.67; a feed-down residual (lambda 0.20) from an
// illustrative parent correlation carried to the pp k* by a decay matrix; the
// remaining pairs misidentified (flat, lambda 0.13); a Gaussian momentum resolution;
// a linear baseline N (1 + b1 k), N 0.98, b1 2e-4 per MeV/c; Gaussian noise from a
// fixed seed. Outputs in OUTDIR:
//   data.csv         the measured C(k*) in HEPData's CSV layout (62 bins of 4 MeV/c)
//   resolution.dat   M(k_reco, k_true), lines "k_reco k_true weight"
//   parent.dat       the parent pair's correlation "k C" (illustrative shape)
//   decay.dat        T(k_pp, k_parent), lines "k k' weight"
//   truth.txt        the true parameter values
// The parent shape and both matrices are smooth stand-ins with realistic sizes, not
// the result of a decay simulation.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/genuine.h"
#include "analysis/model.h"
#include "numeric/output.h"

namespace {

using namespace femtokit::analysis;

constexpr double kStep = 4.0;          // MeV/c bins
constexpr int kDataBins = 62;          // 0 ... 248 MeV/c
constexpr int kTrueBins = 75;          // 0 ... 300 MeV/c
constexpr double kR = 1.3, kLambdaGen = 0.67, kLambdaFeed = 0.20, kLambdaFlat = 0.13;
constexpr double kN = 0.98, kB1 = 2e-4;

double Centre(int i) { return (i + 0.5) * kStep; }

FILE* Open(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) {
    std::fprintf(stderr, "femtoanalysisdemo: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  return f;
}

// Gaussian rows: weight of column centre c for row centre `mean`.
void WriteGaussianMatrix(const std::string& path, const char* comment, int rows, int cols,
                         double (*mean)(double), double (*sigma)(double)) {
  FILE* f = Open(path);
  std::fprintf(f, "# %s\n# k_row k_col weight (rows are normalised when read)\n", comment);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      const double m = mean(Centre(i)), s = sigma(Centre(i));
      const double w = std::exp(-0.5 * std::pow((Centre(j) - m) / s, 2));
      if (w > 1e-6) std::fprintf(f, "%.2f %.2f %.6e\n", Centre(i), Centre(j), w);
    }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::printf("usage: femtoanalysisdemo OUTDIR [SEED]\n");
    return argc < 2 ? 2 : 0;
  }
  const std::string out = argv[1];
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 20261206u;

  // Resolution: reconstructed k* smeared around the true one, sigma 3 MeV/c + 1 %.
  WriteGaussianMatrix(out + "/resolution.dat", "momentum resolution M(k_reco, k_true)",
                      kDataBins, kTrueBins, [](double k) { return k; },
                      [](double k) { return 3.0 + 0.01 * k; });
  // Feed-down: the daughter pair's k* near 0.8 of the parent's, broadened by the decay.
  WriteGaussianMatrix(out + "/decay.dat", "decay kinematics T(k_daughter, k_parent)", kTrueBins,
                      kTrueBins + 25, [](double k) { return k / 0.8; },
                      [](double k) { return 15.0 + 0.1 * k; });
  {
    FILE* f = Open(out + "/parent.dat");
    std::fprintf(f, "# parent pair correlation (illustrative attractive shape)\n# k C\n");
    for (int j = 0; j < kTrueBins + 25; ++j)
      std::fprintf(f, "%.2f %.6f\n", Centre(j),
                   1.0 + 0.9 * std::exp(-std::pow(Centre(j) / 70.0, 2)));
    std::fclose(f);
  }

  std::vector<double> true_k;
  for (int j = 0; j < kTrueBins; ++j) true_k.push_back(Centre(j));
  auto kernel = KernelTable::FromPair("pp", GridFor(true_k, 20.0), WaveFunctionOptions{});
  Model model(std::make_shared<KernelSourceCorrelation>(kernel, "gx1d"));
  model.SetResolution(ReadBinMatrix(out + "/resolution.dat"));
  Residual feed{"feeddown", Residual::Kind::kDecay, ReadCurveTable(out + "/parent.dat"),
                ReadBinMatrix(out + "/decay.dat")};
  model.AddResidual(feed);
  model.AddResidual(Residual{"misid", Residual::Kind::kFlat, {}, {}});
  model.SetBaseline(Baseline{1, std::nullopt});
  const ParameterValues truth = {{"R", kR},           {"lambdaG", 1.0},
                                 {"lambdaX", 0.0},    {"lambda_gen", kLambdaGen},
                                 {"lambda_feeddown", kLambdaFeed}, {"lambda_misid", kLambdaFlat},
                                 {"N", kN},           {"b1", kB1}};
  std::vector<double> k;
  for (int i = 0; i < kDataBins; ++i) k.push_back(Centre(i));
  const std::vector<double> c = model.Evaluate(k, truth);

  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  FILE* f = Open(out + "/data.csv");
  std::fprintf(f,
               "#: name: pp correlation function (generated by femtoanalysisdemo, seed %u)\n"
               "\"$k^*$ [MeV/$c$]\",\"$k^*$ [MeV/$c$] LOW\",\"$k^*$ [MeV/$c$] HIGH\","
               "\"$C(k^*)$\",\"stat +\",\"stat -\",\"sys +\",\"sys -\"\n",
               seed);
  for (int i = 0; i < kDataBins; ++i) {
    // Few pairs at low k*: larger errors there.
    const double error = 0.006 + 0.05 * std::exp(-k[i] / 25.0);
    std::fprintf(f, "%.2f,%.2f,%.2f,%.6f,%.6f,%.6f,%.6f,%.6f\n", k[i], k[i] - 0.5 * kStep,
                 k[i] + 0.5 * kStep, c[i] + error * gauss(random), error, -error, 0.5 * error,
                 -0.5 * error);
  }
  std::fclose(f);
  f = Open(out + "/truth.txt");
  std::fprintf(f, "# true values behind data.csv\n");
  for (const auto& [name, value] : truth) std::fprintf(f, "%s %g\n", name.c_str(), value);
  std::fclose(f);
  std::printf("wrote data.csv, resolution.dat, parent.dat, decay.dat and truth.txt into %s\n",
              out.c_str());
  return 0;
}

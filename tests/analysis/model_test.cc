// The analysis model's parts: resolution folding (identity and Gaussian), residual lambdas, the kernel-source
// correlation against its closed form, and the kernel grid that follows the data.

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/genuine.h"
#include "analysis/model.h"
#include "analysis_test_util.h"
#include "common/test_util.h"
#include "numeric/constants.h"
#include "source/sourcemodels.h"
#include "kernel/kernel.h"

namespace {

using namespace femtokit::analysis;
using femtokit_test::AnalyticGenuine;
using femtokit_test::Centres;
using femtokit_test::GaussianMatrix;

const ParameterValues kValues = {{"a", 0.8}, {"w", 25.0}, {"lambda_gen", 0.7}, {"N", 1.05},
                                 {"b1", 1e-4}, {"lambda_flat", 0.3}};

// Folding with the identity leaves the model unchanged, residuals and baseline included.
TEST(AnalysisModel, IdentityResolutionChangesNothing) {
  const std::vector<double> k = Centres(40, 5.0);
  Model plain(std::make_shared<AnalyticGenuine>());
  Model folded(std::make_shared<AnalyticGenuine>());
  for (Model* m : {&plain, &folded}) {
    m->AddResidual(Residual{"flat", Residual::Kind::kFlat, {}, {}});
    m->SetBaseline(Baseline{1, std::nullopt});
  }
  folded.SetResolution(IdentityMatrix(k));
  const std::vector<double> a = plain.Evaluate(k, kValues), b = folded.Evaluate(k, kValues);
  for (std::size_t i = 0; i < k.size(); ++i) EXPECT_CLOSE(a[i], b[i], femtokit_test::kRoundoff);
}

// A Gaussian smearing of width sigma applied to C = 1 + a exp(-(k/w)^2) on fine true bins
// equals the convolution integral of the continuous curve (midpoint rule on 0.01 MeV/c
// steps, normalised like the matrix rows over k_true >= 0).
TEST(AnalysisModel, GaussianSmearingEqualsConvolution) {
  const double sigma = 6.0, a = 0.8, w = 25.0;
  const std::vector<double> reco = Centres(30, 4.0);
  const std::vector<double> truth = Centres(800, 0.25);  // 0 ... 200 MeV/c
  Model model(std::make_shared<AnalyticGenuine>());
  model.SetResolution(GaussianMatrix(reco, truth, sigma));
  const std::vector<double> c = model.Evaluate(reco, {{"a", a}, {"w", w}});
  for (std::size_t i = 0; i < reco.size(); ++i) {
    double num = 0.0, den = 0.0;
    for (double x = 0.005; x < 200.0; x += 0.01) {
      const double g = std::exp(-0.5 * std::pow((x - reco[i]) / sigma, 2));
      num += g * a * std::exp(-(x / w) * (x / w));
      den += g;
    }
    EXPECT_CLOSE_ABS(c[i] - 1.0, num / den, 2e-4, 1e-6) << "k = " << reco[i];
  }
  // The smearing matters: at the peak it lowers C clearly.
  EXPECT_LT(c[0] - 1.0, 0.97 * a);
}

// Flat residuals whose lambdas complete lambda_gen to 1 keep C = 1 wherever C_gen = 1,
// with and without resolution, for several lambda sets.
struct LambdaSet {
  double gen, first, second;
};
class FlatResiduals : public ::testing::TestWithParam<LambdaSet> {};

TEST_P(FlatResiduals, KeepUnityWhereGenuineIsUnity) {
  const LambdaSet s = GetParam();
  const std::vector<double> k = Centres(30, 10.0);  // genuine exactly 1 above 100 MeV/c
  for (bool fold : {false, true}) {
    Model model(std::make_shared<AnalyticGenuine>(100.0));
    model.AddResidual(Residual{"misid", Residual::Kind::kFlat, {}, {}});
    model.AddResidual(Residual{"other", Residual::Kind::kFlat, {}, {}});
    if (fold) model.SetResolution(GaussianMatrix(k, k, 3.0));
    const std::vector<double> c = model.Evaluate(
        k, {{"lambda_gen", s.gen}, {"lambda_misid", s.first}, {"lambda_other", s.second}});
    for (std::size_t i = 0; i < k.size(); ++i)
      if (k[i] > 130.0) {
        EXPECT_CLOSE(c[i], 1.0, femtokit_test::kRoundoff) << "k = " << k[i];
      }
    EXPECT_GT(c[0], 1.0);  // below the cut the genuine part shows
  }
}

INSTANTIATE_TEST_SUITE_P(Lambdas, FlatResiduals,
                         ::testing::Values(LambdaSet{1.0, 0.0, 0.0}, LambdaSet{0.67, 0.2, 0.13},
                                           LambdaSet{0.3, 0.5, 0.2}));

// A decay residual is the parent table carried by the matrix rows; a table residual is
// read between its points.
TEST(AnalysisModel, DecayResidualCarriesParentThroughMatrix) {
  const std::vector<double> k = Centres(10, 10.0);
  CurveTable parent{"parent", {0.0, 200.0}, {3.0, 1.0}};  // 3 - k / 100
  BinMatrix shift = GaussianMatrix(k, k, 1e-3);            // identity up to rounding
  shift.col_k = Centres(10, 20.0);                          // daughter k -> parent 2k
  Model model(std::make_shared<AnalyticGenuine>(0.0));
  model.AddResidual(Residual{"feed", Residual::Kind::kDecay, parent, shift});
  const std::vector<double> c = model.Evaluate(k, {{"lambda_gen", 0.5}, {"lambda_feed", 0.5}});
  for (std::size_t i = 0; i < k.size(); ++i)
    EXPECT_CLOSE(c[i], 1.0 + 0.5 * (2.0 - 2.0 * k[i] / 100.0), 1e-9) << "k = " << k[i];
}

// Through the non-interacting identical-boson kernel, a Gaussian source gives
// C - 1 = lambda exp(-4 k^2 R^2 / (hbar c)^2).
TEST(AnalysisModel, KernelSourceMatchesClosedForm) {
  const std::vector<double> k = Centres(25, 4.0);
  std::shared_ptr<KernelTable> kernel;
  CAPTURE_STDOUT(kernel = KernelTable::PureHBT(GridFor(k, 25.0, 0.1)));
  KernelSourceCorrelation genuine(kernel, "gx1d");
  const double R = 2.0, lambda = 0.8, hbarc = femtokit::constants::kHbarC;
  const std::vector<double> c = genuine.Evaluate(k, {{"R", R}, {"lambdaG", lambda}, {"lambdaX", 0.0}});
  for (std::size_t i = 0; i < k.size(); ++i)
    EXPECT_CLOSE_ABS(c[i] - 1.0, lambda * std::exp(-4.0 * std::pow(k[i] * R / hbarc, 2)), 2e-3,
                     2e-4)
        << "k = " << k[i];
  EXPECT_GT(genuine.last_inside_fraction(), kRequiredInsideFraction);
  EXPECT_TRUE(genuine.Warnings().empty());
}

// A source that reaches beyond the kernel's r grid is reported, and the radius the
// configuration would choose holds it.
TEST(AnalysisModel, SourceBeyondKernelGridIsReported) {
  const std::vector<double> k = Centres(10, 4.0);
  std::shared_ptr<KernelTable> kernel;
  CAPTURE_STDOUT(kernel = KernelTable::PureHBT(GridFor(k, 15.0)));
  KernelSourceCorrelation genuine(kernel, "gx1d");
  CAPTURE_STDOUT(genuine.Evaluate(k, {{"R", 5.5}, {"lambdaG", 1.0}, {"lambdaX", 0.0}}));
  EXPECT_LT(genuine.last_inside_fraction(), 0.9);
  ASSERT_EQ(genuine.Warnings().size(), 1u);
  EXPECT_NE(genuine.Warnings()[0].find("15 fm"), std::string::npos);
  const double r = RequiredRadius("gx1d", {}, {{{"R", 5.5}, {"lambdaX", 0.0}}});
  EXPECT_GE(r, 30.0);
  EXPECT_LE(r, 40.0);
}

// The kernel's q grid is the data's own when the data are centres of a uniform grid,
// else finer than the data's smallest spacing; it always reaches the last k.
TEST(AnalysisModel, KernelGridFollowsData) {
  KernelGrid g = GridFor(Centres(50, 4.0), 20.0, 0.5);
  EXPECT_DOUBLE_EQ(g.delq, 4.0);
  EXPECT_EQ(g.nq, 50);
  EXPECT_EQ(g.nr, 40);
  g = GridFor({3.0, 10.0, 30.0, 100.0}, 20.0, 0.5);
  EXPECT_DOUBLE_EQ(g.delq, 3.5);
  EXPECT_GE((g.nq - 0.5) * g.delq, 100.0);
}

// Every source model of the registry plugs into the kernel-source correlation: at its
// default parameters C_gen is finite, and through the identical-boson kernel C - 1 at
// k -> 0 is the source's lambda inside the grid (K_0 -> 1 there) and falls off with k.
// The event-file model needs an event file and is left to its own tests.
class RegistrySources : public ::testing::TestWithParam<std::string> {};

TEST_P(RegistrySources, GiveAFiniteFallingCorrelation) {
  const std::vector<double> k = femtokit_test::Centres(300, 1.0);
  std::shared_ptr<KernelTable> kernel;
  CAPTURE_STDOUT(kernel = KernelTable::PureHBT(GridFor(k, 60.0, 0.25)));
  KernelSourceCorrelation genuine(kernel, GetParam());
  std::vector<double> c;
  CAPTURE_STDOUT(c = genuine.Evaluate(k, {}));
  for (double x : c) EXPECT_TRUE(std::isfinite(x));
  EXPECT_GT(genuine.last_lambda_inside(), 0.0);
  EXPECT_CLOSE_ABS(c[0] - 1.0, genuine.last_lambda_inside(), 0.05, 1e-3);
  EXPECT_LT(std::fabs(c.back() - 1.0), 0.1 * std::fabs(c[0] - 1.0));
}

std::vector<std::string> ModelsWithoutInputFiles() {
  std::vector<std::string> names;
  const std::vector<std::string> need_files = {"oscar", "events", "histogram"};
  for (const auto& m : femtokit::SourceModels())
    if (std::find(need_files.begin(), need_files.end(), m.name) == need_files.end())
      names.push_back(m.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Models, RegistrySources, ::testing::ValuesIn(ModelsWithoutInputFiles()),
                         [](const auto& info) { return info.param; });

// A kernel directory is read with its grid taken from the file names and headers: the
// same K_0 as the kernel that wrote it.
TEST(AnalysisModel, KernelDirectoryReadsBackWithoutParameterFile) {
  femtokit_test::ScratchDir dir;
  femtokit_test::WriteTextFile(dir / "k.dat",
                               "int NQMAX 12\ndouble DELQ 5\nint NRMAX 30\ndouble DELR 0.4\n"
                               "int KLMAX 2\nbool IDENTICAL 1\n");
  std::shared_ptr<femtokit::analysis::KernelTable> read;
  CAPTURE_STDOUT({
    CKernel written((dir / "k.dat").c_str());
    written.Calc_PureHBT();
    written.Write((dir / "kdir").c_str());
    read = femtokit::analysis::KernelTable::FromDirectory(dir / "kdir");
  });
  EXPECT_EQ(read->nr(), 30);
  EXPECT_DOUBLE_EQ(read->delr(), 0.4);
  EXPECT_DOUBLE_EQ(read->kmax(), 60.0);
  for (double k : {2.5, 17.5, 57.5})
    for (double r : {0.2, 3.4, 11.8})
      EXPECT_CLOSE_ABS(read->K0(k, r),
                       std::sin(2 * k * r / femtokit::constants::kHbarC) /
                           (2 * k * r / femtokit::constants::kHbarC),
                       1e-8, 1e-9)
          << k << " " << r;
}

}  // namespace

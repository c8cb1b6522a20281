// Analysis configurations: data sets sharing and renaming parameters, one kernel for
// the sets that need the same, an r grid that holds the source over the parameter
// bounds, variations merged into the nominal configuration, and the spread over them.

#include <string>

#include "analysis/analysisconfig.h"
#include "analysis/writers.h"
#include "common/test_util.h"

namespace {

using namespace femtokit::analysis;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

const char* kConfig = R"(
[[dataset]]
name = "low"
kbins = [0, 80, 4]
kernel = { hbt = true }
source = { model = "gx1d" }
rename = { lambda_gen = "lambda_low" }
baseline = { degree = 1 }

[[dataset]]
name = "high"
kbins = [0, 80, 4]
kernel = { hbt = true }
source = { model = "gx1d" }
rename = { lambda_gen = "lambda_high" }

[parameters]
R = { start = 5.5, lower = 1.0, upper = 8.0 }
lambdaX = 0.0
lambda_low = { start = 0.5, lower = 0.0, upper = 1.0 }
lambda_high = 0.7
b1 = 1e-4

[[variation]]
name = "short range, flat baseline"
dataset = { range = [0, 40], baseline = { degree = 0 } }
parameters = { lambda_high = 0.6 }
)";

const KernelSourceCorrelation& Genuine(const DataSet& set) {
  return dynamic_cast<const KernelSourceCorrelation&>(set.model->genuine());
}

TEST(AnalysisConfig, BuildsSharedParametersKernelAndVariations) {
  AnalysisConfig config = AnalysisConfig::Parse(kConfig, "");
  AnalysisSetup nominal;
  CAPTURE_STDOUT(nominal = config.Build());
  const auto& sets = nominal.analysis.data_sets();
  ASSERT_EQ(sets.size(), 2u);
  // R is shared, each set has its own lambda under its fit name.
  const std::vector<std::string> names = nominal.analysis.ParameterNames();
  for (const char* n : {"R", "lambda_low", "lambda_high", "N", "b1"})
    EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
  EXPECT_EQ(std::find(names.begin(), names.end(), "lambda_gen"), names.end());
  // One kernel for both; its r grid holds a source of R up to its upper bound 8 fm
  // (99.9 % within about 5.7 R) -- a grid of 15 fm would have truncated even R = 5.5 fm.
  EXPECT_EQ(&Genuine(sets[0]).kernel(), &Genuine(sets[1]).kernel());
  EXPECT_GE(Genuine(sets[0]).kernel().rmax(), 45.0);
  EXPECT_LE(Genuine(sets[0]).kernel().rmax(), 55.0);
  const ParameterValues start = nominal.analysis.StartValues();
  EXPECT_EQ(start.at("lambdaG"), 0.3);  // unset source parameters keep the model's values
  EXPECT_EQ(start.at("N"), 1.0);

  // The variation: range and baseline merged into every set, its parameter value used,
  // and b1 (set for the nominal baseline) simply unused.
  ASSERT_EQ(config.VariationNames().size(), 1u);
  AnalysisSetup v;
  CAPTURE_STDOUT(v = config.Build(0));
  EXPECT_EQ(v.name, "short range, flat baseline");
  EXPECT_EQ(v.analysis.nbins(), 20);
  EXPECT_EQ(v.analysis.StartValues().at("lambda_high"), 0.6);
  EXPECT_EQ(v.analysis.StartValues().count("b1"), 0u);
  // The configuration echoes as JSON.
  EXPECT_NE(config.Json().find("\"lambda_high\""), std::string::npos);
}

// The spread covers converged variations only.
TEST(AnalysisConfig, SpreadOverConvergedVariations) {
  FitResult nominal;
  nominal.names = {"R"};
  nominal.values = {2.0};
  std::vector<FitResult> variations(3, nominal);
  variations[0].values = {2.2};
  variations[0].converged = true;
  variations[1].values = {1.9};
  variations[1].converged = true;
  variations[2].values = {9.0};  // did not converge: left out
  const ParameterSpread s = Spread(nominal, variations).at(0);
  EXPECT_EQ(s.n, 2);
  EXPECT_CLOSE(s.mean, 2.05, femtokit_test::kRoundoff);
  EXPECT_CLOSE(s.rms, 0.15, 1e-9);
  EXPECT_CLOSE(s.max_deviation, 0.2, 1e-9);
  EXPECT_EQ(s.max, 2.2);
  EXPECT_EQ(s.min, 1.9);
}

}  // namespace

// femtoanalyze run as a program: every bad input ends with its message and status 1;
// a good configuration fits, predicts and writes its files. Also the HEPData layout of
// the data reader.

#include <filesystem>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <string>

#include "analysis/measureddata.h"
#include "common/test_util.h"

namespace {

using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// The text contains the regular expression (the text is shown when it does not).
::testing::AssertionResult Has(const std::string& text, const std::string& regex) {
  if (std::regex_search(text, std::regex(regex))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no match for '" << regex << "' in:\n" << text;
}

// C = 1 + 0.5 exp(-(k/40)^2) at 20 bins of 5 MeV/c.
std::string GoodData() {
  std::string text = "# a test correlation\nk,C,error\n";
  char line[80];
  for (int i = 0; i < 20; ++i) {
    const double k = 2.5 + 5.0 * i;
    std::snprintf(line, sizeof line, "%g,%.6f,0.01\n", k, 1.0 + 0.5 * std::exp(-k * k / 1600.0));
    text += line;
  }
  return text;
}

const char* kGoodConfig = R"([[dataset]]
name = "d"
file = "data.csv"
range = [0, 100]
kernel = { hbt = true, rmax = 20 }
source = { model = "gx1d" }
resolution = "res.dat"

[parameters]
R = { start = 1.5, lower = 0.3, upper = 5.0 }
lambdaG = 1.0
lambdaX = 0.0
lambda_gen = { start = 0.5, lower = 0.0, upper = 1.0 }
)";

std::string Identity() {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::to_string(2.5 + 5.0 * i) + " " + std::to_string(2.5 + 5.0 * i) + " 1\n";
  return text;
}

class FemtoAnalyze : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTextFile(dir_ / "data.csv", GoodData());
    WriteTextFile(dir_ / "analysis.toml", kGoodConfig);
    WriteTextFile(dir_ / "res.dat", Identity());
  }
  int Run(const std::string& args, std::string* out = nullptr) {
    const femtokit_test::ProgramRun run = femtokit_test::RunProgram(dir_.str(), "femtoanalyze", args);
    if (out != nullptr) *out = run.out + run.err;
    return run.status;
  }
  ScratchDir dir_;
};

// One bad input each: the file it is in, the text replaced, its replacement, the message.
struct BadInput {
  const char* name;
  const char* file;
  const char* from;
  const char* to;
  const char* message;
};

const BadInput kBadInputs[] = {
    {"UnknownColumn", "analysis.toml", "file = \"data.csv\"", "file = \"data.csv\"\ncolumns = { value = \"CF\" }", "unknown value column 'CF'"},
    {"MissingColumn", "data.csv", "k,C,error", "k,C,sig", "no error column"},
    {"NoHeader", "data.csv", "k,C,error\n", "", "no header line"},
    {"DuplicateK", "data.csv", "7.5,", "2.5,", "k is not increasing at bin 1"},
    {"ZeroError", "data.csv", ",0.01\n", ",0\n", "bin 0 \\(k=2.5\\) has error 0 "},
    {"NanError", "data.csv", ",0.01\n", ",nan\n", "has error nan"},
    {"InfiniteValue", "data.csv", "\n2.5,", "\n2.5,inf,", "value that is not finite"},
    {"TextInRow", "data.csv", "7.5,", "seven,", "not a row of numbers"},
    {"ShortRow", "data.csv", ",0.01\n", "\n", "2 values for 3 columns"},
    {"EmptyRange", "analysis.toml", "range = [0, 100]", "range = [200, 300]", "holds no data bin"},
    {"MissingFile", "analysis.toml", "data.csv", "nothere.csv", "cannot open data file .*nothere.csv"},
    {"UnknownKey", "analysis.toml", "range =", "rnage =", "unknown key 'rnage' in dataset\\[0\\]"},
    {"UnknownTopKey", "analysis.toml", "[parameters]", "[parametres]", "unknown key 'parametres'"},
    {"UnknownSource", "analysis.toml", "\"gx1d\"", "\"gauss\"", "unknown source model gauss"},
    {"StartOutsideBounds", "analysis.toml", "start = 1.5", "start = 7.5", "R: start value 7.5 lies outside"},
    {"MisspeltParameter", "analysis.toml", "lambdaX = 0.0", "lambdaY = 0.0", "'lambdaY' is not read by any model"},
    {"TomlSyntax", "analysis.toml", "name = \"d\"", "name = \"d", "configuration: "},
    {"ResolutionWithoutRow", "res.dat", "7.500000 7.500000 1\n", "", "no row for k = 7.5"},
    {"NegativeWeight", "res.dat", "7.500000 7.500000 1", "7.500000 7.500000 -1", "negative weight"},
    {"MisspeltRename", "analysis.toml", "range = [0, 100]", "range = [0, 100]\nrename = { lambda_gn = \"l1\" }", "no parameter 'lambda_gn' to rename"},
    {"UnknownMinimizer", "analysis.toml", "[[dataset]]", "[fit]\nminimizer = \"simplex\"\n[[dataset]]", "minimizer 'simplex' unknown"},
};

class FemtoAnalyzeBadInput : public FemtoAnalyze, public ::testing::WithParamInterface<BadInput> {};

TEST_P(FemtoAnalyzeBadInput, FailsWithMessageAndStatusOne) {
  const BadInput& bad = GetParam();
  const std::string path = dir_ / bad.file;
  std::string text = ReadTextFile(path);
  const std::size_t at = text.find(bad.from);
  ASSERT_NE(at, std::string::npos) << bad.from;
  text.replace(at, std::string(bad.from).size(), bad.to);
  WriteTextFile(path, text);
  std::string out;
  EXPECT_EQ(Run("analysis.toml", &out), 1) << out;
  EXPECT_TRUE(Has(out, bad.message));
  EXPECT_FALSE(std::ifstream(dir_ / "result.json").good()) << "no result for bad input";
}

INSTANTIATE_TEST_SUITE_P(Inputs, FemtoAnalyzeBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// A good configuration fits (status 0), reports convergence in result.json with the
// echoed configuration and the version, and writes every curve; usage errors give 2.
TEST_F(FemtoAnalyze, FitsAndWritesResults) {
  std::string out;
  ASSERT_EQ(Run("--quiet analysis.toml", &out), 0) << out;
  EXPECT_TRUE(Has(out, "nominal: converged"));
  const std::string json = ReadTextFile(dir_ / "result.json");
  EXPECT_TRUE(Has(json, "\"converged\": true"));
  EXPECT_TRUE(Has(json, "\"femtokit_version\""));
  EXPECT_TRUE(Has(json, "\"configuration\""));
  EXPECT_TRUE(Has(json, "one standard deviation"));
  const std::string csv = ReadTextFile(dir_ / "curves.csv");
  EXPECT_EQ(csv.rfind("set,k,k_low,k_high,data,error,model,baseline,C_gen,term_genuine\n", 0), 0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 21);

  EXPECT_EQ(Run("", &out), 2);
  EXPECT_EQ(Run("--bogus analysis.toml", &out), 2);
  EXPECT_EQ(Run("--version", &out), 0);
  EXPECT_TRUE(Has(out, "femtoanalyze \\(femtokit\\)"));
}

// --predict with k bins and no data writes the model only; a plot that cannot be made
// leaves the results and exits 3 with the reason.
TEST_F(FemtoAnalyze, PredictsAndReportsMissingPlot) {
  std::string config = kGoodConfig;
  config.replace(config.find("file = \"data.csv\""), 17, "kbins = [0, 100, 5]");
  config.replace(config.find("resolution = \"res.dat\"\n"), 23, "");
  WriteTextFile(dir_ / "predict.toml", config);
  const femtokit_test::ProgramRun run =
      femtokit_test::RunProgram(dir_.str(), "femtoanalyze", "--predict --plot p.png predict.toml",
                                "FEMTOKIT_ANALYSISPLOT=/nonexistent/analysisplot.py");
  const std::string out = run.out + run.err;
  EXPECT_EQ(run.status, 3) << out;
  EXPECT_TRUE(Has(out, "plot not made"));
  EXPECT_TRUE(Has(out, "d 2.5 1."));
  const std::string csv = ReadTextFile(dir_ / "curves.csv");
  EXPECT_TRUE(Has(csv, "d,2.5,0,5,,,"));  // no data, no error
  EXPECT_TRUE(Has(ReadTextFile(dir_ / "result.json"), "\"mode\": \"predict\""));
}

// HEPData's CSV: quoted names with commas, bin edges, stat and sys pairs; the error is
// the stat pair's mean magnitude, with the sys pair in quadrature on request.
TEST(MeasuredData, ReadsHEPDataLayout) {
  ScratchDir dir;
  WriteTextFile(dir / "hep.csv",
                "#: name: Table 1\n"
                "\"$k^*$ [MeV/$c$]\",\"$k^*$ [MeV/$c$] LOW\",\"$k^*$ [MeV/$c$] HIGH\","
                "\"$C(k^*)$\",\"stat +\",\"stat -\",\"sys +\",\"sys -\"\n"
                "10,0,20,1.5,0.03,-0.05,0.03,-0.03\n30,20,40,1.1,0.02,-0.02,0.0,-0.0\n");
  using femtokit::analysis::ReadMeasuredData;
  const auto stat = ReadMeasuredData(dir / "hep.csv");
  ASSERT_EQ(stat.size(), 2u);
  EXPECT_EQ(stat.k_low[1], 20.0);
  EXPECT_EQ(stat.k_high[1], 40.0);
  EXPECT_EQ(stat.value[0], 1.5);
  EXPECT_CLOSE(stat.error[0], 0.04, femtokit_test::kRoundoff);
  femtokit::analysis::DataColumns sys;
  sys.add_systematic = true;
  EXPECT_CLOSE(ReadMeasuredData(dir / "hep.csv", sys).error[0], 0.05, femtokit_test::kRoundoff);
}

// Component directories hold C - 1 at bin centres (i + 0.5) RADSTEP and their errors;
// directories with different bins are refused.
TEST(MeasuredData, ReadsComponentDirectories) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "cf");
  std::filesystem::create_directories(dir / "cf_errors");
  std::filesystem::create_directories(dir / "other_errors");
  WriteTextFile(dir / "cf/lx0_ly0_lz0.tmp", "3 4\n0.5\n0.25\n0.125\n");
  WriteTextFile(dir / "cf_errors/lx0_ly0_lz0.tmp", "3 4\n0.01\n0.01\n0.02\n");
  WriteTextFile(dir / "other_errors/lx0_ly0_lz0.tmp", "3 5\n0.01\n0.01\n0.02\n");
  const auto d = femtokit::analysis::ReadComponentDirectory(dir / "cf", dir / "cf_errors");
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d.k[2], 10.0);
  EXPECT_EQ(d.k_high[2], 12.0);
  EXPECT_EQ(d.value[1], 1.25);
  EXPECT_EQ(d.error[2], 0.02);
  EXPECT_FATAL(femtokit::analysis::ReadComponentDirectory(dir / "cf", dir / "other_errors"),
               "different bins");
}

}  // namespace

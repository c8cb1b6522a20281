// The Lednicky-Lyuboshitz model as the genuine correlation of an analysis: the built-in
// pairs carry the solver's scattering parameters, parameter names reach the right channel, and
// the configuration selects and checks it (fits of analysis models: fit_test.cc).

#include <string>

#include "analysis/analysisconfig.h"
#include "analysis/fit.h"
#include "analysis/genuine.h"
#include "analysis/lednickycorrelation.h"
#include "common/test_util.h"

namespace {

using namespace femtokit::analysis;
using femtokit::LednickyCF;
using femtokit::LednickyChannel;

// A neutral distinct pair with an absorptive singlet, for tests that need no solver.
NamedLednickyPair TwoChannelPair() {
  NamedLednickyPair p;
  p.name = "test";
  p.pair.channels = {LednickyChannel{0.25, 0, {2.9, 0.3}, 2.8}, LednickyChannel{0.75, 1, {1.5, 0.0}, 2.7}};
  p.channel_names = {"singlet", "triplet"};
  return p;
}

// Scattering parameters of the built-in pairs against values measured or found by an
// independent solution (f0 in the femtoscopy sign = -a):
//  pp 1S0 Coulomb-modified a = -7.823 fm, r0 = 2.794 fm (Noyes and Lipinski 1971);
//  nn 1S0 of Reid93 a = -17.5 fm (an independent solution quoted with the exact-solver work).
struct ScatteringCase {
  const char* pair;
  const char* channel;
  double f0, d0, f0_tol, d0_tol;
};

class BuiltinPair : public ::testing::TestWithParam<ScatteringCase> {};

TEST_P(BuiltinPair, CarriesTheSolversScatteringParameters) {
  const ScatteringCase& c = GetParam();
  const LednickyCorrelation ll(BuiltinLednickyPair(c.pair));
  EXPECT_NEAR(ll.DefaultValue(std::string("re_f0_") + c.channel), c.f0, c.f0_tol);
  EXPECT_NEAR(ll.DefaultValue(std::string("d0_") + c.channel), c.d0, c.d0_tol);
  EXPECT_EQ(ll.DefaultValue(std::string("im_f0_") + c.channel), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Pairs, BuiltinPair,
                         ::testing::Values(ScatteringCase{"pp", "singlet", 7.823, 2.794, 0.1, 0.1},
                                           ScatteringCase{"nn", "singlet", 17.5, 2.8, 0.4, 0.2}),
                         [](const auto& info) { return std::string(info.param.pair); });

// Identical fermions: the spin-triplet s wave cannot enter, so it has no parameters; the
// built-in pp equals kernel/lednicky.h on the same channels.
TEST(LednickyCorrelation, IdenticalPairSkipsOddChannelsAndMatchesTheModel) {
  LednickyCorrelation ll(BuiltinLednickyPair("pp"));
  const std::vector<std::string> names = ll.ParameterNames();
  EXPECT_EQ(names, (std::vector<std::string>{"R", "re_f0_singlet", "im_f0_singlet", "d0_singlet"}));
  EXPECT_TRUE(ll.pair().pair.identical);
  EXPECT_EQ(ll.pair().pair.z1z2, 1);
  const std::vector<double> k = {5.0, 20.0, 60.0};
  const std::vector<double> c = ll.Evaluate(k, {{"R", 1.3}});
  const std::vector<double> direct = LednickyCF(ll.pair().pair, 1.3, k);
  for (std::size_t i = 0; i < k.size(); ++i) EXPECT_CLOSE(c[i], direct[i], 1e-14);
  EXPECT_GT(*std::max_element(c.begin(), c.end()), 1.2);  // the pp peak near 20 MeV/c
}

// Each named parameter changes its own channel only: the result equals the model with that
// channel edited by hand.
TEST(LednickyCorrelation, ParametersReachTheirChannel) {
  LednickyCorrelation ll(TwoChannelPair());
  const std::vector<double> k = {3.0, 15.0, 40.0, 120.0};
  const ParameterValues p = {{"R", 2.2}, {"re_f0_triplet", -0.8}, {"im_f0_singlet", 0.9}, {"d0_singlet", 1.1}};
  femtokit::LednickyPair edited = TwoChannelPair().pair;
  edited.channels[1].f0 = {-0.8, 0.0};
  edited.channels[0].f0 = {2.9, 0.9};
  edited.channels[0].d0 = 1.1;
  const std::vector<double> c = ll.Evaluate(k, p);
  const std::vector<double> direct = LednickyCF(edited, 2.2, k);
  for (std::size_t i = 0; i < k.size(); ++i) EXPECT_CLOSE(c[i], direct[i], 1e-14);
  EXPECT_FATAL(ll.Evaluate(k, {{"R", 0.0}}), "radius R must be positive");
  NamedLednickyPair bad = TwoChannelPair();
  bad.pair.channels[0].weight = 0.5;
  EXPECT_FATAL(LednickyCorrelation{bad}, "weights sum to 1.25");
}

// The configuration: a built-in pair with a channel overridden, or a pair described in full.
TEST(AnalysisConfig, BuildsLednickyGenuineCorrelation) {
  const AnalysisSetup s = AnalysisConfig::Parse(R"(
[[dataset]]
kbins = [0, 100, 5]
genuine = "lednicky"
lednicky = { pair = "plambda", channels = [{ name = "triplet", f0 = [1.2, 0.1] }] }
[parameters]
R = { start = 1.2, lower = 0.5, upper = 3 }
)", "").Build();
  const auto& ll = dynamic_cast<const LednickyCorrelation&>(s.analysis.data_sets()[0].model->genuine());
  EXPECT_EQ(ll.DefaultValue("re_f0_triplet"), 1.2);
  EXPECT_EQ(ll.DefaultValue("im_f0_triplet"), 0.1);
  EXPECT_GT(ll.DefaultValue("re_f0_singlet"), 0.5);  // attractive Usmani singlet, from the solver

  const AnalysisSetup full = AnalysisConfig::Parse(R"(
[[dataset]]
kbins = [0, 100, 5]
genuine = "lednicky"
[dataset.lednicky]
masses = [938.272, 1321.71]
charges = [1, -1]
channels = [{ name = "a", spin = 0, weight = 0.25, f0 = -0.5, d0 = 1 }, { spin = 1, weight = 0.75, f0 = 0.3 }]
)", "").Build();
  const auto& p = dynamic_cast<const LednickyCorrelation&>(full.analysis.data_sets()[0].model->genuine()).pair();
  EXPECT_EQ(p.channel_names, (std::vector<std::string>{"a", "S1"}));
  EXPECT_EQ(p.pair.z1z2, -1);
  EXPECT_NEAR(p.pair.mu, 938.272 * 1321.71 / (938.272 + 1321.71), 1e-9);
}

// A systematic variation may switch a kernel-source analysis to the analytic model: the
// nominal kernel and source are dropped there, the shared radius R stays.
TEST(AnalysisConfig, VariationSwitchesToLednicky) {
  const AnalysisConfig config = AnalysisConfig::Parse(R"(
[[dataset]]
kbins = [0, 100, 5]
kernel = { hbt = true, rmax = 20 }
source = { model = "gx1d" }
[parameters]
R = { start = 1.2, lower = 0.5, upper = 3 }
lambdaX = 0.0
[[variation]]
name = "analytic"
dataset = { genuine = "lednicky", lednicky = { pair = "nn" } }
)", "");
  const AnalysisSetup nominal = config.Build();
  const AnalysisSetup analytic = config.Build(0);
  EXPECT_NE(dynamic_cast<const KernelSourceCorrelation*>(&nominal.analysis.data_sets()[0].model->genuine()), nullptr);
  EXPECT_NE(dynamic_cast<const LednickyCorrelation*>(&analytic.analysis.data_sets()[0].model->genuine()), nullptr);
  EXPECT_EQ(analytic.analysis.StartValues().at("R"), 1.2);
}

struct BadLednicky {
  const char* name;
  const char* lednicky;  // the dataset lines after genuine = "lednicky"
  const char* message;
};

const BadLednicky kBadLednicky[] = {
    {"UnknownPair", "lednicky = { pair = \"pxi\" }", "unknown built-in pair 'pxi'; known: pp nn plambda pomega"},
    {"UnknownChannel", "lednicky = { pair = \"pp\", channels = [{ name = \"quintet\" }] }", "'quintet' is no channel of pair pp"},
    {"PairAndMasses", "lednicky = { pair = \"pp\", masses = [1, 1] }", "masses comes from the built-in pair"},
    {"ChargedWithoutMasses", "lednicky = { charges = [1, 1], channels = [{ f0 = 1 }] }", "needs masses"},
    {"WeightsOff", "lednicky = { channels = [{ weight = 0.5, f0 = 1 }] }", "weights sum to 0.5"},
    {"BadF0", "lednicky = { channels = [{ f0 = [1, 2, 3] }] }", "f0 must be a number or \\[re, im\\]"},
    {"KernelToo", "lednicky = { pair = \"nn\" }\nkernel = { hbt = true }", "kernel is not used with genuine"},
    {"Missing", "", "needs lednicky = "},
    {"UnknownKey", "lednicky = { pair = \"nn\", radius = 2 }", "unknown key 'radius' in dataset\\[0\\].lednicky"},
};

class AnalysisConfigBadLednicky : public ::testing::TestWithParam<BadLednicky> {};

TEST_P(AnalysisConfigBadLednicky, IsFatalWithItsMessage) {
  const std::string text =
      std::string("[[dataset]]\nkbins = [0, 100, 5]\ngenuine = \"lednicky\"\n") + GetParam().lednicky + "\n";
  EXPECT_FATAL(AnalysisConfig::Parse(text, "").Build(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Inputs, AnalysisConfigBadLednicky, ::testing::ValuesIn(kBadLednicky),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

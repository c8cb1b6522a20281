// The phase-shift programs: femtophases (usage errors, and the phases it writes are the
// solver's) and femtophaseshifts, which regenerates the checked-in
// wavefunctions/phaseshift_tables.cc (numbers to ten digits, the code around them exactly), so the
// tables trace back to their parametrisations.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "wavefunctions/radialsolver.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

int RunFemtoPhases(const ScratchDir& dir, const std::string& args, std::string* out) {
  const femtokit_test::ProgramRun run = femtokit_test::RunProgram(dir.str(), "femtophases", args);
  *out = run.out;
  return run.status;
}

TEST(FemtoPhases, UsageErrorsExitWithStatusTwo) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble DELQ 10.0\n");
  std::string out;
  for (const char* args : {"", "pp", "nosuchpair wf.dat", "pkplus wf.dat"})
    EXPECT_EQ(RunFemtoPhases(dir, args, &out), 2) << args;
}

TEST(FemtoPhases, WritesTheSolverPhasesOfEveryWave) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble DELQ 40.0\n");
  std::string out;
  ASSERT_EQ(RunFemtoPhases(dir, "nn wf.dat", &out), 0);
  // Four wave blocks, the 1S0 one with its scattering length, the 3P2 one with three phases.
  EXPECT_EQ(femtokit_test::CountOf(out, "# pair nn"), 4);
  EXPECT_NE(out.find("# a = -17.5"), std::string::npos) << out;
  const femtokit::RadialWave s(std::make_shared<femtokit::Reid93Wave>("1S0", "NN"), 0,
                               femtokit::constants::kMassNeutron / 2.0, 0);
  std::istringstream lines(out.substr(out.find("# q[MeV/c] delta[deg]\n") + 22));
  double q, delta;
  ASSERT_TRUE(lines >> q >> delta);
  EXPECT_EQ(q, 20.0);
  EXPECT_NEAR(delta, s.Solve(20.0, false).delta * 180.0 / femtokit::constants::kPi, 1e-6);
  EXPECT_NE(out.find("delta2[deg] eps[deg]"), std::string::npos);
}

// The demo's potential file, named from its wave-function parameters: the sheet's Usmani check
// values (f0 = 2.88 and 1.66 fm; printed in the nuclear sign, a = -2.8797 and -1.6617 fm).
TEST(FemtoPhases, ReadsThePairOfTheDemoPotentialFile) {
  ScratchDir dir;
  std::string out;
  ASSERT_EQ(RunFemtoPhases(dir,
                           "potential '" + std::string(FEMTOKIT_SOURCE_DIR) +
                               "/demo/potentials/wfparameters.dat'",
                           &out),
            0);
  EXPECT_NE(out.find("# a = -2.87"), std::string::npos) << out.substr(0, 400);
  EXPECT_NE(out.find("# a = -1.66"), std::string::npos);
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The numbers of a table line ("    1.5, -2e-07, ..."), or none for other lines.
std::vector<double> Numbers(const std::string& line) {
  std::vector<double> values;
  std::stringstream ss(line);
  for (std::string token; std::getline(ss, token, ',');) {
    char* end = nullptr;
    const double v = std::strtod(token.c_str(), &end);
    if (end != token.c_str()) values.push_back(v);
  }
  return values;
}

TEST(PhaseShiftGenerator, RegeneratesTheCheckedInTablesAndNeedsAnOutputName) {
  ScratchDir dir;
  const std::string out = dir / "tables.cc";
  const std::string program = std::string(FEMTOKIT_BIN_DIR) + "/femtophaseshifts";
  EXPECT_NE(std::system((program + " >/dev/null 2>&1").c_str()), 0);  // no output name
  ASSERT_EQ(std::system((program + " " + out + " >/dev/null 2>&1").c_str()), 0);
  const auto fresh = Lines(out);
  const auto stored =
      Lines(std::string(FEMTOKIT_SOURCE_DIR) + "/wavefunctions/phaseshift_tables.cc");
  ASSERT_EQ(fresh.size(), stored.size());
  for (size_t i = 0; i < fresh.size(); i++) {
    if (fresh[i] == stored[i]) continue;
    // Comment lines print round-off-sized fit residuals, which may differ between compilers.
    if (fresh[i].rfind("//", 0) == 0 && stored[i].rfind("//", 0) == 0) continue;
    const auto a = Numbers(fresh[i]), b = Numbers(stored[i]);
    ASSERT_EQ(a.size(), b.size()) << "line " << i + 1;
    ASSERT_FALSE(a.empty()) << "line " << i + 1 << ": " << fresh[i] << " vs " << stored[i];
    for (size_t j = 0; j < a.size(); j++)
      ASSERT_TRUE(femtokit_test::IsClose(a[j], b[j], 1e-9, 1e-18)) << "line " << i + 1;
  }
}

}  // namespace

// tools/femtophaseshifts regenerates the checked-in wavefunctions/phaseshift_tables.cc (numbers to
// ten digits, the code around them exactly), so the tables trace back to their parametrisations.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;

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

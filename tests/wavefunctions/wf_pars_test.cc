// Wave-function parameter files with values that cannot describe a grid or a matching radius
// are refused before anything is allocated, naming the file, key and value.

#include <utility>

#include "common/test_util.h"
#include "wavefunctions/pairs.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

TEST(WaveFunctionParsDeathTest, MeaninglessValuesAreFatal) {
  ScratchDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"double EPSILON 0\n", "wf.dat: EPSILON = 0 must be a finite number above 0"},
      {"double EPSILON -3\n", "EPSILON = -3 must be a finite number above 0"},
      {"int NQMAX 2000000000\n", "NQMAX = 2e\\+09 must be a whole number from 1 to 10000000"},
      {"double EPSILON nan\n", "double EPSILON = nan is not a finite number"}};
  for (const auto& [text, message] : cases) {
    WriteTextFile(dir / "wf.dat", text);
    EXPECT_FATAL(femtokit::MakeWaveFunction("nn", dir / "wf.dat"), message) << text;
  }
}

}  // namespace

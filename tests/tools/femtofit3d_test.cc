// femtofit3d, run as a program on its small grids: the three-dimensional Gaussian fit finds the
// radii of the known source again (here with x the longest axis, unlike the defaults), and a bad
// option is a usage error.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;

int RunFit3D(const ScratchDir& dir, const std::string& args, std::string* out) {
  const std::string command = "cd '" + dir.str() + "' && '" + std::string(FEMTOKIT_BIN_DIR) +
                              "/femtofit3d' " + args + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  std::ifstream in(dir / "out.txt");
  std::stringstream text;
  text << in.rdbuf();
  *out = text.str();
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(FemtoFit3D, RecoversTheRadiiOfTheKnownSource) {
  ScratchDir dir;
  std::string out;
  ASSERT_EQ(RunFit3D(dir, "--lambda 0.6 --radii 3.4 2.6 3.0", &out), 0);
  const size_t at = out.rfind("fit/truth: ");
  ASSERT_NE(at, std::string::npos) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
  double fit[4], truth[4], chi2;
  ASSERT_EQ(std::sscanf(out.c_str() + at,
                        "fit/truth: lambda %lf/%lf  Rx %lf/%lf  Ry %lf/%lf  Rz %lf/%lf  chi^2 %lf",
                        &fit[0], &truth[0], &fit[1], &truth[1], &fit[2], &truth[2], &fit[3],
                        &truth[3], &chi2),
            9);
  const double expected[4] = {0.6, 3.4, 2.6, 3.0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(truth[i], expected[i]);
    EXPECT_CLOSE(fit[i], truth[i], 0.02) << "parameter " << i;
  }
}

TEST(FemtoFit3D, BadOptionIsAUsageError) {
  ScratchDir dir;
  std::string out;
  EXPECT_EQ(RunFit3D(dir, "--radii 3 -1 2", &out), 1);
  EXPECT_EQ(RunFit3D(dir, "--sideways", &out), 1);
}

}  // namespace

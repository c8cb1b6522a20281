// femtofit3d, run as a program on its small grids: the three-dimensional Gaussian fit finds the
// radii of the known source again (here with x the longest axis, unlike the defaults), and bad
// options are usage errors (status 2).

#include <cstdio>
#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;

// Runs femtofit3d with `args` in `dir`: the exit status, and the standard output in `out`.
int RunFit3D(const ScratchDir& dir, const std::string& args, std::string* out) {
  const femtokit_test::ProgramRun run = femtokit_test::RunProgram(dir.str(), "femtofit3d", args);
  *out = run.out;
  return run.status;
}

TEST(FemtoFit3D, RecoversTheRadiiOfTheKnownSourceAndRejectsBadOptions) {
  ScratchDir dir;
  std::string out;
  for (const char* bad :
       {"--radii 3 -1 2", "--sideways", "--newton 0.5", "--newton 1e10", "--newton 2x",
        "--newton -1", "--newton 99999999999", "--radii 1e-300 3 3", "--radii 3 3 inf",
        "--start 1e300 3", "--lambda nan", "--start 0.7 50"})
    EXPECT_EQ(RunFit3D(dir, bad, &out), 2) << bad;
  EXPECT_EQ(RunFit3D(dir, "--help", &out), 0);
  EXPECT_NE(out.find("fit/truth: lambda F/T"), std::string::npos) << out;
  ASSERT_EQ(RunFit3D(dir, "--lambda 0.6 --radii 3.4 2.6 3.0", &out), 0);
  const size_t at = out.rfind("fit/truth: ");
  ASSERT_NE(at, std::string::npos) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
  double v[9];  // fit/truth pairs of lambda, Rx, Ry, Rz, then chi^2
  ASSERT_EQ(std::sscanf(out.c_str() + at,
                        "fit/truth: lambda %lf/%lf  Rx %lf/%lf  Ry %lf/%lf  Rz %lf/%lf  chi^2 %lf",
                        &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]),
            9);
  const double expected[4] = {0.6, 3.4, 2.6, 3.0};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(v[2 * i + 1], expected[i]);
    EXPECT_CLOSE(v[2 * i], expected[i], 0.02) << "parameter " << i;
  }
  EXPECT_NE(out.find("\nfit converged: chi^2/ndof = ", at), std::string::npos);
}

// Runs that cannot give a result end with a message and a status that says so: no scratch
// directory (status 1), standard output on a full disk (1), no fit run (3, not converged).
TEST(FemtoFit3D, FailuresEndWithTheirStatus) {
  ScratchDir dir;
  const struct {
    const char *env, *args;
    int status;
    const char* text;
  } cases[] = {{"TMPDIR=/nonexistent/dir", "", 1, "femtofit3d: "},
               {"TMPDIR=/dev/null", "", 1, "femtofit3d: "},
               {"", "--newton 0", 3, "fit NOT converged: "},
               {"", "--newton 1 >/dev/full", 1, ""}};
  for (const auto& c : cases) {
    const auto run = femtokit_test::RunProgram(dir.str(), "femtofit3d", c.args, c.env);
    EXPECT_EQ(run.status, c.status) << c.env << c.args;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << c.env << c.args << run.out;
  }
}

}  // namespace

// femtokernel --table 3d, run as a program: the three-dimensional kernel directory it writes
// against the same kernel computed in this process, and its usage errors.

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/test_util.h"
#include "kernel/kernelwf.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// Runs femtokernel with `args` in `dir`; returns the exit status, stderr in *err.
int RunFemtoKernel(const ScratchDir& dir, const std::string& args, std::string* err) {
  const std::string command = "cd '" + dir.str() + "' && '" + FEMTOKIT_BIN_DIR + "/femtokernel' " +
                              args + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  std::stringstream text;
  text << std::ifstream(dir / "err.txt").rdbuf();
  *err = text.str();
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(FemtoKernelTable3D, WritesThePpKernelOfItsWaveFunction) {
  ScratchDir dir;
  WriteTextFile(dir / "kwf.dat",
                "int NQMAX 2\ndouble DELQ 20.0\nint NRMAX 4\ndouble DELR 1.0\nint NCTHETA 4\n"
                "bool IDENTICAL 1\n");
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble DELQ 20.0\ndouble EPSILON 2.0\n");
  std::string err;
  ASSERT_EQ(RunFemtoKernel(dir, "--table 3d pp-legacy wf.dat kwf.dat k3d", &err), 0) << err;
  std::unique_ptr<CKernelWF> written, expected;
  CAPTURE_STDOUT({
    written = std::make_unique<CKernelWF>((dir / "kwf.dat").c_str());
    written->Read((dir / "k3d").c_str());
    expected = std::make_unique<CKernelWF>((dir / "kwf.dat").c_str());
    CWaveFunction_pp wf((dir / "wf.dat").c_str());
    expected->Calc(&wf);
  });
  for (int iq = 0; iq < 2; iq++)
    for (int ir = 0; ir < 4; ir++)
      for (int ic = 0; ic <= 4; ic++)  // the files carry 11 significant digits
        EXPECT_CLOSE_ABS(written->kernel[iq][ir][ic], expected->kernel[iq][ir][ic], 1e-9, 1e-14);
  EXPECT_NE(written->kernel[0][1][0], 0.0);
}

TEST(FemtoKernelTable3D, UsageErrors) {
  ScratchDir dir;
  std::string err;
  EXPECT_EQ(RunFemtoKernel(dir, "--table 3d purehbt kpars.dat out", &err), 2);
  EXPECT_EQ(
      err.rfind("femtokernel: --table 3d needs a PAIR with a wave function, not purehbt\n", 0), 0u)
      << err;
  EXPECT_EQ(RunFemtoKernel(dir, "--table 2d pp a b c", &err), 2);
  EXPECT_EQ(err.rfind("femtokernel: unknown table 2d (angular or 3d)\n", 0), 0u) << err;
}

}  // namespace

// femtokernel, run as a program: usage errors, and the kernels it writes against the same
// kernels computed in this process (pp wave function, pure HBT, classical Coulomb).

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

struct ProgramRun {
  int status;
  std::string out, err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs femtokit's program `name` with `args` in `dir`, collecting its output and exit status.
ProgramRun RunProgram(const ScratchDir& dir, const std::string& name, const std::string& args) {
  const std::string command = "cd '" + dir.str() + "' && '" + std::string(FEMTOKIT_BIN_DIR) + "/" +
                              name + "' " + args + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt"),
          ReadFile(dir / "err.txt")};
}

const char kKernelPars[] =
    "int NQMAX 2\ndouble DELQ 20.0\nint NRMAX 4\ndouble DELR 1.0\nint KLMAX 2\nbool IDENTICAL 1\n";

std::unique_ptr<CKernel> LoadKernel(const ScratchDir& dir, const std::string& kdir) {
  std::unique_ptr<CKernel> kernel;
  CAPTURE_STDOUT(kernel = std::make_unique<CKernel>((dir / "kpars.dat").c_str());
                 kernel->Read((dir / kdir).c_str()));
  return kernel;
}

// The written tables carry 11 significant digits.
void ExpectSameTables(CKernel* written, CKernel* expected) {
  for (int ell = 0; ell <= 2; ell += 2)
    for (int iq = 0; iq < 2; iq++)
      for (int ir = 0; ir < 4; ir++)
        EXPECT_CLOSE_ABS(written->GetValue(ell, iq, ir), expected->GetValue(ell, iq, ir), 1e-9,
                         1e-14);
}

TEST(FemtoKernel, UsageErrorsExitWithStatusOne) {
  ScratchDir dir;
  ProgramRun run = RunProgram(dir, "femtokernel", "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("femtokernel: missing PAIR\nusage: femtokernel", 0), 0u) << run.err;

  run = RunProgram(dir, "femtokernel", "xx a b c");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("femtokernel: unknown pair xx\n"), std::string::npos);

  run = RunProgram(dir, "femtokernel", "pp kpars.dat out");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("pp needs WF_PARAMETERS KERNEL_PARAMETERS OUTDIR"), std::string::npos);

  run = RunProgram(dir, "femtokernel", "--q1q2 x classcoul kpars.dat out");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bad number x"), std::string::npos);

  run = RunProgram(dir, "femtokernel", "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("  pp "), std::string::npos);
}

TEST(FemtoKernel, WritesThePpKernelOfItsWaveFunctionWithProgress) {
  ScratchDir dir;
  WriteTextFile(dir / "kpars.dat", kKernelPars);
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble DELQ 20.0\ndouble EPSILON 2.0\n");
  const ProgramRun run = RunProgram(dir, "femtokernel", "pp wf.dat kpars.dat kdata");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("q=10 MeV/c done (1/2)"), std::string::npos);
  EXPECT_NE(run.out.find("q=30 MeV/c done (2/2)"), std::string::npos);
  EXPECT_NE(run.out.find("pp kernel computed in "), std::string::npos);
  EXPECT_EQ(run.out.find("warning"), std::string::npos);

  std::unique_ptr<CKernel> written = LoadKernel(dir, "kdata");
  std::unique_ptr<CKernel> expected;
  CAPTURE_STDOUT({
    expected = std::make_unique<CKernel>((dir / "kpars.dat").c_str());
    CWaveFunction_pp wf((dir / "wf.dat").c_str());
    expected->Calc(&wf);
  });
  ExpectSameTables(written.get(), expected.get());
  EXPECT_NE(written->GetValue(0, 0, 1), 0.0);
}

TEST(FemtoKernel, WarnsWhenTheKernelOutrunsTheWaveFunctionGrid) {
  ScratchDir dir;
  WriteTextFile(dir / "kpars.dat", kKernelPars);
  WriteTextFile(dir / "wf.dat", "int NQMAX 1\ndouble DELQ 20.0\n");
  const ProgramRun run = RunProgram(dir, "femtokernel", "pp wf.dat kpars.dat kdata");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("femtokernel: warning: kernel q reaches 30 MeV/c beyond the wave "
                         "function's grid (last point 10 MeV/c); the kernel is zero there\n"),
            std::string::npos);
}

TEST(FemtoKernel, WritesPureHbtAndClassicalCoulombKernels) {
  ScratchDir dir;
  WriteTextFile(dir / "kpars.dat", kKernelPars);
  ProgramRun run = RunProgram(dir, "femtokernel", "purehbt kpars.dat hbt");
  ASSERT_EQ(run.status, 0) << run.out;
  run = RunProgram(dir, "femtokernel", "--ma 139.57 --mb 938.271 --q1q2 -1 classcoul kpars.dat cc");
  ASSERT_EQ(run.status, 0) << run.out;

  std::unique_ptr<CKernel> hbt = LoadKernel(dir, "hbt"), cc = LoadKernel(dir, "cc");
  std::unique_ptr<CKernel> expected;
  CAPTURE_STDOUT(expected = std::make_unique<CKernel>((dir / "kpars.dat").c_str());
                 expected->Calc_PureHBT());
  ExpectSameTables(hbt.get(), expected.get());
  CAPTURE_STDOUT(expected->Calc_ClassCoul(139.57, 938.271, -1));
  ExpectSameTables(cc.get(), expected.get());
}

}  // namespace

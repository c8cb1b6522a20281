// femtokernel, run as a program: usage errors, and the kernels it writes against the same
// kernels computed in this process (every wave-function pair; the pure-HBT and classical
// Coulomb files are compared with the Python path in python/tests/test_programs.py).

#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "wavefunctions/pairs.h"

namespace {

using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

using femtokit_test::ProgramRun;
ProgramRun RunFemtoKernel(const ScratchDir& dir, const std::string& args) {
  return femtokit_test::RunProgram(dir.str(), "femtokernel", args);
}

// Kernel parameters (q = 10, 30, 50 MeV/c; r = 0.5 .. 4.5 fm; ell <= 2) written as k.dat, and the
// wave-function parameters of the same q grid as wf.dat.
void WritePars(const ScratchDir& dir, bool identical, int wf_nqmax = 3, double epsilon = 4.0) {
  WriteTextFile(dir / "k.dat",
                std::string("int NQMAX 3\ndouble DELQ 20.0\nint NRMAX 5\ndouble DELR 1.0\n"
                            "int KLMAX 2\nbool IDENTICAL ") +
                    (identical ? "1\n" : "0\n"));
  WriteTextFile(dir / "wf.dat", "int NQMAX " + std::to_string(wf_nqmax) +
                                    "\ndouble DELQ 20.0\ndouble EPSILON " +
                                    std::to_string(epsilon) + "\n");
}

// Reads the kernel directory `kdir` written by the program and compares it with `expected`: the
// files carry 11 significant digits. Returns the largest |K| expected.
double ExpectWrittenKernel(const ScratchDir& dir, const std::string& kdir, CKernel* expected) {
  std::unique_ptr<CKernel> written;
  CAPTURE_STDOUT(written = std::make_unique<CKernel>((dir / "k.dat").c_str());
                 written->Read((dir / kdir).c_str()));
  double largest = 0.0;
  for (int ell = 0; ell <= 2; ell += expected->IDENTICAL ? 2 : 1)
    for (int iq = 0; iq < 3; iq++)
      for (int ir = 0; ir < 5; ir++) {
        const double k = expected->GetValue(ell, iq, ir);
        EXPECT_CLOSE_ABS(written->GetValue(ell, iq, ir), k, 1e-9, 1e-14);
        largest = std::fmax(largest, std::fabs(k));
      }
  return largest;
}

// Usage errors exit with status 2 and a message on standard error; a kernel grid beyond the wave
// function's and a pp EPSILON inside the potential are only warned about.
TEST(FemtoKernel, UsageErrorsAndWarnings) {
  ScratchDir dir;
  const std::pair<const char*, const char*> errors[] = {
      {"", "femtokernel: missing PAIR\nusage: femtokernel"},
      {"xx a b c", "femtokernel: unknown pair xx\n"},
      {"--q1q2 x classcoul k.dat out",
       "femtokernel: --q1q2 needs an integer from -10000 to 10000, not x\n"},
      {"--ma 139.57 purehbt k.dat out", "femtokernel: option --ma applies to classcoul only\n"},
      {"--table 3d purehbt kpars.dat out",
       "femtokernel: --table 3d needs a PAIR with a wave function, not purehbt\n"},
      {"--table 2d pp a b c", "femtokernel: unknown table 2d (angular or 3d)\n"}};
  for (const auto& [args, text] : errors) {
    const ProgramRun run = RunFemtoKernel(dir, args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
  }
  ProgramRun run = RunFemtoKernel(dir, "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("  pp "), std::string::npos);
  WritePars(dir, true, 1, 1.0);
  run = RunFemtoKernel(dir, "pp-legacy wf.dat k.dat kdata");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("femtokernel: warning: EPSILON=1 fm lies inside the range of the pp "
                         "potential; use 4 fm or more, or |psi|^2 jumps at EPSILON\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("femtokernel: warning: kernel q reaches 50 MeV/c beyond the wave "
                         "function's grid (last point 10 MeV/c); the kernel is zero there\n"),
            std::string::npos);
}

class FemtoKernelPair : public ::testing::TestWithParam<std::string> {};

TEST_P(FemtoKernelPair, WritesTheKernelOfItsWaveFunctionWithProgress) {
  const std::string name = GetParam();
  ScratchDir dir;
  WritePars(dir, false);
  const ProgramRun run = RunFemtoKernel(dir, name + " wf.dat k.dat kdir");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const std::string& line :
       {std::string("q=10 MeV/c done (1/3)"), std::string("q=50 MeV/c done (3/3)"),
        name + " kernel computed in "})
    EXPECT_NE(run.out.find(line), std::string::npos) << line;
  EXPECT_EQ(run.out.find("warning"), std::string::npos);

  std::unique_ptr<CKernel> expected;
  std::unique_ptr<CWaveFunction> wf;
  CAPTURE_STDOUT(expected = std::make_unique<CKernel>((dir / "k.dat").c_str());
                 wf = femtokit::MakeWaveFunction(name, dir / "wf.dat");
                 expected->Calc(wf.get()));
  EXPECT_GT(ExpectWrittenKernel(dir, "kdir", expected.get()), 1e-3);  // not the empty kernel
}

INSTANTIATE_TEST_SUITE_P(AllPairs, FemtoKernelPair,
                         ::testing::Values("pp", "pp-legacy", "pkplus", "ppiplus", "nn",
                                           "nn-legacy", "pipluspiminus", "plambda", "pomega"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace

// femtokernel with the phase-shift pairs: each pair name builds its wave function and the
// written kernel directory reads back to the kernel computed in this process.

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "wavefunctions/wf_nn.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pkplus.h"
#include "wavefunctions/wf_ppiplus.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

template <class WF>
CWaveFunction* Make(const char* pars) {
  return new WF(pars);
}

struct Pair {
  const char* name;
  CWaveFunction* (*make)(const char*);
};

class FemtoKernelPair : public ::testing::TestWithParam<Pair> {};

TEST_P(FemtoKernelPair, WritesTheKernelOfItsWaveFunction) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", "int NQMAX 3\ndouble DELQ 20.0\ndouble EPSILON 1.0\n");
  WriteTextFile(dir / "k.dat",
                "int NQMAX 3\ndouble DELQ 20.0\nint NRMAX 5\ndouble DELR 1.0\nint KLMAX 2\n"
                "bool IDENTICAL 0\n");
  const std::string command = "cd '" + dir.str() + "' && '" + std::string(FEMTOKIT_BIN_DIR) +
                              "/femtokernel' " + GetParam().name +
                              " wf.dat k.dat kdir >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  ASSERT_EQ(WEXITSTATUS(raw), 0);

  std::unique_ptr<CKernel> written, expected;
  std::unique_ptr<CWaveFunction> wf;
  CAPTURE_STDOUT(written = std::make_unique<CKernel>((dir / "k.dat").c_str());
                 written->Read((dir / "kdir").c_str());
                 expected = std::make_unique<CKernel>((dir / "k.dat").c_str());
                 wf.reset(GetParam().make((dir / "wf.dat").c_str())); expected->Calc(wf.get()));
  double largest = 0.0;
  for (int ell = 0; ell <= 2; ell++)
    for (int iq = 0; iq < 3; iq++)
      for (int ir = 0; ir < 5; ir++) {
        // The files carry 11 significant digits.
        EXPECT_CLOSE_ABS(written->GetValue(ell, iq, ir), expected->GetValue(ell, iq, ir), 1e-9,
                         1e-14);
        largest = std::fmax(largest, std::fabs(expected->GetValue(ell, iq, ir)));
      }
  EXPECT_GT(largest, 1e-3);  // an interacting pair: not the empty kernel
}

INSTANTIATE_TEST_SUITE_P(
    PhaseShiftPairs, FemtoKernelPair,
    ::testing::Values(Pair{"pkplus", Make<CWaveFunction_pkplus>},
                      Pair{"ppiplus", Make<CWaveFunction_ppiplus>},
                      Pair{"nn", Make<CWaveFunction_nn>},
                      Pair{"pipluspiminus", Make<CWaveFunction_pipluspiminus>}),
    [](const ::testing::TestParamInfo<Pair>& info) { return std::string(info.param.name); });

}  // namespace

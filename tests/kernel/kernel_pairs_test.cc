// Kernels of the phase-shift pairs with STRONG and COULOMB false: zero for pK+ and p pi+, the
// identical-fermion kernel for nn, the Coulomb-only symmetrised kernel for pi+ pi-.

#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <utility>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel_test_util.h"
#include "wavefunctions/wf_nn.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pkplus.h"
#include "wavefunctions/wf_ppiplus.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// The kernel's q points (bin centres of 20 MeV/c) are the wave function's grid points.
constexpr int kNQ = 3, kNR = 12, kLMax = 4;
constexpr double kDelQ = 20.0, kDelR = 0.75;

// The free wave function of the pair and its kernel (non-identical storage: every ell).
template <class WF>
std::pair<std::unique_ptr<CWaveFunction>, std::unique_ptr<CKernel>> FreeKernel(
    const ScratchDir& dir) {
  WriteTextFile(dir / "wf.dat",
                "int NQMAX 3\ndouble DELQ 20.0\ndouble EPSILON 1.0\n"
                "bool STRONG 0\nbool COULOMB 0\n");
  std::unique_ptr<CWaveFunction> wf;
  auto kernel = kernel_test::MakeKernel(dir, kNQ, kDelQ, kNR, kDelR, kLMax, false);
  CAPTURE_STDOUT(wf = std::make_unique<WF>((dir / "wf.dat").c_str()); kernel->Calc(wf.get()));
  return {std::move(wf), std::move(kernel)};
}

// Free neutrons: |psi|^2 = 0.25 |S|^2 + 0.75 |A|^2 = 1 - cos(2 q r c / HBARC) / 2, so the
// kernel is minus half the identical-boson kernel: K_ell = -(-1)^(ell/2) j_ell(2 q r/HBARC) / 2
// for even ell and 0 for odd ell. The free non-identical pairs have no correlation at all.
TEST(KernelPairs, FreeNeutronsGiveTheIdenticalFermionKernelAndOtherFreePairsNone) {
  ScratchDir dir;
  auto nn = FreeKernel<CWaveFunction_nn>(dir).second;
  auto pk = FreeKernel<CWaveFunction_pkplus>(dir).second;
  auto ppi = FreeKernel<CWaveFunction_ppiplus>(dir).second;
  auto hbt = kernel_test::MakeKernel(dir, kNQ, kDelQ, kNR, kDelR, kLMax, false);
  CAPTURE_STDOUT(hbt->Calc_PureHBT());
  for (int ell = 0; ell <= kLMax; ell++)
    for (int iq = 0; iq < kNQ; iq++)
      for (int ir = 0; ir < kNR; ir++) {
        SCOPED_TRACE(testing::Message() << "ell " << ell << " iq " << iq << " ir " << ir);
        const double expect = (ell % 2 == 0) ? -0.5 * hbt->GetValue(ell, iq, ir) : 0.0;
        // The 720-point angular rule against the closed form.
        ASSERT_NEAR(nn->GetValue(ell, iq, ir), expect, 1e-5);
        ASSERT_NEAR(pk->GetValue(ell, iq, ir), 0.0, 1e-12);
        ASSERT_NEAR(ppi->GetValue(ell, iq, ir), 0.0, 1e-12);
      }
  EXPECT_LT(nn->GetValue(0, 0, 0), -0.4);  // Pauli suppression at small q r
}

// pi+ pi- keeps its Coulomb interaction (q1q2 = -1 always). Without the strong interaction,
// outside epsilon |psi|^2 = (|p+|^2 + |p-|^2)/2 is even in ctheta: odd ell vanish, and K_0 is
// the angle average of the Coulomb plane wave minus 1 (Coulomb attraction: positive).
TEST(KernelPairs, PiPlusPiMinusWithoutStrongIsTheSymmetrisedCoulombKernel) {
  ScratchDir dir;
  auto [wf, kernel] = FreeKernel<CWaveFunction_pipluspiminus>(dir);
  for (int iq = 0; iq < kNQ; iq++) {
    for (int ir = 2; ir < kNR; ir++) {  // r >= epsilon = 1 fm
      const double r = (ir + 0.5) * kDelR;
      EXPECT_NEAR(kernel->GetValue(1, iq, ir), 0.0, 1e-12);
      EXPECT_NEAR(kernel->GetValue(3, iq, ir), 0.0, 1e-12);
      double avg = 0.0;
      for (int i = 0; i < 720; i++)
        avg += std::norm(wf->planewave[iq]->planewave(r, 2.0 * (i + 0.5) / 720 - 1.0)) / 720;
      EXPECT_NEAR(kernel->GetValue(0, iq, ir), avg - 1.0, 1e-10);
      EXPECT_GT(kernel->GetValue(0, iq, ir), 0.0);
    }
  }
}

}  // namespace

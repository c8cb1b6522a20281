// Kernels of the phase-shift pairs (proton-K+, proton-pi+, neutron-neutron, pi+ pi-) from
// CKernel::Calc in their interaction-free limits: zero for non-identical pairs, the
// identical-fermion kernel for two neutrons, and the Coulomb-only symmetrised kernel for
// pi+ pi- (whose Coulomb interaction cannot be switched off).

#include <cmath>
#include <complex>
#include <memory>
#include <string>

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

constexpr int kNQ = 3;
constexpr double kDelQ = 20.0;  // the kernel's q points are the wave function's grid points
constexpr int kNR = 12;
constexpr double kDelR = 0.75;
constexpr int kLMax = 4;

template <class WF>
std::unique_ptr<CWaveFunction> MakeFree(const ScratchDir& dir) {
  WriteTextFile(dir / "wf.dat", "int NQMAX " + std::to_string(kNQ) + "\ndouble DELQ " +
                                    std::to_string(kDelQ) +
                                    "\ndouble EPSILON 1.0\nbool STRONG 0\nbool COULOMB 0\n");
  std::unique_ptr<CWaveFunction> wf;
  CAPTURE_STDOUT(wf = std::make_unique<WF>((dir / "wf.dat").c_str()));
  return wf;
}

std::unique_ptr<CKernel> CalcKernel(const ScratchDir& dir, CWaveFunction* wf, bool identical) {
  auto kernel = kernel_test::MakeKernel(dir, kNQ, kDelQ, kNR, kDelR, kLMax, identical);
  CAPTURE_STDOUT(kernel->Calc(wf));
  return kernel;
}

TEST(KernelPairs, NonIdenticalFreePairsHaveZeroKernels) {
  ScratchDir dir;
  for (int pair = 0; pair < 2; pair++) {
    auto wf =
        pair == 0 ? MakeFree<CWaveFunction_pkplus>(dir) : MakeFree<CWaveFunction_ppiplus>(dir);
    auto kernel = CalcKernel(dir, wf.get(), false);
    for (int ell = 0; ell <= kLMax; ell++)
      for (int iq = 0; iq < kNQ; iq++)
        for (int ir = 0; ir < kNR; ir++)
          ASSERT_NEAR(kernel->GetValue(ell, iq, ir), 0.0, 1e-12)
              << "pair " << pair << " ell " << ell << " iq " << iq << " ir " << ir;
  }
}

// Free neutrons: |psi|^2 = 0.25 |S|^2 + 0.75 |A|^2 = 1 - cos(2 q r c / HBARC) / 2, so the
// kernel is minus half the identical-boson kernel: K_ell = -(-1)^(ell/2) j_ell(2 q r/HBARC) / 2
// for even ell and 0 for odd ell.
TEST(KernelPairs, FreeNeutronsGiveTheIdenticalFermionKernel) {
  ScratchDir dir;
  auto wf = MakeFree<CWaveFunction_nn>(dir);
  auto kernel = CalcKernel(dir, wf.get(), false);
  auto hbt = kernel_test::MakeKernel(dir, kNQ, kDelQ, kNR, kDelR, kLMax, false);
  CAPTURE_STDOUT(hbt->Calc_PureHBT());
  for (int ell = 0; ell <= kLMax; ell++)
    for (int iq = 0; iq < kNQ; iq++)
      for (int ir = 0; ir < kNR; ir++) {
        const double expect = (ell % 2 == 0) ? -0.5 * hbt->GetValue(ell, iq, ir) : 0.0;
        // The 720-point angular rule against the closed form.
        ASSERT_NEAR(kernel->GetValue(ell, iq, ir), expect, 1e-5)
            << "ell " << ell << " iq " << iq << " ir " << ir;
      }
  EXPECT_LT(kernel->GetValue(0, 0, 0), -0.4);  // Pauli suppression at small q r
}

// pi+ pi- keeps its Coulomb interaction (q1q2 = -1 always). Without the strong interaction,
// outside epsilon |psi|^2 = (|p+|^2 + |p-|^2)/2 is even in ctheta: odd ell vanish, and K_0 is
// the angle average of the Coulomb plane wave minus 1 (Coulomb attraction: positive).
TEST(KernelPairs, PiPlusPiMinusWithoutStrongIsTheSymmetrisedCoulombKernel) {
  ScratchDir dir;
  auto wf = MakeFree<CWaveFunction_pipluspiminus>(dir);
  auto kernel = CalcKernel(dir, wf.get(), false);
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

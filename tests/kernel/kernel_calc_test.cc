// CKernel::Calc: projections of known angular shapes, the identical-particle storage, and the pp
// correlation function of a Gaussian source through the kernel against a direct average.

#include <cmath>
#include <memory>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/constants.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "kernel_test_util.h"
#include "wavefunctions/wavefunction.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_test::ScratchDir;
using kernel_test::MakeKernel;

using femtokit::constants::kPi;

// A wave function with |psi|^2 = 1 + a + b P_1(c) + d P_2(c), a = q r / 100, b = 0.3, d = -0.2 r,
// on a uniform grid of bin centres (the kernel's own, so the base takes grid points directly).
// Its exact projections are K_0 = a, K_1 = b/3, K_2 = d/5, K_ell = 0 above.
class LegendreWF : public CWaveFunction {
 public:
  LegendreWF(int nq, double dq) {
    nqmax = nq;
    delq = dq;
    qarray = new double[nq];
    for (int i = 0; i < nq; i++) qarray[i] = (i + 0.5) * dq;
  }
  double CalcPsiSquared(int iq, double r, double c) override {
    const double a = qarray[iq] * r / 100.0;
    return 1.0 + a + 0.3 * c - 0.2 * r * 0.5 * (3.0 * c * c - 1.0);
  }
};

// Rows reported by the progress callback, in call order.
std::string g_rows;
void RecordRow(int iq, int nqmax) {
  g_rows += std::to_string(iq) + "/" + std::to_string(nqmax) + " ";
}

// The 720-point midpoint rule integrates a quadratic with error (2/720)^2/24 of its second
// derivative. The kernel rebuilds the wave function it came from, reports each finished row, and
// a second Calc overwrites the tables rather than adding to them.
TEST(KernelCalc, ProjectsLegendreShapesOntoTheirOwnEll) {
  ScratchDir dir;
  std::unique_ptr<CKernel> k = MakeKernel(dir, 3, 10.0, 4, 0.5, 4, false);
  LegendreWF wf(3, 10.0);
  g_rows.clear();
  k->Calc(&wf, RecordRow);
  EXPECT_EQ(g_rows, "0/3 1/3 2/3 ");
  k->Calc(&wf);
  for (int iq = 0; iq < 3; iq++) {
    for (int ir = 0; ir < 4; ir++) {
      const double q = (iq + 0.5) * 10.0, r = (ir + 0.5) * 0.5;
      EXPECT_CLOSE_ABS(k->GetValue(0, iq, ir), q * r / 100.0, 1e-12, 2e-6);
      EXPECT_CLOSE_ABS(k->GetValue(1, iq, ir), 0.1, 1e-12, 2e-6);
      EXPECT_CLOSE_ABS(k->GetValue(2, iq, ir), -0.2 * r / 5.0, 1e-12, 2e-6);
      EXPECT_NEAR(k->GetValue(3, iq, ir), 0.0, 2e-6);
      EXPECT_NEAR(k->GetValue(4, iq, ir), 0.0, 2e-6);
      EXPECT_NEAR(k->GetPsiSquared(iq, ir, 0.4), wf.CalcPsiSquared(iq, r, 0.4), 2e-5);
    }
  }
  // An identical-particle kernel fills only even ell.
  k = MakeKernel(dir, 2, 10.0, 3, 0.5, 3, true);
  k->Calc(&wf);
  EXPECT_TRUE(k->kernel[1] == nullptr && k->kernel[3] == nullptr);
  EXPECT_CLOSE_ABS(k->GetValue(2, 1, 2), -0.2 * 1.25 / 5.0, 1e-12, 2e-6);
}

// The pp correlation function of a Gaussian source, C(q) = int d^3r S(r) |psi(q, r)|^2 with
// S = (4 pi R^2)^(-3/2) exp(-r^2/(4R^2)), R = 3 fm, two ways: through the kernel and S2CF::s2c
// (720-point rule in cos theta, midpoint rule on the kernel's 0.1 fm bins) and by direct
// quadrature of GetPsiSquared on other nodes (|psi|^2 is even in cos theta: 50 midpoints on
// [0, 1]; 0.05 fm radial midpoints).
TEST(KernelCalc, PpCorrelationOfGaussianSourceMatchesDirectAverage) {
  ScratchDir dir;
  const int nq = 3, nr = 250;
  const double dq = 20.0, dr = 0.1, R = 3.0;
  const auto wf = femtokit_test::MakeFromPars<CWaveFunction_pp>(
      "int NQMAX 3\ndouble DELQ 20.0\ndouble EPSILON 1.0\n");
  std::unique_ptr<CKernel> k = MakeKernel(dir, nq, dq, nr, dr, 0, true);
  k->Calc(wf.get());
  auto source = [&](double r) {
    return std::pow(4.0 * kPi * R * R, -1.5) * std::exp(-r * r / (4.0 * R * R));
  };
  CCHArray S(0, nr, dr, true, true, true), CF(0, nq, dq, true, true, true);
  for (int ir = 0; ir < nr; ir++) S.SetElement(0, 0, 0, ir, source((ir + 0.5) * dr));
  CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));

  for (int iq = 0; iq < nq; iq++) {
    const double q = (iq + 0.5) * dq;
    double c_minus_1 = 0.0;
    for (int ir = 0; ir < 500; ir++) {
      const double r = (ir + 0.5) * 0.05;
      double average = 0.0;  // (1/2) int_{-1}^{1} (|psi|^2 - 1) dcos theta = int_0^1 (...)
      for (int i = 0; i < 50; i++) average += (wf->GetPsiSquared(q, r, (i + 0.5) / 50) - 1.0) / 50;
      c_minus_1 += 4.0 * kPi * r * r * 0.05 * source(r) * average;
    }
    EXPECT_NEAR(CF.GetElement(0, 0, 0, iq), c_minus_1, 1e-3) << "q=" << q;
  }
  // The 1S0 attraction lifts C above 1 at 30 MeV/c; Coulomb repulsion pushes it below at 10.
  EXPECT_GT(CF.GetElement(0, 0, 0, 1), 0.0);
  EXPECT_LT(CF.GetElement(0, 0, 0, 0), 0.0);
}

}  // namespace

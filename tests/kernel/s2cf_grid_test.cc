// Grid transform through the three-dimensional kernel, and the grid chi-square.

#include <cmath>
#include <string>
#include <tuple>

#include "arrays/array3d.h"
#include "common/test_util.h"
#include "kernel/cfcalc.h"
#include "kernel/s2cf.h"
#include "kernel_test_util.h"
#include "numeric/threads.h"

namespace {

using femtokit_test::ScratchDir;
using kernel_test::kHbarC;
using kernel_test::MakeKernelWF;

// Calls f(centre vector, isx, ix, isy, iy, isz, iz) for every cell of g, in loop order.
template <typename F>
void ForEachCell(const C3DArray& g, F f) {
  for (int isx = 0; isx < (g.XSYM ? 1 : 2); isx++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int isy = 0; isy < (g.YSYM ? 1 : 2); isy++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int isz = 0; isz < (g.ZSYM ? 1 : 2); isz++)
            for (int iz = 0; iz < g.NZMAX; iz++) {
              const double v[3] = {(1 - 2 * isx) * (ix + 0.5) * g.DELX,
                                   (1 - 2 * isy) * (iy + 0.5) * g.DELY,
                                   (1 - 2 * isz) * (iz + 0.5) * g.DELZ};
              f(v, isx, ix, isy, iy, isz, iz);
            }
}

// lambda (4 pi)^(-3/2) / (Rx Ry Rz) exp(-sum (x_i - o_i)^2 / (4 R_i^2)), o = (xoff, 0, 0).
void FillGaussian(C3DArray* S, double lambda, const double (&R)[3], double xoff = 0.0) {
  ForEachCell(*S, [&](const double* v, int a, int b, int c, int d, int e, int f) {
    const double x[3] = {v[0] - xoff, v[1], v[2]};
    double arg = 0.0;
    for (int i = 0; i < 3; i++) arg += x[i] * x[i] / (4.0 * R[i] * R[i]);
    S->SetElement(a, b, c, d, e, f,
                  lambda * pow(4 * M_PI, -1.5) / (R[0] * R[1] * R[2]) * exp(-arg));
  });
}

TEST(S2CFGrid, ZeroSourceClearsTheResultAndSymmetryMismatchIsFatal) {
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 4, 5.0, 10, 0.5, 6, false);
  C3DArray S(3, 1.0, 4, 1.5, 2, 2.0, false, true, false);
  C3DArray CF(2, 4.0, 3, 4.0, 5, 3.0, false, true, false);
  CF.MakeConstant(7.0);
  CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));
  EXPECT_EQ(CF.GetBiggest(), 0.0);
  C3DArray other(3, 4.0, false, false, false);
  EXPECT_FATAL(S2CF::s2c(&S, k.get(), &other),
               "^S2CF::s2c : source grid has XYZSYM=\\(0,1,0\\) but correlation-function grid "
               "has XYZSYM=\\(0,0,0\\)\n$");
}

// The fast loop against the pair-by-pair sum over every mirror image of every source cell, for
// each symmetry set and both kernel kinds; the kernel grid is smaller than the cells' |q|, |r|.
class S2CFGridReference : public ::testing::TestWithParam<std::tuple<bool, bool, bool, bool>> {};

TEST_P(S2CFGridReference, AgreesWithThePairByPairSum) {
  const auto [xsym, ysym, zsym, identical] = GetParam();
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 5, 4.0, 12, 0.5, 7, identical);
  for (int iq = 0; iq < 5; iq++)
    for (int ir = 0; ir < 12; ir++)
      for (int ic = 0; ic <= 7; ic++) k->kernel[iq][ir][ic] = sin(0.7 * iq + 0.3 * ir + 1.1 * ic);
  C3DArray S(3, 1.3, 4, 0.9, 3, 1.7, xsym, ysym, zsym),
      CF(3, 5.0, 2, 6.5, 4, 3.5, xsym, ysym, zsym);
  C3DArray expected(3, 5.0, 2, 6.5, 4, 3.5, xsym, ysym, zsym);
  int n = 0;  // some zero cells, which the fast loop skips
  ForEachCell(S, [&](const double*, int a, int b, int c, int d, int e, int f) {
    S.SetElement(a, b, c, d, e, f, (n++ % 5 == 2) ? 0.0 : cos(0.37 * n) + 0.2);
  });
  ForEachCell(S, [&](const double* v, int a, int b, int c, int d, int e, int f) {
    for (int m = 0; m < 8; m++) {
      if (((m & 4) && !xsym) || ((m & 2) && !ysym) || ((m & 1) && !zsym)) continue;
      const double x = (m & 4 ? -v[0] : v[0]), y = (m & 2 ? -v[1] : v[1]),
                   z = (m & 1 ? -v[2] : v[2]);
      const double r = sqrt(x * x + y * y + z * z),
                   w = S.DELX * S.DELY * S.DELZ * S.F[a][b][c][d][e][f];
      ForEachCell(expected, [&](const double* q, int g, int h, int i, int j, int kk, int l) {
        const double qq = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
        expected.IncrementElement(
            g, h, i, j, kk, l,
            w * k->GetPsiSquared(qq, r, (x * q[0] + y * q[1] + z * q[2]) / (r * qq)));
      });
    }
  });
  CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));
  ForEachCell(CF, [&](const double*, int a, int b, int c, int d, int e, int f) {
    EXPECT_CLOSE_ABS(CF.F[a][b][c][d][e][f], expected.F[a][b][c][d][e][f], 1e-12, 1e-12);
  });
  // Threads own slices of the correlation cells (3: slices of unequal length): each cell gets
  // its terms in the one-thread order, bit for bit.
  C3DArray one(3, 5.0, 2, 6.5, 4, 3.5, xsym, ysym, zsym);
  for (int threads : {1, 3}) {
    femtokit::SetThreadCount(threads);
    CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), threads == 1 ? &one : &CF));
  }
  femtokit::SetThreadCount(0);
  ForEachCell(CF, [&](const double*, int a, int b, int c, int d, int e, int f) {
    EXPECT_EQ(CF.F[a][b][c][d][e][f], one.F[a][b][c][d][e][f]);
  });
}

INSTANTIATE_TEST_SUITE_P(Symmetries, S2CFGridReference,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(), ::testing::Bool(),
                                            ::testing::Bool()));

// Free identical bosons and the Gaussian above: C(q) = lambda (1 + cos(2 q.o / hbar c)
// exp(-4 sum q_i^2 R_i^2 / (hbar c)^2)) exactly. The kernel's linear interpolation limits the
// agreement to about 1e-4 of lambda (allowed 5e-4); with all symmetries one octant is stored.
TEST(S2CFGridPhysics, FreeBosonsGiveTheGaussianCorrelation) {
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 66, 1.0, 300, 0.1, 200, true);
  kernel_test::FreeBosonWF wf(66, 1.0);
  k->Calc(&wf);
  struct Case {
    double R[3], xoff;
    bool sym;
    int nq;
  };
  for (const Case& c :
       {Case{{1.5, 2.0, 2.5}, 0.0, true, 6}, Case{{1.5, 1.8, 2.0}, 1.0, false, 4}}) {
    const double lambda = 0.8;
    int n[3];
    for (int i = 0; i < 3; i++)
      n[i] = static_cast<int>(ceil(5 * sqrt(2.0) * c.R[i] + fabs(c.xoff)));
    C3DArray S(n[0], 1.0, n[1], 1.0, n[2], 1.0, c.sym, c.sym, c.sym),
        CF(c.nq, 6.0, c.sym, c.sym, c.sym);
    FillGaussian(&S, lambda, c.R, c.xoff);
    CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));
    ForEachCell(CF, [&](const double* q, int a, int b, int d, int e, int f, int g) {
      double arg = 0.0;
      for (int i = 0; i < 3; i++) arg += 4.0 * q[i] * q[i] * c.R[i] * c.R[i] / (kHbarC * kHbarC);
      const double exact = lambda * (1.0 + cos(2.0 * q[0] * c.xoff / kHbarC) * exp(-arg));
      EXPECT_CLOSE_ABS(CF.GetElement(a, b, d, e, f, g), exact, 0.0, 5e-4 * lambda);
    });
  }
}

TEST(CFCalcGridChiSquared, CellsHalvesSmallErrorsAndMismatch) {
  C3DArray exp(2, 1.0, 3, 1.0, 1, 1.0, false, true, true),
      err(2, 1.0, 3, 1.0, 1, 1.0, false, true, true);
  C3DArray theory(2, 1.0, 3, 1.0, 1, 1.0, false, true, true);
  err.MakeConstant(0.5);
  double chi2 = -1.0;
  // Differences of 1 over errors of 0.5: 4 per cell, 12 cells (2 x-halves x 2 x 3).
  theory.MakeConstant(1.0);
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(&exp, &err, &theory)), "chi^2/Ndof=4\n");
  EXPECT_CLOSE(chi2, 48.0, femtokit_test::kRoundoff);
  err.SetElement(1, 0, 0, 2, 0, 0, 0.0);  // warns with the cell's indices, chi^2 infinite
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(&exp, &err, &theory)),
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = 0, "
            "isx=1,ix=0, isy=0,iy=2, isz=0,iz=0\nchi^2/Ndof=inf\n");
  EXPECT_TRUE(std::isinf(chi2));
  C3DArray small(2, 1.0, 3, 1.0, 2, 1.0, false, true, true);
  EXPECT_FATAL(CFCalc::GetChiSquared(&exp, &err, &small),
               "^NXYZMAX mismatch between 3DArrays!!!\n$");
}

}  // namespace

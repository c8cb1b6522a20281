// Source to correlation function through the angular kernel.

#include "kernel/s2cf.h"

#include <cmath>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel_test_util.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using kernel_test::MakeKernel;

constexpr double kHbarC = 197.3269602;

// Spherical Gaussian source of weight lambda and radius R (fm).
void FillGaussian(CCHArray* S, double lambda, double R) {
  for (int ir = 0; ir < S->GetNRADIAL(); ir++) {
    const double r = (ir + 0.5) * S->GetRADSTEP();
    S->SetElement(0, 0, 0, ir, lambda * pow(4.0 * M_PI * R * R, -1.5) * exp(-r * r / (4 * R * R)));
  }
}

// Every independent component of S set to a smooth function of (lx, ly, lz, r).
void FillSmooth(CCHArray* S, int nbins) {
  const int dlx = S->GetXSYM() ? 2 : 1, dly = S->GetYSYM() ? 2 : 1, dlz = S->GetZSYM() ? 2 : 1;
  for (int lx = 0; lx <= 1; lx += dlx)
    for (int ly = 0; ly <= S->GetLMAX() - lx; ly += dly)
      for (int lz = 0; lz <= S->GetLMAX() - lx - ly; lz += dlz)
        for (int ir = 0; ir < nbins; ir++) {
          const double r = (ir + 0.5) * S->GetRADSTEP();
          S->SetElement(lx, ly, lz, ir, (1 + lx + 2 * ly + 3 * lz) * exp(-r / 3.0) * cos(0.2 * r));
        }
}

void FillKernelPattern(CKernel* k) {
  for (int ell = 0; ell <= k->LMAX; ell++)
    if (k->kernel[ell] != nullptr)
      for (int iq = 0; iq < k->nqmax; iq++)
        for (int ir = 0; ir < k->nrmax; ir++)
          k->kernel[ell][iq][ir] = sin(0.4 * iq + 0.15 * ir + ell) / (1.0 + ell);
}

// Identical free bosons and a Gaussian source lambda (4 pi R^2)^(-3/2)
// exp(-r^2/(4R^2)): C(q) - 1 = lambda exp(-4 q^2 R^2 / (hbar c)^2) exactly.
TEST(S2CFGaussian, PureHBTGivesTheExactCorrelation) {
  ScratchDir dir;
  const double lambda = 0.7, R = 3.0;
  auto k = MakeKernel(dir, 20, 5.0, 100, 0.25, 2, true);
  k->Calc_PureHBT();
  CCHArray S(2, 100, 0.25, true, true, true);
  CCHArray CF(2, 20, 5.0, true, true, true);
  FillGaussian(&S, lambda, R);
  EXPECT_EQ(CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF)), "");
  for (int iq = 0; iq < 20; iq++) {
    const double q = (iq + 0.5) * 5.0;
    EXPECT_CLOSE_ABS(CF.GetElement(0, 0, 0, iq),
                     lambda * exp(-4 * q * q * R * R / (kHbarC * kHbarC)), 0.0, 5e-5);
    EXPECT_EQ(CF.GetElement(0, 0, 2, iq), 0.0);
    EXPECT_EQ(CF.GetElement(0, 2, 0, iq), 0.0);
  }
  // The same through the interpolating path: another source grid.
  CCHArray S2(2, 150, 0.15, true, true, true);
  FillGaussian(&S2, lambda, R);
  S2CF::s2c(&S2, k.get(), &CF);
  for (int iq = 0; iq < 20; iq++) {
    const double q = (iq + 0.5) * 5.0;
    EXPECT_CLOSE_ABS(CF.GetElement(0, 0, 0, iq),
                     lambda * exp(-4 * q * q * R * R / (kHbarC * kHbarC)), 0.0, 5e-4);
  }
}

// On matching grids the interpolating lookup lands on the table values: a
// source one bin shorter than the kernel (which forces interpolation) must
// give what the table path gives when that bin is empty.
TEST(S2CFPaths, TableAndInterpolationAgreeOnMatchingGrids) {
  ScratchDir dir;
  const int nr = 12, nq = 6;
  auto k = MakeKernel(dir, nq, 4.0, nr, 0.5, 3, false);
  FillKernelPattern(k.get());
  CCHArray Sfull(3, nr, 0.5);
  CCHArray Sshort(3, nr - 1, 0.5);
  FillSmooth(&Sfull, nr - 1);
  FillSmooth(&Sshort, nr - 1);
  CCHArray CFtable(3, nq, 4.0), CFinterp(3, nq, 4.0);
  S2CF::s2c(&Sfull, k.get(), &CFtable);
  S2CF::s2c(&Sshort, k.get(), &CFinterp);
  for (int lx = 0; lx <= 1; lx++)
    for (int ly = 0; ly <= 3 - lx; ly++)
      for (int lz = 0; lz <= 3 - lx - ly; lz++)
        for (int iq = 0; iq < nq; iq++) {
          EXPECT_NE(CFtable.GetElement(lx, ly, lz, iq), 0.0);
          EXPECT_CLOSE(CFinterp.GetElement(lx, ly, lz, iq), CFtable.GetElement(lx, ly, lz, iq),
                       1e-12);
        }
  // Source bins beyond the kernel's r range add nothing on the interpolating path.
  CCHArray Slong(3, 2 * nr, 0.5);
  FillSmooth(&Slong, nr - 1);
  for (int ir = nr; ir < 2 * nr; ir++) Slong.SetElement(0, 0, 0, ir, 1.0);
  S2CF::s2c(&Slong, k.get(), &CFinterp);
  for (int iq = 0; iq < nq; iq++)
    EXPECT_CLOSE(CFinterp.GetElement(0, 0, 0, iq), CFtable.GetElement(0, 0, 0, iq), 1e-12);
}

// Constant kernel c_L and constant source component s give
// CF = c_L s sum_ir 4 pi r^2 dr: checks the rank used and the bin weights.
TEST(S2CFPaths, EachComponentUsesTheKernelOfItsRank) {
  ScratchDir dir;
  const int nr = 8;
  const double dr = 0.5;
  auto k = MakeKernel(dir, 3, 4.0, nr, dr, 2, false);
  for (int ell = 0; ell <= 2; ell++)
    for (int iq = 0; iq < 3; iq++)
      for (int ir = 0; ir < nr; ir++) k->kernel[ell][iq][ir] = 10.0 + ell;
  double volume = 0.0;
  for (int ir = 0; ir < nr; ir++) volume += 4 * M_PI * pow((ir + 0.5) * dr, 2) * dr;
  CCHArray S(2, nr, dr);
  FillSmooth(&S, 0);
  for (int ir = 0; ir < nr; ir++) {
    S.SetElement(0, 0, 0, ir, 1.0);
    S.SetElement(0, 0, 1, ir, 2.0);
    S.SetElement(1, 1, 0, ir, 3.0);
  }
  CCHArray CF(2, 3, 4.0);
  S2CF::s2c(&S, k.get(), &CF);
  EXPECT_CLOSE(CF.GetElement(0, 0, 0, 2), 10.0 * 1.0 * volume, kRoundoff);
  EXPECT_CLOSE(CF.GetElement(0, 0, 1, 2), 11.0 * 2.0 * volume, kRoundoff);
  EXPECT_CLOSE(CF.GetElement(1, 1, 0, 2), 12.0 * 3.0 * volume, kRoundoff);
  EXPECT_EQ(CF.GetElement(0, 2, 0, 2), 0.0);
}

TEST(S2CFComponents, WholeTransformFillsIndependentComponentsOnly) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, false);
  FillKernelPattern(k.get());
  CCHArray S(2, 6, 0.5, true, false, false);
  FillSmooth(&S, 6);
  CCHArray CF(2, 3, 4.0, true, false, false);
  CF.SetElement(2, 0, 0, 1, 9.0);  // zeroed by the whole transform, never filled
  S2CF::s2c(&S, k.get(), &CF);
  EXPECT_EQ(CF.GetElement(2, 0, 0, 1), 0.0);
  EXPECT_NE(CF.GetElement(0, 1, 1, 1), 0.0);
  // A zero source gives C - 1 = 0.
  CCHArray Z(2, 6, 0.5, true, false, false);
  S2CF::s2c(&Z, k.get(), &CF);
  for (int iq = 0; iq < 3; iq++) EXPECT_EQ(CF.GetBiggest(iq), 0.0);
}

TEST(S2CFComponents, ComponentTransformTouchesOnlyItsComponent) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, false);
  FillKernelPattern(k.get());
  CCHArray S(2, 6, 0.5);
  FillSmooth(&S, 6);
  CCHArray whole(2, 3, 4.0);
  S2CF::s2c(&S, k.get(), &whole);
  CCHArray CF(2, 3, 4.0);
  for (int iq = 0; iq < 3; iq++) {
    CF.SetElement(0, 1, 0, iq, 5.0);
    CF.SetElement(0, 0, 1, iq, -5.0);  // stale: replaced
  }
  S2CF::s2c(0, 0, 1, &S, k.get(), &CF);
  for (int iq = 0; iq < 3; iq++) {
    EXPECT_EQ(CF.GetElement(0, 1, 0, iq), 5.0);
    EXPECT_EQ(CF.GetElement(0, 0, 0, iq), 0.0);
    EXPECT_CLOSE(CF.GetElement(0, 0, 1, iq), whole.GetElement(0, 0, 1, iq), kRoundoff);
  }
  // A component CF does not store is refused.
  CCHArray CFsym(2, 3, 4.0, true, true, true);
  auto kid = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, true);
  EXPECT_FATAL(S2CF::s2c(0, 0, 1, &S, kid.get(), &CFsym),
               "^FATAL: S2CF::s2c asked for component l=\\(0,0,1\\) that CF does not store\n$");
}

TEST(S2CFChecks, WarningBlockWhenTheKernelRankIsLower) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 1, false);
  FillKernelPattern(k.get());
  CCHArray S(2, 6, 0.5);
  FillSmooth(&S, 6);
  CCHArray CF(2, 3, 4.0);
  const std::string out = CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));
  EXPECT_EQ(out,
            "WARNING: Array parameters for kernel calculations don't match\n"
            "___ CORRELATION FUNCTION PARAMETERS ___\n"
            "XSYM=0, YSYM=0, ZSYM=0\nLMAX=2, NRADIAL=3, RADSTEP=4\n"
            "_____ SOURCE FUNCTION PARAMETERS _____\n"
            "XSYM=0, YSYM=0, ZSYM=0\nLMAX=2, NRADIAL=6, RADSTEP=0.5\n"
            "For kernel, LMAX=1\n");
  for (int iq = 0; iq < 3; iq++) {
    EXPECT_NE(CF.GetElement(0, 0, 1, iq), 0.0);
    EXPECT_EQ(CF.GetElement(0, 0, 2, iq), 0.0);
    EXPECT_EQ(CF.GetElement(1, 1, 0, iq), 0.0);
  }
  // The component form warns the same way, once.
  EXPECT_EQ(CAPTURE_STDOUT(S2CF::s2c(0, 0, 1, &S, k.get(), &CF)), out);
}

TEST(S2CFChecks, FatalMismatches) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, false);
  CCHArray S1(1, 6, 0.5), CF2(2, 3, 4.0);
  EXPECT_FATAL(S2CF::s2c(&S1, k.get(), &CF2),
               "^FATAL: Kernel LMAX=2 larger than either S LMAX=1 or CF LMAX=2\n$");
  CCHArray S2(2, 6, 0.5), CF1(1, 3, 4.0);
  EXPECT_FATAL(S2CF::s2c(0, 0, 0, &S2, k.get(), &CF1),
               "^FATAL: Kernel LMAX=2 larger than either S LMAX=2 or CF LMAX=1\n$");
  auto kid = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, true);
  CCHArray CFhalf(2, 3, 4.0, true, true, false);
  EXPECT_FATAL(S2CF::s2c(&S2, kid.get(), &CFhalf),
               "^FATAL: kernel has no odd L components, but CF wants them\n"
               "Make sure CF array has XSYM=YSYM=ZSYM='true'\n$");
}

}  // namespace

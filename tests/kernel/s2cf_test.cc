// Source to correlation function through the angular kernel, and the chi-square of one
// correlation-function component.

#include "kernel/s2cf.h"

#include <cmath>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/cfcalc.h"
#include "kernel/kernel.h"
#include "kernel_test_util.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using kernel_test::FillPattern;
using kernel_test::MakeKernel;

using kernel_test::kHbarC;

// Spherical Gaussian source lambda (4 pi R^2)^(-3/2) exp(-r^2/(4R^2)), R in fm.
void FillGaussian(CCHArray* S, double lambda, double R) {
  for (int ir = 0; ir < S->GetNRADIAL(); ir++) {
    const double r = (ir + 0.5) * S->GetRADSTEP();
    S->SetElement(0, 0, 0, ir, lambda * pow(4.0 * M_PI * R * R, -1.5) * exp(-r * r / (4 * R * R)));
  }
}

// Every independent component of S in bins below nbins set to a smooth function of (l, r).
void FillSmooth(CCHArray* S, int nbins) {
  for (int lx = 0; lx <= 1; lx += S->dlx)
    for (int ly = 0; ly <= S->GetLMAX() - lx; ly += S->dly)
      for (int lz = 0; lz <= S->GetLMAX() - lx - ly; lz += S->dlz)
        for (int ir = 0; ir < nbins; ir++) {
          const double r = (ir + 0.5) * S->GetRADSTEP();
          S->SetElement(lx, ly, lz, ir, (1 + lx + 2 * ly + 3 * lz) * exp(-r / 3.0) * cos(0.2 * r));
        }
}

TEST(S2CFGaussian, PureHBTGivesTheExactCorrelationOnBothPaths) {
  // Identical free bosons: C(q) - 1 = lambda exp(-4 q^2 R^2 / (hbar c)^2) exactly. The second
  // source grid differs from the kernel's, which forces the interpolating path.
  ScratchDir dir;
  const double lambda = 0.7, R = 3.0;
  auto k = MakeKernel(dir, 20, 5.0, 100, 0.25, 2, true);
  k->Calc_PureHBT();
  CCHArray S(2, 100, 0.25, true, true, true), S2(2, 150, 0.15, true, true, true);
  CCHArray CF(2, 20, 5.0, true, true, true), CF2(2, 20, 5.0, true, true, true);
  FillGaussian(&S, lambda, R);
  FillGaussian(&S2, lambda, R);
  EXPECT_EQ(CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF)), "");
  S2CF::s2c(&S2, k.get(), &CF2);
  for (int iq = 0; iq < 20; iq++) {
    const double q = (iq + 0.5) * 5.0, exact = lambda * exp(-4 * q * q * R * R / (kHbarC * kHbarC));
    EXPECT_CLOSE_ABS(CF.GetElement(0, 0, 0, iq), exact, 0.0, 5e-5);
    EXPECT_CLOSE_ABS(CF2.GetElement(0, 0, 0, iq), exact, 0.0, 5e-4);
    EXPECT_EQ(CF.GetElement(0, 0, 2, iq) + CF.GetElement(0, 2, 0, iq), 0.0);
  }
}

TEST(S2CFPaths, TableAndInterpolationAgreeOnMatchingGrids) {
  // A source one bin shorter than the kernel (which forces interpolation) must give what the
  // table path gives when that bin is empty; source bins beyond the kernel's r range add nothing.
  ScratchDir dir;
  const int nr = 12, nq = 6;
  auto k = MakeKernel(dir, nq, 4.0, nr, 0.5, 3, false);
  FillPattern(k.get());
  CCHArray Sfull(3, nr, 0.5), Sshort(3, nr - 1, 0.5), Slong(3, 2 * nr, 0.5);
  for (CCHArray* S : {&Sfull, &Sshort, &Slong}) FillSmooth(S, nr - 1);
  for (int ir = nr; ir < 2 * nr; ir++) Slong.SetElement(0, 0, 0, ir, 1.0);
  CCHArray CFtable(3, nq, 4.0), CFshort(3, nq, 4.0), CFlong(3, nq, 4.0);
  S2CF::s2c(&Sfull, k.get(), &CFtable);
  S2CF::s2c(&Sshort, k.get(), &CFshort);
  S2CF::s2c(&Slong, k.get(), &CFlong);
  for (int lx = 0; lx <= 1; lx++)
    for (int ly = 0; ly <= 3 - lx; ly++)
      for (int lz = 0; lz <= 3 - lx - ly; lz++)
        for (int iq = 0; iq < nq; iq++) {
          const double table = CFtable.GetElement(lx, ly, lz, iq);
          EXPECT_NE(table, 0.0);
          EXPECT_CLOSE(CFshort.GetElement(lx, ly, lz, iq), table, 1e-12);
          EXPECT_CLOSE(CFlong.GetElement(lx, ly, lz, iq), table, 1e-12);
        }
}

TEST(S2CFPaths, EachComponentUsesTheKernelOfItsRank) {
  // Constant kernel c_L and constant source component s give CF = c_L s sum_ir 4 pi r^2 dr.
  ScratchDir dir;
  const int nr = 8;
  const double dr = 0.5;
  auto k = MakeKernel(dir, 3, 4.0, nr, dr, 2, false);
  double volume = 0.0;
  CCHArray S(2, nr, dr);
  const int l[3][3] = {{0, 0, 0}, {0, 0, 1}, {1, 1, 0}};  // ranks 0, 1, 2 with source 1, 2, 3
  for (int ir = 0; ir < nr; ir++) {
    volume += 4 * M_PI * pow((ir + 0.5) * dr, 2) * dr;
    for (int ell = 0; ell <= 2; ell++) {
      for (int iq = 0; iq < 3; iq++) k->kernel[ell][iq][ir] = 10.0 + ell;
      S.SetElement(l[ell][0], l[ell][1], l[ell][2], ir, ell + 1.0);
    }
  }
  CCHArray CF(2, 3, 4.0);
  S2CF::s2c(&S, k.get(), &CF);
  for (int ell = 0; ell <= 2; ell++)
    EXPECT_CLOSE(CF.GetElement(l[ell][0], l[ell][1], l[ell][2], 2),
                 (10.0 + ell) * (ell + 1) * volume, kRoundoff);
  EXPECT_EQ(CF.GetElement(0, 2, 0, 2), 0.0);
}

TEST(S2CFComponents, WholeAndComponentTransformsTouchOnlyTheirComponents) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, false);
  FillPattern(k.get());
  CCHArray Sx(2, 6, 0.5, true, false, false), CFx(2, 3, 4.0, true, false, false);
  FillSmooth(&Sx, 6);
  CFx.SetElement(2, 0, 0, 1, 9.0);  // zeroed by the whole transform, never filled
  S2CF::s2c(&Sx, k.get(), &CFx);
  EXPECT_EQ(CFx.GetElement(2, 0, 0, 1), 0.0);
  EXPECT_NE(CFx.GetElement(0, 1, 1, 1), 0.0);
  // The component form replaces its component only.
  CCHArray S(2, 6, 0.5), whole(2, 3, 4.0), CF(2, 3, 4.0);
  FillSmooth(&S, 6);
  S2CF::s2c(&S, k.get(), &whole);
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
}

TEST(S2CFChecks, WarningBlockWhenTheKernelRankIsLower) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 1, false);
  FillPattern(k.get());
  CCHArray S(2, 6, 0.5), CF(2, 3, 4.0);
  FillSmooth(&S, 6);
  const std::string out = CAPTURE_STDOUT(S2CF::s2c(&S, k.get(), &CF));
  EXPECT_EQ(out.find("WARNING: Array parameters for kernel calculations don't match\n"), 0u);
  EXPECT_NE(out.find("For kernel, LMAX=1\n"), std::string::npos) << out;
  for (int iq = 0; iq < 3; iq++) {
    EXPECT_NE(CF.GetElement(0, 0, 1, iq), 0.0);
    EXPECT_EQ(CF.GetElement(0, 0, 2, iq) + CF.GetElement(1, 1, 0, iq), 0.0);
  }
  // The component form warns the same way, once.
  EXPECT_EQ(CAPTURE_STDOUT(S2CF::s2c(0, 0, 1, &S, k.get(), &CF)), out);
}

TEST(S2CFChecks, FatalMismatches) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, false);
  CCHArray S2(2, 6, 0.5), CF1(1, 3, 4.0);
  EXPECT_FATAL(S2CF::s2c(0, 0, 0, &S2, k.get(), &CF1),
               "^FATAL: Kernel LMAX=2 larger than either S LMAX=2 or CF LMAX=1\n$");
  auto kid = MakeKernel(dir, 3, 4.0, 6, 0.5, 2, true);
  CCHArray CFhalf(2, 3, 4.0, true, true, false), CFsym(2, 3, 4.0, true, true, true);
  EXPECT_FATAL(S2CF::s2c(&S2, kid.get(), &CFhalf),
               "^FATAL: kernel has no odd L components, but CF wants them\n"
               "Make sure CF array has XSYM=YSYM=ZSYM='true'\n$");
  EXPECT_FATAL(S2CF::s2c(0, 0, 1, &S2, kid.get(), &CFsym),
               "^FATAL: S2CF::s2c asked for component l=\\(0,0,1\\) that CF does not store\n$");
}

TEST(CFCalcChiSquared, SumsOverTheMeasuredBinsOfOneComponent) {
  // Differences of 1 and errors of 0.5 give 4 per bin; the reduced value divides by the bins of
  // the measured array, only those bins are summed, and other components do not count.
  CCHArray exp(1, 4, 4.0), err(1, 4, 4.0), theory(1, 6, 4.0);
  for (int ir = 0; ir < 6; ir++) theory.SetElement(0, 0, 0, ir, ir < 4 ? 0.5 : 100.0);
  for (int ir = 0; ir < 4; ir++) {
    exp.SetElement(0, 0, 0, ir, ir % 2 ? 1.5 : -0.5);
    exp.SetElement(0, 0, 1, ir, 7.0);
    err.SetElement(0, 0, 0, ir, 0.5);
  }
  double chi2 = 0.0;
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(0, 0, 0, &exp, &err, &theory)),
            "chi^2/Ndof=4\n");
  EXPECT_CLOSE(chi2, 16.0, femtokit_test::kRoundoff);
}

TEST(CFCalcChiSquared, TinyErrorsWarnPerBinAndStillCount) {
  CCHArray exp(1, 3, 4.0), err(1, 3, 4.0), theory(1, 3, 4.0);
  err.SetElement(1, 0, 0, 0, 1.0);
  err.SetElement(1, 0, 0, 1, -2.0);
  err.SetElement(1, 0, 0, 2, 0.0);
  exp.SetElement(1, 0, 0, 1, 1.0);
  exp.SetElement(1, 0, 0, 2, 1.0);
  double chi2 = 0.0;
  EXPECT_EQ(CAPTURE_STDOUT(chi2 = CFCalc::GetChiSquared(1, 0, 0, &exp, &err, &theory)),
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = -2, l=(1,0,0)\n"
            "CFCalc::GetChiSquared : \nSuspiciously small or negative error = 0, l=(1,0,0)\n"
            "chi^2/Ndof=inf\n");
  EXPECT_TRUE(std::isinf(chi2));
}

}  // namespace

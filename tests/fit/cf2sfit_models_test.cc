// The one-dimensional fit: construction from the model's map, and a fit of
// the GX1D source through a plane-wave kernel to data made from a known source.

#include "fit/cf2sfit_models.h"

#include <cmath>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "fit_test_model.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

TEST(CCF2SFit_GX1DTest, StartsFromTheModelsMap) {
  CSourceCalc_GX1D source;
  source.SetSPars(0.5, 6.0, 0.0, 10.0, 5.0);
  CCHArray a(0, 4, 1.0);
  CCF2SFit_GX1D* fit = nullptr;
  const std::string out = CAPTURE_STDOUT(fit = new CCF2SFit_GX1D(&source, &a, &a, &a, &a, nullptr));
  EXPECT_EQ(out, "SFit Arrays Initialized\n");
  EXPECT_EQ(fit->ndim, 1);
  EXPECT_EQ(fit->npars, 5);
  EXPECT_EQ(fit->nfreepars, 5);
  EXPECT_EQ(fit->sourcecalc, &source);
  EXPECT_EQ(fit->cexp3D, nullptr);
  EXPECT_EQ(fit->ctheory3D, nullptr);
  EXPECT_EQ(fit->bestchi2, 1.0e20);
  EXPECT_EQ(CAPTURE_STDOUT(fit->PrintPars()),
            "ipar        name     value       error       min         max     fixed\n"
            " 0 :      lambdaG  5.0000e-01  2.0000e-02  0.0000e+00  1.5000e+00  0\n"
            " 1 :            R  6.0000e+00  2.0000e-01  1.0000e+00  1.2000e+01  0\n"
            " 2 :      lambdaX  0.0000e+00  2.0000e-02  0.0000e+00  1.5000e+00  0\n"
            " 3 :            X  1.0000e+01  4.0000e-01  1.0000e+00  2.5000e+01  0\n"
            " 4 :            a  5.0000e+00  2.0000e-01  1.0000e+00  2.0000e+01  0\n");
  // Matrices seeded with the errors (step) and their squares (error matrix).
  const double errors[5] = {0.02, 0.2, 0.02, 0.4, 0.2};
  for (int i = 0; i < 5; i++) {
    for (int j = 0; j < 5; j++) {
      EXPECT_EQ(fit->StepMatrix[i][j], i == j ? errors[i] : 0.0);
      EXPECT_EQ(fit->ErrorMatrix[i][j], i == j ? errors[i] * errors[i] : 0.0);
    }
  }
  // The driver's fixing order leaves lambdaG, R free and X, a, lambdaX fixed.
  const std::string fixes = CAPTURE_STDOUT({
    fit->FixPar("lambdaX");
    fit->FixPar("a");
    fit->FixPar("X");
  });
  EXPECT_EQ(fixes, "Fixing par[4], name=lambdaX\nFixing par[3], name=a\nFixing par[2], name=X\n");
  const char* order[5] = {"lambdaG", "R", "X", "a", "lambdaX"};
  for (int i = 0; i < 5; i++) {
    EXPECT_STREQ(fit->par[i]->name, order[i]);
    EXPECT_EQ(fit->par[i]->fixed, i >= 2);
  }
  delete fit;
}

TEST(CCF2SFit_GX1DTest, MissingNameStartsAtDefaultAndValuesCarrySixDigits) {
  CSourceCalc_GX1D source;
  source.SetSPars(1.0 / 3.0, 6.0, 0.0, 10.0, 5.0);
  source.spars.erase("R");
  source.spars.erase("a");
  CCHArray a(0, 4, 1.0);
  CCF2SFit_GX1D* fit = nullptr;
  CAPTURE_STDOUT(fit = new CCF2SFit_GX1D(&source, &a, &a, &a, &a, nullptr));
  EXPECT_EQ(fit->par[0]->currentx, 0.333333);
  EXPECT_EQ(fit->par[1]->currentx, 5.0);
  EXPECT_EQ(fit->par[4]->currentx, 5.0);
  delete fit;
}

// Plane-wave kernel on a small grid, data made from a GX1D source through it.
class GX1DPipeline : public ::testing::Test {
 protected:
  GX1DPipeline() {
    WriteTextFile(dir / "k.dat",
                  "int NQMAX 30\nint NRMAX 60\nint KLMAX 0\ndouble DELQ 4.0\ndouble DELR 0.5\n");
    CAPTURE_STDOUT({
      kernel = new CKernel((dir / "k.dat").c_str());
      kernel->Calc_PureHBT();
    });
    sourceCH = new CCHArray(0, 60, 0.5);
    cexpCH = new CCHArray(0, 30, 4.0);
    cerrorCH = new CCHArray(0, 30, 4.0);
    ctheoryCH = new CCHArray(0, 30, 4.0);
    // "Measured" data: the model at lambdaG 0.6, R 5.5 fm, errors 0.01.
    source.SetSPars(0.6, 5.5, 0.0, 10.0, 5.0);
    source.CalcS(sourceCH);
    CAPTURE_STDOUT(S2CF::s2c(sourceCH, kernel, cexpCH));
    for (int iq = 0; iq < 30; iq++) cerrorCH->SetElement(0, 0, 0, iq, 0.01);
    source.SetSPars(0.5, 6.0, 0.0, 10.0, 5.0);
    CAPTURE_STDOUT(fit = new CCF2SFit_GX1D(&source, cexpCH, cerrorCH, ctheoryCH, sourceCH, kernel));
    fit->SetL(0, 0, 0);
  }
  ~GX1DPipeline() override {
    delete fit;
    delete sourceCH;
    delete cexpCH;
    delete cerrorCH;
    delete ctheoryCH;
    CAPTURE_STDOUT(delete kernel);
  }
  ScratchDir dir;
  CSourceCalc_GX1D source;
  CKernel* kernel;
  CCHArray *sourceCH, *cexpCH, *cerrorCH, *ctheoryCH;
  CCF2SFit_GX1D* fit;
};

TEST_F(GX1DPipeline, ChiSquareVanishesAtTheGeneratingParameters) {
  const double truth[5] = {0.6, 5.5, 0.0, 10.0, 5.0};
  double chi2 = 1.0;
  const std::string out = CAPTURE_STDOUT(chi2 = fit->GetChiSquared(truth));
  EXPECT_EQ(out.find("In GetChiSquare, x[] = 0.6,5.5,0,10,5,\n"), 0u);
  EXPECT_NE(out.find("chi^2/Ndof="), std::string::npos);
  EXPECT_LT(chi2, 1e-12);
  // lambdaX, X and a do not enter the angle-averaged component of a source
  // without exponential part (lambdaX = 0): only lambdaX itself would.
  const double other[5] = {0.6, 5.5, 0.0, 20.0, 9.0};
  CAPTURE_STDOUT(chi2 = fit->GetChiSquared(other));
  EXPECT_LT(chi2, 1e-12);
  const double start[5] = {0.5, 6.0, 0.0, 10.0, 5.0};
  CAPTURE_STDOUT(chi2 = fit->GetChiSquared(start));
  EXPECT_GT(chi2, 100.0);
}

TEST_F(GX1DPipeline, NewtonMovesTowardsTheGeneratingParameters) {
  CAPTURE_STDOUT({
    fit->FixPar("lambdaX");
    fit->FixPar("a");
    fit->FixPar("X");
  });
  const double start[2] = {0.5, 6.0};
  double chi2start = 0.0;
  CAPTURE_STDOUT(chi2start = fit->GetChiSquared(start));
  const std::string out = CAPTURE_STDOUT(fit->Newton(6));
  EXPECT_EQ(fit_test::CountOf(out, "SUCCESS!!!!!!!!!!!\n"), 2);
  // Two Newton iterations on a non-quadratic chi^2: most of the way, not all.
  EXPECT_LT(fit->currentchi2, 0.05 * chi2start);
  EXPECT_LT(std::fabs(fit->par[1]->currentx - 5.5), 0.5 * 0.5);
  EXPECT_LT(std::fabs(fit->par[0]->currentx - 0.6), 0.1 * 0.1);
  // Fixed parameters stayed and have no error.
  EXPECT_EQ(fit->par[2]->currentx, 10.0);
  EXPECT_EQ(fit->par[4]->error, 0.0);
}

}  // namespace

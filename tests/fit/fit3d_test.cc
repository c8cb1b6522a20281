// Three-dimensional fits: construction of both fits, and the end-to-end example on small grids.
// A known Gaussian source is put on a grid, carried through the three-dimensional plane-wave
// kernel with the grid transform (|psi|^2 = 1 + cos(2 q.r / hbar c), identical bosons), and the
// resulting C(q) - 1 grid is fitted through the other road (Cartesian-harmonic source, angular
// kernel, expansion onto the grid): the fit must find the radii again.

#include <cmath>
#include <memory>
#include <string>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "common/test_util.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "kernel/s2cf.h"
#include "source/sourcecalc_blast.h"
#include "source/sourcecalc_gaussian.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

constexpr double kHbarC = 197.3269602;  // MeV fm

// Known source, and the grids of the example (small, so the test stays fast).
constexpr double kLambda = 0.8, kRx = 2.6, kRy = 3.0, kRz = 3.4;  // fm
constexpr int kLmax = 6;  // rank of the Cartesian-harmonic source and correlation function
constexpr int kNSource = 16;
constexpr double kDelSource = 1.25;  // fm: 20 fm per axis, about four widths sqrt(2) Rz
constexpr int kNCF = 10;
constexpr double kDelCF = 6.0;  // MeV/c: 60 MeV/c per axis, C - 1 falls from 0.8 to ~1e-4
constexpr int kNRadial = 60;
constexpr double kRadStep = 0.5;  // fm, source array
constexpr int kNQ = 55;
constexpr double kQStep = 2.0;  // MeV/c, correlation array (covers the grid's corner, 104 MeV/c)
constexpr double kError = 1e-3;

// Everything the example needs, built once for the suite.
struct Example {
  ScratchDir* dir;
  std::unique_ptr<CKernel> kernel;
  std::unique_ptr<C3DArray> cexp, cerror, ctheory3D;
  std::unique_ptr<CCHArray> sourceCH, ctheoryCH;
};

class Fit3DGaussian : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ex_ = new Example;
    ex_->dir = new ScratchDir;
    const std::string kpars = *ex_->dir / "kparameters.dat";
    WriteTextFile(kpars, "int NQMAX " + std::to_string(kNQ) + "\nint NRMAX " +
                             std::to_string(kNRadial) + "\nint KLMAX " + std::to_string(kLmax) +
                             "\ndouble DELQ " + std::to_string(kQStep) + "\ndouble DELR " +
                             std::to_string(kRadStep) + "\nbool IDENTICAL 1\n");
    // Three-dimensional kernel fine enough that its linear interpolation stays well below the
    // 2 % goal: 1 MeV/c, 0.25 fm and 1/200 in cos theta.
    const std::string wfpars = *ex_->dir / "kwfparameters.dat";
    WriteTextFile(wfpars,
                  "int NQMAX 110\nint NRMAX 145\nint NCTHETA 200\ndouble DELQ 1.0\n"
                  "double DELR 0.25\nbool IDENTICAL 1\n");
    CAPTURE_STDOUT(BuildData(kpars, wfpars));
    ex_->cerror = std::make_unique<C3DArray>(kNCF, kDelCF, true, true, true);
    ex_->cerror->MakeConstant(kError);
    ex_->ctheory3D = std::make_unique<C3DArray>(kNCF, kDelCF, true, true, true);
    ex_->sourceCH = std::make_unique<CCHArray>(kLmax, kNRadial, kRadStep, true, true, true);
    ex_->ctheoryCH = std::make_unique<CCHArray>(kLmax, kNQ, kQStep, true, true, true);
  }
  // The angular kernel of the fit and the "measured" grid C(q) - 1 (the kernels print their
  // parameters, the grid transform its progress).
  static void BuildData(const std::string& kpars, const std::string& wfpars) {
    ex_->kernel = std::make_unique<CKernel>(kpars.c_str());
    ex_->kernel->Calc_PureHBT();
    CKernelWF kernelwf(wfpars.c_str());
    for (int iq = 0; iq < kernelwf.nqmax; iq++)
      for (int ir = 0; ir < kernelwf.nrmax; ir++)
        for (int ic = 0; ic <= kernelwf.nctheta; ic++) {
          const double q = (iq + 0.5) * kernelwf.delq, r = (ir + 0.5) * kernelwf.delr;
          const double c = 1.0 - ic * kernelwf.delctheta;
          kernelwf.kernel[iq][ir][ic] = std::cos(2.0 * q * r * c / kHbarC);
        }

    CSourceCalc_Gaussian truth;
    truth.SetSPars(kLambda, kRx, kRy, kRz);
    C3DArray sgrid(kNSource, kDelSource, true, true, true);
    truth.CalcS(&sgrid);
    ex_->cexp = std::make_unique<C3DArray>(kNCF, kDelCF, true, true, true);
    S2CF::s2c(&sgrid, &kernelwf, ex_->cexp.get());
    // The grid transform gives C(q) = integral of S |psi|^2; the fit compares C(q) - 1 per
    // unit source, so remove the grid source's own integral (8 octants of stored cells).
    double norm = 0.0;
    for (int ix = 0; ix < kNSource; ix++)
      for (int iy = 0; iy < kNSource; iy++)
        for (int iz = 0; iz < kNSource; iz++) norm += sgrid.GetElement(0, ix, 0, iy, 0, iz);
    norm *= 8.0 * kDelSource * kDelSource * kDelSource;
    for (int ix = 0; ix < kNCF; ix++)
      for (int iy = 0; iy < kNCF; iy++)
        for (int iz = 0; iz < kNCF; iz++) ex_->cexp->IncrementElement(0, ix, 0, iy, 0, iz, -norm);
  }

  static void TearDownTestSuite() {
    ex_->kernel.reset();
    delete ex_->dir;
    delete ex_;
  }

  std::unique_ptr<CCF2SFit_3DGaussian> MakeFit(CSourceCalc_Gaussian* model) {
    CCF2SFit_3DGaussian* fit = nullptr;
    CAPTURE_STDOUT(fit = new CCF2SFit_3DGaussian(model, ex_->cexp.get(), ex_->cerror.get(),
                                                 ex_->ctheory3D.get(), ex_->ctheoryCH.get(),
                                                 ex_->sourceCH.get(), ex_->kernel.get()));
    return std::unique_ptr<CCF2SFit_3DGaussian>(fit);
  }

  static Example* ex_;
};
Example* Fit3DGaussian::ex_ = nullptr;

TEST_F(Fit3DGaussian, NewtonRecoversTheRadii) {
  CSourceCalc_Gaussian model;
  model.SetSPars(0.7, 3.2, 3.2, 3.2);
  std::unique_ptr<CCF2SFit_3DGaussian> fit = MakeFit(&model);
  EXPECT_EQ(fit->ndim, 3);
  EXPECT_EQ(fit->npars, 5);
  // Offsets break the arrays' reflection symmetry (fatal in the model): keep Xoff at 0.
  CAPTURE_STDOUT(fit->FixPar("Xoff"));
  double x0[4] = {0.7, 3.2, 3.2, 3.2};
  double chi2_start = 0.0;
  CAPTURE_STDOUT(chi2_start = fit->GetChiSquared(x0));
  for (int run = 0; run < 4; run++) CAPTURE_STDOUT(fit->Newton(2));
  const double truth[4] = {kLambda, kRx, kRy, kRz};
  const char* names[4] = {"lambda", "Rx", "Ry", "Rz"};
  for (int i = 0; i < 4; i++) {
    EXPECT_STREQ(fit->par[i]->name, names[i]);
    EXPECT_CLOSE(fit->par[i]->currentx, truth[i], 0.02) << names[i];
  }
  EXPECT_LT(fit->currentchi2, 1e-3 * chi2_start);
  EXPECT_LE(fit->bestchi2, fit->currentchi2);
}

// The grid evaluation computes the whole source whatever component SetL names, and at the true
// parameters its model grid follows the data along every axis (the lx >= 2 components of the
// transformed correlation function carry the x anisotropy).
TEST_F(Fit3DGaussian, EvaluationIgnoresSetLAndMatchesTheDataAtTheTruth) {
  CSourceCalc_Gaussian model;
  std::unique_ptr<CCF2SFit_3DGaussian> fit = MakeFit(&model);
  const double x[5] = {kLambda, kRx, kRy, kRz, 0.0};
  double a = 0.0, b = 0.0;
  fit->SetL(0, 0, 0);
  CAPTURE_STDOUT(a = fit->GetChiSquared(x));
  fit->SetL(0, 0, 2);
  CAPTURE_STDOUT(b = fit->GetChiSquared(x));
  EXPECT_EQ(a, b);
  EXPECT_EQ(fit->Ncalls, 2);
  EXPECT_NE(fit->sourceCH->GetElement(0, 0, 2, 10), 0.0);  // anisotropic components computed
  EXPECT_NE(fit->sourceCH->GetElement(2, 0, 0, 10), 0.0);
  const C3DArray& data = *ex_->cexp;
  const C3DArray& model3d = *fit->ctheory3D;
  for (int i = 0; i < kNCF; i++) {
    EXPECT_NEAR(model3d.GetElement(0, i, 0, 0, 0, 0), data.GetElement(0, i, 0, 0, 0, 0), 0.005);
    EXPECT_NEAR(model3d.GetElement(0, 0, 0, i, 0, 0), data.GetElement(0, 0, 0, i, 0, 0), 0.005);
    EXPECT_NEAR(model3d.GetElement(0, 0, 0, 0, 0, i), data.GetElement(0, 0, 0, 0, 0, i), 0.005);
  }
}

TEST(Fit3DConstruction, BlastTableAndMatrices) {
  CSourceCalc_Blast model;      // lambda 0.5, R 13, Tau 12
  model.spars.erase("DelTau");  // a name the map lacks starts at the table's default
  CCHArray a(2, 4, 1.0, true, true, true);
  C3DArray g(2, 1.0, true, true, true);
  CCF2SFit_Blast* fit = nullptr;
  CAPTURE_STDOUT(fit = new CCF2SFit_Blast(&model, &g, &g, &g, &a, &a, nullptr));
  EXPECT_EQ(fit->ndim, 3);
  EXPECT_EQ(fit->npars, 4);
  EXPECT_EQ(fit->nfreepars, 4);
  EXPECT_EQ(fit->bestchi2, 1e20);
  EXPECT_EQ(fit->cexpCH, nullptr);
  EXPECT_EQ(CAPTURE_STDOUT(fit->PrintPars()),
            "ipar        name     value       error       min         max     fixed\n"
            " 0 :       lambda  5.0000e-01  5.0000e-02  0.0000e+00  1.5000e+00  0\n"
            " 1 :            R  1.3000e+01  5.0000e-01  5.0000e+00  2.0000e+01  0\n"
            " 2 :          Tau  1.2000e+01  5.0000e-01  5.0000e+00  2.0000e+01  0\n"
            " 3 :       DelTau  5.0000e+00  5.0000e-01  0.0000e+00  2.0000e+01  0\n");
  EXPECT_EQ(CAPTURE_STDOUT(fit->PrintErrorMatrix()),
            "________ < delX_i delX_j > ________\n"
            " 2.50e-03  0.00e+00  0.00e+00  0.00e+00 \n"
            " 0.00e+00  2.50e-01  0.00e+00  0.00e+00 \n"
            " 0.00e+00  0.00e+00  2.50e-01  0.00e+00 \n"
            " 0.00e+00  0.00e+00  0.00e+00  2.50e-01 \n"
            "___________________________________\n");
  EXPECT_EQ(CAPTURE_STDOUT(fit->PrintStepMatrix()),
            "________ < StepMatrix_ij > ________\n"
            " 5.00e-02  0.00e+00  0.00e+00  0.00e+00 \n"
            " 0.00e+00  5.00e-01  0.00e+00  0.00e+00 \n"
            " 0.00e+00  0.00e+00  5.00e-01  0.00e+00 \n"
            " 0.00e+00  0.00e+00  0.00e+00  5.00e-01 \n"
            "___________________________________\n");
  delete fit;
}

// A blast-wave evaluation recomputes the Monte-Carlo source every time: the same parameters
// give a slightly different chi^2, and the trial values reach the model's map.
TEST(Fit3DConstruction, BlastEvaluationResamplesTheSource) {
  ScratchDir dir;
  WriteTextFile(dir / "kparameters.dat",
                "int NQMAX 20\nint NRMAX 40\nint KLMAX 2\ndouble DELQ 5.0\ndouble DELR 2.0\n"
                "bool IDENTICAL 1\n");
  CSourceCalc_Blast model;
  model.SetSPars(0.5, 8.0, 6.0, 2.0, 0.5, 120.0, 400.0, 1.0, 139.58, 139.58);
  parameter::set(model.spars, "Nsample", 150);
  CCHArray source(2, 40, 2.0, true, true, true), cf(2, 20, 5.0, true, true, true);
  C3DArray cexp(6, 10.0, true, true, true), cerr(6, 10.0, true, true, true),
      cth(6, 10.0, true, true, true);
  cerr.MakeConstant(0.01);
  std::unique_ptr<CKernel> kernel;
  CCF2SFit_Blast* fit = nullptr;
  auto build = [&]() {
    kernel = std::make_unique<CKernel>((dir / "kparameters.dat").c_str());
    kernel->Calc_PureHBT();
    fit = new CCF2SFit_Blast(&model, &cexp, &cerr, &cth, &cf, &source, kernel.get());
  };
  CAPTURE_STDOUT(build());
  const double x[4] = {0.6, 9.0, 7.0, 1.5};
  double c1 = 0.0, c2 = 0.0;
  CAPTURE_STDOUT(c1 = fit->GetChiSquared(x));
  CAPTURE_STDOUT(c2 = fit->GetChiSquared(x));
  EXPECT_EQ(model.spars["R"], "9");
  EXPECT_EQ(model.spars["DelTau"], "1.5");
  EXPECT_GT(c1, 0.0);
  EXPECT_NE(c1, c2);
  EXPECT_CLOSE(c1, c2, 0.2);
  delete fit;
}

}  // namespace

// Three-dimensional fits: construction and grid evaluation of the Gaussian and blast-wave fits.

#include <cmath>
#include <memory>
#include <string>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "common/test_util.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "numeric/constants.h"
#include "source/sourcecalc_blast.h"
#include "source/sourcecalc_gaussian.h"

namespace {

using femtokit::constants::kHbarC;

// Known source, radii in the sense exp(-x^2 / (4 Rx^2)), and the grids of femtofit3d's example:
// correlation cells of 6 MeV/c (60 MeV/c per axis, C - 1 falls from 0.8 to ~1e-4); rank-6
// arrays on 0.5 fm and 2 MeV/c bins, the latter covering the grid's corner (104 MeV/c).
constexpr double kLambda = 0.8, kRx = 2.6, kRy = 3.0, kRz = 3.4;  // fm
constexpr int kNCF = 10;
constexpr double kDelCF = 6.0;

// The pure-HBT angular kernel of identical bosons with the given NQMAX, NRMAX, KLMAX, DELQ, DELR.
std::unique_ptr<CKernel> PureHBTKernel(int nq, int nr, int lmax, double dq, double dr) {
  auto kernel = femtokit_test::MakeFromPars<CKernel>(
      "int NQMAX " + std::to_string(nq) + "\nint NRMAX " + std::to_string(nr) + "\nint KLMAX " +
      std::to_string(lmax) + "\ndouble DELQ " + std::to_string(dq) + "\ndouble DELR " +
      std::to_string(dr) + "\nbool IDENTICAL 1\n");
  kernel->Calc_PureHBT();
  return kernel;
}

// The grid evaluation computes the whole source whatever component SetL names, and at the true
// parameters its model grid is the closed form
//   C(q) - 1 = lambda exp(-4 (qx^2 Rx^2 + qy^2 Ry^2 + qz^2 Rz^2) / (hbar c)^2)
// along every axis.
TEST(Fit3DGaussian, EvaluationIgnoresSetLAndMatchesTheClosedFormAtTheTruth) {
  const std::unique_ptr<CKernel> kernel = PureHBTKernel(55, 60, 6, 2.0, 0.5);
  C3DArray cexp(kNCF, kDelCF, true, true, true), cerror(kNCF, kDelCF, true, true, true),
      ctheory3D(kNCF, kDelCF, true, true, true);
  cerror.MakeConstant(1e-3);
  CCHArray sourceCH(6, 60, 0.5, true, true, true), ctheoryCH(6, 55, 2.0, true, true, true);
  CSourceCalc_Gaussian model;
  std::unique_ptr<CCF2SFit_3DGaussian> fit;
  CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_3DGaussian>(&model, &cexp, &cerror, &ctheory3D,
                                                             &ctheoryCH, &sourceCH, kernel.get()));
  ASSERT_EQ(fit->npars, 5);
  EXPECT_STREQ(fit->par[4]->name, "Xoff");

  const double x[5] = {kLambda, kRx, kRy, kRz, 0.0};
  double a = 0.0, b = 0.0;
  fit->SetL(0, 0, 0);
  CAPTURE_STDOUT(a = fit->GetChiSquared(x));
  fit->SetL(0, 0, 2);
  CAPTURE_STDOUT(b = fit->GetChiSquared(x));
  EXPECT_EQ(a, b);
  EXPECT_NE(sourceCH.GetElement(2, 0, 0, 10), 0.0);  // anisotropic components computed
  auto closed = [](double qx, double qy, double qz) {
    return kLambda *
           std::exp(-4.0 * (qx * qx * kRx * kRx + qy * qy * kRy * kRy + qz * qz * kRz * kRz) /
                    (kHbarC * kHbarC));
  };
  const double h = 0.5 * kDelCF;  // cell centres
  for (int i = 0; i < kNCF; i++) {
    const double q = (i + 0.5) * kDelCF;
    EXPECT_NEAR(ctheory3D.GetElement(0, i, 0, 0, 0, 0), closed(q, h, h), 0.005) << i;
    EXPECT_NEAR(ctheory3D.GetElement(0, 0, 0, i, 0, 0), closed(h, q, h), 0.005) << i;
    EXPECT_NEAR(ctheory3D.GetElement(0, 0, 0, 0, 0, i), closed(h, h, q), 0.005) << i;
  }
}

// The blast-wave fit: start values from the model's map, the table's default for a name it lacks
// (DelTau). Each evaluation puts the trial values into the map and resamples the source.
TEST(Fit3DBlast, TableAndResampledEvaluation) {
  const std::unique_ptr<CKernel> kernel = PureHBTKernel(20, 40, 2, 5.0, 2.0);
  CSourceCalc_Blast model;
  model.SetSPars(0.5, 8.0, 6.0, 2.0, 0.5, 120.0, 400.0, 1.0, 139.58, 139.58);
  parameter::set(model.spars, "Nsample", 150);
  model.spars.erase("DelTau");
  CCHArray source(2, 40, 2.0, true, true, true), cf(2, 20, 5.0, true, true, true);
  C3DArray cexp(6, 10.0, true, true, true), cerr(6, 10.0, true, true, true),
      cth(6, 10.0, true, true, true);
  cerr.MakeConstant(0.01);
  std::unique_ptr<CCF2SFit_Blast> fit;
  CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_Blast>(&model, &cexp, &cerr, &cth, &cf, &source,
                                                        kernel.get()));
  EXPECT_EQ(fit->ndim, 3);
  EXPECT_TRUE(fit->par[1]->currentx == 8.0 && fit->par[2]->currentx == 6.0);
  EXPECT_TRUE(fit->par[3]->name == std::string("DelTau") && fit->par[3]->currentx == 5.0);

  const double x[4] = {0.6, 9.0, 7.0, 1.5};
  double c1 = 0.0, c2 = 0.0;
  CAPTURE_STDOUT(c1 = fit->GetChiSquared(x), c2 = fit->GetChiSquared(x));
  EXPECT_EQ(model.spars["R"] + " " + model.spars["DelTau"], "9 1.5");
  EXPECT_GT(c1, 0.0);
  EXPECT_NE(c1, c2);
  EXPECT_CLOSE(c1, c2, 0.2);
}

}  // namespace

// The generic source chi-square: the same number as the library's own fit,
// the same source through two models and code paths, exact parameter values,
// fatal inputs, and the built-in minimisers on top of it.

#include "fit/sourcechisquare.h"

#include <cmath>
#include <memory>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "config/parameter.h"
#include "fit/cf2sfit.h"
#include "fit/cf2sfit_models.h"
#include "kernel/kernel.h"
#include "numeric/output.h"
#include "source/sourcemodels.h"

namespace {

using femtokit::SourceChiSquare;

// Identical-boson kernel (30 q bins of 4 MeV/c, 120 r bins of 0.25 fm) and
// angle-averaged data C - 1 = 0.6 exp(-q/50) with 1% errors.
class SourceChiSquareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
    femtokit_test::WriteTextFile(dir_ / "k.dat",
                                 "int NQMAX 30\ndouble DELQ 4.0\nint NRMAX 120\n"
                                 "double DELR 0.25\nint KLMAX 2\nbool IDENTICAL 1\n");
    kernel_ = std::make_unique<CKernel>((dir_ / "k.dat").c_str());
    kernel_->Calc_PureHBT();
    for (auto* a : {&data_, &errors_}) a->reset(new CCHArray(2, 30, 4.0, true, true, true));
    for (int iq = 0; iq < 30; iq++) {
      data_->SetElement(0, 0, 0, iq, 0.6 * std::exp(-(iq + 0.5) * 4.0 / 50.0));
      errors_->SetElement(0, 0, 0, iq, 0.01);
    }
  }
  void TearDown() override { femtokit::SetVerbosity(femtokit::Verbosity::kProgress); }

  femtokit_test::ScratchDir dir_;
  std::unique_ptr<CKernel> kernel_;
  std::unique_ptr<CCHArray> data_, errors_;
};

TEST_F(SourceChiSquareTest, EqualsTheLibraryFitAtSixDigitValues) {
  auto model = femtokit::MakeSourceCalc("gx1d");
  SourceChiSquare cost(model.get(), kernel_.get(), data_.get(), errors_.get(),
                       {"lambdaG", "R", "lambdaX"});
  EXPECT_TRUE(cost.Componentwise());
  auto reference = femtokit::MakeSourceCalc("gx1d");
  CCHArray source(2, 120, 0.25, true, true, true), theory(2, 30, 4.0, true, true, true);
  CCF2SFit_GX1D fit(reference.get(), data_.get(), errors_.get(), &theory, &source, kernel_.get());
  fit.SetL(0, 0, 0);
  // values "%g" keeps exactly, so both see the same parameters
  for (const std::vector<double>& x : {std::vector<double>{0.75, 4.5, 0.0},
                                       std::vector<double>{0.5, 2.25, 0.125},
                                       std::vector<double>{1.0, 7.0, 0.0}}) {
    const double full[5] = {x[0], x[1], x[2], 10.0, 5.0};
    EXPECT_CLOSE(cost(x), fit.GetChiSquared(full), femtokit_test::kRoundoff);
  }
}

TEST_F(SourceChiSquareTest, WholeSourceModelGivesTheSameGaussian) {
  // gaussian3d has no single-component form: the cost computes its whole source,
  // which for equal radii is the Gaussian of gx1d with lambdaX = 0.
  auto g3 = femtokit::MakeSourceCalc("gaussian3d");
  SourceChiSquare c3(g3.get(), kernel_.get(), data_.get(), errors_.get(),
                     {"lambda", "Rx", "Ry", "Rz"});
  EXPECT_FALSE(c3.Componentwise());
  auto g1 = femtokit::MakeSourceCalc("gx1d");
  parameter::set(g1->spars, "lambdaX", 0.0);
  SourceChiSquare c1(g1.get(), kernel_.get(), data_.get(), errors_.get(), {"lambdaG", "R"});
  for (double radius : {2.0, 3.5, 5.0}) {
    const double a = c1({0.7, radius}), b = c3({0.7, radius, radius, radius});
    // the 3D source goes through the exponential series of the arrays (~1e-4)
    EXPECT_CLOSE(a, b, 1e-3);
  }
}

TEST_F(SourceChiSquareTest, WritesValuesWithAllDigits) {
  auto model = femtokit::MakeSourceCalc("gx1d");
  SourceChiSquare cost(model.get(), kernel_.get(), data_.get(), errors_.get(), {"R"});
  const double r = 4.0 + 1.0 / 3.0;
  const double chi_a = cost({r});
  EXPECT_EQ(parameter::getD(model->spars, "R", 0.0), r);
  // a step far below "%g"'s resolution still changes chi^2
  EXPECT_NE(cost({r + 1e-9}), chi_a);
}

TEST_F(SourceChiSquareTest, FatalInputs) {
  auto model = femtokit::MakeSourceCalc("gx1d");
  CCHArray other(2, 29, 4.0, true, true, true);
  EXPECT_FATAL(SourceChiSquare(model.get(), kernel_.get(), data_.get(), errors_.get(), {}),
               "no parameter names");
  EXPECT_FATAL(SourceChiSquare(model.get(), kernel_.get(), data_.get(), &other, {"R"}),
               "data and error arrays differ");
  EXPECT_FATAL(SourceChiSquare(model.get(), kernel_.get(), data_.get(), errors_.get(), {"R"}, 1),
               "component l=\\(1,0,0\\) is not stored");
  SourceChiSquare cost(model.get(), kernel_.get(), data_.get(), errors_.get(), {"R"});
  EXPECT_FATAL(cost({1.0, 2.0}), "2 values given for 1 parameters");
}

// The built-in minimisers take the cost's own parameters and need a componentwise model (that
// Newton on top of the cost reaches the minimum: python/tests/test_fit.py).
TEST_F(SourceChiSquareTest, BuiltinFitRefusesForeignParametersAndWholeSourceModels) {
  auto model = femtokit::MakeSourceCalc("gx1d");
  SourceChiSquare cost(model.get(), kernel_.get(), data_.get(), errors_.get(), {"lambdaG", "R"});
  EXPECT_FATAL(femtokit::MakeBuiltinFit(cost, {{"X", 1.0, 0.1, 0.0, 2.0}}),
               "X is not one of the cost's parameters");
  auto g3 = femtokit::MakeSourceCalc("gaussian3d");
  SourceChiSquare c3(g3.get(), kernel_.get(), data_.get(), errors_.get(), {"Rx"});
  EXPECT_FATAL(femtokit::MakeBuiltinFit(c3, {{"Rx", 4.0, 0.2, 1.0, 12.0}}),
               "need a model that computes single components");
}

}  // namespace

// The fit of any registry model by name: it recovers the parameters of data
// made with the model, keeps trial values inside the bounds before they reach
// the model, and rejects keys the model does not have.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "common/test_util.h"
#include "config/parameter.h"
#include "fit/cf2sfit_generic.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "numeric/constants.h"
#include "source/sourcemodels.h"

namespace {

// Identical-boson kernel, arrays, and data C(q) - 1 made from a model with the
// given values (errors 1e-3 in every bin).
struct FitData {
  static constexpr int kNQ = 40, kNR = 200;
  std::unique_ptr<CKernel> kernel;
  CCHArray source{0, kNR, 0.2, true, true, true}, cexp{0, kNQ, 4.0, true, true, true},
      cerror{0, kNQ, 4.0, true, true, true}, ctheory{0, kNQ, 4.0, true, true, true};

  FitData(const std::string& model, const parameter_map& truth) {
    kernel = femtokit_test::MakeFromPars<CKernel>(
        "int NQMAX 40\nint NRMAX 200\nint KLMAX 0\ndouble DELQ 4.0\ndouble DELR 0.2\n"
        "bool IDENTICAL 1\n");
    kernel->Calc_PureHBT();
    auto calc = femtokit::MakeSourceCalc(model);
    for (const auto& [key, value] : truth) calc->spars[key] = value;
    calc->CalcS(&source);
    S2CF::s2c(&source, kernel.get(), &cexp);
    for (int iq = 0; iq < kNQ; iq++) cerror.SetElement(0, 0, 0, iq, 1e-3);
  }
  ~FitData() { CAPTURE_STDOUT(kernel.reset()); }
};

struct RecoveryCase {
  std::string label, model;
  parameter_map truth;  // every fitted key, plus fixed ones
  std::vector<std::string> keys;
  std::vector<double> start;
};

class GenericFitRecovery : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(GenericFitRecovery, NewtonFromAPerturbedStartFindsTheTruth) {
  const RecoveryCase& c = GetParam();
  FitData data(c.model, c.truth);
  std::unique_ptr<CCF2SFit_Generic> fit;
  CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_Generic>(c.model, c.keys, &data.cexp, &data.cerror,
                                                          &data.ctheory, &data.source,
                                                          data.kernel.get()));
  for (const auto& [key, value] : c.truth) fit->Model()->spars[key] = value;  // fixed keys
  for (size_t i = 0; i < c.keys.size(); i++) fit->SetPar(c.keys[i].c_str(), c.start[i]);
  std::vector<double> x(c.start);
  const double chi2start = [&] {
    double v = 0;
    CAPTURE_STDOUT(v = fit->GetChiSquared(x.data()));
    return v;
  }();
  for (int run = 0; run < 3; run++) CAPTURE_STDOUT(fit->Newton(2));
  // Data without noise: the minimum is chi^2 = 0 (up to the six digits of the
  // values that reach the model).
  EXPECT_GT(chi2start, 100.0);
  EXPECT_LT(fit->currentchi2, 1e-2);
  for (int i = 0; i < fit->npars; i++) {
    const double truth = parameter::getD(c.truth, fit->par[i]->name, 0.0);
    EXPECT_CLOSE(fit->par[i]->currentx, truth, 1e-3) << fit->par[i]->name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, GenericFitRecovery,
    ::testing::Values(
        // (the other one-dimensional models differ only in the density the registry computes)
        RecoveryCase{"levy",
                     "levy1d",
                     {{"lambda", "0.5"}, {"R", "3"}, {"alpha", "1.4"}},
                     {"lambda", "R", "alpha"},
                     {0.45, 3.3, 1.5}},
        // R0 at m_ref = 200 MeV, this data set at m_T = 400 MeV with a = 0.5 fixed.
        RecoveryCase{"mtscaled_levy",
                     "mtscaled:levy1d",
                     {{"lambda", "0.8"},
                      {"R", "4"},
                      {"alpha", "1.7"},
                      {"mT", "400"},
                      {"mTref", "200"},
                      {"aMT", "0.5"}},
                     {"lambda", "R"},
                     {0.7, 4.4}}),
    [](const ::testing::TestParamInfo<RecoveryCase>& info) { return info.param.label; });

// Out-side-long radii from a correlation function on a three-dimensional grid
// (cells of 8 MeV/c, C - 1 of the identical-boson kernel made from the truth
// through the same pipeline): the grid fit starts 10% off and returns to it.
TEST(GenericFit3D, RecoversOutSideLongCauchyRadii) {
  const std::unique_ptr<CKernel> kernel = femtokit_test::MakeFromPars<CKernel>(
      "int NQMAX 40\nint NRMAX 50\nint KLMAX 4\ndouble DELQ 2.0\ndouble DELR 0.5\n"
      "bool IDENTICAL 1\n");
  kernel->Calc_PureHBT();
  constexpr int kN = 6;
  C3DArray cexp(kN, 8.0, true, true, true), cerror(kN, 8.0, true, true, true),
      ctheory(kN, 8.0, true, true, true);
  cerror.MakeConstant(1e-3);
  CCHArray sourceCH(4, 50, 0.5, true, true, true), ctheoryCH(4, 40, 2.0, true, true, true);
  const std::vector<femtokit::FitParSetting> pars = {
      {"Ro", 0.1, 1.0, 10.0}, {"Rs", 0.1, 1.0, 10.0}, {"Rl", 0.1, 1.0, 10.0}};
  std::unique_ptr<CCF2SFit_Generic> fit;
  CAPTURE_STDOUT(fit =
                     std::make_unique<CCF2SFit_Generic>("cauchy3d", pars, &cexp, &cerror, &ctheory,
                                                        &ctheoryCH, &sourceCH, kernel.get()));
  ASSERT_EQ(fit->ndim, 3);
  parameter::set(fit->Model()->spars, "lambda", 0.7);
  const double truth[3] = {2.0, 2.5, 3.0};
  CAPTURE_STDOUT(fit->GetChiSquared(truth));
  // At the truth the grid holds lambda exp(-2 sqrt(qo^2 Ro^2 + qs^2 Rs^2 + ql^2 Rl^2) / hbar c),
  // up to the rank-4 angular truncation and the Cauchy tail beyond the 25 fm of the
  // source array (~0.01 in the first cells; a wrong radius convention is off by ~0.1).
  auto closed = [&](double qo, double qs, double ql) {
    const double a = qo * qo * 4.0 + qs * qs * 6.25 + ql * ql * 9.0;
    return 0.7 * std::exp(-2.0 * std::sqrt(a) / femtokit::constants::kHbarC);
  };
  for (int i = 0; i < kN; i++) {
    const double q = (i + 0.5) * 8.0;
    EXPECT_NEAR(ctheory.GetElement(0, i, 0, 0, 0, 0), closed(q, 4.0, 4.0), 0.02) << i;
    EXPECT_NEAR(ctheory.GetElement(0, 0, 0, 0, 0, i), closed(4.0, 4.0, q), 0.02) << i;
  }
  for (int ix = 0; ix < kN; ix++)
    for (int iy = 0; iy < kN; iy++)
      for (int iz = 0; iz < kN; iz++)
        cexp.SetElement(0, ix, 0, iy, 0, iz, ctheory.GetElement(0, ix, 0, iy, 0, iz));
  for (int i = 0; i < 3; i++) fit->SetPar(fit->par[i]->name, 1.1 * truth[i]);
  for (int run = 0; run < 2; run++) CAPTURE_STDOUT(fit->Newton(2));
  EXPECT_LT(fit->currentchi2, 1e-2);
  for (int i = 0; i < 3; i++) EXPECT_CLOSE(fit->par[i]->currentx, truth[i], 1e-3) << i;
}

// A trial value beyond a bound reaches the model at the bound: alpha = 2.3 is
// evaluated as alpha = 2 (the model would stop on 2.3).
TEST(GenericFit, TrialValuesAreClampedIntoTheBounds) {
  FitData data("levy1d", {{"lambda", "0.5"}, {"R", "2"}, {"alpha", "2"}});
  std::unique_ptr<CCF2SFit_Generic> fit;
  const std::vector<femtokit::FitParSetting> pars = {{"alpha", 0.05, 0.5, 2.0}};
  CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_Generic>("levy1d", pars, &data.cexp, &data.cerror,
                                                          &data.ctheory, &data.source,
                                                          data.kernel.get()));
  parameter::set(fit->Model()->spars, "lambda", 0.5);
  parameter::set(fit->Model()->spars, "R", 2.0);
  double beyond = -1.0, at = -1.0;
  const double x1[1] = {2.3}, x2[1] = {2.0};
  CAPTURE_STDOUT(beyond = fit->GetChiSquared(x1));
  CAPTURE_STDOUT(at = fit->GetChiSquared(x2));
  EXPECT_EQ(beyond, at);
  EXPECT_LT(at, 1e-12);
  EXPECT_EQ(fit->Ncalls, 2);
}

TEST(GenericFit, KeysTheModelDoesNotHaveAreFatal) {
  CCHArray a(0, 4, 1.0);
  EXPECT_FATAL(CCF2SFit_Generic("cauchy1d", std::vector<std::string>{"lambda", "Rout"}, &a, &a, &a,
                                &a, nullptr),
               "CCF2SFit_Generic: Rout is not a parameter of the model");
  EXPECT_FATAL(
      CCF2SFit_Generic("nosuchmodel", std::vector<std::string>{"R"}, &a, &a, &a, &a, nullptr),
      "unknown source model nosuchmodel");
}

// Default bounds keep alpha inside (0, 2] and radii positive.
TEST(GenericFit, DefaultSettingsKeepParametersInTheirDomains) {
  const femtokit::FitParSetting alpha = femtokit::DefaultFitParSetting("alpha", 1.5);
  EXPECT_TRUE(alpha.xmin > 0.0 && alpha.xmax == 2.0);
  EXPECT_GT(femtokit::DefaultFitParSetting("Ro", 4.0).xmin, 0.0);
}

}  // namespace

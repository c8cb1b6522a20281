// The fit framework: parameter table, reordering by FixPar/FreePar and the evaluation of a
// parameter vector; the one-dimensional model fit's construction from the model's map (its fit
// of data made from a known source runs end to end in tests/driver).

#include "fit/cf2sfit.h"
#include "fit/cf2sfit_models.h"

#include <memory>
#include <string>

#include "common/test_util.h"
#include "fit_test_model.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::kRoundoff;
using fit_test::BinsProblem;
using fit_test::Identity;

// Names in position order, then a '|' and the fixed flags.
std::string Order(const CCF2SFit& fit) {
  std::string names, flags;
  for (int i = 0; i < fit.npars; i++) {
    names += fit.par[i]->name;
    flags += fit.par[i]->fixed ? '1' : '0';
  }
  return names + "|" + flags;
}

// Five independent bins A..E at 1..5, data 0: chi^2 = sum p_i^2 / sigma^2.
class FiveParFit : public ::testing::Test {
 protected:
  FiveParFit()
      : problem(Identity(5), {0, 0, 0, 0, 0}, {1, 1, 1, 1, 1}, {1, 2, 3, 4, 5}),
        fit(*problem.fit) {}
  BinsProblem problem;
  CCF2SFit& fit;
};

TEST(CParInfoTest, SetKeepsFixedAndCutsLongNames) {
  CParInfo p;
  p.fixed = true;
  p.Set("abcdefghijklmnopqrstuvwxyz", 1.0, 0.1, 0.0, 2.0);
  EXPECT_STREQ(p.name, "abcdefghijklmnopqrs");  // kMaxNameLength, not past the buffer
  EXPECT_TRUE(p.fixed);
}

// Both matrices hold <dx_a dx_b> by position: after every exchange entry (i, j) must still
// belong to the parameters now at i and j.
void ExpectMatricesFollowNames(const CCF2SFit& fit) {
  for (int i = 0; i < fit.npars; i++)
    for (int j = 0; j < fit.npars; j++) {
      const double tag = 10 * (fit.par[i]->name[0] - 'A') + (fit.par[j]->name[0] - 'A');
      EXPECT_EQ(fit.ErrorMatrix[i][j], tag) << i << "," << j;
      EXPECT_EQ(fit.StepMatrix[i][j], -tag) << i << "," << j;
    }
}

TEST_F(FiveParFit, FixParExchangesWithLastFreeFreeParWithFirstFixed) {
  EXPECT_EQ(Order(fit), "ABCDE|00000");
  for (int i = 0; i < 5; i++)
    for (int j = 0; j < 5; j++) fit.StepMatrix[i][j] = -(fit.ErrorMatrix[i][j] = 10 * i + j);
  CAPTURE_STDOUT(fit.FixPar("C"));
  EXPECT_EQ(Order(fit), "ABEDC|00001");
  CAPTURE_STDOUT(fit.FixPar("D"));  // in place
  EXPECT_EQ(Order(fit), "ABEDC|00011");
  // Already fixed, or only a padded form of a name: message only.
  EXPECT_EQ(CAPTURE_STDOUT(fit.FixPar("C")), "Par C already fixed or does not exist\n");
  EXPECT_EQ(CAPTURE_STDOUT(fit.FixPar("A ")), "Par A  already fixed or does not exist\n");
  EXPECT_EQ(CAPTURE_STDOUT(fit.SetPar("AB", 9.0)),
            "Can not set AB, parameter with that name does not exist\n");
  EXPECT_EQ(fit.nfreepars, 3);
  CAPTURE_STDOUT(fit.FixPar("A"));  // EBADC, 2 free
  ASSERT_EQ(Order(fit), "EBADC|00111");
  CAPTURE_STDOUT(fit.FreePar("A"), fit.FreePar("C"));  // A in place
  EXPECT_EQ(Order(fit), "EBACD|00001");
  EXPECT_EQ(CAPTURE_STDOUT(fit.FreePar("B")), "Par B already free or does not exist\n");
  EXPECT_EQ(fit.nfreepars, 4);
  ExpectMatricesFollowNames(fit);
}

TEST_F(FiveParFit, GetChiSquaredFormsFullVectorRoundsAndKeepsTheBest) {
  CAPTURE_STDOUT(fit.FixPar("B"));  // order A E C D B, B fixed at 2
  const double x[4] = {1.0 / 3.0, 1.0, 0.0, 0.0};
  double chi2 = 0.0;
  std::string out = CAPTURE_STDOUT(chi2 = fit.GetChiSquared(x));
  EXPECT_EQ(out.find("In GetChiSquare, x[] = 0.333333,1,0,0,2,\n"), 0u) << out;
  // chi^2 = A^2 + E^2 + B^2 with B held at its currentx; A reaches the model
  // with six digits.
  EXPECT_EQ(problem.source.spars.at("A"), "0.333333");
  EXPECT_CLOSE(chi2, 0.333333 * 0.333333 + 1.0 + 4.0, kRoundoff);
  EXPECT_EQ(fit.bestchi2, chi2);
  EXPECT_EQ(fit.currentchi2, 1.0e20);
  EXPECT_EQ(fit.par[0]->currentx, 1.0);     // currentx untouched
  EXPECT_EQ(fit.par[0]->bestx, 1.0 / 3.0);  // unrounded
  // A worse point is not the best; an equal one does not replace it either.
  const double worse[4] = {3.0, 1.0, 0.0, 0.0}, same[4] = {-1.0 / 3.0, 1.0, 0.0, 0.0};
  CAPTURE_STDOUT(fit.GetChiSquared(worse), fit.GetChiSquared(same));
  EXPECT_EQ(fit.par[0]->bestx, 1.0 / 3.0);
  EXPECT_EQ(fit.Ncalls, 3);
  fit.currentchi2 = 123.0;
  fit.UseBestPars();
  EXPECT_EQ(fit.currentchi2, chi2);
  EXPECT_EQ(fit.par[0]->currentx, 1.0 / 3.0);
}

TEST(CCF2SFitTest, InitDefaultsAndReinit) {
  CCF2SFit fit;
  fit.npars = 2;
  EXPECT_EQ(CAPTURE_STDOUT(fit.Init()), "SFit Arrays Initialized\n");
  ASSERT_NE(fit.randy, nullptr);
  // A second Init starts over with the new size (releasing the first tables).
  fit.nfreepars = 0;
  fit.Ncalls = 7;
  fit.npars = 3;
  CAPTURE_STDOUT(fit.Init());
  EXPECT_EQ(fit.nfreepars, 3);
  EXPECT_EQ(fit.Ncalls, 0);
  EXPECT_EQ(fit.StepMatrix[2][2], 0.0);
}

TEST(CCF2SFit_GX1DTest, StartsFromTheModelsMap) {
  CSourceCalc_GX1D source;
  source.SetSPars(0.5, 6.0, 0.0, 10.0, 5.0);
  CCHArray a(0, 4, 1.0);
  std::unique_ptr<CCF2SFit_GX1D> fit;
  EXPECT_EQ(CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_GX1D>(&source, &a, &a, &a, &a, nullptr)),
            "SFit Arrays Initialized\n");
  EXPECT_TRUE(fit->ndim == 1 && fit->nfreepars == 5 && fit->cexp3D == nullptr);
  const char* names[5] = {"lambdaG", "R", "lambdaX", "X", "a"};
  const double values[5] = {0.5, 6.0, 0.0, 10.0, 5.0};
  for (int i = 0; i < 5; i++)
    EXPECT_TRUE(fit->par[i]->name == std::string(names[i]) && fit->par[i]->currentx == values[i]);
  // A name missing from the map starts at its default; values carry six digits.
  source.SetSPars(1.0 / 3.0, 6.0, 0.0, 10.0, 5.0);
  source.spars.erase("R");
  CAPTURE_STDOUT(fit = std::make_unique<CCF2SFit_GX1D>(&source, &a, &a, &a, &a, nullptr));
  EXPECT_EQ(fit->par[0]->currentx, 0.333333);
  EXPECT_EQ(fit->par[1]->currentx, 5.0);
}

}  // namespace

// The fit framework: parameter table, reordering by FixPar/FreePar, the
// evaluation of a parameter vector and the printouts.

#include "fit/cf2sfit.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "fit_test_model.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::kSixDigits;
using fit_test::BinsProblem;
using fit_test::CountOf;
using fit_test::Identity;

std::string Order(const CCF2SFit& fit) {
  std::string s;
  for (int i = 0; i < fit.npars; i++) s += fit.par[i]->name;
  return s;
}

std::string FixedFlags(const CCF2SFit& fit) {
  std::string s;
  for (int i = 0; i < fit.npars; i++) s += fit.par[i]->fixed ? '1' : '0';
  return s;
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

TEST(CParInfoTest, SetCopiesNameAndKeepsFixedXbarBestx) {
  CParInfo p;
  EXPECT_STREQ(p.name, "");
  p.fixed = true;
  p.xbar = 7.0;
  p.bestx = 8.0;
  p.Set("lambdaG", 0.5, 0.02, 0.0, 1.5);
  EXPECT_STREQ(p.name, "lambdaG");
  EXPECT_EQ(p.currentx, 0.5);
  EXPECT_EQ(p.error, 0.02);
  EXPECT_EQ(p.xmin, 0.0);
  EXPECT_EQ(p.xmax, 1.5);
  EXPECT_TRUE(p.fixed);
  EXPECT_EQ(p.xbar, 7.0);
  EXPECT_EQ(p.bestx, 8.0);
  // A name longer than the buffer is cut, not written past its end.
  p.Set("abcdefghijklmnopqrstuvwxyz", 1.0, 0.1, 0.0, 2.0);
  EXPECT_EQ(std::strlen(p.name), 19u);
  EXPECT_STREQ(p.name, "abcdefghijklmnopqrs");
}

TEST_F(FiveParFit, FixParExchangesWithLastFree) {
  // A fresh fit: all free, nothing evaluated, so the first evaluation is the best.
  EXPECT_EQ(Order(fit), "ABCDE");
  EXPECT_EQ(FixedFlags(fit), "00000");
  EXPECT_EQ(fit.bestchi2, 1.0e20);
  std::string out = CAPTURE_STDOUT(fit.FixPar("C"));
  EXPECT_EQ(out, "Fixing par[4], name=C\n");
  EXPECT_EQ(Order(fit), "ABEDC");
  EXPECT_EQ(fit.nfreepars, 4);
  EXPECT_EQ(FixedFlags(fit), "00001");
  // The last free parameter is fixed in place.
  out = CAPTURE_STDOUT(fit.FixPar("D"));
  EXPECT_EQ(out, "Fixing par[3], name=D\n");
  EXPECT_EQ(Order(fit), "ABEDC");
  EXPECT_EQ(FixedFlags(fit), "00011");
  // Already fixed, and unknown: message only.
  out = CAPTURE_STDOUT(fit.FixPar("C"));
  EXPECT_EQ(out, "Par C already fixed or does not exist\n");
  out = CAPTURE_STDOUT(fit.FixPar("Q"));
  EXPECT_EQ(out, "Par Q already fixed or does not exist\n");
  EXPECT_EQ(Order(fit), "ABEDC");
  EXPECT_EQ(fit.nfreepars, 3);
}

TEST_F(FiveParFit, FreeParExchangesWithFirstFixed) {
  CAPTURE_STDOUT(fit.FixPar("A"));  // EBCDA
  CAPTURE_STDOUT(fit.FixPar("B"));  // EDCBA
  CAPTURE_STDOUT(fit.FixPar("C"));  // EDCBA, 2 free
  ASSERT_EQ(Order(fit), "EDCBA");
  ASSERT_EQ(fit.nfreepars, 2);
  // The first fixed position: no exchange.
  std::string out = CAPTURE_STDOUT(fit.FreePar("C"));
  EXPECT_EQ(out, "Freeing par[2], name=C\n");
  EXPECT_EQ(Order(fit), "EDCBA");
  EXPECT_EQ(fit.nfreepars, 3);
  // Further back: exchanged with the first fixed position.
  out = CAPTURE_STDOUT(fit.FreePar("A"));
  EXPECT_EQ(out, "Freeing par[3], name=A\n");
  EXPECT_EQ(Order(fit), "EDCAB");
  EXPECT_EQ(FixedFlags(fit), "00001");
  out = CAPTURE_STDOUT(fit.FreePar("D"));
  EXPECT_EQ(out, "Par D already free or does not exist\n");
  EXPECT_EQ(fit.nfreepars, 4);
}

TEST_F(FiveParFit, SwitchParsMovesRecordsNotMatrices) {
  fit.ErrorMatrix[0][1] = 0.5;
  fit.SwitchPars(0, 1);
  EXPECT_EQ(Order(fit), "BACDE");
  EXPECT_EQ(fit.ErrorMatrix[0][1], 0.5);
  EXPECT_CLOSE(fit.ErrorMatrix[0][0], 0.01, kRoundoff);
}

TEST_F(FiveParFit, NameMatchingIsExact) {
  std::string out = CAPTURE_STDOUT(fit.SetPar("AB", 9.0));
  EXPECT_EQ(out, "Can not set AB, parameter with that name does not exist\n");
  out = CAPTURE_STDOUT(fit.FixPar(""));
  EXPECT_EQ(out, "Par  already fixed or does not exist\n");
  out = CAPTURE_STDOUT(fit.FixPar("A                    "));
  EXPECT_EQ(CountOf(out, "already fixed"), 1);
  EXPECT_EQ(fit.nfreepars, 5);
}

TEST_F(FiveParFit, SetParChangesOnlyCurrentxEvenWhenFixed) {
  CAPTURE_STDOUT(fit.FixPar("B"));
  fit.SetPar("B", 0.25);
  fit.SetPar("D", -3.0);
  for (int i = 0; i < 5; i++) {
    const std::string name = fit.par[i]->name;
    if (name == "B") {
      EXPECT_EQ(fit.par[i]->currentx, 0.25);
    }
    if (name == "D") {
      EXPECT_EQ(fit.par[i]->currentx, -3.0);
    }
    EXPECT_EQ(fit.par[i]->bestx, 0.0);
    EXPECT_EQ(fit.par[i]->error, 0.1);
  }
}

TEST_F(FiveParFit, GetChiSquaredFormsFullVectorAndCountsCalls) {
  CAPTURE_STDOUT(fit.FixPar("B"));  // order A E C D B, B fixed at 2
  const double x[4] = {0.5, 1.0, 0.0, 0.0};
  double chi2 = 0.0;
  std::string out = CAPTURE_STDOUT(chi2 = fit.GetChiSquared(x));
  EXPECT_EQ(out.find("In GetChiSquare, x[] = 0.5,1,0,0,2,\n"), 0u) << out;
  // chi^2 = A^2 + E^2 + B^2 with B held at its currentx.
  EXPECT_CLOSE(chi2, 0.25 + 1.0 + 4.0, kRoundoff);
  EXPECT_EQ(fit.Ncalls, 1);
  EXPECT_EQ(fit.bestchi2, chi2);
  EXPECT_EQ(fit.currentchi2, 1.0e20);
  EXPECT_EQ(fit.par[0]->currentx, 1.0);  // currentx untouched
  EXPECT_EQ(fit.par[0]->bestx, 0.5);
  EXPECT_EQ(fit.par[4]->bestx, 2.0);
  // A worse point is not the best; an equal one does not replace it either.
  const double worse[4] = {3.0, 1.0, 0.0, 0.0};
  CAPTURE_STDOUT(fit.GetChiSquared(worse));
  EXPECT_EQ(fit.par[0]->bestx, 0.5);
  const double same[4] = {-0.5, 1.0, 0.0, 0.0};
  CAPTURE_STDOUT(fit.GetChiSquared(same));
  EXPECT_EQ(fit.par[0]->bestx, 0.5);
  EXPECT_EQ(fit.Ncalls, 3);
}

TEST_F(FiveParFit, TrialValuesReachModelWithSixDigits) {
  const double x[5] = {1.0 / 3.0, 0.0, 0.0, 0.0, 0.0};
  double chi2 = 0.0;
  CAPTURE_STDOUT(chi2 = fit.GetChiSquared(x));
  EXPECT_EQ(problem.source.spars.at("A"), "0.333333");
  EXPECT_CLOSE(chi2, 0.333333 * 0.333333, kRoundoff);
  EXPECT_EQ(fit.par[0]->bestx, 1.0 / 3.0);  // unrounded
}

TEST_F(FiveParFit, AllFixedEvaluatesCurrentValues) {
  for (const char* name : {"A", "B", "C", "D", "E"}) CAPTURE_STDOUT(fit.FixPar(name));
  ASSERT_EQ(fit.nfreepars, 0);
  double chi2 = 0.0;
  CAPTURE_STDOUT(chi2 = fit.GetChiSquared(nullptr));
  EXPECT_CLOSE(chi2, 1 + 4 + 9 + 16 + 25, kRoundoff);
}

TEST_F(FiveParFit, UseBestParsRestoresBestPoint) {
  const double good[5] = {0.1, 0.1, 0.1, 0.1, 0.1};
  const double bad[5] = {9, 9, 9, 9, 9};
  CAPTURE_STDOUT(fit.GetChiSquared(good));
  CAPTURE_STDOUT(fit.GetChiSquared(bad));
  fit.currentchi2 = 123.0;
  fit.UseBestPars();
  EXPECT_CLOSE(fit.currentchi2, 0.05, kRoundoff);
  for (int i = 0; i < 5; i++) EXPECT_EQ(fit.par[i]->currentx, 0.1);
}

TEST_F(FiveParFit, PrintParsTable) {
  CAPTURE_STDOUT(fit.FixPar("C"));
  const std::string out = CAPTURE_STDOUT(fit.PrintPars());
  EXPECT_EQ(out,
            "ipar        name     value       error       min         max     fixed\n"
            " 0 :            A  1.0000e+00  1.0000e-01 -1.0000e+02  1.0000e+02  0\n"
            " 1 :            B  2.0000e+00  1.0000e-01 -1.0000e+02  1.0000e+02  0\n"
            " 2 :            E  5.0000e+00  1.0000e-01 -1.0000e+02  1.0000e+02  0\n"
            " 3 :            D  4.0000e+00  1.0000e-01 -1.0000e+02  1.0000e+02  0\n"
            " 4 :            C  3.0000e+00  1.0000e-01 -1.0000e+02  1.0000e+02  1\n");
}

TEST(CCF2SFitTest, InitPrintsAndSetsDefaults) {
  CCF2SFit fit;
  fit.npars = 2;
  const std::string out = CAPTURE_STDOUT(fit.Init());
  EXPECT_EQ(out, "SFit Arrays Initialized\n");
  EXPECT_EQ(fit.par[1]->xmin, -1.0e10);
  EXPECT_EQ(fit.par[1]->xmax, 1.0e10);
  EXPECT_FALSE(fit.par[1]->fixed);
  EXPECT_EQ(fit.StepMatrix[1][0], 0.0);
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

TEST(CCF2SFitTest, MatrixPrintouts) {
  CCF2SFit fit;
  fit.npars = 2;
  CAPTURE_STDOUT(fit.Init());
  fit.ErrorMatrix[0][0] = 4.0e-4;
  fit.ErrorMatrix[1][0] = -1.5;
  fit.StepMatrix[1][1] = 0.2;
  EXPECT_EQ(CAPTURE_STDOUT(fit.PrintErrorMatrix()),
            "________ < delX_i delX_j > ________\n"
            " 4.00e-04  0.00e+00 \n"
            "-1.50e+00  0.00e+00 \n"
            "___________________________________\n");
  EXPECT_EQ(CAPTURE_STDOUT(fit.PrintStepMatrix()),
            "________ < StepMatrix_ij > ________\n"
            " 0.00e+00  0.00e+00 \n"
            " 0.00e+00  2.00e-01 \n"
            "___________________________________\n");
}

}  // namespace

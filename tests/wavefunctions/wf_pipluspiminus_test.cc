// pi+ pi- wave function: the free limits inside and outside epsilon, the partial-wave sum rule
// with the Coulomb functions, the Coulomb correction of the pion-pion phases, and the
// out-of-grid rule.

#include "wavefunctions/wf_pipluspiminus.h"

#include <cmath>
#include <complex>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "wavefunctions/coulwave.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

constexpr double kHbarc = 197.3269602;
constexpr double kPi = 3.141592653589793;

std::string Pars(int nqmax, double delq, bool strong) {
  return "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
         "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB 0\n";
}

std::unique_ptr<CWaveFunction_pipluspiminus> Make(const std::string& pars) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", pars);
  std::unique_ptr<CWaveFunction_pipluspiminus> wf;
  CAPTURE_STDOUT(wf = std::make_unique<CWaveFunction_pipluspiminus>((dir / "wf.dat").c_str()));
  return wf;
}

template <class F>
double AngleAverage(F f) {
  const int n = 400;
  double sum = f(-1.0) + f(1.0);
  for (int i = 1; i < n; i++) sum += (i % 2 ? 4.0 : 2.0) * f(-1.0 + 2.0 * i / n);
  return sum / (3.0 * n);
}

double PlusMinusAverage(CWaveFunction* wf, int iq, double r, double c) {
  return 0.5 * std::norm(wf->planewave[iq]->planewave(r, c)) +
         0.5 * std::norm(wf->planewave[iq]->planewave(r, -c));
}

TEST(PiPlusPiMinus, StrongOffLimits) {
  auto wf = Make(Pars(3, 40.0, false));
  EXPECT_EQ(wf->q1q2, -1);  // COULOMB 0 in the file is not consulted
  for (int iq = 0; iq < 3; iq++) {
    for (double c : {-0.8, 0.1, 1.0}) {
      // Outside epsilon the isospin sum gives |S|^2/2 + |A|^2/2 = |p+|^2/2 + |p-|^2/2.
      for (double r : {1.0, 5.0})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), PlusMinusAverage(wf.get(), iq, r, c), 1e-12);
      // Inside, the plain Coulomb plane wave.
      EXPECT_CLOSE(wf->CalcPsiSquared(iq, 0.5, c), std::norm(wf->planewave[iq]->planewave(0.5, c)),
                   kRoundoff);
    }
  }
}

TEST(PiPlusPiMinus, ZeroPhasesGiveTheFreeResult) {
  auto wf = Make(Pars(3, 40.0, true));
  for (int c = 0; c < 5; c++) wf->delta[c][2] = 0.0;
  for (double r : {1.0, 4.0})
    for (double c : {-0.5, 0.3})
      EXPECT_CLOSE(wf->CalcPsiSquared(2, r, c), PlusMinusAverage(wf.get(), 2, r, c), 1e-12);
}

// <|psi|^2> - <free> = sum_c channelweight_c [(cos d F + sin d G)^2 - F^2] / x^2, the weights
// being 2 (2 ell + 1) times the isospin probabilities (F, G from CoulWave::GetFG).
TEST(PiPlusPiMinus, AngleAverageFollowsThePartialWaveSum) {
  auto wf = Make(Pars(4, 80.0, true));  // q = 40 .. 280 MeV/c
  for (int iq : {1, 3}) {
    for (double r : {1.5, 4.0}) {
      const double q = wf->qarray[iq], x = q * r / kHbarc;
      const double avg = AngleAverage([&](double c) { return wf->CalcPsiSquared(iq, r, c); });
      const double free =
          AngleAverage([&](double c) { return PlusMinusAverage(wf.get(), iq, r, c); });
      double expect = 0.0;
      for (int ch = 0; ch < 5; ch++) {
        double f, g;
        CoulWave::GetFG(wf->channelell[ch], x, wf->eta[iq], &f, &g);
        const double d = wf->delta[ch][iq];
        const double u = std::cos(d) * f + std::sin(d) * g;
        expect += wf->channelweight[ch] * (u * u - f * f) / (x * x);
      }
      EXPECT_CLOSE_ABS(avg - free, expect, 2e-3, 1e-6) << "q=" << q << " r=" << r;
    }
  }
}

TEST(PiPlusPiMinus, PhasesAreCoulombCorrectedPionPionPhases) {
  auto wf = Make(Pars(3, 100.0, true));  // q = 50, 150, 250
  const int isospin[5] = {0, 0, 1, 2, 2};
  for (int c = 0; c < 5; c++) {
    for (int iq = 0; iq < 3; iq++) {
      double d, dd;
      getphaseshift_pipi(isospin[c], wf->channelell[c], wf->qarray[iq], &d, &dd);
      // tan(delta) scales by the Gamow factor times prod (eta^2 + i^2); attraction (eta < 0)
      // enhances it.
      const double eta = wf->eta[iq];
      double a = 2 * kPi * eta / std::expm1(2 * kPi * eta);
      for (int i = 1; i <= wf->channelell[c]; i++) a *= eta * eta + i * i;
      EXPECT_LT(eta, 0.0);
      EXPECT_CLOSE(std::tan(wf->delta[c][iq]), a * std::tan(d), 1e-10) << c << " " << iq;
    }
  }
  EXPECT_EQ(wf->channelweight[1], 10.0 / 3.0);
  EXPECT_EQ(wf->channelell[2], 1);
}

TEST(PiPlusPiMinus, BeyondTheGridIsUncorrelatedAndConstructionIsAnnounced) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", Pars(2, 40.0, true));
  std::unique_ptr<CWaveFunction_pipluspiminus> wf;
  const std::string out =
      CAPTURE_STDOUT(wf = std::make_unique<CWaveFunction_pipluspiminus>((dir / "wf.dat").c_str()));
  const std::string last = "pipluspiminus wf initialized\n";
  ASSERT_GE(out.size(), last.size());
  EXPECT_EQ(out.substr(out.size() - last.size()), last);
  EXPECT_EQ(CAPTURE_STDOUT(EXPECT_EQ(wf->CalcPsiSquared(2, 1.0, 0.5), 1.0)), "");
  EXPECT_EQ(wf->CalcPsiSquared(100, 0.2, 0.5), 1.0);
}

}  // namespace

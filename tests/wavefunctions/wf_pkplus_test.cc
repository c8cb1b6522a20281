// Proton-K+ and proton-pi+ wave functions (one body of tests run over both pairs): the free
// limits, the spin-flip term, the partial-wave sum rule of the angle-averaged |psi|^2, the way
// phases are read from the built-in tables, and the messages and fatal paths.

#include "wavefunctions/wf_pkplus.h"

#include <cmath>
#include <complex>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "wavefunctions/coulwave.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "wavefunctions/wf_ppiplus.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

constexpr double kHbarc = 197.3269602;

std::string Pars(int nqmax, double delq, bool strong, bool coulomb) {
  return "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
         "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB " +
         (coulomb ? "1" : "0") + "\n";
}

// Builds a pair wave function from parameter text, swallowing its messages.
template <class WF>
std::unique_ptr<WF> Make(const std::string& pars) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", pars);
  std::unique_ptr<WF> wf;
  CAPTURE_STDOUT(wf = std::make_unique<WF>((dir / "wf.dat").c_str()));
  return wf;
}

std::unique_ptr<CWaveFunction> MakePair(const std::string& pair, const std::string& pars) {
  if (pair == "pkplus") return Make<CWaveFunction_pkplus>(pars);
  return Make<CWaveFunction_ppiplus>(pars);
}

// Average over ctheta in [-1, 1] (Simpson, 400 intervals).
template <class F>
double AngleAverage(F f) {
  const int n = 400;
  double sum = f(-1.0) + f(1.0);
  for (int i = 1; i < n; i++) sum += (i % 2 ? 4.0 : 2.0) * f(-1.0 + 2.0 * i / n);
  return sum / (3.0 * n);
}

class MesonProton : public ::testing::TestWithParam<std::string> {};

TEST_P(MesonProton, StrongOffIsTheCoulombPlaneWave) {
  auto wf = MakePair(GetParam(), Pars(4, 20.0, false, true));
  for (int iq = 0; iq < 4; iq++)
    for (double r : {0.4, 1.0, 3.7})
      for (double c : {-1.0, -0.3, 0.8}) {
        const double p2 = std::norm(wf->planewave[iq]->planewave(r, c));
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), p2, kRoundoff);
      }
}

TEST_P(MesonProton, ZeroPhasesGiveThePlaneWaveOutsideEpsilon) {
  // With every e^{-2i delta} = 1 the replaced partial waves equal the plane wave's own.
  auto wf = MakePair(GetParam(), Pars(3, 30.0, true, true));
  for (int c = 0; c < 3; c++)
    for (int iq = 0; iq < 3; iq++) wf->delta[c][iq] = 0.0;
  for (double r : {1.0, 4.2})
    for (double c : {-0.7, 0.0, 0.9})
      EXPECT_CLOSE(wf->CalcPsiSquared(2, r, c), std::norm(wf->planewave[2]->planewave(r, c)),
                   kRoundoff);
}

TEST_P(MesonProton, SpinFlipTermVanishesAlongTheMomentum) {
  auto wf = MakePair(GetParam(), Pars(3, 60.0, true, true));
  PhaseShiftWF::MesonProtonParts parts;
  for (double c : {-1.0, 1.0}) {
    PhaseShiftWF::MesonProtonPsiSquared(wf.get(), 2, 2.5, c, &parts);
    EXPECT_EQ(std::abs(parts.tb), 0.0) << c;
  }
  PhaseShiftWF::MesonProtonPsiSquared(wf.get(), 2, 2.5, 0.0, &parts);
  EXPECT_GT(std::abs(parts.tb), 1e-6);  // the two p waves have different phases
}

// Averaged over directions, every partial wave contributes (2 ell + 1) |u_ell|^2 to |psi|^2;
// a phase shift turns the radial wave F_ell / x into (cos delta F_ell + sin delta G_ell) / x.
// So <|psi|^2> - <|P|^2> = sum_c channelweight_c [(cos d F + sin d G)^2 - F^2] / x^2, with the
// spin weights 1, 1, 2 = (2J + 1)/2 splitting each p wave's 2 ell + 1 = 3. F and G come from
// CoulWave::GetFG here, independently of the tabulated partial and plane waves.
TEST_P(MesonProton, AngleAverageFollowsThePartialWaveSum) {
  for (bool coulomb : {false, true}) {
    auto wf = MakePair(GetParam(), Pars(3, 60.0, true, coulomb));
    for (int iq : {1, 2}) {
      for (double r : {1.5, 4.0}) {
        const double q = wf->qarray[iq], x = q * r / kHbarc;
        const double avg = AngleAverage([&](double c) { return wf->CalcPsiSquared(iq, r, c); });
        const double free =
            AngleAverage([&](double c) { return std::norm(wf->planewave[iq]->planewave(r, c)); });
        double expect = 0.0;
        for (int ch = 0; ch < 3; ch++) {
          double f, g;
          CoulWave::GetFG(wf->channelell[ch], x, wf->eta[iq], &f, &g);
          const double d = wf->delta[ch][iq];
          const double u = std::cos(d) * f + std::sin(d) * g;
          expect += wf->channelweight[ch] * (u * u - f * f) / (x * x);
        }
        EXPECT_CLOSE_ABS(avg - free, expect, 2e-3, 1e-6)
            << "coulomb " << coulomb << " q=" << q << " r=" << r;
      }
    }
  }
}

TEST_P(MesonProton, GridBeyondTheTableIsFree) {
  // Tables end at 350 (pK+) and 390 MeV/c (p pi+); the last grid point (450) lies beyond both.
  auto wf = MakePair(GetParam(), Pars(5, 100.0, true, true));
  for (int c = 0; c < 3; c++) {
    EXPECT_EQ(wf->delta[c][4], 0.0);
    EXPECT_EQ(wf->ddeltadq[c][4], 0.0);
    EXPECT_EQ(wf->wepsilon[c][4], 0.0);
    EXPECT_NE(wf->delta[c][1], 0.0);
  }
  for (double r : {0.5, 2.0})
    EXPECT_CLOSE(wf->CalcPsiSquared(4, r, 0.3), std::norm(wf->planewave[4]->planewave(r, 0.3)),
                 kRoundoff);
}

TEST_P(MesonProton, IqBeyondTheGridIsFatal) {
  auto wf = MakePair(GetParam(), Pars(2, 50.0, true, true));
  EXPECT_FATAL(wf->CalcPsiSquared(2, 1.0, 0.0), "^iq too large!\n$");
}

INSTANTIATE_TEST_SUITE_P(Pairs, MesonProton, ::testing::Values("pkplus", "ppiplus"));

// Grid points on the table's half-MeV/c points read the entries themselves; a point in the upper
// half of a unit interval extrapolates from the entries at floor(q) and floor(q) + 1/2.
TEST(PPiplusPhases, ReadFromTheTableAsDocumented) {
  using namespace PhaseShiftTables;
  auto wf = Make<CWaveFunction_ppiplus>(Pars(8, 0.5, true, true));  // q = 0.25, 0.75, ...
  for (int c = 0; c < 3; c++) {
    const double* d = kDeltaPPiplus + c * kNTabPPiplus;
    const double* dd = kDDeltaDqPPiplus + c * kNTabPPiplus;
    EXPECT_CLOSE_ABS(wf->delta[c][0], 0.5 * d[0] + 0.5 * d[1], kRoundoff, 1e-300);   // q = 0.25
    EXPECT_CLOSE_ABS(wf->delta[c][1], -0.5 * d[0] + 1.5 * d[1], kRoundoff, 1e-300);  // q = 0.75
    EXPECT_CLOSE_ABS(wf->ddeltadq[c][1], -0.5 * dd[0] + 1.5 * dd[1], kRoundoff, 1e-300);
  }
  auto wf1 = Make<CWaveFunction_ppiplus>(Pars(2, 200.0, true, true));  // q = 100, 300
  EXPECT_EQ(wf1->delta[2][0], 0.0781373);
  EXPECT_EQ(wf1->ddeltadq[2][0], 0.00231675);
}

TEST(PKplusPhases, FirstGridPointHasNoPhases) {
  using namespace PhaseShiftTables;
  auto wf = Make<CWaveFunction_pkplus>(Pars(3, 100.0, true, true));  // q = 50, 150, 250
  for (int c = 0; c < 3; c++) EXPECT_EQ(wf->delta[c][0], 0.0);
  // The s wave's derivative there is the plain difference of its first two entries.
  EXPECT_EQ(wf->ddeltadq[0][0], kDeltaPKplus[1] - kDeltaPKplus[0]);
  EXPECT_EQ(wf->ddeltadq[1][0], 0.0);
  EXPECT_EQ(wf->ddeltadq[2][0], 0.0);
  // The other points read the table (q = 150 is an entry).
  EXPECT_EQ(wf->delta[0][1], kDeltaPKplus[300]);
}

TEST(PKplusMessages, HugeValuesAreReportedAndReturned) {
  auto wf = Make<CWaveFunction_pkplus>(Pars(2, 50.0, true, true));
  wf->wepsilon[0][1] = 1e3;  // inside epsilon the weights alone make |psi|^2 huge
  double value = 0.0;
  const std::string out = CAPTURE_STDOUT(value = wf->CalcPsiSquared(1, 0.5, 0.0));
  EXPECT_GT(value, 500.0);
  char expect[256];
  std::snprintf(expect, sizeof expect,
                "_____________________________________________\n"
                "in CalcPsiSquared, q=75,r=0.5, psisquared=huge=%g\n"
                "hstar0=(0,0), hstar1=(0,0),psi=(0,0)\n",
                value);
  EXPECT_EQ(out, expect);
  EXPECT_EQ(CAPTURE_STDOUT(wf->CalcPsiSquared(1, 2.0, 0.0)), "");
}

TEST(MesonProtonMessages, ConstructorsPrintTheirProgress) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", Pars(2, 50.0, true, true));
  std::string out = CAPTURE_STDOUT(CWaveFunction_ppiplus wf((dir / "wf.dat").c_str()));
  const size_t a = out.find("\nArrays Initialized\n");
  const size_t b = out.find("\nPartial Waves Initialized\n");
  const size_t c = out.find("\nInitialization finished\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_EQ(c + std::string("\nInitialization finished\n").size(), out.size());
  out = CAPTURE_STDOUT(CWaveFunction_pkplus wf((dir / "wf.dat").c_str()));
  EXPECT_EQ(out.find("Initialized"), std::string::npos);
  EXPECT_EQ(out.find("finished"), std::string::npos);
}

TEST(MesonProtonSettings, CoulombSwitchTurnsTheChargeProductOff) {
  auto on = Make<CWaveFunction_pkplus>(Pars(2, 50.0, true, true));
  auto off = Make<CWaveFunction_ppiplus>(Pars(2, 50.0, true, false));
  EXPECT_EQ(on->q1q2, 1);
  EXPECT_GT(on->eta[1], 0.0);
  EXPECT_EQ(off->q1q2, 0);
  EXPECT_EQ(off->eta[1], 0.0);
}

}  // namespace

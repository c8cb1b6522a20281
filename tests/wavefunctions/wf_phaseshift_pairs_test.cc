// The wave functions of tabulated phase shifts: proton-K+ and proton-pi+ (free limits, spin flip,
// table reading), neutron-neutron (free spin average, exchange symmetry, grid limit), pi+ pi- (free
// limits, Coulomb-corrected pion-pion phases, out-of-grid rule), and the partial-wave sum rule of
// the angle-averaged |psi|^2 shared by all four.

#include "wavefunctions/wf_pkplus.h"

#include <cmath>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "wavefunctions/coulwave.h"
#include "wavefunctions/phaseshift_tables.h"
#include "wavefunctions/phaseshift_wf.h"
#include "wavefunctions/wf_nn.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_ppiplus.h"

namespace {

using femtokit_test::kRoundoff;
using namespace PhaseShiftTables;
using femtokit::constants::kPi;

std::string Pars(int nqmax, double delq, bool strong = true, bool coulomb = true) {
  return "int NQMAX " + std::to_string(nqmax) + "\ndouble DELQ " + std::to_string(delq) +
         "\ndouble EPSILON 1.0\nbool STRONG " + (strong ? "1" : "0") + "\nbool COULOMB " +
         (coulomb ? "1" : "0") + "\n";
}

// The wave function of a phase-shift pair from parameter text.
std::unique_ptr<CWaveFunction> MakePair(const std::string& pair, const std::string& pars) {
  using femtokit_test::MakeFromPars;
  if (pair == "pkplus") return MakeFromPars<CWaveFunction_pkplus>(pars);
  if (pair == "ppiplus") return MakeFromPars<CWaveFunction_ppiplus>(pars);
  if (pair == "nn") return MakeFromPars<CWaveFunction_nn>(pars);
  return MakeFromPars<CWaveFunction_pipluspiminus>(pars);
}

double PlaneWave2(CWaveFunction* wf, int iq, double r, double c) {
  return std::norm(wf->planewave[iq]->planewave(r, c));
}

class MesonProton : public ::testing::TestWithParam<std::string> {};

// STRONG false, zero phases (every e^{-2i delta} = 1: the replaced partial waves equal the plane
// wave's own) and grid points beyond the tables (350 MeV/c for pK+, 390 for p pi+; 450 lies
// beyond both) all give the Coulomb plane wave.
TEST_P(MesonProton, WithoutStrongPhasesIsTheCoulombPlaneWave) {
  auto off = MakePair(GetParam(), Pars(5, 100.0, false)), on = MakePair(GetParam(), Pars(5, 100.0));
  for (int c = 0; c < 3; c++) {
    EXPECT_TRUE(on->delta[c][4] == 0.0 && on->ddeltadq[c][4] == 0.0 && on->wepsilon[c][4] == 0.0);
    EXPECT_NE(on->delta[c][1], 0.0);
    on->delta[c][2] = 0.0;
  }
  for (double r : {0.4, 1.0, 4.2})
    for (double c : {-1.0, -0.3, 0.8}) {
      for (int iq = 0; iq < 5; iq++)
        EXPECT_CLOSE(off->CalcPsiSquared(iq, r, c), PlaneWave2(off.get(), iq, r, c), kRoundoff);
      EXPECT_CLOSE(on->CalcPsiSquared(4, r, c), PlaneWave2(on.get(), 4, r, c), kRoundoff);
      if (r >= 1.0) {  // outside epsilon
        EXPECT_CLOSE(on->CalcPsiSquared(2, r, c), PlaneWave2(on.get(), 2, r, c), kRoundoff);
      }
    }
  EXPECT_FATAL(on->CalcPsiSquared(5, 1.0, 0.0), "^iq too large!\n$");
}

TEST_P(MesonProton, SpinFlipTermVanishesAlongTheMomentum) {
  auto wf = MakePair(GetParam(), Pars(3, 60.0));
  PhaseShiftWF::MesonProtonParts parts;
  for (double c : {-1.0, 1.0}) {
    PhaseShiftWF::MesonProtonPsiSquared(wf.get(), 2, 2.5, c, &parts);
    EXPECT_EQ(std::abs(parts.tb), 0.0) << c;
  }
  PhaseShiftWF::MesonProtonPsiSquared(wf.get(), 2, 2.5, 0.0, &parts);
  EXPECT_GT(std::abs(parts.tb), 1e-6);  // the two p waves have different phases
}

INSTANTIATE_TEST_SUITE_P(Pairs, MesonProton, ::testing::Values("pkplus", "ppiplus"));

class PhaseShiftPair : public ::testing::TestWithParam<std::string> {};

// Outside epsilon, <|psi|^2>_angles - <|psi|^2 without STRONG> = sum_c channelweight_c
// [(cos d F + sin d G)^2 - F^2] / x^2 (a phase shift turns F / x into (cos d F + sin d G) / x),
// with F, G from CoulWave::GetFG, independent of the tabulated waves. pi+ pi- is always charged,
// neutrons never; the meson-proton pairs follow COULOMB.
TEST_P(PhaseShiftPair, AngleAverageFollowsThePartialWaveSum) {
  const std::string pair = GetParam();
  for (bool coulomb : {true, false}) {
    auto wf = MakePair(pair, Pars(3, 60.0, true, coulomb));
    auto free = MakePair(pair, Pars(3, 60.0, false, coulomb));
    EXPECT_EQ(wf->q1q2, pair == "nn" ? 0 : pair == "pipluspiminus" ? -1 : coulomb ? 1 : 0);
    for (int iq : {1, 2})
      for (double r : {1.5, 4.0}) {
        const double q = wf->qarray[iq], x = q * r / wf->HBARC;
        double avg = 0.0;  // Simpson, 400 intervals
        for (int i = 0; i <= 400; i++) {
          const double c = -1.0 + i / 200.0, w = (i == 0 || i == 400) ? 1 : (i % 2 ? 4 : 2);
          avg += w * (wf->CalcPsiSquared(iq, r, c) - free->CalcPsiSquared(iq, r, c)) / 1200;
        }
        double expect = 0.0;
        for (int ch = 0; ch < wf->nchannels; ch++) {
          double f, g;
          CoulWave::GetFG(wf->channelell[ch], x, wf->eta[iq], &f, &g);
          const double d = wf->delta[ch][iq];
          const double u = std::cos(d) * f + std::sin(d) * g;
          expect += wf->channelweight[ch] * (u * u - f * f) / (x * x);
        }
        // The partial waves are tabulated and interpolated.
        EXPECT_CLOSE_ABS(avg, expect, 5e-4, 1e-6)
            << "coulomb " << coulomb << " q=" << q << " r=" << r;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(AllPairs, PhaseShiftPair,
                         ::testing::Values("pkplus", "ppiplus", "nn", "pipluspiminus"),
                         [](const auto& info) { return info.param; });

// p pi+: a grid point in the upper half of a unit interval extrapolates from the entries at
// floor(q) and floor(q) + 1/2. pK+: the first grid point gets no phases, and the s wave's
// derivative there is the plain difference of its first two entries; the other points read the
// table (q = 150 is an entry).
TEST(MesonProtonPhases, ReadFromTheTablesAsDocumented) {
  auto wf = MakePair("ppiplus", Pars(8, 0.5));  // q = 0.25, 0.75, ...
  for (int c = 0; c < 3; c++) {
    const double* d = kDeltaPPiplus + c * kNTabPPiplus;
    const double* dd = kDDeltaDqPPiplus + c * kNTabPPiplus;
    EXPECT_CLOSE_ABS(wf->delta[c][0], 0.5 * d[0] + 0.5 * d[1], kRoundoff, 1e-300);   // q = 0.25
    EXPECT_CLOSE_ABS(wf->delta[c][1], -0.5 * d[0] + 1.5 * d[1], kRoundoff, 1e-300);  // q = 0.75
    EXPECT_CLOSE_ABS(wf->ddeltadq[c][1], -0.5 * dd[0] + 1.5 * dd[1], kRoundoff, 1e-300);
  }
  wf = MakePair("pkplus", Pars(3, 100.0));  // q = 50, 150, 250
  for (int c = 0; c < 3; c++) EXPECT_EQ(wf->delta[c][0], 0.0);
  EXPECT_EQ(wf->ddeltadq[0][0], kDeltaPKplus[1] - kDeltaPKplus[0]);
  EXPECT_EQ(wf->ddeltadq[1][0], 0.0);
  EXPECT_EQ(wf->delta[0][1], kDeltaPKplus[300]);
}

// Free neutrons: with p+- = e^{+-i x c}, |S|^2 = 2 cos^2(x c) and |A|^2 = 2 sin^2(x c), so the
// spin average 0.25 |S|^2 + 0.75 |A|^2 is 0.5 cos^2 + 1.5 sin^2 (Fermi-Dirac antibunching:
// 0.5 at zero separation).
double FreeNN(double q, double r, double c) {
  const double xc = q * r * c / femtokit::constants::kHbarC;
  return 0.5 * std::cos(xc) * std::cos(xc) + 1.5 * std::sin(xc) * std::sin(xc);
}

TEST(NNWaveFunction, StrongOffIsTheFreeSpinAverage) {
  auto wf = MakePair("nn", Pars(3, 40.0, false));
  for (int iq = 0; iq < 3; iq++)
    for (double r : {0.3, 1.0, 6.0})
      for (double c : {-1.0, 0.2, 0.9})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), FreeNN(wf->qarray[iq], r, c), 1e-12);
}

// Anchor rows of the table on grid points are read as they are; zero phases, and q = 210 beyond
// the table (200 MeV/c: no strong interaction, no short-range weight), give the free result.
// Identical particles: r -> -r (ctheta -> -ctheta) leaves |psi|^2 unchanged. Beyond the grid: fatal.
TEST(NNWaveFunction, TableRowsZeroPhasesExchangeSymmetryAndGridEnd) {
  auto wf = MakePair("nn", Pars(11, 20.0, true));  // q = 10, 30, 50, ..., 210
  for (int iq : {0, 2, 5})
    for (double r : {0.5, 2.0, 7.0})
      for (double c : {0.1, 0.6, 1.0})
        EXPECT_CLOSE(wf->CalcPsiSquared(iq, r, c), wf->CalcPsiSquared(iq, r, -c), 1e-12);
  for (int c = 0; c < 4; c++) {
    EXPECT_TRUE(wf->delta[c][10] == 0.0 && wf->wepsilon[c][10] == 0.0);
    wf->delta[c][1] = 0.0;
  }
  EXPECT_CLOSE(wf->CalcPsiSquared(10, 0.5, 0.3), FreeNN(210.0, 0.5, 0.3), 1e-12);
  for (double r : {1.0, 3.3})
    for (double c : {-0.4, 0.0, 0.95})
      EXPECT_CLOSE(wf->CalcPsiSquared(1, r, c), FreeNN(wf->qarray[1], r, c), 1e-12);
  EXPECT_FATAL(wf->CalcPsiSquared(11, 1.0, 0.0), "^iq too large!\n$");
}

// Outside epsilon without strong phases the isospin sum gives |S|^2/2 + |A|^2/2 =
// |p+|^2/2 + |p-|^2/2.
double PlusMinusAverage(CWaveFunction* wf, int iq, double r, double c) {
  return 0.5 * std::norm(wf->planewave[iq]->planewave(r, c)) +
         0.5 * std::norm(wf->planewave[iq]->planewave(r, -c));
}

TEST(PiPlusPiMinus, StrongOffOrZeroPhasesAreTheFreeLimits) {
  auto off = MakePair("pipluspiminus", Pars(3, 40.0, false));
  auto zero = MakePair("pipluspiminus", Pars(3, 40.0, true));
  for (int c = 0; c < 5; c++)
    for (int iq = 0; iq < 3; iq++) zero->delta[c][iq] = 0.0;
  for (int iq = 0; iq < 3; iq++) {
    for (double c : {-0.8, 0.1, 1.0}) {
      for (double r : {1.0, 5.0}) {
        EXPECT_CLOSE(off->CalcPsiSquared(iq, r, c), PlusMinusAverage(off.get(), iq, r, c), 1e-12);
        EXPECT_CLOSE(zero->CalcPsiSquared(iq, r, c), PlusMinusAverage(zero.get(), iq, r, c), 1e-12);
      }
      // Inside, the plain Coulomb plane wave.
      EXPECT_CLOSE(off->CalcPsiSquared(iq, 0.5, c),
                   std::norm(off->planewave[iq]->planewave(0.5, c)), kRoundoff);
    }
  }
}

// tan(delta) scales by the Gamow factor times prod (eta^2 + i^2); attraction (eta < 0)
// enhances it.
TEST(PiPlusPiMinus, PhasesAreCoulombCorrectedPionPionPhases) {
  auto wf = MakePair("pipluspiminus", Pars(3, 100.0, true));  // q = 50, 150, 250
  const int isospin[5] = {0, 0, 1, 2, 2};
  for (int c = 0; c < 5; c++) {
    for (int iq = 0; iq < 3; iq++) {
      double d, dd;
      getphaseshift_pipi(isospin[c], wf->channelell[c], wf->qarray[iq], &d, &dd);
      const double eta = wf->eta[iq];
      double a = 2 * kPi * eta / std::expm1(2 * kPi * eta);
      for (int i = 1; i <= wf->channelell[c]; i++) a *= eta * eta + i * i;
      EXPECT_LT(eta, 0.0);
      EXPECT_CLOSE(std::tan(wf->delta[c][iq]), a * std::tan(d), 1e-10) << c << " " << iq;
    }
  }
}

TEST(PiPlusPiMinus, BeyondTheGridIsUncorrelated) {
  auto wf = MakePair("pipluspiminus", Pars(2, 40.0, true));
  EXPECT_EQ(CAPTURE_STDOUT(EXPECT_EQ(wf->CalcPsiSquared(2, 1.0, 0.5), 1.0)), "");
}

}  // namespace

// Proton-proton wave function: the strong phase shifts it extracts from the Reid93 potential
// against the Nijmegen partial-wave analysis, the Coulomb-only limit, exchange symmetry,
// continuity at the inner radius and the construction messages.

#include "wavefunctions/wf_pp.h"

#include <cmath>
#include <complex>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "numeric/spherharmonics.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

constexpr double kPi = 3.141592653589793;

// Builds a pp wave function on the two momenta of the Nijmegen comparison (T_lab = 5 and 10 MeV)
// with the given switches; the construction messages are swallowed. Called outside any test
// body, so that the scratch path (which names the running test) stays short enough for a
// parameter-file line.
std::unique_ptr<CWaveFunction_pp> MakePP(bool strong, double epsilon) {
  ScratchDir dir;
  WriteTextFile(dir / "qarray.dat", "2\n48.4 68.5\n");
  WriteTextFile(dir / "wf.dat", "double DELQ -1.0\nstring QARRAYFILENAME " + (dir / "qarray.dat") +
                                    "\ndouble EPSILON " + std::to_string(epsilon) +
                                    "\nbool STRONG " + (strong ? "1" : "0") + "\n");
  std::unique_ptr<CWaveFunction_pp> wf;
  CAPTURE_STDOUT(wf = std::make_unique<CWaveFunction_pp>((dir / "wf.dat").c_str()));
  return wf;
}

// Strong phase shift in degrees, delta = beta - PI/2, taken modulo 180 degrees into (-90, 90].
double PhaseShiftDeg(double beta) { return std::remainder(beta - 0.5 * kPi, kPi) * 180.0 / kPi; }

class PPWaveFunction : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    strong_ = MakePP(true, 1.0).release();
    coulomb_ = MakePP(false, 1.0).release();
    strong_eps4_ = MakePP(true, 4.0).release();
    coulomb_eps4_ = MakePP(false, 4.0).release();
  }
  static void TearDownTestSuite() {
    delete strong_;
    delete coulomb_;
    delete strong_eps4_;
    delete coulomb_eps4_;
  }
  static CWaveFunction_pp* strong_;
  static CWaveFunction_pp* coulomb_;
  static CWaveFunction_pp* strong_eps4_;  // epsilon outside the range of the potential
  static CWaveFunction_pp* coulomb_eps4_;
};
CWaveFunction_pp* PPWaveFunction::strong_ = nullptr;
CWaveFunction_pp* PPWaveFunction::coulomb_ = nullptr;
CWaveFunction_pp* PPWaveFunction::strong_eps4_ = nullptr;
CWaveFunction_pp* PPWaveFunction::coulomb_eps4_ = nullptr;

// Reference: Nijmegen multi-energy pp partial-wave analysis (Stoks et al., Phys. Rev. C 48, 792
// (1993)), phase shifts relative to Coulomb functions: 1S0 = 54.83 deg at 5 MeV and 55.22 deg at
// 10 MeV, 3P0 = 3.73 deg and 3P1 = -2.06 deg at 10 MeV.
TEST_F(PPWaveFunction, PhaseShiftsAgreeWithTheNijmegenAnalysis) {
  EXPECT_NEAR(PhaseShiftDeg(strong_->phase1S0[0]), 54.83, 1.5);
  EXPECT_NEAR(PhaseShiftDeg(strong_->phase1S0[1]), 55.22, 1.5);
  EXPECT_NEAR(PhaseShiftDeg(strong_->phase3P0[1]), 3.73, 1.5);
  EXPECT_NEAR(PhaseShiftDeg(strong_->phase3P1[1]), -2.06, 1.5);
  // The Coulomb-only wave has no strong phase at all.
  EXPECT_NEAR(PhaseShiftDeg(strong_->phaseNS[1]), 0.0, 0.1);
}

// Without the potential the integration only reproduces the Coulomb functions it starts from:
// every phase shift vanishes up to the discretisation error of the 0.01 fm grid.
TEST_F(PPWaveFunction, CoulombOnlyIntegrationGivesNoPhaseShift) {
  for (int iq = 0; iq < 2; iq++) {
    for (double beta : {coulomb_->phase1S0[iq], coulomb_->phase3P0[iq], coulomb_->phase3P1[iq],
                        coulomb_->phase3C2[iq], coulomb_->phaseNS[iq]}) {
      EXPECT_NEAR(PhaseShiftDeg(beta), 0.0, 0.1);
    }
  }
}

// The second pass starts from (psi - e^{2i beta} conj psi)/2 = i e^{i beta} (real): the stored
// wave keeps that phase at every radius, and it is regular (nearly zero) at the origin.
TEST_F(PPWaveFunction, StoredWavesAreStandingWavesRegularAtTheOrigin) {
  const CWaveFunction_pp& wf = *strong_;
  struct Wave {
    const std::complex<double>* psi;
    double beta;
  };
  for (const Wave& w : {Wave{wf.psi1S0, wf.phase1S0[1]}, Wave{wf.psi3P0, wf.phase3P0[1]},
                        Wave{wf.psi3C2, wf.phase3C2[1]}, Wave{wf.psiNS, wf.phaseNS[1]}}) {
    double largest = 0.0, worst_imag = 0.0;
    const std::complex<double> unphase = std::polar(1.0, -w.beta) / std::complex<double>(0, 1);
    for (int j = 0; j <= wf.nrmax; j++) {
      const std::complex<double> real_wave = w.psi[j] * unphase;
      largest = std::fmax(largest, std::abs(real_wave));
      worst_imag = std::fmax(worst_imag, std::fabs(real_wave.imag()));
    }
    EXPECT_GT(largest, 0.5);
    EXPECT_LT(worst_imag, 1e-9 * largest);
    EXPECT_LT(std::abs(w.psi[0]), 2e-3 * largest);
  }
}

TEST_F(PPWaveFunction, WithoutStrongInteractionIsSpinAveragedCoulombWave) {
  for (double r : {0.3, 0.999, 1.0, 4.0, 12.0}) {
    for (double c : {-0.8, 0.0, 0.45, 1.0}) {
      const std::complex<double> p = coulomb_->planewave[1]->planewave(r, c);
      const std::complex<double> m = coulomb_->planewave[1]->planewave(r, -c);
      const double S2 = std::norm(p + m) / 2.0, A2 = std::norm(p - m) / 2.0;
      EXPECT_CLOSE(coulomb_->CalcPsiSquared(1, r, c), 0.25 * S2 + 0.75 * A2, kRoundoff);
    }
    // At right angles the two plane waves coincide: A = 0, |psi|^2 = 0.5 |p|^2.
    EXPECT_CLOSE(coulomb_->CalcPsiSquared(0, r, 0.0),
                 0.5 * std::norm(coulomb_->planewave[0]->planewave(r, 0.0)), kRoundoff);
  }
}

// Exchanging the protons (ctheta -> -ctheta) leaves |psi|^2 unchanged: the singlet is even and
// the triplet odd in the separation, on both sides of epsilon.
TEST_F(PPWaveFunction, SymmetricUnderExchangeAndNonNegative) {
  for (int iq = 0; iq < 2; iq++) {
    for (double r : {0.0, 0.05, 0.5, 0.99, 1.0, 2.5, 7.0, 20.0}) {
      for (double c : {0.0, 0.2, 0.7, 1.0}) {
        const double plus = strong_->CalcPsiSquared(iq, r, c);
        EXPECT_CLOSE_ABS(plus, strong_->CalcPsiSquared(iq, r, -c), 1e-12, 1e-14);
        EXPECT_GE(plus, 0.0);
      }
    }
  }
  // Far out the strong corrections fade and only the Coulomb wave is left.
  const double r = 60.0, c = 0.3;
  EXPECT_NEAR(strong_->CalcPsiSquared(1, r, c), coulomb_->CalcPsiSquared(1, r, c), 0.05);
}

// With epsilon outside the range of the potential the integrated waves (inside) and the
// phase-shifted Coulomb partial waves (outside) describe the same function: |psi|^2 must not jump
// there beyond the discretisation of the 0.01 fm table.
TEST_F(PPWaveFunction, ContinuousAcrossEpsilonOutsideThePotential) {
  CWaveFunction_pp* wf = strong_eps4_;
  for (int iq = 0; iq < 2; iq++) {
    for (double c : {-0.9, -0.3, 0.0, 0.6, 1.0}) {
      const double inside = wf->CalcPsiSquared(iq, 4.0 - 1e-9, c);
      const double outside = wf->CalcPsiSquared(iq, 4.0, c);
      EXPECT_CLOSE(inside, outside, 0.02) << "iq=" << iq << " c=" << c;
    }
  }
  // Inside, the 1S0 attraction raises the singlet well above the Coulomb wave near 1.5 fm.
  EXPECT_GT(wf->CalcPsiSquared(0, 1.5, 0.0), 2.0 * coulomb_eps4_->CalcPsiSquared(0, 1.5, 0.0));
}

// The partial-wave form outside epsilon, rebuilt from the documented ingredients: Coulomb partial
// waves, e^{-2i delta} of the stored phases and SpherHarmonics::Ylm (the wave function uses the
// harmonics in closed form).
TEST_F(PPWaveFunction, PartialWaveFormUsesTheSpinWeightedHarmonics) {
  const CWaveFunction_pp& wf = *strong_;
  const int iq = 1;
  const double r = 2.7, c = -0.35, theta = std::acos(c), q = wf.qarray[iq];
  const std::complex<double> i(0.0, 1.0);
  const std::complex<double> p = wf.planewave[iq]->planewave(r, c);
  const std::complex<double> m = wf.planewave[iq]->planewave(r, -c);
  const std::complex<double> S = (p + m) / std::sqrt(2.0), A = (p - m) / std::sqrt(2.0);
  auto e = [](double beta) { return std::polar(1.0, -2.0 * (beta - 0.5 * kPi)); };
  const std::complex<double> e1S0 = e(wf.phase1S0[iq]), e3P0 = e(wf.phase3P0[iq]),
                             e3P1 = e(wf.phase3P1[iq]), e3C2 = e(wf.phase3C2[iq]);
  const double x = q * r / wf.HBARC;
  const std::complex<double> R0 = wf.partwave[0][iq]->GetPhiIncoming(r) / x;
  const std::complex<double> R1 = wf.partwave[1][iq]->GetPhiIncoming(r) / x;
  const std::complex<double> W = std::sqrt(2.0 * kPi) * SpherHarmonics::Ylm(0, 0, theta, 0.0);
  const std::complex<double> P10 =
      R1 * i * std::sqrt(6.0 * kPi) * SpherHarmonics::Ylm(1, 0, theta, 0.0);
  const std::complex<double> P11 =
      R1 * i * std::sqrt(6.0 * kPi) * SpherHarmonics::Ylm(1, 1, theta, 0.0);
  const double expected = 0.25 * std::norm(S + R0 * W * (e1S0 - 1.0)) +
                          0.5 * (std::norm(A + P10 * (0.5 * e3P1 + 0.5 * e3C2 - 1.0)) +
                                 std::norm(P11 * (e3P1 - e3C2) / 2.0)) +
                          0.25 * (std::norm(A + P10 * (2.0 * e3C2 / 3.0 + e3P0 / 3.0 - 1.0)) +
                                  2.0 * std::norm(P11 * (e3C2 - e3P0) / 3.0));
  EXPECT_CLOSE(strong_->CalcPsiSquared(iq, r, c), expected, 1e-12);
}

TEST(PPWaveFunctionConstruction, PrintsProgressAfterTheParameters) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble DELQ 30.0\n");
  std::string out;
  out = CAPTURE_STDOUT(CWaveFunction_pp wf((dir / "wf.dat").c_str()));
  const size_t params = out.find("____________________\n");
  const size_t arrays = out.find("Arrays Initialized\n");
  const size_t waves = out.find("Partial Waves Initialized\n");
  ASSERT_NE(params, std::string::npos);
  ASSERT_NE(arrays, std::string::npos);
  ASSERT_NE(waves, std::string::npos);
  EXPECT_LT(params, arrays);
  EXPECT_LT(arrays, waves);
}

TEST(PPWaveFunctionConstruction, EpsilonBeyondTheRadialTableIsFatal) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", "int NQMAX 2\ndouble EPSILON 10.0\n");
  EXPECT_FATAL(CWaveFunction_pp wf((dir / "wf.dat").c_str()),
               "CWaveFunction_pp: EPSILON=10 fm must lie below rmax=10 fm\n");
}

}  // namespace

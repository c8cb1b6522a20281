// Coulomb wave functions: the Wronskian, the free limit, the asymptotic
// phase, the complex Gamma function, the Coulomb correction of phase shifts
// and the fatal path for arguments GSL cannot evaluate.

#include "wavefunctions/coulwave.h"

#include <gsl/gsl_sf_bessel.h>

#include <cmath>
#include <complex>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;
constexpr double kPi = 3.141592653589793;

struct FGCase {
  int ell;
  double x, eta;
};

// Small and large x, repulsive and attractive eta, ell up to 3.
const FGCase kFGCases[] = {{0, 0.05, 1.4}, {0, 1.0, 0.0},  {0, 7.3, -0.8}, {1, 0.3, 0.2},
                           {1, 12.0, 1.0}, {2, 2.5, -0.3}, {2, 0.02, 0.5}, {3, 25.0, 2.0}};

TEST(CoulWaveTest, WronskianAndDerivativesAtSeveralPoints) {
  for (const FGCase& c : kFGCases) {
    SCOPED_TRACE(testing::Message() << "ell=" << c.ell << " x=" << c.x << " eta=" << c.eta);
    double F, G, Fp, Gp;
    CoulWave::GetFGprime(c.ell, c.x, c.eta, &F, &G, &Fp, &Gp);
    EXPECT_CLOSE(Fp * G - F * Gp, 1.0, 1e-9);
    // The two GSL routes (array from ell = 0, single order with derivative) agree.
    double F2, G2;
    CoulWave::GetFG(c.ell, c.x, c.eta, &F2, &G2);
    EXPECT_CLOSE(F2, F, 1e-9);
    EXPECT_CLOSE(G2, G, 1e-9);
  }
}

TEST(CoulWaveTest, OutgoingIsConjugateOfIncoming) {
  for (const FGCase& c : kFGCases) {
    const std::complex<double> in = CoulWave::CWincoming(c.ell, c.x, c.eta);
    const std::complex<double> out = CoulWave::CWoutgoing(c.ell, c.x, c.eta);
    EXPECT_EQ(out, std::conj(in));
    double F, G;
    CoulWave::GetFG(c.ell, c.x, c.eta, &F, &G);
    EXPECT_EQ(in, std::complex<double>(F, G));
  }
}

TEST(CoulWaveTest, WithoutChargeTheyAreRiccatiBesselFunctions) {
  for (int ell = 0; ell <= 3; ell++) {
    for (double x : {0.1, 1.7, 9.0}) {
      double F, G;
      CoulWave::GetFG(ell, x, 0.0, &F, &G);
      EXPECT_CLOSE(F, x * gsl_sf_bessel_jl(ell, x), 1e-10);
      EXPECT_CLOSE(G, -x * gsl_sf_bessel_yl(ell, x), 1e-10);
    }
  }
}

TEST(CoulWaveTest, ComplexGammaKnownValuesAndIdentities) {
  EXPECT_CLOSE(CoulWave::cgamma({5.0, 0.0}).real(), 24.0, kRoundoff);
  const std::complex<double> z(0.3, 1.7);
  const std::complex<double> gz = CoulWave::cgamma(z), gz1 = CoulWave::cgamma(z + 1.0);
  EXPECT_CLOSE(gz1.real(), (z * gz).real(), 1e-12);
  EXPECT_CLOSE(gz1.imag(), (z * gz).imag(), 1e-12);
  // |Gamma(1 + i eta)|^2 = pi eta / sinh(pi eta), the root of the Gamow factor.
  for (double eta : {0.1, 1.0, -2.5}) {
    EXPECT_CLOSE(std::norm(CoulWave::cgamma({1.0, eta})), kPi * eta / std::sinh(kPi * eta), 1e-12);
  }
}

// delta(q) = 0.3 + 0.002 q (with its derivative) corrected at eta = 40 / q.
void Corrected(int ell, double q, double* delta, double* ddeltadq) {
  *delta = 0.3 + 0.002 * q;
  *ddeltadq = 0.002;
  CoulWave::phaseshift_CoulombCorrect(ell, q, 40.0 / q, *delta, *ddeltadq);
}

TEST(CoulWaveTest, PhaseShiftCorrectionLimits) {
  for (double eta : {0.0, 1e-11, -1e-10}) {
    double delta = 0.7, dd = -0.01;
    CoulWave::phaseshift_CoulombCorrect(2, 50.0, eta, delta, dd);
    EXPECT_EQ(delta, 0.7);
    EXPECT_EQ(dd, -0.01);
  }
  // ell = 0 multiplies tan(delta) by the Gamow factor; ell = 2 by
  // (eta^2 + 1)(eta^2 + 4) times it.
  for (double eta : {0.35, -0.6}) {
    const double gamow = 2 * kPi * eta / (std::exp(2 * kPi * eta) - 1);
    double d0 = 0.4, dd0 = 0.0;
    CoulWave::phaseshift_CoulombCorrect(0, 30.0, eta, d0, dd0);
    EXPECT_CLOSE(std::tan(d0), gamow * std::tan(0.4), 1e-12);
    double d2 = 0.4, dd2 = 0.0;
    CoulWave::phaseshift_CoulombCorrect(2, 30.0, eta, d2, dd2);
    EXPECT_CLOSE(std::tan(d2), (eta * eta + 1) * (eta * eta + 4) * gamow * std::tan(0.4), 1e-12);
  }
}

TEST(CoulWaveTest, PhaseShiftCorrectionKeepsTheHalfTurn) {
  // cos(delta) < 0: the corrected phase stays in the same half-turn, wrapped
  // into (-pi, pi].
  double d = 2.0, dd = 0.0;
  CoulWave::phaseshift_CoulombCorrect(1, 40.0, 0.5, d, dd);
  EXPECT_GT(d, kPi / 2);
  EXPECT_LE(d, kPi);
  d = -2.5;
  CoulWave::phaseshift_CoulombCorrect(1, 40.0, 0.5, d, dd);
  EXPECT_LT(d, -kPi / 2);
  EXPECT_GT(d, -kPi);
}

TEST(CoulWaveTest, CorrectedDerivativeIsTheDerivativeOfTheCorrectedPhase) {
  for (int ell = 0; ell <= 2; ell++) {
    for (double q : {25.0, 60.0, 150.0}) {
      SCOPED_TRACE(testing::Message() << "ell=" << ell << " q=" << q);
      const double h = 1e-4 * q;
      double d, dd, dplus, dminus, unused;
      Corrected(ell, q, &d, &dd);
      Corrected(ell, q + h, &dplus, &unused);
      Corrected(ell, q - h, &dminus, &unused);
      EXPECT_CLOSE_ABS((dplus - dminus) / (2 * h), dd, 1e-6, 1e-12);
    }
  }
}

TEST(CoulWaveDeathTest, ArgumentsGSLCannotEvaluateAreFatal) {
  double F, G, Fp, Gp;
  // x = 0 is outside GSL's domain (it answers with zeros).
  EXPECT_FATAL(CoulWave::GetFG(0, 0.0, 1.0, &F, &G),
               "CoulWave::GetFG: no finite Coulomb functions at ell=0, x=0, eta=1 ");
  // G overflows at tiny x, large eta and ell = 3.
  EXPECT_FATAL(CoulWave::CWincoming(3, 1e-30, 200.0),
               "CoulWave::GetFG: no finite Coulomb functions at ell=3, x=1e-30, eta=200 ");
  EXPECT_FATAL(CoulWave::GetFGprime(1, -1.0, 0.5, &F, &G, &Fp, &Gp),
               "CoulWave::GetFGprime: no finite Coulomb functions at ell=1, x=-1, eta=0.5 ");
}

}  // namespace

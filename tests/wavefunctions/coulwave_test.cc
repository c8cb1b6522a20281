// Coulomb wave functions: the Wronskian, the free limit, the complex Gamma
// function, the Coulomb correction of phase shifts and the fatal path for
// arguments GSL cannot evaluate.

#include "wavefunctions/coulwave.h"

#include <gsl/gsl_sf_bessel.h>

#include <cmath>
#include <complex>

#include "common/test_util.h"
#include "numeric/constants.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit::constants::kPi;

TEST(CoulWaveTest, WronskianBothGSLRoutesAndIncomingOutgoing) {
  // {ell, x, eta}: small and large x, repulsive and attractive eta, ell up to 3.
  const double cases[][3] = {{0, 0.05, 1.4}, {0, 1.0, 0.0},  {0, 7.3, -0.8}, {1, 0.3, 0.2},
                             {1, 12.0, 1.0}, {2, 2.5, -0.3}, {2, 0.02, 0.5}, {3, 25.0, 2.0}};
  for (const auto& c : cases) {
    const int ell = static_cast<int>(c[0]);
    const double x = c[1], eta = c[2];
    SCOPED_TRACE(testing::Message() << "ell=" << ell << " x=" << x << " eta=" << eta);
    double F, G, Fp, Gp, F2, G2;
    CoulWave::GetFGprime(ell, x, eta, &F, &G, &Fp, &Gp);
    EXPECT_CLOSE(Fp * G - F * Gp, 1.0, 1e-9);
    CoulWave::GetFG(ell, x, eta, &F2, &G2);
    EXPECT_CLOSE(F2, F, 1e-9);
    EXPECT_CLOSE(G2, G, 1e-9);
    EXPECT_EQ(CoulWave::CWincoming(ell, x, eta), std::complex<double>(F2, G2));
    EXPECT_EQ(CoulWave::CWoutgoing(ell, x, eta), std::complex<double>(F2, -G2));
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
  const std::complex<double> zgz = z * CoulWave::cgamma(z);
  EXPECT_CLOSE_ABS(std::abs(CoulWave::cgamma(z + 1.0) - zgz), 0.0, 0.0, 1e-12 * std::abs(zgz));
  // |Gamma(1 + i eta)|^2 = pi eta / sinh(pi eta), the root of the Gamow factor.
  for (double eta : {0.1, -2.5})
    EXPECT_CLOSE(std::norm(CoulWave::cgamma({1.0, eta})), kPi * eta / std::sinh(kPi * eta), 1e-12);
}

TEST(CoulWaveTest, PhaseShiftCorrectionLimitsAndHalfTurn) {
  for (double eta : {0.0, 1e-11, -1e-10}) {  // |eta| <= 1e-10: unchanged
    double delta = 0.7, dd = -0.01;
    CoulWave::phaseshift_CoulombCorrect(2, 50.0, eta, delta, dd);
    EXPECT_EQ(delta, 0.7);
    EXPECT_EQ(dd, -0.01);
  }
  // ell = 0 multiplies tan(delta) by the Gamow factor; ell = 2 by
  // (eta^2 + 1)(eta^2 + 4) times it.
  for (double eta : {0.35, -0.6}) {
    const double gamow = 2 * kPi * eta / (std::exp(2 * kPi * eta) - 1);
    double d0 = 0.4, d2 = 0.4, dd = 0.0;
    CoulWave::phaseshift_CoulombCorrect(0, 30.0, eta, d0, dd);
    CoulWave::phaseshift_CoulombCorrect(2, 30.0, eta, d2, dd);
    EXPECT_CLOSE(std::tan(d0), gamow * std::tan(0.4), 1e-12);
    EXPECT_CLOSE(std::tan(d2), (eta * eta + 1) * (eta * eta + 4) * gamow * std::tan(0.4), 1e-12);
  }
  // cos(delta) < 0: the corrected phase stays in the same half-turn, within (-pi, pi].
  double up = 2.0, down = -2.5, dd = 0.0;
  CoulWave::phaseshift_CoulombCorrect(1, 40.0, 0.5, up, dd);
  CoulWave::phaseshift_CoulombCorrect(1, 40.0, 0.5, down, dd);
  EXPECT_TRUE(up > kPi / 2 && up <= kPi) << up;
  EXPECT_TRUE(down < -kPi / 2 && down > -kPi) << down;
}

TEST(CoulWaveTest, CorrectedDerivativeIsTheDerivativeOfTheCorrectedPhase) {
  // delta(q) = 0.3 + 0.002 q corrected at eta = 40 / q, differentiated numerically.
  auto corrected = [](int ell, double q, double* dd) {
    double delta = 0.3 + 0.002 * q;
    *dd = 0.002;
    CoulWave::phaseshift_CoulombCorrect(ell, q, 40.0 / q, delta, *dd);
    return delta;
  };
  for (int ell = 0; ell <= 2; ell++)
    for (double q : {25.0, 150.0}) {
      const double h = 1e-4 * q;
      double dd, unused;
      corrected(ell, q, &dd);
      EXPECT_CLOSE_ABS((corrected(ell, q + h, &unused) - corrected(ell, q - h, &unused)) / (2 * h),
                       dd, 1e-6, 1e-12)
          << "ell=" << ell << " q=" << q;
    }
}

TEST(CoulWaveDeathTest, ArgumentsGSLCannotEvaluateAreFatal) {
  double F, G, Fp, Gp;
  // x = 0 is outside GSL's domain (it answers with zeros).
  EXPECT_FATAL(CoulWave::GetFG(0, 0.0, 1.0, &F, &G),
               "CoulWave::GetFG: no finite Coulomb functions at ell=0, x=0, eta=1 ");
  EXPECT_FATAL(CoulWave::GetFGprime(1, -1.0, 0.5, &F, &G, &Fp, &Gp),
               "CoulWave::GetFGprime: no finite Coulomb functions at ell=1, x=-1, eta=0.5 ");
}

}  // namespace

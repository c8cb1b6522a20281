// Tests of Misc: strings, kinematics, Clebsch-Gordan coefficients, complex
// exponentials.

#include "numeric/misc.h"

#include <cmath>
#include <complex>

#include "common/test_util.h"

namespace {

using femtokit_test::kRoundoff;

TEST(Misc, ComparestringsAndIround) {
  EXPECT_EQ(Misc::comparestrings("R", "Rx"), 0);
  EXPECT_EQ(Misc::comparestrings("Rx", "Ry"), 0);
  EXPECT_EQ(Misc::comparestrings("Rx", "Rx"), 1);
  EXPECT_EQ(Misc::comparestrings("", ""), 1);
  EXPECT_EQ(Misc::iround(2.5), 3);  // halves round upward
  EXPECT_EQ(Misc::iround(-2.5), -2);
  EXPECT_EQ(Misc::iround(-2.6), -3);
}

TEST(MiscKinematics, TriangleConservesEnergyAndVanishesAtThreshold) {
  EXPECT_CLOSE_ABS(Misc::triangle(2.0, 1.0, 1.0), 0.0, kRoundoff, kRoundoff);
  // Lambda -> p pi-: the two products' energies at the momentum k add up to m0.
  const double m0 = 1115.7, m1 = 938.271, m2 = 139.58;
  const double k2 = Misc::triangle(m0, m1, m2);
  EXPECT_GT(k2, 0.0);
  EXPECT_CLOSE(std::sqrt(m1 * m1 + k2) + std::sqrt(m2 * m2 + k2), m0, kRoundoff);
  // A massless product: k = (m0^2 - m1^2) / (2 m0).
  EXPECT_CLOSE(Misc::triangle(5.0, 3.0, 0.0), 1.6 * 1.6, kRoundoff);
}

TEST(MiscKinematicsDeathTest, TriangleBelowThresholdIsFatal) {
  EXPECT_FATAL(Misc::triangle(1.0, 1.0, 1.0), "^Disaster with triangle\n$");
}

TEST(MiscKinematics, LorentzBoostsRestFrameToVelocityAndBack) {
  const double m = 938.271, u[4] = {std::sqrt(1.0 + 0.09 + 0.16 + 1.44), 0.3, -0.4, 1.2};
  const double rest[4] = {m, 0.0, 0.0, 0.0}, unit[4] = {1.0, 0.0, 0.0, 0.0};
  const double p[4] = {1000.0, 100.0, -200.0, 300.0}, uback[4] = {u[0], -u[1], -u[2], -u[3]};
  double moving[4], same[4], q[4] = {p[0], p[1], p[2], p[3]};
  Misc::lorentz(u, rest, moving);
  Misc::lorentz(unit, p, same);
  // The opposite velocity undoes a boost, also when the output overwrites the input.
  Misc::lorentz(u, q, q);
  Misc::lorentz(uback, q, q);
  for (int i = 0; i < 4; i++) {
    EXPECT_CLOSE_ABS(moving[i], m * u[i], kRoundoff, 1e-9);
    EXPECT_CLOSE(same[i], p[i], kRoundoff);
    EXPECT_CLOSE_ABS(q[i], p[i], 1e-10, 1e-9);
  }
}

TEST(MiscKinematics, RapidityOfKnownVectors) {
  const double mT = 500.0, y1 = 0.7, y2 = -0.2;  // E = mT cosh y, pz = mT sinh y
  const double p1[4] = {mT * std::cosh(y1), 40.0, 30.0, mT * std::sinh(y1)};
  const double p2[4] = {mT * std::cosh(y2), 0.0, 0.0, mT * std::sinh(y2)};
  EXPECT_CLOSE(Misc::GetRapidity(p1), y1, kRoundoff);
  EXPECT_CLOSE(Misc::GetDely(p1, p2), y1 - y2, kRoundoff);
}

// Two equal masses with relative momentum k (pair rest frame), boosted first
// along x (out) with four-velocity ux, then along z with uz.
void MakePair(const double k[3], double m, double ux, double uz, double* pa, double* pb) {
  const double E = std::sqrt(m * m + k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
  double a[4] = {E, k[0], k[1], k[2]}, b[4] = {E, -k[0], -k[1], -k[2]};
  const double boostx[4] = {std::sqrt(1.0 + ux * ux), ux, 0.0, 0.0};
  const double boostz[4] = {std::sqrt(1.0 + uz * uz), 0.0, 0.0, uz};
  Misc::lorentz(boostx, a, a);
  Misc::lorentz(boostx, b, b);
  Misc::lorentz(boostz, a, pa);
  Misc::lorentz(boostz, b, pb);
}

TEST(MiscKinematics, OutSideLongRecoverPairFrameMomentum) {
  // Second pair: no transverse momentum, where x is taken as the out axis.
  const double k[3] = {30.0, -20.0, 45.0}, ux[2] = {1.3, 0.0}, uz[2] = {-0.8, 2.0};
  for (int c = 0; c < 2; c++) {
    double pa[4], pb[4], extra = 123.0, qout, qside, qlong;
    MakePair(k, 139.58, ux[c], uz[c], pa, pb);
    Misc::outsidelong(pa, pb, extra, qout, qside, qlong);
    EXPECT_CLOSE(qout, k[0], 1e-10);
    EXPECT_CLOSE(qside, k[1], 1e-10);
    EXPECT_CLOSE(qlong, k[2], 1e-10);
    EXPECT_EQ(extra, 123.0);  // documented: never written
    // Qinv of equal masses is twice the pair-frame momentum.
    EXPECT_CLOSE(Misc::GetQinv(pa, pb), 2.0 * std::sqrt(30.0 * 30 + 20.0 * 20 + 45.0 * 45), 1e-10);
  }
}

TEST(MiscKinematicsDeathTest, TimeLikeQinvIsFatal) {
  const double p1[4] = {10.0, 0.0, 0.0, 0.0}, p2[4] = {0.0, 0.0, 0.0, 0.0};
  EXPECT_FATAL(Misc::GetQinv(p1, p2), "^DISASTER with GetQinv, wrong sign, = -100\n$");
}

TEST(MiscCGC, KnownSpinHalfValues) {
  const double s = 1.0 / std::sqrt(2.0);
  EXPECT_CLOSE(Misc::cgc(0.5, 0.5, 0.5, -0.5, 1, 0), s, kRoundoff);
  EXPECT_CLOSE(Misc::cgc(0.5, -0.5, 0.5, 0.5, 1, 0), s, kRoundoff);
  EXPECT_CLOSE(Misc::cgc(0.5, 0.5, 0.5, -0.5, 0, 0), s, kRoundoff);
  EXPECT_CLOSE(Misc::cgc(0.5, -0.5, 0.5, 0.5, 0, 0), -s, kRoundoff);
  // Tabulated values (Condon-Shortley): <1 1; 1 -1|0 0> = 1/sqrt3,
  // <1 0; 1 0|2 0> = sqrt(2/3), <1 0; 1 0|1 0> = 0.
  EXPECT_CLOSE(Misc::cgc(1, 1, 1, -1, 0, 0), 1.0 / std::sqrt(3.0), kRoundoff);
  EXPECT_CLOSE(Misc::cgc(1, 0, 1, 0, 2, 0), std::sqrt(2.0 / 3.0), kRoundoff);
  EXPECT_CLOSE_ABS(Misc::cgc(1, 0, 1, 0, 1, 0), 0.0, kRoundoff, kRoundoff);
  // Selection rules: M != m1 + m2, J > j1 + j2.
  EXPECT_EQ(Misc::cgc(1, 1, 1, 0, 2, 0), 0.0);
  EXPECT_EQ(Misc::oldcgc(1, 1, 1, 0, 2, 0), 0.0);
  EXPECT_EQ(Misc::oldcgc(1, 0, 1, 0, 3, 0), 0.0);
}

TEST(MiscCGC, RacahSumAgreesWithThreeJAndIsOrthonormal) {
  for (double j1 = 0.0; j1 <= 2.0; j1 += 0.5) {
    for (double j2 = 0.0; j2 <= 2.0; j2 += 0.5) {
      for (double J = std::fabs(j1 - j2); J <= j1 + j2; J += 1.0) {
        for (double M = -J; M <= J; M += 1.0) {
          double norm = 0.0;
          for (double m1 = -j1; m1 <= j1; m1 += 1.0) {
            const double m2 = M - m1;
            if (std::fabs(m2) > j2) continue;
            const double c = Misc::cgc(j1, m1, j2, m2, J, M);
            EXPECT_CLOSE_ABS(Misc::oldcgc(j1, m1, j2, m2, J, M), c, 1e-10, 1e-12)
                << j1 << " " << m1 << " " << j2 << " " << m2 << " " << J << " " << M;
            norm += c * c;
          }
          EXPECT_CLOSE(norm, 1.0, 1e-12);
        }
      }
    }
  }
}

TEST(MiscComplex, ExponentialsMatchTheStandardLibrary) {
  const std::complex<double> z(0.3, -2.1);
  EXPECT_CLOSE_ABS(std::abs(Misc::cexp(z) - std::exp(z)), 0.0, kRoundoff, kRoundoff);
  const std::complex<double> a(-8.0, 0.0), b(1.0 / 3.0, 0.0);
  // Principal cube root of -8: 2 e^{i pi/3} = 1 + i sqrt3.
  const std::complex<double> r = Misc::cpow(a, b);
  EXPECT_CLOSE(r.real(), 1.0, 1e-12);
  EXPECT_CLOSE(r.imag(), std::sqrt(3.0), 1e-12);
  const std::complex<double> c(1.5, 0.5), e(-0.7, 1.2);
  EXPECT_CLOSE_ABS(std::abs(Misc::cpow(c, e) - std::pow(c, e)), 0.0, kRoundoff, kRoundoff);
}

}  // namespace

// Reid93 potential: the regularised radial functions against high-precision values, the
// one-pion-exchange tails of pp and np, the structure of coupled channels and the fatal paths.

#include "wavefunctions/reid93.h"

#include <cmath>
#include <string>

#include "common/test_util.h"

namespace {

using RadialFn = double (*)(const double*, const double*, const double*);

// A radial function at the regulator m = 8 used throughout the potential.
double At(RadialFn f, double n, double x) {
  const double m = 8;
  return f(&n, &m, &x);
}

struct RadialCase {
  double n, x;
  double y, p, w, z;  // Y, P, W, Z at m = 8
};

// Reference values: the closed forms evaluated with mpmath at 40 significant digits.
const RadialCase kClosedForm[] = {
    {1, 0.05, 2.9788023880361644, -163.30246403167961, 60.441021204384749, 18.020599581474636},
    {3, 0.05, 1.50353344954086, -12.577842517527257, 4.6947602435300048, 1.506438213062757},
    {1, 0.5, 1.1043122135234077, -3.4391109583132149, 5.3918571110119805, 12.736460374722727},
    {3, 0.5, 0.34666903383936755, -0.038086574760777554, 0.30251305650431661, 0.86945259475217226},
    {1, 3.0, 0.016595689294724943, 0.016595679930031814, 0.0073758615490802112,
     0.038723264577272448},
};

TEST(Reid93Radial, ClosedFormsMatchHighPrecisionValues) {
  for (const RadialCase& c : kClosedForm) {
    SCOPED_TRACE(testing::Message() << "n=" << c.n << " x=" << c.x);
    EXPECT_CLOSE(At(r93_y, c.n, c.x), c.y, 1e-13);
    EXPECT_CLOSE(At(r93_p, c.n, c.x), c.p, 1e-12);
    EXPECT_CLOSE(At(r93_w, c.n, c.x), c.w, 1e-11);
    EXPECT_CLOSE(At(r93_z, c.n, c.x), c.z, 1e-11);
  }
}

// Both sides of the x = 1e-4 switch, against the exact functions (mpmath). Below the switch the
// two-term Taylor forms are off by O(x^2); above it the closed forms lose digits to cancellation
// (W and Z subtract terms of size 1/x^3), hence the looser bounds for those two.
TEST(Reid93Radial, SmallXSeriesAndClosedFormAgreeWithExactValuesAcrossTheSwitch) {
  // x = 5e-5: Taylor side.
  EXPECT_CLOSE(At(r93_y, 1, 5e-5), 3.062499897937336, 1e-6);
  EXPECT_CLOSE(At(r93_p, 1, 5e-5), -244.90079494441693, 1e-6);
  EXPECT_CLOSE(At(r93_w, 1, 5e-5), 81.641864405638926, 1e-6);
  EXPECT_CLOSE(At(r93_z, 1, 5e-5), 0.024798272499849993, 1e-3);
  // x = 2e-4: closed-form side.
  EXPECT_CLOSE(At(r93_y, 1, 2e-4), 3.0624983679890286, 1e-9);
  EXPECT_CLOSE(At(r93_p, 1, 2e-4), -244.60341898273469, 1e-9);
  EXPECT_CLOSE(At(r93_w, 1, 2e-4), 81.567505468898599, 1e-5);
  EXPECT_CLOSE(At(r93_z, 1, 2e-4), 0.099097423961108406, 1e-2);
}

struct Potential {
  double v11, v12, v22;
};

Potential V(double r, const char* wave, const char* type) {
  Potential v{-1e300, -1e300, -1e300};
  creid93(&r, wave, type, &v.v11, &v.v12, &v.v22);
  return v;
}

constexpr double kHbarc = 197.327053, kM0 = 134.9739, kMc = 139.5675;

// Bare one-pion-exchange functions of one pion mass: Yukawa, or tensor Yukawa.
double Yukawa(double mass, double r, bool tensor = false) {
  const double x = mass / kHbarc * r;
  return std::exp(-x) / x * (tensor ? 1.0 + 3.0 / x + 3.0 / (x * x) : 1.0);
}

// At 15 fm the phenomenological Yukawas (masses >= 2 pion masses) and the regulators have died
// away by more than four orders relative to one-pion exchange, which then fixes the potential:
// V = f^2 (m/ms)^2 m/3 [sigma1.sigma2 Y + S12 Z] times the isospin factor (f^2 = 0.075).
TEST(Reid93Potential, TailIsOnePionExchangeAndPpSingletHasCoreAndWell) {
  const double r = 15.0, f0 = 0.075 * (kM0 / kMc) * (kM0 / kMc) * kM0 / 3.0, fc = 0.075 * kMc / 3.0;
  const double y0 = f0 * Yukawa(kM0, r), t0 = f0 * Yukawa(kM0, r, true);
  for (const char* type : {"PP", "NN"}) {  // neutral pion only
    SCOPED_TRACE(type);
    EXPECT_CLOSE(V(r, "1S0", type).v11, -3.0 * y0, 1e-3);
    EXPECT_CLOSE(V(r, "3P0", type).v11, y0 - 4.0 * t0, 1e-3);
    EXPECT_CLOSE(V(r, "3P1", type).v11, y0 + 2.0 * t0, 1e-3);
    EXPECT_CLOSE(V(r, "1D2", type).v11, -3.0 * y0, 1e-3);
  }
  for (const char* type : {"NP", "PN"}) {
    SCOPED_TRACE(type);
    // Isospin 1 (1S0): tau1.tau2 gives -V(pi0) + 2 V(pi+-).
    EXPECT_CLOSE(V(r, "1S0", type).v11, -3.0 * (2.0 * fc * Yukawa(kMc, r) - y0), 1e-3);
    // Isospin 0 (3D2, uncoupled triplet): -V(pi0) - 2 V(pi+-).
    const double vs = -2.0 * fc * Yukawa(kMc, r) - y0, vt = -2.0 * fc * Yukawa(kMc, r, true) - t0;
    EXPECT_CLOSE(V(r, "3D2", type).v11, vs + 2.0 * vt, 1e-3);
  }
  for (const char* wave : {"1S0", "3P0", "3C2", "1G4"}) {  // pair types of the same exchange
    EXPECT_EQ(V(0.7, wave, "PP").v11, V(0.7, wave, "NN").v11);
    EXPECT_EQ(V(0.7, wave, "NP").v22, V(0.7, wave, "PN").v22);
  }
  // Inside, the regularised pp 1S0 potential is finite at r = 0 and has its familiar shape: a
  // repulsive core and an attractive well between 1 and 2 fm.
  EXPECT_TRUE(std::isfinite(V(0.0, "1S0", "PP").v11) && V(0.2, "1S0", "PP").v11 > 50.0);
  EXPECT_TRUE(V(1.2, "1S0", "PP").v11 < -10.0 && V(2.0, "1S0", "PP").v11 < 0.0);
}

// Uncoupled waves set v11 only. In a coupled channel, central, tensor and spin-orbit parts combine
// as v11 - v22 = (2J+1) Vls + 6/(2J+1) Vt and v12 = 6 sqrt(J(J+1))/(2J+1) Vt. The generic channels
// above J = 4 have no spin-orbit term, so (v11 - v22)/v12 = 1/sqrt(J(J+1)) exactly (the pion
// exchange obeys the same relation away from S waves); the named ones carry spin-orbit terms
// (3C2 in full below).
TEST(Reid93Potential, OutputsOfUncoupledAndCoupledWaves) {
  for (const char* wave : {"1S0", "1P1", "1D2", "1F3", "1G4", "3P0", "3P1", "3D2", "3F3", "3G4",
                           "1H5", "3H5", "1I6"}) {
    const Potential v = V(0.8, wave, "NP");
    EXPECT_TRUE(std::isfinite(v.v11) && v.v11 != 0.0 && v.v12 == 0.0 && v.v22 == 0.0) << wave;
  }
  for (const char* wave : {"3C1", "3C2", "3C3", "3C4"})
    EXPECT_TRUE(V(0.8, wave, "NP").v12 != 0.0 && V(0.8, wave, "NP").v22 != 0.0) << wave;
  for (int j : {5, 6, 7}) {
    const std::string wave = "3C" + std::to_string(j);
    for (const char* type : {"PP", "NP"}) {
      const Potential v = V(0.8, wave.c_str(), type);
      EXPECT_CLOSE((v.v11 - v.v22) / v.v12, 1.0 / std::sqrt(j * (j + 1.0)), 1e-12) << wave << type;
    }
  }
  // The lower-case coupled letter names the same channel.
  const Potential upper = V(1.1, "3C2", "PP"), lower = V(1.1, "3c2", "PP");
  EXPECT_TRUE(upper.v11 == lower.v11 && upper.v12 == lower.v12 && upper.v22 == lower.v22);
}

// The 3P2-3F2 block of pp is V = Vc + Vt S12 + Vls L.S with L.S = [J(J+1) - l(l+1) - 2]/2 and the
// S12 matrix of a J = 2 triplet (Blatt and Weisskopf): -2/5 (3P2), -8/5 (3F2), 6 sqrt(6)/5 (mixing).
// Vc, Vt, Vls are assembled here from the published coefficients a41..a54 and the one-pion tail
// (shared/reid93.md), so a wrong sign or weight of any operator in the code fails.
TEST(Reid93Potential, CoupledPpChannelIsItsOperatorForm) {
  const double r = 1.0, mbar = (kM0 + 2.0 * kMc) / 3.0, x = mbar / kHbarc * r, x0 = kM0 / kHbarc * r;
  const double f0 = 0.075 * (kM0 / kMc) * (kM0 / kMc) * kM0 / 3.0;
  const double vc = mbar * (-0.5840566 * At(r93_y, 3, x) - 10.29310 * At(r93_y, 4, x) +
                            22.63391 * At(r93_y, 5, x) + 23.16915 * At(r93_y, 6, x)) +
                    f0 * At(r93_y, 1, x0);
  const double vt = mbar * (-2.608488 * At(r93_z, 4, x) + 10.90858 * At(r93_z, 6, x)) / 3.0 +
                    f0 * At(r93_z, 1, x0);
  const double vls = mbar * (-0.4374212 * At(r93_w, 3, x) - 21.48862 * At(r93_w, 5, x));
  const auto ls = [](int l) { return (2 * 3 - l * (l + 1) - 2) / 2.0; };
  const Potential v = V(r, "3C2", "PP");
  EXPECT_CLOSE(v.v11, vc - 0.4 * vt + ls(1) * vls, 1e-6);
  EXPECT_CLOSE(v.v22, vc - 1.6 * vt + ls(3) * vls, 1e-6);
  EXPECT_CLOSE(v.v12, 1.2 * std::sqrt(6.0) * vt, 1e-6);
}

TEST(Reid93Potential, UnknownWaveOrPairTypeIsFatal) {
  EXPECT_FATAL(V(1.0, "3S1", "PP"), "^creid93: unknown partial wave 3S1\n$");
  EXPECT_FATAL(V(1.0, "1S0", "PK"), "^creid93: unknown pair type PK\n$");
}

}  // namespace

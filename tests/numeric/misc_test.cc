// Tests of Misc (kinematics, Clebsch-Gordan coefficients, complex exponentials) and of the GSL
// matrix helpers CGSLMatrix_Real and CGSLMatrix_Complex on one real symmetric and one Hermitian
// matrix, with the workspaces reused across the three calls.

#include "numeric/misc.h"

#include <cmath>
#include <complex>

#include "common/test_util.h"
#include "numeric/gslmatrix.h"

namespace {

using femtokit_test::kRoundoff;

TEST(MiscKinematics, TriangleConservesEnergyAndVanishesAtThreshold) {
  EXPECT_CLOSE_ABS(Misc::triangle(2.0, 1.0, 1.0), 0.0, kRoundoff, kRoundoff);
  // Lambda -> p pi-: the two products' energies at the momentum k add up to m0.
  const double m0 = 1115.7, m1 = 938.271, m2 = 139.58, k2 = Misc::triangle(m0, m1, m2);
  EXPECT_CLOSE(std::sqrt(m1 * m1 + k2) + std::sqrt(m2 * m2 + k2), m0, kRoundoff);
}

TEST(MiscKinematicsDeathTest, FatalMessages) {
  EXPECT_FATAL(Misc::triangle(1.0, 1.0, 1.0), "^Disaster with triangle\n$");
  const double p1[4] = {10.0, 0.0, 0.0, 0.0}, p2[4] = {0.0, 0.0, 0.0, 0.0};
  EXPECT_FATAL(Misc::GetQinv(p1, p2), "^DISASTER with GetQinv, wrong sign, = -100\n$");
}

// Misc::lorentz is checked through the boosted pair: the recovered k is the one put in.
TEST(MiscKinematics, OutSideLongAndQinvRecoverPairFrameMomentum) {
  // Two pions with relative momentum k in their rest frame, boosted along x
  // (out) by ux, then along z by uz; the second pair has no transverse
  // momentum, where x is taken as the out axis.
  const double m = 139.58, k[3] = {30.0, -20.0, 45.0}, ux[2] = {1.3, 0.0}, uz[2] = {-0.8, 2.0};
  const double E = std::sqrt(m * m + k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
  for (int c = 0; c < 2; c++) {
    double pa[4] = {E, k[0], k[1], k[2]}, pb[4] = {E, -k[0], -k[1], -k[2]};
    const double bx[4] = {std::sqrt(1.0 + ux[c] * ux[c]), ux[c], 0.0, 0.0};
    const double bz[4] = {std::sqrt(1.0 + uz[c] * uz[c]), 0.0, 0.0, uz[c]};
    for (double* p : {pa, pb}) {
      Misc::lorentz(bx, p, p);
      Misc::lorentz(bz, p, p);
    }
    double extra = 123.0, qout, qside, qlong;
    Misc::outsidelong(pa, pb, extra, qout, qside, qlong);
    for (int i = 0; i < 3; i++) EXPECT_CLOSE((i == 0 ? qout : i == 1 ? qside : qlong), k[i], 1e-10);
    EXPECT_EQ(extra, 123.0);  // never written
    EXPECT_CLOSE(Misc::GetQinv(pa, pb), 2.0 * std::sqrt(30.0 * 30 + 20.0 * 20 + 45.0 * 45), 1e-10);
  }
}

TEST(MiscCGC, TabulatedValuesAndSelectionRules) {
  // {j1, m1, j2, m2, J, M, <j1 m1; j2 m2 | J M>}; the last two break M = m1 + m2, J <= j1 + j2.
  const double cases[][7] = {{0.5, -0.5, 0.5, 0.5, 0, 0, -1.0 / std::sqrt(2.0)},
                             {1, 1, 1, -1, 0, 0, 1.0 / std::sqrt(3.0)},
                             {1, 0, 1, 0, 2, 0, std::sqrt(2.0 / 3.0)},
                             {1, 0, 1, 0, 1, 0, 0.0},
                             {1, 1, 1, 0, 2, 0, 0.0},
                             {1, 0, 1, 0, 3, 0, 0.0}};
  for (const auto& c : cases)  // oldcgc: compared with cgc below
    EXPECT_CLOSE_ABS(Misc::cgc(c[0], c[1], c[2], c[3], c[4], c[5]), c[6], kRoundoff, kRoundoff);
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

TEST(MiscComplex, ExponentialsMatchTheStandardLibraryOnThePrincipalBranch) {
  const std::complex<double> z(0.3, -2.1), c(1.5, 0.5), e(-0.7, 1.2);
  EXPECT_CLOSE_ABS(std::abs(Misc::cexp(z) - std::exp(z)), 0.0, kRoundoff, kRoundoff);
  EXPECT_CLOSE_ABS(std::abs(Misc::cpow(c, e) - std::pow(c, e)), 0.0, kRoundoff, kRoundoff);
  // Principal cube root of -8: 2 e^{i pi/3} = 1 + i sqrt3.
  const std::complex<double> r = Misc::cpow(-8.0, 1.0 / 3.0);
  EXPECT_CLOSE(r.real(), 1.0, 1e-12);
  EXPECT_CLOSE(r.imag(), std::sqrt(3.0), 1e-12);
}

using cplx = std::complex<double>;
constexpr int N = 3;

// Checks A x = y, A v_k = lambda_k v_k, A Ainv = 1 and that A is left unchanged.
template <typename S, typename T>
void CheckSolver(const T (&H)[N][N]) {
  T a[N][N], v[N][N], inv[N][N], y[N] = {T(1.0), T(-2.0), T(0.5)}, x[N];
  T *A[N], *evec[N], *Ainv[N];
  for (int i = 0; i < N; i++) {
    A[i] = a[i], evec[i] = v[i], Ainv[i] = inv[i];
    for (int j = 0; j < N; j++) a[i][j] = H[i][j];
  }
  double eval[N];
  S solver(N);
  solver.SolveLinearEqs(y, A, x);
  solver.EigenFind(A, evec, eval);
  solver.Invert(A, Ainv);
  for (int i = 0; i < N; i++) {
    T Ax = 0.0;
    for (int j = 0; j < N; j++) Ax += H[i][j] * x[j];
    EXPECT_CLOSE_ABS(std::abs(Ax - y[i]), 0.0, 0, 1e-12);
    for (int k = 0; k < N; k++) {
      T Av = 0.0, AAinv = 0.0;
      for (int j = 0; j < N; j++) {
        Av += H[i][j] * evec[j][k];
        AAinv += H[i][j] * Ainv[j][k];
      }
      EXPECT_CLOSE_ABS(std::abs(Av - eval[k] * evec[i][k]), 0.0, 0, 1e-12);
      EXPECT_CLOSE_ABS(std::abs(AAinv - T(i == k ? 1.0 : 0.0)), 0.0, 0, 1e-12);
      EXPECT_EQ(A[i][k], H[i][k]);
    }
  }
}

TEST(CGSLMatrix, RealSymmetricSolveEigenInvert) {
  const double H[N][N] = {{4.0, 1.0, -2.0}, {1.0, 3.0, 0.5}, {-2.0, 0.5, 5.0}};
  CheckSolver<CGSLMatrix_Real>(H);
}

TEST(CGSLMatrix, ComplexHermitianSolveEigenInvert) {
  const cplx H[N][N] = {{{3.0, 0.0}, {1.0, -2.0}, {0.0, 0.5}},
                        {{1.0, 2.0}, {6.0, 0.0}, {-1.0, 1.0}},
                        {{0.0, -0.5}, {-1.0, -1.0}, {4.0, 0.0}}};
  CheckSolver<CGSLMatrix_Complex>(H);
}

TEST(CGSLMatrix, SingularInverseIsNonFiniteWithoutAbort) {
  double a[2][2] = {{2.0, 0.0}, {0.0, 0.0}}, b[2][2];
  double *A[2] = {a[0], a[1]}, *Ainv[2] = {b[0], b[1]};
  CGSLMatrix_Real solver(2);
  solver.Invert(A, Ainv);
  EXPECT_FALSE(std::isfinite(b[1][1]));
}

}  // namespace

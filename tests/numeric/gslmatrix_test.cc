// Tests of CGSLMatrix_Real and CGSLMatrix_Complex on one real symmetric and
// one Hermitian matrix, with the workspaces reused across the three calls.

#include "numeric/gslmatrix.h"

#include <cmath>
#include <complex>

#include "common/test_util.h"

namespace {

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

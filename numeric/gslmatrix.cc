#include "numeric/gslmatrix.h"

#include <gsl/gsl_complex.h>
#include <gsl/gsl_complex_math.h>
#include <gsl/gsl_linalg.h>

#include "numeric/gslerror.h"

namespace {

gsl_complex ToGSL(std::complex<double> z) { return gsl_complex_rect(z.real(), z.imag()); }
std::complex<double> FromGSL(gsl_complex z) { return {GSL_REAL(z), GSL_IMAG(z)}; }

}  // namespace

// ---------------------------------------------------------------- real

CGSLMatrix_Real::CGSLMatrix_Real(int n)
    : dim(n),
      w(nullptr),
      eval_gsl(nullptr),
      evec_gsl(nullptr),
      x_gsl(nullptr),
      p(nullptr),
      m_gsl(nullptr),
      y_gsl(nullptr),
      eigenvec(nullptr) {
  femtokit::PrepareGSL();
}

CGSLMatrix_Real::~CGSLMatrix_Real() {
  if (w != nullptr) gsl_eigen_symmv_free(w);
  if (eval_gsl != nullptr) gsl_vector_free(eval_gsl);
  if (evec_gsl != nullptr) gsl_matrix_free(evec_gsl);
  if (x_gsl != nullptr) gsl_vector_free(x_gsl);
  if (p != nullptr) gsl_permutation_free(p);
  if (m_gsl != nullptr) gsl_matrix_free(m_gsl);
  if (y_gsl != nullptr) gsl_vector_free(y_gsl);
  if (eigenvec != nullptr) {
    for (int i = 0; i < dim; i++) delete[] eigenvec[i];
    delete[] eigenvec;
  }
}

void CGSLMatrix_Real::SolveLinearEqs(const double* y, const double* const* A, double* x) {
  if (m_gsl == nullptr) m_gsl = gsl_matrix_alloc(dim, dim);
  if (y_gsl == nullptr) y_gsl = gsl_vector_alloc(dim);
  if (x_gsl == nullptr) x_gsl = gsl_vector_alloc(dim);
  if (p == nullptr) p = gsl_permutation_alloc(dim);
  for (int i = 0; i < dim; i++) {
    gsl_vector_set(y_gsl, i, y[i]);
    for (int j = 0; j < dim; j++) gsl_matrix_set(m_gsl, i, j, A[i][j]);
  }
  int signum;
  gsl_linalg_LU_decomp(m_gsl, p, &signum);
  gsl_linalg_LU_solve(m_gsl, p, y_gsl, x_gsl);
  for (int i = 0; i < dim; i++) x[i] = gsl_vector_get(x_gsl, i);
}

void CGSLMatrix_Real::Decompose(const double* const* A) {
  if (m_gsl == nullptr) m_gsl = gsl_matrix_alloc(dim, dim);
  if (eval_gsl == nullptr) eval_gsl = gsl_vector_alloc(dim);
  if (evec_gsl == nullptr) evec_gsl = gsl_matrix_alloc(dim, dim);
  if (w == nullptr) w = gsl_eigen_symmv_alloc(dim);
  // The solver overwrites its input, so it works on a copy.
  for (int i = 0; i < dim; i++)
    for (int j = 0; j < dim; j++) gsl_matrix_set(m_gsl, i, j, A[i][j]);
  gsl_eigen_symmv(m_gsl, eval_gsl, evec_gsl, w);
}

void CGSLMatrix_Real::EigenFind(const double* const* A, double** evec, double* eval) {
  Decompose(A);
  for (int k = 0; k < dim; k++) {
    eval[k] = gsl_vector_get(eval_gsl, k);
    for (int i = 0; i < dim; i++) evec[i][k] = gsl_matrix_get(evec_gsl, i, k);
  }
}

void CGSLMatrix_Real::Invert(const double* const* A, double** Ainv) {
  if (eigenvec == nullptr) {
    eigenvec = new double*[dim];
    for (int i = 0; i < dim; i++) eigenvec[i] = new double[dim];
  }
  Decompose(A);
  for (int k = 0; k < dim; k++)
    for (int i = 0; i < dim; i++) eigenvec[k][i] = gsl_matrix_get(evec_gsl, i, k);
  // A^-1 = sum_k v_k v_k^T / lambda_k for symmetric A.
  for (int a = 0; a < dim; a++) {
    for (int b = 0; b < dim; b++) {
      double sum = 0.0;
      for (int k = 0; k < dim; k++)
        sum += eigenvec[k][a] * eigenvec[k][b] / gsl_vector_get(eval_gsl, k);
      Ainv[a][b] = sum;
    }
  }
}

// ---------------------------------------------------------------- complex

CGSLMatrix_Complex::CGSLMatrix_Complex(int n)
    : dim(n),
      eval_gsl(nullptr),
      evec_gsl(nullptr),
      x_gsl(nullptr),
      w(nullptr),
      p(nullptr),
      eigenvec(nullptr),
      m_gsl(nullptr),
      y_gsl(nullptr) {
  femtokit::PrepareGSL();
}

CGSLMatrix_Complex::~CGSLMatrix_Complex() {
  if (eval_gsl != nullptr) gsl_vector_free(eval_gsl);
  if (evec_gsl != nullptr) gsl_matrix_complex_free(evec_gsl);
  if (x_gsl != nullptr) gsl_vector_complex_free(x_gsl);
  if (w != nullptr) gsl_eigen_hermv_free(w);
  if (p != nullptr) gsl_permutation_free(p);
  if (eigenvec != nullptr) {
    for (int i = 0; i < dim; i++) delete[] eigenvec[i];
    delete[] eigenvec;
  }
  if (m_gsl != nullptr) gsl_matrix_complex_free(m_gsl);
  if (y_gsl != nullptr) gsl_vector_complex_free(y_gsl);
}

void CGSLMatrix_Complex::SolveLinearEqs(const std::complex<double>* y,
                                        const std::complex<double>* const* A,
                                        std::complex<double>* x) {
  if (m_gsl == nullptr) m_gsl = gsl_matrix_complex_alloc(dim, dim);
  if (y_gsl == nullptr) y_gsl = gsl_vector_complex_alloc(dim);
  if (x_gsl == nullptr) x_gsl = gsl_vector_complex_alloc(dim);
  if (p == nullptr) p = gsl_permutation_alloc(dim);
  for (int i = 0; i < dim; i++) {
    gsl_vector_complex_set(y_gsl, i, ToGSL(y[i]));
    for (int j = 0; j < dim; j++) gsl_matrix_complex_set(m_gsl, i, j, ToGSL(A[i][j]));
  }
  int signum;
  gsl_linalg_complex_LU_decomp(m_gsl, p, &signum);
  gsl_linalg_complex_LU_solve(m_gsl, p, y_gsl, x_gsl);
  for (int i = 0; i < dim; i++) x[i] = FromGSL(gsl_vector_complex_get(x_gsl, i));
}

void CGSLMatrix_Complex::Decompose(const std::complex<double>* const* A) {
  if (m_gsl == nullptr) m_gsl = gsl_matrix_complex_alloc(dim, dim);
  if (eval_gsl == nullptr) eval_gsl = gsl_vector_alloc(dim);
  if (evec_gsl == nullptr) evec_gsl = gsl_matrix_complex_alloc(dim, dim);
  if (w == nullptr) w = gsl_eigen_hermv_alloc(dim);
  // The solver overwrites its input, so it works on a copy.
  for (int i = 0; i < dim; i++)
    for (int j = 0; j < dim; j++) gsl_matrix_complex_set(m_gsl, i, j, ToGSL(A[i][j]));
  gsl_eigen_hermv(m_gsl, eval_gsl, evec_gsl, w);
}

void CGSLMatrix_Complex::EigenFind(const std::complex<double>* const* A,
                                   std::complex<double>** evec, double* eval) {
  Decompose(A);
  for (int k = 0; k < dim; k++) {
    eval[k] = gsl_vector_get(eval_gsl, k);
    for (int i = 0; i < dim; i++) evec[i][k] = FromGSL(gsl_matrix_complex_get(evec_gsl, i, k));
  }
}

void CGSLMatrix_Complex::Invert(const std::complex<double>* const* A, std::complex<double>** Ainv) {
  if (eigenvec == nullptr) {
    eigenvec = new std::complex<double>*[dim];
    for (int i = 0; i < dim; i++) eigenvec[i] = new std::complex<double>[dim];
  }
  Decompose(A);
  for (int k = 0; k < dim; k++)
    for (int i = 0; i < dim; i++) eigenvec[k][i] = FromGSL(gsl_matrix_complex_get(evec_gsl, i, k));
  // A^-1 = sum_k v_k v_k^dagger / lambda_k for Hermitian A.
  for (int a = 0; a < dim; a++) {
    for (int b = 0; b < dim; b++) {
      std::complex<double> sum = 0.0;
      for (int k = 0; k < dim; k++)
        sum += eigenvec[k][a] * std::conj(eigenvec[k][b]) / gsl_vector_get(eval_gsl, k);
      Ainv[a][b] = sum;
    }
  }
}

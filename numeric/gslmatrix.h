#ifndef FEMTOKIT_NUMERIC_GSLMATRIX_H
#define FEMTOKIT_NUMERIC_GSLMATRIX_H

// Dense linear algebra of one fixed dimension n through GSL: linear systems
// by LU decomposition, eigen-decomposition of symmetric (Hermitian) matrices,
// and inversion of symmetric (Hermitian) matrices through their eigenvectors.
//
// Matrices are passed as arrays of n row pointers (A[i][j], row i, column j),
// vectors as arrays of n values. Every GSL object is created on first use and
// reused by later calls on the same object; the destructor frees them. One
// object serves one dimension.
//
// Nothing is checked: a singular matrix gives non-finite results through
// GSL's own behaviour (its error handler is off, the process does not abort).

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_permutation.h>
#include <gsl/gsl_vector.h>

#include <complex>

class CGSLMatrix_Real {
 public:
  explicit CGSLMatrix_Real(int n);
  ~CGSLMatrix_Real();
  CGSLMatrix_Real(const CGSLMatrix_Real&) = delete;
  CGSLMatrix_Real& operator=(const CGSLMatrix_Real&) = delete;

  // Solves A x = y for x (LU decomposition with partial pivoting); A and y are
  // not changed.
  void SolveLinearEqs(const double* y, const double* const* A, double* x);
  // Eigen-decomposition of the symmetric matrix A (only the lower triangle is
  // read): eval[k] is eigenvalue k, evec[i][k] component i of eigenvector k
  // (eigenvector k is column k), in the solver's order (unsorted), eigenvectors
  // normalised. A is not changed.
  void EigenFind(const double* const* A, double** evec, double* eval);
  // Ainv[a][b] = sum_k v_k[a] v_k[b] / lambda_k: the inverse of a symmetric A.
  // A zero eigenvalue gives non-finite entries.
  void Invert(const double* const* A, double** Ainv);

  int dim;
  gsl_eigen_symmv_workspace* w;  // symmetric eigen-solver workspace
  gsl_vector* eval_gsl;          // eigenvalues
  gsl_matrix* evec_gsl;          // eigenvectors, one per column
  gsl_vector* x_gsl;             // solution vector
  gsl_permutation* p;            // LU permutation
  gsl_matrix* m_gsl;             // n by n work matrix
  gsl_vector* y_gsl;             // right-hand side
  double** eigenvec;             // eigenvectors for Invert, row k = eigenvector k

 private:
  // Eigen-decomposition of a copy of A into eval_gsl and evec_gsl.
  void Decompose(const double* const* A);
};

class CGSLMatrix_Complex {
 public:
  explicit CGSLMatrix_Complex(int n);
  ~CGSLMatrix_Complex();
  CGSLMatrix_Complex(const CGSLMatrix_Complex&) = delete;
  CGSLMatrix_Complex& operator=(const CGSLMatrix_Complex&) = delete;

  // Solves A x = y for x (complex LU decomposition); A and y are not changed.
  void SolveLinearEqs(const std::complex<double>* y, const std::complex<double>* const* A,
                      std::complex<double>* x);
  // Eigen-decomposition of the Hermitian matrix A (only the lower triangle is
  // read): real eigenvalues eval[k], evec[i][k] component i of eigenvector k,
  // unsorted, normalised. A is not changed.
  void EigenFind(const std::complex<double>* const* A, std::complex<double>** evec, double* eval);
  // Ainv[a][b] = sum_k v_k[a] conj(v_k[b]) / lambda_k: the inverse of a
  // Hermitian A. A zero eigenvalue gives non-finite entries.
  void Invert(const std::complex<double>* const* A, std::complex<double>** Ainv);

  int dim;
  gsl_vector* eval_gsl;             // eigenvalues (real)
  gsl_matrix_complex* evec_gsl;     // eigenvectors, one per column
  gsl_vector_complex* x_gsl;        // solution vector
  gsl_eigen_hermv_workspace* w;     // Hermitian eigen-solver workspace
  gsl_permutation* p;               // LU permutation
  std::complex<double>** eigenvec;  // eigenvectors for Invert, row k = eigenvector k
  gsl_matrix_complex* m_gsl;        // n by n work matrix
  gsl_vector_complex* y_gsl;        // right-hand side

 private:
  // Eigen-decomposition of a copy of A into eval_gsl and evec_gsl.
  void Decompose(const std::complex<double>* const* A);
};

#endif  // FEMTOKIT_NUMERIC_GSLMATRIX_H

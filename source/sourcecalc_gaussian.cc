#include "source/sourcecalc_gaussian.h"

#include <cmath>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/charray.h"
#include "arrays/gridcells.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/threads.h"

using femtokit::constants::kPi;

namespace {

// The source is linear in lambda: CalcAlpha describes |lambda|, and this sign
// (0 for lambda = 0) multiplies the result.
double LambdaSign(const parameter_map& pars) {
  const double lambda = parameter::getD(pars, "lambda", 1.0);
  return (lambda > 0.0) ? 1.0 : (lambda < 0.0) ? -1.0 : 0.0;
}

}  // namespace

CSourceCalc_Gaussian::CSourceCalc_Gaussian() { InitSPars(); }

void CSourceCalc_Gaussian::InitSPars() {
  parameter::set(spars, "lambda", 1.0);
  parameter::set(spars, "Rx", 4);
  parameter::set(spars, "Ry", 4);
  parameter::set(spars, "Rz", 4);
  parameter::set(spars, "Xoff", 0);
  parameter::set(spars, "Yoff", 0);
  parameter::set(spars, "Zoff", 0);
  parameter::set(spars, "Euler_Phi", 0);
  parameter::set(spars, "Euler_Theta", 0);
  parameter::set(spars, "Euler_Psi", 0);
}

void CSourceCalc_Gaussian::SetSPars(double lambda, double Rx, double Ry, double Rz) {
  SetSParValues({{"lambda", lambda}, {"Rx", Rx}, {"Ry", Ry}, {"Rz", Rz}});
}

void CSourceCalc_Gaussian::SetSPars(double lambda, double Rx, double Ry, double Rz, double Xoff,
                                    double Yoff, double Zoff) {
  SetSPars(lambda, Rx, Ry, Rz);
  SetSParValues({{"Xoff", Xoff}, {"Yoff", Yoff}, {"Zoff", Zoff}});
}

void CSourceCalc_Gaussian::SetSPars(double lambda, double Rx, double Ry, double Rz, double Xoff,
                                    double Yoff, double Zoff, double Euler_Phi, double Euler_Theta,
                                    double Euler_Psi) {
  SetSPars(lambda, Rx, Ry, Rz, Xoff, Yoff, Zoff);
  SetSParValues({{"Euler_Phi", Euler_Phi}, {"Euler_Theta", Euler_Theta}, {"Euler_Psi", Euler_Psi}});
}

void CSourceCalc_Gaussian::CalcAlpha(double** alpha, CCHArray* A) {
  CalcAlpha(alpha, A->GetXSYM(), A->GetYSYM(), A->GetZSYM());
}

void CSourceCalc_Gaussian::CalcAlpha(double** alpha, bool xsym, bool ysym, bool zsym) {
  const parameter_map pars = spars;
  // ln S exists for |lambda| only: CalcS applies the sign.
  const double lambda = std::fabs(parameter::getD(pars, "lambda", 1.0));
  const double R[3] = {parameter::getD(pars, "Rx", 4.0), parameter::getD(pars, "Ry", 4.0),
                       parameter::getD(pars, "Rz", 4.0)};
  const double off[3] = {parameter::getD(pars, "Xoff", 0.0), parameter::getD(pars, "Yoff", 0.0),
                         parameter::getD(pars, "Zoff", 0.0)};
  const double phi = parameter::getD(pars, "Euler_Phi", 0.0);
  const double theta = parameter::getD(pars, "Euler_Theta", 0.0);
  const double psi = parameter::getD(pars, "Euler_Psi", 0.0);

  // A reflection-symmetric array stores only the even half of the source: an
  // offset along, or a rotation out of, a symmetric axis cannot be represented.
  const double tol = 1e-8;
  if (xsym && (fabs(off[0]) > tol || fabs(phi) > tol || fabs(theta) > tol || fabs(psi) > tol))
    femtokit::Fatal("Xsym true, but Xoff, Euler_phi, Euler_Theta or Euler_Psi !=0\n");
  if (ysym && (fabs(off[1]) > tol || fabs(phi) > tol || fabs(psi) > tol))
    femtokit::Fatal("Ysym true, but Yoff, Euler_phi, or Euler_Psi !=0\n");
  if (zsym && (fabs(off[2]) > tol || fabs(theta) > tol))
    femtokit::Fatal("Zsym true, but Zoff or Euler_Theta !=0\n");
  // The normalisation divides by the radii and takes the logarithm of |lambda|.
  // An infinite radius or offset spreads the source over no grid (every value 0 or NaN).
  bool finite = std::isfinite(lambda);
  for (int i = 0; i < 3; i++) finite = finite && std::isfinite(R[i]) && std::isfinite(off[i]);
  if (!(R[0] > 0.0) || !(R[1] > 0.0) || !(R[2] > 0.0) || !finite)
    femtokit::Fatal(
        "CSourceCalc_Gaussian: radii Rx=%g, Ry=%g, Rz=%g must be positive and lambda=%g "
        "finite\n",
        R[0], R[1], R[2], lambda);

  const double cphi = cos(phi), sphi = sin(phi);
  const double cth = cos(theta), sth = sin(theta);
  const double cpsi = cos(psi), spsi = sin(psi);
  const double U[3][3] = {
      {cpsi * cth * cphi - sphi * spsi, cpsi * cth * sphi + cphi * spsi, -cpsi * sth},
      {-spsi * cth * cphi - cpsi * sphi, -spsi * cth * sphi + cphi * cpsi, spsi * sth},
      {sth * cphi, sth * sphi, cth}};
  const double D[3] = {-0.25 / (R[0] * R[0]), -0.25 / (R[1] * R[1]), -0.25 / (R[2] * R[2])};

  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) alpha[i][j] = 0.0;
  // Quadratic part M = U D U^T.
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      for (int k = 0; k < 3; k++) alpha[i + 1][j + 1] += U[i][k] * D[k] * U[j][k];
  // Expanding (r - o).M.(r - o): linear part -2 M o, constant o.M.o.
  double oMo = 0.0;
  for (int i = 0; i < 3; i++) {
    double Mo = 0.0;
    for (int j = 0; j < 3; j++) Mo += alpha[i + 1][j + 1] * off[j];
    alpha[0][i + 1] = alpha[i + 1][0] = -2.0 * Mo;
    oMo += off[i] * Mo;
  }
  alpha[0][0] = -log(pow(4.0 * kPi, 1.5) * R[0] * R[1] * R[2] / lambda) + oMo;
}

void CSourceCalc_Gaussian::CalcS(CCHArray* A) {
  const bool xsym = A->GetXSYM(), ysym = A->GetYSYM(), zsym = A->GetZSYM();
  const double dr = A->GetRADSTEP();
  double alpha_rows[4][4];
  double* alpha[4] = {alpha_rows[0], alpha_rows[1], alpha_rows[2], alpha_rows[3]};
  CalcAlpha(alpha, A);
  const double g = LambdaSign(spars) * exp(alpha[0][0]);

  // Each radial bin is its own exponentiation (the heaviest part of a three-dimensional fit's
  // evaluation): the bins go to the threads, each with its own scratch arrays.
  femtokit::ParallelFor(A->GetNRADIAL(), [&](int ir) {
    CCHArray X(2, 1, dr, xsym, ysym, zsym);
    CCHArray Xd(2, 1, dr, xsym, ysym, zsym);
    const double r = (ir + 0.5) * dr;
    if (!xsym) X.SetElement(1, 0, 0, 0, r * alpha[1][0]);
    if (!ysym) X.SetElement(0, 1, 0, 0, r * alpha[2][0]);
    if (!zsym) X.SetElement(0, 0, 1, 0, r * alpha[3][0]);
    X.SetElement(2, 0, 0, 0, r * r * alpha[1][1]);
    X.SetElement(0, 2, 0, 0, r * r * alpha[2][2]);
    X.SetElement(0, 0, 2, 0, r * r * alpha[3][3]);
    if (!xsym && !ysym) X.SetElement(1, 1, 0, 0, r * r * alpha[1][2]);
    if (!xsym && !zsym) X.SetElement(1, 0, 1, 0, r * r * alpha[1][3]);
    if (!ysym && !zsym) X.SetElement(0, 1, 1, 0, r * r * alpha[2][3]);
    ArrayCalc::Detrace(&X, 0, &Xd, 0);
    ArrayCalc::CalcAExpArrayFromXExpArray(&Xd, 0, A, ir);
    A->ScaleArray(g, ir);
    A->FillRemainderX(ir);
  });
}

void CSourceCalc_Gaussian::CalcS(C3DArray* A) {
  const bool xsym = A->GetXSYM(), ysym = A->GetYSYM(), zsym = A->GetZSYM();
  double alpha_rows[4][4];
  double* alpha[4] = {alpha_rows[0], alpha_rows[1], alpha_rows[2], alpha_rows[3]};
  // The same coefficients as the expansion, so both forms describe one source
  // (the Euler angles included) and a grid with a symmetry that the offsets or
  // angles break is refused rather than filled with half a source.
  CalcAlpha(alpha, xsym, ysym, zsym);
  const double sign = LambdaSign(spars);
  femtokit::ForEachCell(femtokit::GridCells(*A), [&](const femtokit::GridCell& c) {
    const double v[4] = {1.0, c.x, c.y, c.z};
    // ln S = alpha00 + sum_i alpha0i x_i + sum_ij alphaij x_i x_j.
    double lnS = alpha[0][0];
    for (int i = 1; i < 4; i++) {
      lnS += alpha[0][i] * v[i];
      for (int j = 1; j < 4; j++) lnS += alpha[i][j] * v[i] * v[j];
    }
    A->SetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz, sign * exp(lnS));
  });
}

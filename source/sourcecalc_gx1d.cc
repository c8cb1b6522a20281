#include <cmath>

#include "arrays/charray.h"
#include "numeric/bessel.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "source/sourcecalc.h"

using femtokit::constants::kPi;

CSourceCalc_GX1D::CSourceCalc_GX1D() { InitSPars(); }

void CSourceCalc_GX1D::InitSPars() {
  parameter::set(spars, "lambdaG", 0.3);
  parameter::set(spars, "lambdaX", 0.3);
  parameter::set(spars, "R", 5.0);
  parameter::set(spars, "X", 10.0);
  parameter::set(spars, "a", 5.0);
}

void CSourceCalc_GX1D::SetSPars(double lambdaG, double R, double lambdaX, double X, double a) {
  SetSParValues({{"lambdaG", lambdaG}, {"R", R}, {"lambdaX", lambdaX}, {"X", X}, {"a", a}});
}

void CSourceCalc_GX1D::CalcS(CCHArray* A) {
  const int lmax = A->GetLMAX();
  const int dlx = A->GetXSYM() ? 2 : 1;
  const int dly = A->GetYSYM() ? 2 : 1;
  const int dlz = A->GetZSYM() ? 2 : 1;
  // Only lx = 0, 1 are independent; lx >= 2 follows by tracelessness.
  for (int lx = 0; lx <= 1 && lx <= lmax; lx += dlx)
    for (int ly = 0; ly <= lmax - lx; ly += dly)
      for (int lz = 0; lz <= lmax - lx - ly; lz += dlz) CalcS(lx, ly, lz, A);
}

void CSourceCalc_GX1D::CalcS(int lx, int ly, int lz, CCHArray* A) {
  const parameter_map pars = spars;
  const double lambdaG = parameter::getD(pars, "lambdaG", 0.3);
  const double R = parameter::getD(pars, "R", 5.0);
  const double lambdaX = parameter::getD(pars, "lambdaX", 0.3);
  const double X = parameter::getD(pars, "X", 10.0);
  const double a = parameter::getD(pars, "a", 5.0);
  // The normalisations divide by R and X, and K0(z), K1(z) need z > 0.
  if (!(R > 0.0) || !(X > 0.0) || !std::isfinite(R) || !std::isfinite(X))
    femtokit::Fatal("CSourceCalc_GX1D: lengths R=%g and X=%g must be positive (fm)\n", R, X);
  // Non-finite weights or slope would fill the whole array with NaN.
  if (!std::isfinite(lambdaG) || !std::isfinite(lambdaX) || !std::isfinite(a))
    femtokit::Fatal("CSourceCalc_GX1D: lambdaG=%g, lambdaX=%g and a=%g must be finite\n", lambdaG,
                    lambdaX, a);

  const double z = 2.0 * R * R / (X * X);
  const double normG = pow(4.0 * kPi * R * R, -1.5);
  // 4 pi int r^2 exp(-sqrt(r^2/X^2 + z^2)) dr = 4 pi X^3 (2 z K1(z) + z^2 K0(z))
  // (r = X z sinh t, then differentiate K1(z)/z = int_0^inf exp(-z cosh t) sinh^2 t dt
  // with respect to z; A&S 9.6.23).
  const double normX =
      1.0 / (4.0 * kPi * X * X * X * (2.0 * z * Bessel::K1(z) + z * z * Bessel::K0(z)));
  const int L = lx + ly + lz;
  const int nr = A->GetNRADIAL();
  const double dr = A->GetRADSTEP();
  for (int ir = 0; ir < nr; ir++) {
    const double r = (ir + 0.5) * dr;
    const double r2 = r * r;
    double S = lambdaG * normG * exp(-r2 / (4.0 * R * R)) +
               lambdaX * normX * exp(-sqrt(r2 / (X * X) + z * z));
    if (L > 0) S *= pow(r2 / (r2 + a * a), 0.5 * L);
    A->SetElement(lx, ly, lz, ir, S);
  }
}

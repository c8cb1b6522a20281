#include "numeric/bessel.h"

#include <gsl/gsl_sf_bessel.h>

#include "numeric/gslerror.h"

namespace Bessel {

double J0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_J0(x); }
double J1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_J1(x); }
double Jn(int n, double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_Jn(n, x); }
double Y0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_Y0(x); }
double Y1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_Y1(x); }
double Yn(int n, double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_Yn(n, x); }
double I0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_I0(x); }
double I1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_I1(x); }
double In(int n, double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_In(n, x); }
double K0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_K0(x); }
double K1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_K1(x); }
double Kn(int n, double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_Kn(n, x); }

double j0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_j0(x); }
double j1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_j1(x); }
double y0(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_y0(x); }
double y1(double x) { femtokit::PrepareGSL(); return gsl_sf_bessel_y1(x); }

namespace {

// Upward recurrence f_k = (2k - 1)/x f_{k-1} - f_{k-2} (A&S 10.1.19), shared
// by j_l and y_l, started from the exact orders 0 and 1.
double UpwardRecurrence(int l, double x, double f0, double f1) {
  if (l == 0) return f0;
  if (l <= 1) return f1;
  double fkm2 = f0, fkm1 = f1, fk = f1;
  for (int k = 2; k <= l; k++) {
    fk = (2.0 * k - 1.0) / x * fkm1 - fkm2;
    fkm2 = fkm1;
    fkm1 = fk;
  }
  return fk;
}

}  // namespace

double jn(int l, double x) {
  if (l == 0) return j0(x);
  return UpwardRecurrence(l, x, j0(x), j1(x));
}

double yn(int l, double x) {
  if (l == 0) return y0(x);
  return UpwardRecurrence(l, x, y0(x), y1(x));
}

std::complex<double> h0(double x) { return {j0(x), y0(x)}; }
std::complex<double> h1(double x) { return {j1(x), y1(x)}; }
std::complex<double> hn(int l, double x) { return {jn(l, x), yn(l, x)}; }
std::complex<double> hstar0(double x) { return {j0(x), -y0(x)}; }
std::complex<double> hstar1(double x) { return {j1(x), -y1(x)}; }
std::complex<double> hstarn(int l, double x) { return {jn(l, x), -yn(l, x)}; }

}  // namespace Bessel

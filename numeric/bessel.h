#ifndef FEMTOKIT_NUMERIC_BESSEL_H
#define FEMTOKIT_NUMERIC_BESSEL_H

// Bessel functions of a real argument x (dimensionless, e.g. q r / hbar c).
//
// The cylindrical and order-0/1 spherical functions come from GSL
// (gsl_sf_bessel_*). Outside a function's domain (x <= 0 for Y, K, y) GSL
// returns NaN or an infinity with an error status; the status is ignored (the
// GSL error handler is switched off, the process does not abort).
//
// The spherical functions of higher order use the upward recurrence
// f_l = (2l - 1)/x f_{l-1} - f_{l-2} (Abramowitz & Stegun 10.1.19). It is
// exact for y_l; for j_l it loses accuracy once l exceeds x (the minimal
// solution decays while the recurrence error grows), which the library's
// callers (l <= a few, x of order one and above) tolerate.

#include <complex>

namespace Bessel {

// Cylindrical Bessel functions of the first (J) and second (Y) kind and the
// modified ones (I, K).
double J0(double x);
double J1(double x);
double Jn(int n, double x);
double Y0(double x);
double Y1(double x);
double Yn(int n, double x);
double I0(double x);
double I1(double x);
double In(int n, double x);
double K0(double x);
double K1(double x);
double Kn(int n, double x);

// Spherical Bessel j_0 = sin x / x, j_1, and spherical Neumann y_0 = -cos x / x, y_1.
double j0(double x);
double j1(double x);
double y0(double x);
double y1(double x);
// Spherical j_l, y_l for l >= 0 by upward recurrence from orders 0 and 1.
double jn(int l, double x);
double yn(int l, double x);

// Spherical Hankel functions h_l = j_l + i y_l (outgoing, ~ e^{ix}/x times a
// phase) and their conjugates h*_l = j_l - i y_l.
std::complex<double> h0(double x);
std::complex<double> h1(double x);
std::complex<double> hn(int l, double x);
std::complex<double> hstar0(double x);
std::complex<double> hstar1(double x);
std::complex<double> hstarn(int l, double x);

}  // namespace Bessel

#endif  // FEMTOKIT_NUMERIC_BESSEL_H

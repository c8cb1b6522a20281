#ifndef FEMTOKIT_NUMERIC_MISC_H
#define FEMTOKIT_NUMERIC_MISC_H

// Small helpers shared by the whole library: string equality, relativistic
// two-body kinematics, Clebsch-Gordan coefficients and complex exponentials.
//
// Four-vectors are arrays of four doubles with the energy (time) component
// first, p[0] = E, p[1..3] = (px, py, pz), metric (+,-,-,-). Momenta and
// masses in MeV (MeV/c), but every kinematic routine here is unit-free as long
// as all arguments share one unit.

#include <complex>

namespace Misc {

// 1 when a and b have the same length and the same characters (two empty
// strings are equal), else 0.
int comparestrings(const char* a, const char* b);

// Squared momentum of either product of the two-body decay m0 -> m1 + m2,
// k^2 = (m0^4 + m1^4 + m2^4 - 2(m0^2 m1^2 + m0^2 m2^2 + m1^2 m2^2)) / (4 m0^2).
// Fatal ("Disaster with triangle\n") when m1 + m2 > m0 (decay forbidden).
double triangle(double m0, double m1, double m2);

// Rapidity y = 0.5 ln((E + pz)/(E - pz)). Non-finite when |pz| >= E.
double GetRapidity(const double* p);
// GetRapidity(p1) - GetRapidity(p2).
double GetDely(const double* p1, const double* p2);

// Boost of p by the four-velocity u (u0 = gamma, u_vec = gamma v): with
// n = (1,0,0,0) and c = (p.u + p0)/(1 + u0), pprime = p + 2 p0 u - c (u + n).
// Carries the rest frame of a body to the frame where it moves with u, so
// (m,0,0,0) becomes m u. pprime may be the same array as p. Non-finite for
// u0 = -1.
void lorentz(const double* u, const double* p, double* pprime);

// Invariant relative momentum sqrt(|p1_vec - p2_vec|^2 - (E1 - E2)^2).
// Fatal ("DISASTER with GetQinv, wrong sign, = %g\n" with the radicand) when
// the radicand is negative (a time-like momentum difference).
double GetQinv(const double* p1, const double* p2);

// Out-side-long components of q = (pa - pb)/2: qlong in the
// longitudinally co-moving frame (P_z = 0), qout along the pair's transverse
// momentum and boosted to the pair rest frame, qside perpendicular to both.
//
// `extra` is accepted for interface compatibility and never read or written
// (nothing needs a fourth component; a caller may pass any variable).
//
// A pair with zero transverse momentum has no transverse direction of its
// own; then the x axis is taken as the out direction (qout = qx in the pair
// frame, qside = qy) instead of dividing by zero.
void outsidelong(const double* pa, const double* pb, double& extra, double& qout, double& qside,
                 double& qlong);

// floor(x + 0.5): halves round upward (2.5 -> 3, -2.5 -> -2).
int iround(double x);

// Clebsch-Gordan coefficient <j1 m1; j2 m2 | J M> (Condon-Shortley phase),
// from the Wigner 3j symbol: (-1)^(j1 - j2 + M) sqrt(2J + 1) (j1 j2 J; m1 m2 -M).
// Half-integer arguments are allowed; zero when the selection rules fail.
double cgc(double j1, double m1, double j2, double m2, double J, double M);

// The same coefficient from the explicit Racah sum over factorial ratios
// (kept as an independent cross-check of cgc).
double oldcgc(double j1, double m1, double j2, double m2, double J, double M);

// n! as the product 1*2*...*n over factors not exceeding n; 1 when n < 1.
double cgc_factorial(double n);
// n!/m!: (m+1)...n when n > m, 1/((n+1)...m) when n < m, 1 when n = m.
double cgc_fractorial(double n, double m);
// Kronecker delta.
int cgc_delta(int i, int j);

// cos(phi) + i sin(phi).
std::complex<double> ceiphi(double phi);
// e^z = e^Re(z) ceiphi(Im z).
std::complex<double> cexp(std::complex<double> z);
// Principal power a^b = cexp(b (ln|a| + i arg a)), arg in (-pi, pi].
std::complex<double> cpow(std::complex<double> a, std::complex<double> b);

}  // namespace Misc

#endif  // FEMTOKIT_NUMERIC_MISC_H

#ifndef FEMTOKIT_SOURCE_SOURCECALC_GAUSSIAN_H
#define FEMTOKIT_SOURCE_SOURCECALC_GAUSSIAN_H

// Three-dimensional Gaussian source in the relative separation r = (x, y, z), fm:
//
//   S(r) = lambda (4 pi)^(-3/2) / (Rx Ry Rz) exp(-(1/4) sum_i (U^T (r - o))_i^2 / R_i^2),
//
// with radii Rx, Ry, Rz (fm) along the three body axes (the exponent is
// -x^2/(4 Rx^2) along x: a relative-separation variance 2 Rx^2, one-particle
// radius Rx), the centre o = (Xoff, Yoff, Zoff) (fm) and the body axes rotated
// by the Euler angles (phi, theta, psi) (radians) through the matrix U below.
// S integrates to lambda over all space.
//
// In the form used by the Cartesian-harmonic path, ln S is a polynomial of
// degree two, ln S(x) = alpha00 + sum_i alpha0i x_i + sum_ij alphaij x_i x_j
// (i, j = 1..3, alpha_i0 = alpha_0i): with M = U D U^T, D = diag(-1/(4 R_i^2)),
//
//   alphaij = M_ij,  alpha0i = -2 (M o)_i,
//   alpha00 = -ln((4 pi)^(3/2) Rx Ry Rz / |lambda|) + o.M.o,
//   U = [ cpsi cth cphi - sphi spsi,   cpsi cth sphi + cphi spsi,  -cpsi sth ]
//       [ -spsi cth cphi - cpsi sphi, -spsi cth sphi + cphi cpsi,   spsi sth ]
//       [ sth cphi,                    sth sphi,                    cth      ]
//
// (ZYZ Euler angles: the columns of U are the body axes in space coordinates).
//
// Parameters (keys of `spars`, defaults): "lambda" 1.0, "Rx" "Ry" "Rz" 4 fm,
// "Xoff" "Yoff" "Zoff" 0 fm, "Euler_Phi" "Euler_Theta" "Euler_Psi" 0 rad.
// Radii must be positive and lambda finite (fatal otherwise: the normalisation
// divides by the radii).
// S is linear in lambda: it is computed for |lambda| and multiplied by the sign
// of lambda (zero for lambda = 0), so a negative lambda, as a fit's probe point
// may set, gives the mirrored source -S instead of stopping.
//
// An offset or rotation that breaks a reflection symmetry of the target array
// is fatal (tolerance 1e-8), in this order:
//   XSYM and any of Xoff, phi, theta, psi:
//     "Xsym true, but Xoff, Euler_phi, Euler_Theta or Euler_Psi !=0"
//   YSYM and any of Yoff, phi, psi: "Ysym true, but Yoff, Euler_phi, or Euler_Psi !=0"
//   ZSYM and Zoff or theta: "Zsym true, but Zoff or Euler_Theta !=0"

#include "source/sourcecalc.h"

class CCHArray;
class C3DArray;

class CSourceCalc_Gaussian : public CSourceCalc {
 public:
  // Base constructor, then InitSPars().
  CSourceCalc_Gaussian();

  // Stores the ten defaults in the order of the key list above.
  void InitSPars();
  // Store the given values; parameters not passed keep their previous values.
  void SetSPars(double lambda, double Rx, double Ry, double Rz);
  void SetSPars(double lambda, double Rx, double Ry, double Rz, double Xoff, double Yoff,
                double Zoff);
  void SetSPars(double lambda, double Rx, double Ry, double Rz, double Xoff, double Yoff,
                double Zoff, double Euler_Phi, double Euler_Theta, double Euler_Psi);

  // Checks the parameters against A's symmetries (the messages above) and fills
  // the 4 x 4 matrix alpha (rows allocated by the caller) with the coefficients
  // of ln S for |lambda| (alpha00 = -infinity at lambda = 0).
  void CalcAlpha(double** alpha, CCHArray* A);

  // Every bin ir of the AExp array A, r = (ir + 0.5) RADSTEP: the exponent on the
  // sphere of radius r (without alpha00) as a symmetric rank-2 expansion, reduced
  // to its traceless (XExp) form with ArrayCalc::Detrace, exponentiated with the
  // series of ArrayCalc::CalcAExpArrayFromXExpArray, scaled by
  // sign(lambda) exp(alpha00) and completed by FillRemainderX. The series is exact in the exponential but keeps
  // the angular content up to A's LMAX only: it reproduces S to ~1e-4 where the
  // anisotropic part of the exponent on the sphere stays below ~1 and LMAX is ~10
  // or more; at large r of a strongly deformed or offset source raise LMAX.
  void CalcS(CCHArray* A) override;
  using CSourceCalc::CalcS;  // the component form keeps the base version

  // Every cell of the grid A at its centre ((ix + 0.5) DELX, negated in the
  // negative half, likewise y, z): the same rotated, offset Gaussian evaluated in
  // closed form. Axis-aligned (zero angles) this is
  //   lambda (4 pi)^(-3/2)/(Rx Ry Rz) exp(-((x-Xoff)^2/Rx^2 + ...)/4).
  // The symmetry checks above apply to A's symmetries.
  void CalcS(C3DArray* A);

 private:
  // The checks and alpha for an array with the given symmetries.
  void CalcAlpha(double** alpha, bool xsym, bool ysym, bool zsym);
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_GAUSSIAN_H

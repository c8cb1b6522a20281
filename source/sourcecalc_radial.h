#ifndef FEMTOKIT_SOURCE_SOURCECALC_RADIAL_H
#define FEMTOKIT_SOURCE_SOURCECALC_RADIAL_H

// Shared machinery of the analytic source models: isotropic sources given by a
// radial density, and out-side-long ("elliptic") sources given by a unit-scale
// radial profile of the scaled separation.
//
// Isotropic (CSourceCalc_Radial): S(r) depends on |r| only, so the AExp array
// holds S(r_ir) in its (0,0,0) component and zero in every other one.
//
// Elliptic (CSourceCalc_Elliptic):
//   S(x, y, z) = lambda / (Ro Rs Rl) g(rho),  rho = sqrt(x^2/Ro^2 + y^2/Rs^2 + z^2/Rl^2),
// with x out, y side, z long (fm) and g a profile normalised as 4 pi int rho^2 g = 1,
// so that S integrates to lambda. It is even in x, y and z, so it fits arrays with
// any symmetry. On the sphere of radius r = (ir + 0.5) RADSTEP the AExp
// coefficients are the projection of S onto the Cartesian harmonics up to the
// array's LMAX, by Gauss-Legendre quadrature in cos(theta) and the trapezoid rule
// in phi with n x 2n nodes (those of one octant, S being even in x, y, z),
// n = LMAX + 2 + 12 ln 10 / ln((k + 1)/(k - 1)) rounded up to even,
// k = Rmax/Rmin (the angular content of S falls geometrically with that ratio;
// n is capped at 400): the projections are accurate to ~1e-10 relative. The
// higher components hold the expansion truncated at LMAX (raise LMAX for strongly
// deformed sources). Equal radii give zero L > 0 components up to rounding.
//
// Parameters are read from `spars` with the checks of SourcePar below: a value
// that is not finite, a radius <= 0, are fatal with a message naming the model,
// key and value. lambda may be any finite number (S is linear in it; fits probe
// negative values).

#include <string>
#include <vector>

#include "source/sourcecalc.h"

class CCHArray;

namespace femtokit::SourcePar {

// The value of key in pars (def when absent); fatal when not finite:
// "<model>: parameter <key>=<value> must be finite\n".
double Finite(const parameter_map& pars, const char* model, const char* key, double def);
// As Finite, and fatal unless > 0:
// "<model>: parameter <key>=<value> must be positive (fm)\n".
double Length(const parameter_map& pars, const char* model, const char* key, double def);

}  // namespace femtokit::SourcePar

// Isotropic source with density Density(r) (fm^-3) at |r| = r (fm).
class CSourceCalc_Radial : public CSourceCalc {
 public:
  // Zeroes A, then (0,0,0) of bin ir = S((ir + 0.5) RADSTEP).
  void CalcS(CCHArray* A) override;
  // (0,0,0): S in every bin; any other stored component: zero in every bin (an
  // isotropic source has none); a component A does not store is fatal.
  void CalcS(int lx, int ly, int lz, CCHArray* A) override;
  // S at the radii r (fm), in fm^-3, with the current parameters.
  virtual std::vector<double> Density(const std::vector<double>& r) const = 0;
};

// Out-side-long source lambda/(Ro Rs Rl) g(rho) (see above).
class CSourceCalc_Elliptic : public CSourceCalc {
 public:
  struct Shape {
    double lambda, Ro, Rs, Rl;
  };
  // Every bin: the angular projection described above, all stored components
  // (lx >= 2 by tracelessness).
  void CalcS(CCHArray* A) override;
  // Component (lx, ly, lz) of the same projection in every bin, others untouched;
  // a component A does not store is fatal.
  void CalcS(int lx, int ly, int lz, CCHArray* A) override;
  // S at the points (x[i], y[i], z[i]) (fm), fm^-3.
  std::vector<double> Density(const std::vector<double>& x, const std::vector<double>& y,
                              const std::vector<double>& z) const;

 protected:
  // The current lambda and radii, checked (fatal on bad values).
  virtual Shape ReadShape() const = 0;
  // The shape under the keys "lambda" (default 1), "Ro", "Rs", "Rl" (default 4 fm), checked
  // with Finite and Length; messages name `model`.
  Shape ReadLambdaRadii(const char* model) const;
  // The unit-scale profile g at the values rho (>= 0); also checks the model's
  // other parameters.
  virtual std::vector<double> Profile(const std::vector<double>& rho) const = 0;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_RADIAL_H

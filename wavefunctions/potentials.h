#ifndef FEMTOKIT_WAVEFUNCTIONS_POTENTIALS_H
#define FEMTOKIT_WAVEFUNCTIONS_POTENTIALS_H

// Local hadron-hadron potentials V(r) for the radial solver (wavefunctions/radialsolver.h).
//
// Every potential gives V in MeV at the separation r in fm (r >= 0), without the Coulomb
// interaction (the solver adds the point Coulomb potential of the pair itself). A potential of a
// tensor-coupled pair of waves (ell = J - 1 and J + 1, e.g. 3S1-3D1, 3P2-3F2) reports Coupled()
// and gives the 2 x 2 matrix (v11 for ell = J - 1, v12 the mixing, v22 for ell = J + 1) through
// Matrix(); its operator() is v11. SingularStrength() is lim_{r->0} r V(r) (MeV fm): non-zero
// only for the 1/r forms (Yukawa), which the solver's start at the origin needs.
//
// Families (published forms; parameters from a parameter file, see ReadPotential):
//   SquareWell   V = V0 for r < R, 0 beyond (V0/2 at r = R).
//   Yukawa       V = V0 exp(-m r) / (m r), m in fm^-1.
//   WoodsSaxon   V = V0 / (1 + exp((r - R)/a)).
//   GaussianSum  V = sum_j alpha_j exp(-(r/beta_j)^2)
//                  + sum_k lambda_k (1 - exp(-rho_k r^2))^n_k (exp(-m_k r)/r)^p_k,
//                the lattice-QCD (HAL QCD) fits: Gaussians plus a pion-range tail.
//   Usmani       V = Wc / (1 + exp((r - Rc)/a)) - v T(r)^2,
//                T = (1 + 3/x + 3/x^2) exp(-x)/x (1 - exp(-c r^2))^2, x = m r
//                (Bodmer-Usmani-type Lambda-nucleon potential; v is the spin channel's
//                strength, v_S=0 = vbar + 3/4 v_sigma, v_S=1 = vbar - 1/4 v_sigma).
//   Tabulated    V from (r, V) points, linear between them, 0 beyond the last point and the
//                first value below the first point.
//   Reid93Wave   one partial wave of the Reid93 nucleon-nucleon potential (reid93.h), by wave
//                name ("1S0", "3P0", "3C2" ...) and pair type ("PP", "NN", "NP").
//   ScaledSum    sum_i c_i V_i (channel projections of operator potentials).

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/parameter.h"

namespace femtokit {

class Potential {
 public:
  virtual ~Potential() = default;
  // V(r) in MeV (v11 for a coupled pair).
  virtual double operator()(double r) const = 0;
  virtual bool Coupled() const { return false; }
  // v11, v12, v22 in MeV; an uncoupled potential sets v12 = v22 = 0.
  virtual void Matrix(double r, double* v11, double* v12, double* v22) const;
  // lim_{r->0} r V(r) in MeV fm.
  virtual double SingularStrength() const { return 0.0; }
};

class SquareWell : public Potential {
 public:
  SquareWell(double v0, double radius) : v0_(v0), radius_(radius) {}
  // At r = R exactly the mean of both sides: a grid point on the jump then keeps the
  // integration second-order accurate instead of first.
  double operator()(double r) const override {
    return r < radius_ ? v0_ : (r == radius_ ? 0.5 * v0_ : 0.0);
  }

 private:
  double v0_, radius_;
};

class Yukawa : public Potential {
 public:
  Yukawa(double v0, double m) : v0_(v0), m_(m) {}
  double operator()(double r) const override;
  double SingularStrength() const override { return v0_ / m_; }

 private:
  double v0_, m_;
};

class WoodsSaxon : public Potential {
 public:
  WoodsSaxon(double v0, double radius, double diffuseness)
      : v0_(v0), radius_(radius), a_(diffuseness) {}
  double operator()(double r) const override;

 private:
  double v0_, radius_, a_;
};

class GaussianSum : public Potential {
 public:
  struct Gaussian {
    double alpha;  // MeV
    double beta;   // fm
  };
  struct Tail {
    double lambda;  // MeV fm^p
    double rho;     // fm^-2
    double m;       // fm^-1
    int n;          // power of the form factor
    int p;          // power of the Yukawa shape
  };
  GaussianSum(std::vector<Gaussian> gaussians, std::vector<Tail> tails)
      : gaussians_(std::move(gaussians)), tails_(std::move(tails)) {}
  double operator()(double r) const override;

 private:
  std::vector<Gaussian> gaussians_;
  std::vector<Tail> tails_;
};

class Usmani : public Potential {
 public:
  // wc MeV, rc fm, a fm, m fm^-1, c fm^-2, v MeV.
  Usmani(double wc, double rc, double a, double m, double c, double v)
      : wc_(wc), rc_(rc), a_(a), m_(m), c_(c), v_(v) {}
  double operator()(double r) const override;

 private:
  double wc_, rc_, a_, m_, c_, v_;
};

class Tabulated : public Potential {
 public:
  // r strictly increasing (fm), V in MeV; fatal when the sizes differ, fewer than two points or
  // r not increasing.
  Tabulated(std::vector<double> r, std::vector<double> v);
  double operator()(double r) const override;

 private:
  std::vector<double> r_, v_;
};

class Reid93Wave : public Potential {
 public:
  // Fatal for an unknown wave or type (the messages of creid93).
  Reid93Wave(const std::string& wave, const std::string& type);
  double operator()(double r) const override;
  bool Coupled() const override { return coupled_; }
  void Matrix(double r, double* v11, double* v12, double* v22) const override;

 private:
  std::string wave_, type_;
  bool coupled_;
};

class ScaledSum : public Potential {
 public:
  void Add(double coefficient, std::shared_ptr<const Potential> term);
  double operator()(double r) const override;
  double SingularStrength() const override;

 private:
  std::vector<std::pair<double, std::shared_ptr<const Potential>>> terms_;
};

// A potential from the keys PREFIX + name of a parameter map. PREFIX + "POTENTIAL" names the
// family; its keys (all doubles unless stated):
//   square: V0, R.   yukawa: V0, M (fm^-1).   woodssaxon: V0, R, A.
//   gaussians: int NG, ALPHA1 .. ALPHA<NG> (MeV), BETA1 .. (fm) or B1 .. (fm^-2, for
//     alpha exp(-b r^2)); int NTAIL, TAIL<k>_LAMBDA, TAIL<k>_RHO (fm^-2), TAIL<k>_MPI (MeV),
//     int TAIL<k>_N, int TAIL<k>_P.
//   usmani: WC, RC, AC, M (fm^-1), CUT (fm^-2), V.
//   table: string FILE (lines "r V"; '#' starts a comment line); a relative name is taken from
//     basedir when one is given.
//   reid93: string WAVE, string TYPE.
//   none: no potential (returns nullptr).
// Fatal for an unknown family or a missing key ("potential: key %s missing").
std::shared_ptr<const Potential> ReadPotential(const parameter_map& pars, const std::string& prefix,
                                               const std::string& basedir = "");

}  // namespace femtokit

#endif  // FEMTOKIT_WAVEFUNCTIONS_POTENTIALS_H

#ifndef FEMTOKIT_WAVEFUNCTIONS_RADIALSOLVER_H
#define FEMTOKIT_WAVEFUNCTIONS_RADIALSOLVER_H

// Exact radial scattering solutions for a local potential with point Coulomb.
//
// Kinematic convention (the one used throughout the solved pairs): non-relativistic reduced mass
// mu = m1 m2 / (m1 + m2) (MeV), q the momentum of one particle in the pair rest frame (MeV/c),
// k = q / hbar c (fm^-1), Sommerfeld parameter eta = z1 z2 alpha mu / q. The radial equation is
//   u'' = [ell (ell + 1) / r^2 + (2 mu / (hbar c)^2) (V(r) + z1 z2 alpha hbar c / r) - k^2] u,
// which is what the Nijmegen-type potentials (Reid93) were fitted with (and for pp,
// k^2 = m_p T_lab / 2 / (hbar c)^2 holds exactly, relativistically and not).
//
// RadialWave integrates it outward from r = 0 (Numerov, fixed step h, default 0.01 fm; a
// 2 x 2 matrix Numerov for a tensor-coupled pair ell, ell + 2) to the matching radius r_m,
// matches at r_m and r_m - 1 fm to the regular and irregular Coulomb functions F, G (plain
// Riccati-Bessel functions when z1 z2 = 0) and gives
//  - the phase shift relative to the Coulomb functions, in (-pi/2, pi/2] (the nuclear-bar
//    phases delta_ell, delta_ell+2 and mixing epsilon of Stapp et al. for a coupled pair),
//  - e = conj(S_11) = cos(2 epsilon) e^{-2 i delta}, the factor of the asymptotic wave,
//  - on request the radial correction on the grid r_j = j h, j = 0 .. r_m / h,
//      D(r) = 2 e^{-i sigma_ell} (Psi(r) - F_num(r)) / x,   x = k r,
//    with Psi the solution normalised to e^{-i delta} (F cos delta + G sin delta) outside the
//    potential (for a coupled pair the ell component of the solution fed by the ell wave), and
//    F_num the Coulomb-only solution integrated on the same grid. Beyond r_m, D equals
//    e^{-i sigma} (F + i G)(e - 1) / x: the two forms join at r_m.
// The matching radius, when not given, is where (2 mu/(hbar c)^2) |V(r)| r^2 has fallen below
// 1e-6 (every |V_ij| of a coupled pair), plus the 1 fm of the two matching points; at most 40 fm.

#include <complex>
#include <memory>
#include <vector>

#include "wavefunctions/potentials.h"

namespace femtokit {

double ReducedMass(double m1, double m2);
// z1 z2 alpha mu / q.
double SommerfeldEta(double mu, int z1z2, double q);

struct WaveSolution {
  double delta = 0.0;   // radians, the ell wave (ell = J - 1 of a coupled pair)
  double delta2 = 0.0;  // radians, the ell + 2 wave of a coupled pair
  double mixing = 0.0;  // radians, epsilon_J of a coupled pair
  std::complex<double> e{1.0, 0.0};              // conj(S_11)
  std::vector<std::complex<double>> correction;  // D(r_j), j = 0 .. n_m (when asked for)
};

class RadialWave {
 public:
  // potential may be null (no strong interaction: the phase is 0 and D = 0 without
  // integrating). rmatch <= 0 chooses it (see above). step in fm.
  RadialWave(std::shared_ptr<const Potential> potential, int ell, double mu, int z1z2,
             double rmatch = 0.0, double step = 0.01);

  WaveSolution Solve(double q, bool keep_correction) const;

  int Ell() const { return ell_; }
  bool Coupled() const { return coupled_; }
  double Step() const { return h_; }
  double MatchingRadius() const { return nmatch_ * h_; }
  int MatchingIndex() const { return nmatch_; }
  double Mu() const { return mu_; }
  int Z1Z2() const { return z1z2_; }

 private:
  // Numerov solutions on the grid: u[j] of the uncoupled wave (or of the Coulomb-only
  // reference when reference is true).
  std::vector<double> IntegrateSingle(double k, double eta, bool reference) const;
  // Coupled: u11, u21 (solution regular in ell), u12, u22 (regular in ell + 2), row-major
  // per grid point: 4 values each.
  std::vector<double> IntegrateCoupled(double k, double eta) const;

  std::shared_ptr<const Potential> potential_;
  int ell_;
  bool coupled_;
  double mu_;
  int z1z2_;
  double h_;
  int nmatch_;
  double singular_;                 // (2mu/hbarc^2) lim r V, fm^-1
  std::vector<double> w11_, w12_, w22_;  // (2mu/hbarc^2) V on the grid, fm^-2
};

// Effective-range parameters of an s wave (nuclear sign: k cot delta = -1/a + r0 k^2 / 2; with
// Coulomb the Coulomb-modified expansion C0^2(eta) k cot delta + 2 k eta h(eta), h(eta) =
// Re psi(i eta) - ln|eta|), from the solutions at q = 2 and 4 MeV/c. Lengths in fm.
struct EffectiveRange {
  double a = 0.0;
  double r0 = 0.0;
};
EffectiveRange EffectiveRangeParameters(const RadialWave& wave);

}  // namespace femtokit

#endif  // FEMTOKIT_WAVEFUNCTIONS_RADIALSOLVER_H

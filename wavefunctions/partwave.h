#ifndef FEMTOKIT_WAVEFUNCTIONS_PARTWAVE_H
#define FEMTOKIT_WAVEFUNCTIONS_PARTWAVE_H

// One radial partial wave of angular momentum ell at one relative momentum q,
// tabulated at the bin centres r_i = (i + 0.5) delr (fm), i = 0..nrmax, and
// interpolated linearly between them.
//
// With x = q r / HBARC (HBARC = 197.3269602 MeV fm), the incoming wave is
//   Coulomb (q1q2 != 0):  phi(r) = (F_ell + i G_ell)(x, eta) e^{-i sigma},
//                         sigma = arg Gamma(ell + 1 + i eta),
//   no Coulomb (q1q2 = 0): phi(r) = x h*_ell(x) = x (j_ell - i y_ell)(x),
// and the outgoing wave is conj(phi) e^{-2 i sigma} (sigma = 0 without
// Coulomb). Both behave like x^{ell+1} (regular part) plus the irregular
// part ~ x^{-ell} at small x. Beyond the table (r >= nrmax delr) the wave is
// computed directly. The table is built once at construction (Coulomb
// functions are expensive); afterwards the object is read-only.
//
// On demand (the OnDemand constructor) a table point is computed the first time
// an evaluation needs it instead: the same numbers, at the cost of the points a
// caller touches (a kernel reads two points per r bin of the 3001). Such an
// object is safe to evaluate from several threads at once.
//
// Owns `phi`; not copyable.

#include <complex>
#include <memory>

#include "wavefunctions/ondemand.h"

class CPartWave {
 public:
  // Default table: nrmax = 3000 steps of delr = 0.01 fm (out to 30 fm).
  CPartWave(double eta, int q1q2, double q, int ell, double epsilon);
  CPartWave(double eta, int q1q2, double q, int ell, double epsilon, int nrmax, double delr);
  // The default table, each point built when an evaluation first needs it (read `phi` only
  // through GetPhiIncoming / GetPhiOutgoing then: untouched points hold 0).
  struct OnDemand {};
  CPartWave(double eta, int q1q2, double q, int ell, double epsilon, OnDemand);
  ~CPartWave();
  CPartWave(const CPartWave&) = delete;
  CPartWave& operator=(const CPartWave&) = delete;

  // Builds all of `phi` (called by the first two constructors as their last step).
  void phi_init();

  // Incoming partial wave at r (fm). Linear in the two table points around
  // r; below the first table point (and for r < 0) it extrapolates from
  // points 0 and 1; at r >= nrmax delr it is computed directly.
  std::complex<double> GetPhiIncoming(double r);
  // conj(GetPhiIncoming(r)), times e^{-2 i sigma} when q1q2 != 0.
  std::complex<double> GetPhiOutgoing(double r);

  double sigma;             // Coulomb phase shift arg Gamma(ell + 1 + i eta); 0 without Coulomb
  std::complex<double> ci;  // the imaginary unit
  double epsilon;           // short-range radius of the creator, fm (stored only)
  double PI;
  int ell;
  int q1q2;                   // charge product; 0: no Coulomb interaction
  double q;                   // MeV/c
  double eta;                 // Sommerfeld parameter
  std::complex<double>* phi;  // [nrmax + 1], phi[i] at r = (i + 0.5) delr
  int nrmax;
  double delr;  // fm

 private:
  // Members and phase set up, no table point computed (what both public forms start from).
  struct Unfilled {};
  CPartWave(double eta, int q1q2, double q, int ell, double epsilon, int nrmax, double delr,
            Unfilled);
  // Coulomb phase and table checks shared by the constructors.
  void Setup();
  // The table formula at any r (fm).
  std::complex<double> PhiDirect(double r) const;
  // Table point i, computed first if it is not there yet.
  std::complex<double> Point(int i);

  // On demand: which points of phi are computed. Null: every point is there.
  std::unique_ptr<femtokit::OnDemandFlags> ondemand_;
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_PARTWAVE_H

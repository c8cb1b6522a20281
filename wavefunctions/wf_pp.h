#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_PP_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_PP_H

// Relative wave function of two protons with Coulomb and strong interaction.
//
// The strong interaction comes from the Reid93 potential (wavefunctions/reid93.h) in the four
// lowest proton-proton partial waves 1S0, 3P0, 3P1 and 3P2 (the diagonal 3P2 element of the
// coupled 3P2-3F2 channel "3C2"; the coupling to 3F2 is left out). At construction the radial
// Schroedinger equation
//   u'' = [2E (e^2/r + ell(ell+1) HBARC^2/(2E r^2) + V(r)) - q^2] u / HBARC^2,
//   E = sqrt(mu^2 + q^2), mu = MPROTON/2, e^2 = HBARC/137.036,
// is integrated inward from 10 fm to the origin on a 0.01 fm grid for every q grid point,
// starting from the incoming Coulomb wave F + iG; the phase beta of the solution near the origin
// then gives the standing wave that is regular there, and the strong phase shift of the wave
// (relative to the Coulomb functions) is beta - PI/2.
//
// |psi|^2 is averaged over spins: 1/4 singlet (spatially symmetric) and 3/4 triplet
// (antisymmetric), the triplet spread over its three projections with the Clebsch-Gordan weights
// of 3P0, 3P1 and 3P2:
//   |psi|^2 = 1/4 |S + k0|^2 + 1/2 (|A + k1|^2 + |k2|^2) + 1/4 (|A + k3|^2 + 2 |k4|^2),
// S, A = (p(r, c) +- p(r, -c))/sqrt(2) from the Coulomb plane wave p, and k0 .. k4 the strong
// corrections of the s and p waves times their spherical harmonics (the sum shared with the
// neutron-neutron wave function, wavefunctions/spinsum.h). Outside r = epsilon (where the
// potential should have died away) the corrections are the Coulomb partial waves of the base
// times e^{-2i delta} - 1. Inside, each e^{-2i delta} R_ell is replaced by the integrated radial
// wave normalised to the same asymptotics, D = 2 e^{-i sigma_ell} (u_strong - u_Coulomb) / x with
// x = q r / HBARC, so that |psi|^2 follows the potential inside and, provided epsilon lies
// beyond the range of the potential, is the same function on both sides of epsilon.
//
// Choose EPSILON of 4-5 fm for pp. The outer form holds only where Reid93 has died away: with
// the default EPSILON of 1 fm |psi|^2 jumps at epsilon (9.4 inside, 22 outside at q = 17.5 MeV/c,
// r = 1 fm), and C(q) - 1 of a 3 fm Gaussian source comes out about 16 % too high at its peak.
// From 4 fm on the two forms agree to 0.5 %.
//
// Parameters from the wave-function parameter file (CWaveFunction::ParsInit): the q grid,
// EPSILON (fm, must be below the 10 fm radial range; fatal otherwise:
// "CWaveFunction_pp: EPSILON=%g fm must lie below rmax=%g fm\n") and STRONG. COULOMB is not read:
// the pp wave always includes Coulomb. Units: q in MeV/c, r in fm.

#include <complex>
#include <vector>

#include "wavefunctions/spinsum.h"
#include "wavefunctions/wavefunction.h"

class CWaveFunction_pp : public CWaveFunction {
 public:
  // Reads the parameter file, builds the Coulomb waves of the base and integrates every wave at
  // every grid point. Prints "Arrays Initialized" and "Partial Waves Initialized" on the way.
  explicit CWaveFunction_pp(const char* parsfilename);
  ~CWaveFunction_pp() override;

  // |psi|^2 at grid point iq, separation r (fm), cosine ctheta between q and r.
  //  - STRONG false: 0.25 |S|^2 + 0.75 |A|^2 with S, A the (anti)symmetrised Coulomb plane waves.
  //  - r < epsilon: the inner tables, linear in r between the grid points around r.
  //  - r >= epsilon: Coulomb partial waves times e^{-2i delta} - 1 added to S and A.
  // Fatal ("in CalcPsiSquared psisquared=%g,q=%g,r=%g\n") if the result outside epsilon is below
  // -0.001.
  double CalcPsiSquared(int iq, double r, double ctheta) override;
  // The same for n cosines at one r: the strong corrections once, each plane wave once for +c
  // and -c when the list is symmetric.
  void CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                            double* psisquared) override;
  // The spin-averaged sum is even in ctheta (S even, A and the p-wave terms odd).
  bool PsiSquaredIsEven() const override { return true; }

  // Integrates every wave at every grid point and fills the inner tables; the grid points run
  // on femtokit::ThreadCount() threads (the numbers do not depend on the count).
  void Initialize();

  // Integrates wave `wave` (ell, with the Reid93 potential when strong) at grid point iq and files
  // the standing wave and its phase beta under slot: 1 "3P0", 2 "3P1", 3 "1S0", 4 "NS" (Coulomb
  // only), 5 "3C2"; slot 0 keeps nothing.
  void GetPsiNoneCoupledState(long iq, short ell, const char* wave, short slot, bool strong);

  bool strongpotential;  // STRONG at construction: whether Reid93 enters the integration
  double rmax;           // outer radius of the radial grid, 10 fm
  int nrmax;             // radial steps, 1000 (delr = 0.01 fm); point j at r = j rmax / nrmax
  char pname[4];         // wave being integrated
  char pottype[3];       // "PP"
  // [nqmax][nrmax + 1] radial combinations used inside epsilon, of the normalised corrections
  // D_X = 2 e^{-i sigma_ell} (e_X psiX - e_NS psiNS) / x of each wave X (e = e^{-2i delta},
  // NS the Coulomb-only wave of the same ell); written below with "3C2" for D_3C2 etc.
  std::complex<double>** innerpsi0;  // (3C2 - 3P1) / 2
  std::complex<double>** innerpsi1;  // (3C2 + 3P1) / 2
  std::complex<double>** innerpsi2;  // (3C2 - 3P0) / 3
  std::complex<double>** innerpsi3;  // (2 3C2 + 3P0) / 3
  std::complex<double>** innerpsi4;  // 1S0
  // [nqmax] phase beta per wave; the strong phase shift is beta - PI/2.
  double* phase1S0;
  double* phase3P0;
  double* phase3P1;
  double* phaseNS;
  double* phase3C2;
  std::complex<double>* work;  // [nrmax + 1] integration buffer
  // [nrmax + 1] last integrated standing wave of each channel (the last grid point after
  // Initialize), index j at r = j delr.
  std::complex<double>* psi3P0;
  std::complex<double>* psi3P1;
  std::complex<double>* psi3C2;
  std::complex<double>* psi1S0;
  std::complex<double>* psiNS;

 private:
  // The Reid93 waves of the pair and the diagonal potential of each at r = (j + 1) rmax / nrmax
  // (MeV), j = 0 .. nrmax: the integration's radii, the same at every q.
  static constexpr int kNStrongWaves = 4;
  static constexpr const char* kStrongWaves[kNStrongWaves] = {"1S0", "3P0", "3P1", "3C2"};
  std::vector<double> potential_[kNStrongWaves];
  void TabulatePotentials();
  // The table of wave `wave`, null for a wave without one.
  const double* PotentialTable(const char* wave) const;
  // The waves, phases and inner tables of grid point iq (buffers of its own: safe on threads).
  void InitializePoint(int iq);
  // One inward pass of wave `wave` (a Reid93 name) from the values at rmax + 2 delr and
  // rmax + delr down to r = 0 into out[0 .. nrmax].
  void InwardPass(int ell, const char* wave, bool strong, double q, double E,
                  std::complex<double> psi_far, std::complex<double> psi_near,
                  std::complex<double>* out) const;
  // Both passes for one wave at grid point iq; leaves the standing wave in out, returns beta.
  double Integrate(long iq, int ell, const char* wave, bool strong,
                   std::complex<double>* out) const;
  // The strong corrections d0 .. d4 at grid point iq and r (fm): the inner tables below epsilon,
  // the phase-shifted Coulomb partial waves from epsilon on.
  SpinSum::Corrections CorrectionsAt(int iq, double r);
  // Coulomb-only standing wave of ell = 0 at the current grid point (reference of the singlet).
  std::complex<double>* psiNS0_ = nullptr;
  // e^{-2i delta} per grid point and wave, from the phases once they are known.
  std::complex<double>* e1S0_ = nullptr;
  std::complex<double>* e3P0_ = nullptr;
  std::complex<double>* e3P1_ = nullptr;
  std::complex<double>* e3C2_ = nullptr;
  int alloc_nqmax_ = 0;
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_PP_H

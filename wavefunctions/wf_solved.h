#ifndef FEMTOKIT_WAVEFUNCTIONS_WF_SOLVED_H
#define FEMTOKIT_WAVEFUNCTIONS_WF_SOLVED_H

// Relative wave function of any pair with local potentials, from exact radial solutions.
//
// A pair (SolvedPair) has masses, the charge product z1 z2, whether the two particles are
// identical, and spin channels S with weights w_S (summing to 1); each channel lists the partial
// waves that feel a potential (a single wave ell, or a tensor-coupled pair ell, ell + 2 through
// a coupled potential). For every q grid point and wave, RadialWave (radialsolver.h) integrates
// the radial equation to its matching radius and keeps the radial correction D(r) on a 0.01 fm
// grid (cubic interpolation in r); beyond the matching radius D = e^{-i sigma} (F + iG)(e - 1)/x
// with the exact Coulomb (or Bessel) functions. Waves without a potential, and all higher
// partial waves, are the free or Coulomb waves of the plane wave p(r, cos theta) (planewave.h).
// Kinematics and the Sommerfeld parameter eta = z1 z2 alpha mu / q with the non-relativistic
// reduced mass mu, for the plane wave as well (eta[] holds it, not the base's relativistic one).
//
// |psi|^2 = sum_S w_S |psi_S|^2 with
//   distinct particles:  psi_S = p(r, c) + sum_ell (2 ell + 1) i^ell P_ell(c) D_S,ell(r) / 2,
//   identical particles: psi_S = P_S + sqrt(2) sum_ell (2 ell + 1) i^ell P_ell(c) D_S,ell / 2,
//     P_S = (p(r, c) + (-1)^S p(r, -c)) / sqrt(2), only waves with (-1)^ell = (-1)^S
//     (spatial symmetry (-1)^S for bosons and fermions alike),
// c = cos theta between q and r. Nucleon-nucleon pairs (nucleon_nucleon set: channels 1S0 and
// the triplet with 3P0, 3P1, 3P2 as its waves j = 0, 1, 2) split the triplet P wave by J with the
// spin sum of spinsum.h; the 3P2 radial wave is the ell = 1 part of the coupled 3P2-3F2 solution
// (its 3F2 admixture, of relative size epsilon_2 < 2 degrees up to 50 MeV, is left out).
// Distinct particles: a spin-1 channel whose waves all carry their J (j >= 0) is summed over
// the spin projections with the Clebsch-Gordan couplings of tripletsum.h (exact for uncoupled
// waves; several J of one ell allowed); the waves of other channels enter as written above.
//
// Parameter-file keys (CWaveFunction::ParsInit: NQMAX, DELQ, QARRAYFILENAME, STRONG, COULOMB;
// EPSILON is not used) plus RMATCH (fm, 0: per wave from the potential's range) and SOLVERSTEP
// (fm, 0.01), ROUTERTABLE (fm, 60: outer waves tabulated up to there). STRONG false drops every potential, COULOMB false the charge product.
// Units: q MeV/c, r fm, masses MeV.

#include <complex>
#include <memory>
#include <string>
#include <vector>

#include "wavefunctions/ondemand.h"
#include "wavefunctions/potentials.h"
#include "wavefunctions/radialsolver.h"
#include "wavefunctions/tripletsum.h"
#include "wavefunctions/wavefunction.h"

namespace femtokit {

struct SolvedWave {
  std::string name;  // e.g. "1S0", "3P2"
  int ell = 0;       // ell of the wave (the lower one of a coupled pair)
  int j = -1;        // total J where the spin sum needs it (nucleon-nucleon triplet, the
                     // triplet of a distinct pair split by J), else -1
  std::shared_ptr<const Potential> potential;
  // Bound states n of the (lower) wave. With n > 0 its phases are reported on Levinson's branch,
  // continued along the q grid from delta(0) = n 180 deg (the first grid point in
  // (n 180 - 180, n 180] deg, each next one within 90 deg of its predecessor; a coupled pair's
  // epsilon changes sign with every half turn added). Else phases lie in (-90, 90] deg.
  int bound_states = 0;
};

struct SolvedChannel {
  std::string name;
  int spin = 0;
  double weight = 1.0;
  std::vector<SolvedWave> waves;
};

struct SolvedPair {
  std::string name;
  double m1 = 0.0, m2 = 0.0;  // MeV
  int z1z2 = 0;
  bool identical = false;
  bool nucleon_nucleon = false;
  std::vector<SolvedChannel> channels;
};

// Reid93 with point Coulomb for two protons, and for two neutrons (1S0, 3P0, 3P1, 3P2-3F2).
SolvedPair ReidProtonProton();
SolvedPair ReidNeutronNeutron();
// Reid93 for a neutron and a proton (distinct, no Coulomb), every wave up to J = 2:
// singlet (1/4) 1S0, 1P1, 1D2; triplet (3/4) 3S1-3D1, 3P0, 3P1, 3P2-3F2, 3D2, summed over spin
// projections with their J. Approximated in |psi|^2: of the coupled pairs only the radial wave
// fed by and ending in the lower ell enters (3S1 of 3S1-3D1, 3P2 of 3P2-3F2): the tensor
// admixtures (relative size epsilon_1, epsilon_2: below 2.5 degrees up to T_lab = 50 MeV) and
// the 3D1 and 3F2 waves are free, as are all waves with J >= 3. The phases of the coupled pairs
// (delta, delta2, epsilon) are solved exactly; 3S1 (the deuteron channel) on Levinson's branch.
SolvedPair ReidNeutronProton();
// Lambda-proton, Usmani-type potential, the femtoscopy parameter set (vbar 6.2 MeV, v_sigma
// 0.25 MeV, Wc 2137 MeV, core radius 0.5 fm, diffuseness 0.2 fm, m 0.7 fm^-1, c 2 fm^-2),
// s waves: singlet 1/4, triplet 3/4.
SolvedPair UsmaniProtonLambda();
// p-Omega-: HAL QCD N-Omega 5S2 potential (t/a = 12: b1 -313.0 MeV, b2 81.7 fm^-2, b3 -252.0
// MeV fm^2, b4 0.85 fm^-2, m_pi 146 MeV) in the spin-2 channel (weight 5/8) with Coulomb; the
// spin-1 channel (3/8) Coulomb only (its lattice potential is absorptive and not modelled).
SolvedPair HalProtonOmega();

// A pair from a potential parameter file: NAME (string), M1, M2 (MeV), Q1Q2 (int), IDENTICAL
// (bool), NCHANNELS, and per channel i: Ci_WEIGHT, Ci_SPIN, Ci_NWAVES (default 1); per wave j
// Ci_Wj_L, optionally Ci_Wj_J (total J of a spin-1 channel's wave, see above), and the
// potential keys under the prefix "Ci_Wj_" (ReadPotential; a potential table
// named relative to the pair file's directory). Fatal when the
// file is missing, a key is missing, or NCHANNELS < 1.
SolvedPair ReadSolvedPair(const std::string& filename);

}  // namespace femtokit

class CWaveFunction_solved : public CWaveFunction {
 public:
  // Fatal when the weights do not sum to 1 (within 1e-6), a wave of an identical pair has the
  // wrong exchange symmetry, or a nucleon-nucleon pair lacks its four waves.
  CWaveFunction_solved(const char* parsfilename, femtokit::SolvedPair pair);

  double CalcPsiSquared(int iq, double r, double ctheta) override;
  // The radial corrections once per (q, r), then every angle; safe from several threads.
  void CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                            double* psisquared) override;
  // Identical particles: the symmetrised |psi|^2 is even under r -> -r (ctheta -> -ctheta).
  bool PsiSquaredIsEven() const override { return pair_.identical; }

  const femtokit::SolvedPair& Pair() const { return pair_; }
  // The solution of wave `wave` of channel `channel` at grid point iq (phases in radians).
  const femtokit::WaveSolution& Solution(int channel, int wave, int iq) const;
  const femtokit::RadialWave& Wave(int channel, int wave) const;

 public:
  // Four-point Lagrange weights of a radius on a grid: stencil start j, weights w.
  struct CubicWeights {
    int j;
    double w[4];
  };

 private:
  struct Slot {
    int channel, wave;
    std::unique_ptr<femtokit::RadialWave> radial;
    std::vector<femtokit::WaveSolution> solutions;  // [nqmax]
  };
  // D(r) of a slot at grid point iq; shared holds the cubic weights of r on the common grid.
  std::complex<double> Correction(const Slot& slot, int iq, double r,
                                  const CubicWeights& shared) const;
  const Slot* Find(int channel, int wave) const;
  // Levinson's branch for a wave with `bound` bound states (see SolvedWave::bound_states).
  void ContinuePhases(int bound, bool coupled, std::vector<femtokit::WaveSolution>* solutions) const;
  // The triplet spin sum of a channel when it needs one (see above), else null.
  std::unique_ptr<const femtokit::TripletSpinSum> MakeTripletSum(
      const femtokit::SolvedChannel& ch) const;

  // R_ell(r) = e^{-i sigma_ell} (F + iG)(x, eta) / x, tabulated from r0 to r1 (fm) every
  // 0.05 fm with cubic interpolation (relative error ~ (k h)^4 / 100), direct beyond r1. Each
  // table point is computed when an evaluation first needs it (femtokit::OnDemandFlags): a
  // kernel pays for the points around its r bins only. At is safe from several threads.
  class OuterWave {
   public:
    OuterWave() = default;
    OuterWave(int ell, double q, double eta, double r0, double r1);
    std::complex<double> At(double r) const;

   private:
    static constexpr double kStep = 0.05;
    std::complex<double> Direct(double r) const;
    int ell_ = 0;
    double k_ = 0.0, eta_ = 0.0, r0_ = 0.0;
    std::complex<double> phase_;
    // Filled on demand (mutable: a const evaluation completes the table).
    mutable std::vector<std::complex<double>> values_;
    std::unique_ptr<femtokit::OnDemandFlags> ondemand_;
  };

  femtokit::SolvedPair pair_;
  double mu_ = 0.0;
  double shared_step_ = 0.01;  // fm, the solver grid of every wave
  std::vector<OuterWave> outer_;  // [ell * nqmax + iq]
  std::vector<Slot> slots_;
  // Per channel: the triplet spin sum of a distinct pair's spin-1 channel split by J, else null.
  std::vector<std::unique_ptr<const femtokit::TripletSpinSum>> triplet_;
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WF_SOLVED_H

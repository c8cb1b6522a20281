#ifndef FEMTOKIT_SOURCE_SOURCECALC_BLAST_H
#define FEMTOKIT_SOURCE_SOURCECALC_BLAST_H

// Blast-wave source: the relative-separation distribution of a pair of
// particles a and b emitted from a boost-invariant, transversely expanding
// fireball, computed by Monte Carlo.
//
// Emission points of each species are sampled with the thermal weight of a
// Boltzmann particle in the flowing fluid (Cooper-Frye freeze-out at proper
// time tau, Schnedermann, Sollfrank and Heinz, Phys. Rev. C 48 (1993) 2462;
// here with a Gaussian in space-time rapidity and a Gaussian spread of tau),
// boosted along x into the frame that moves with the pair, and every pair's
// separation is histogrammed into an AExp Cartesian-harmonic array. The result
// is a density in fm^-3:
//
//   S(r) = lambda / Npairs * sum_pairs delta^3(r - (x_a - x_b)),
//
// binned per radial shell (each bin divided by its exact shell volume), so
// sum_ir A000(ir) * shellvolume(ir) = lambda * (fraction of pairs closer than
// NRADIAL * RADSTEP). Frame: x along the pair's transverse momentum (out),
// z along the beam; times and lengths in fm(/c), masses and momenta in MeV(/c).
//
// The estimate is statistical: the generator `randy` is seeded once (-1234)
// and never reseeded, so two calls with the same parameters differ by their
// Monte-Carlo noise. The points of each run of 32 come from a RANLUX generator
// of their own, seeded by a draw of `randy` (one per run, in order), so that
// the runs can be sampled on several threads and the sample is the same for
// any thread count.
//
// Parameters (keys of `spars`, defaults):
//   "lambda" 0.5     weight of every pair (integral of the source)
//   "R" 13.0         transverse radius of the fireball, fm
//   "Tau" 12.0       mean proper emission time tau0, fm/c
//   "DelTau" 3.0     width of the proper-time distribution, fm/c (only its
//                    square enters: a negative value acts as |DelTau|, so
//                    probe points of a fit may cross zero)
//   "Beta" 0.7       largest transverse flow velocity (c)
//   "T" 110.0        temperature, MeV
//   "Pt" 600.0       transverse momentum of the pair, MeV/c
//   "Phi" 0.0        stored only; nothing reads it
//   "EtaG" 1.5       width of the Gaussian in space-time rapidity
//   "Ma" 938.28      mass of particle a, MeV
//   "Mb" 139.58      mass of particle b, MeV
//   "Nsample" 1000   points sampled per species (integer)
//
// Fatal conditions (message on standard output, exit status 1), all tested
// before any sampling: a missing parameter key ("CSourceCalc_Blast: parameter
// %s is missing"), Beta outside [0, 1) (the flow rapidity would be infinite or
// undefined), T <= 0 (the thermal weight is undefined and rejection would not
// end), Tau < 0, Ma or Mb <= 0, Pt < 0, and fewer than 2 points
// (identical species) or 1 point (different species). During sampling a
// thermal weight above 1 prints "DISASTER! weight=%g which is > 1.0, eu=%g,
// eumin=%g" and exits: cosh(eta) then outgrows the Boltzmann factor (for
// example at a very high temperature) and the rejection sampling is invalid.
//
// Cost: one CalcS handles Nsample^2 pairs (Nsample (Nsample - 1) / 2 for
// identical species). Separations are accumulated as Cartesian moments per
// bin (CPairSeparationSum, source/pairseparationsum.h) and converted once to
// AExp coefficients, which gives exactly what adding every pair with the
// array's IncrementAExpArrayFromE would give (a pair at zero separation adds
// to the L = 0 coefficient of bin 0 alone). The pair sum runs on
// femtokit::ThreadCount() threads (64 chunks of pairs merged in chunk order:
// the same result for any thread count above one, the one-thread result up to
// rounding). The sampling runs on the same threads, run by run (see above).

#include <memory>

#include "source/sourcecalc.h"

namespace femtokit {
class ChunkedPairSums;
}

class CCHArray;
class CRandom;

class CSourceCalc_Blast : public CSourceCalc {
 public:
  // Stores the defaults and creates `randy` with seed -1234.
  CSourceCalc_Blast();
  ~CSourceCalc_Blast() override;
  CSourceCalc_Blast(const CSourceCalc_Blast&) = delete;
  CSourceCalc_Blast& operator=(const CSourceCalc_Blast&) = delete;

  // Stores the defaults of the table above, in its order.
  void InitSPars();
  // Both forms first restore every default, then store the given values.
  void SetSPars(double lambda, double R, double Tau, double DelTau);
  void SetSPars(double lambda, double R, double Tau, double DelTau, double Beta, double T,
                double Pt, double EtaG, double Ma, double Mb);

  // One proper time tau > 0 (fm/c) from the density proportional to
  // tau exp(-(tau - tau0)^2 / (2 deltau^2)), by composition and rejection:
  // with probability P = sqrt(2 pi) deltau tau0 / (deltau^2 + sqrt(2 pi) deltau tau0)
  // (the weight of the tau0 * Gaussian part of tau = tau0 + (tau - tau0)) a
  // Gaussian around tau0, accepted below tau0 with probability tau / tau0;
  // otherwise the (tau - tau0) Gaussian part above tau0, sampled exactly as
  // tau0 + deltau sqrt(-2 ln u). Needs tau0 >= 0; deltau enters as |deltau|
  // (the density holds deltau^2 only), and deltau = 0 returns tau0.
  double GetTau(double tau0, double deltau);

  // Fills r[0 ... Nsample-1] (each a caller-allocated array of four doubles,
  // (t, x, y, z) in fm) with emission points of a particle of four-momentum
  // p = (E, px, 0, 0) (MeV, px >= 0), in the frame moving with the particle's
  // velocity along x. Reads EtaG, R, T, Tau, Beta, DelTau and Nsample. Draws
  // one number of `randy` per run of 32 points (the run's seed) and samples the
  // runs on femtokit::ThreadCount() threads: the points do not depend on it.
  void Get_r(double* p, double** r);

  // Computes the source into A (all bins, all components; A is cleared first).
  void CalcS(CCHArray* A) override;
  // The component form is the base's (it only prints that it is a dummy).
  using CSourceCalc::CalcS;

  CRandom* randy;  // owned; seeded -1234 once

 private:
  // Ends the process when a key CalcS or Get_r reads is absent from `pars`, or
  // when the values cannot give a sound sample (messages above).
  static void CheckPars(const parameter_map& pars, bool for_calcs);

  // The pair sums of CalcS, kept from call to call while A's layout stays the same: a fit
  // calls CalcS thousands of times, and their work space (about 150 kB per sum at LMAX 4 and 40
  // bins) freed and taken again was faulted in again on every call.
  std::unique_ptr<femtokit::ChunkedPairSums> sums_;
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_BLAST_H

#ifndef FEMTOKIT_ANALYSIS_LEDNICKYCORRELATION_H
#define FEMTOKIT_ANALYSIS_LEDNICKYCORRELATION_H

// The analytic Lednicky-Lyuboshitz correlation (kernel/lednicky.h) as the genuine
// correlation of an analysis: no kernel and no source array, C_gen(k) follows from the
// s-wave scattering parameters of each spin channel and the Gaussian radius R (fm) of the
// single-particle source, S(r) = (4 pi R^2)^(-3/2) exp(-r^2 / (4 R^2)) for the separation,
// the same R as the "gx1d" source model (identical bosons: C - 1 = exp(-4 k^2 R^2 / (hbar c)^2)).
//
// Fit parameters (names):
//   "R"                     the Gaussian radius, fm (default 1.5)
//   "re_f0_<channel>"       Re f0 of the channel, fm (femtoscopy sign, f0 = -a)
//   "im_f0_<channel>"       Im f0, fm (>= 0 for absorption)
//   "d0_<channel>"          effective range, fm
// Their defaults are the channel's own values, so an analysis frees only what it fits. A
// channel whose s wave cannot enter (odd spatial symmetry of identical particles) has no
// parameters.
//
// Built-in pairs by name take masses, charges, identity and spin channels from the exact
// radial solver's pairs (wavefunctions/wf_solved.h) and f0 = -a, d0 = r0 from the effective-
// range expansion of that solver's own s waves (Coulomb-modified for charged pairs, as the
// Lednicky-Lyuboshitz Coulomb form uses them); channels without an s-wave potential get f0 = 0
// (no interaction). Names: "pp", "nn" (Reid93), "plambda" (Usmani-type), "pomega" (HAL QCD).

#include <string>
#include <vector>

#include "analysis/genuine.h"
#include "kernel/lednicky.h"

namespace femtokit {
struct SolvedPair;
}

namespace femtokit::analysis {

// A Lednicky-Lyuboshitz pair with a name per channel (used in parameter names).
struct NamedLednickyPair {
  std::string name;                   // for reports
  LednickyPair pair;
  std::vector<std::string> channel_names;  // one per pair.channels entry, unique
};

// The pairs BuiltinLednickyPair knows.
std::vector<std::string> BuiltinLednickyPairNames();
// The pair called name (see above); fatal with the known names otherwise. Costs a few
// radial solutions (milliseconds).
NamedLednickyPair BuiltinLednickyPair(const std::string& name);
// The same for any solved pair.
NamedLednickyPair LednickyPairFromSolved(const SolvedPair& solved);

class LednickyCorrelation : public GenuineCorrelation {
 public:
  // Fatal when the channel names are not unique or do not match the channels, a weight is
  // negative, or the weights do not sum to 1 (within 1e-6).
  explicit LednickyCorrelation(NamedLednickyPair pair, double default_radius = 1.5);

  std::vector<std::string> ParameterNames() const override;
  double DefaultValue(const std::string& name) const override;
  // Fatal for R <= 0 (and what LednickyCF refuses).
  std::vector<double> Evaluate(const std::vector<double>& k, const ParameterValues& p) override;
  std::string Description() const override;

  const NamedLednickyPair& pair() const { return pair_; }
  // The pair with the parameter values of p applied (absent ones at the defaults).
  LednickyPair PairFor(const ParameterValues& p) const;

 private:
  bool Interacts(std::size_t channel) const;
  NamedLednickyPair pair_;
  double default_radius_;
};

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_LEDNICKYCORRELATION_H

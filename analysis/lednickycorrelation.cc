#include "analysis/lednickycorrelation.h"

#include <cmath>
#include <cstdio>
#include <set>

#include "numeric/fatal.h"
#include "wavefunctions/radialsolver.h"
#include "wavefunctions/wf_solved.h"

namespace femtokit::analysis {
namespace {

struct BuiltinEntry {
  const char* name;
  SolvedPair (*make)();
};

const std::vector<BuiltinEntry>& Builtins() {
  static const std::vector<BuiltinEntry> builtins = {{"pp", ReidProtonProton},
                                                     {"nn", ReidNeutronNeutron},
                                                     {"plambda", UsmaniProtonLambda},
                                                     {"pomega", HalProtonOmega}};
  return builtins;
}

std::string Names(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += " " + n;
  return text;
}

// The s wave of a channel that feels a potential, or nullptr.
const SolvedWave* SWave(const SolvedChannel& channel) {
  for (const SolvedWave& w : channel.waves)
    if (w.ell == 0 && w.potential != nullptr && !w.potential->Coupled()) return &w;
  return nullptr;
}

}  // namespace

std::vector<std::string> BuiltinLednickyPairNames() {
  std::vector<std::string> names;
  for (const BuiltinEntry& e : Builtins()) names.emplace_back(e.name);
  return names;
}

NamedLednickyPair BuiltinLednickyPair(const std::string& name) {
  for (const BuiltinEntry& e : Builtins())
    if (name == e.name) return LednickyPairFromSolved(e.make());
  Fatal("Lednicky-Lyuboshitz: unknown built-in pair '%s'; known:%s\n", name.c_str(),
        Names(BuiltinLednickyPairNames()).c_str());
}

NamedLednickyPair LednickyPairFromSolved(const SolvedPair& solved) {
  NamedLednickyPair out;
  out.name = solved.name;
  out.pair.identical = solved.identical;
  out.pair.z1z2 = solved.z1z2;
  out.pair.mu = ReducedMass(solved.m1, solved.m2);
  for (const SolvedChannel& ch : solved.channels) {
    LednickyChannel lc;
    lc.weight = ch.weight;
    lc.spin = ch.spin;
    if (const SolvedWave* w = SWave(ch)) {
      const RadialWave radial(w->potential, 0, out.pair.mu, solved.z1z2);
      const EffectiveRange er = EffectiveRangeParameters(radial);
      lc.f0 = -er.a;  // femtoscopy sign
      lc.d0 = er.r0;
    }
    out.pair.channels.push_back(lc);
    out.channel_names.push_back(ch.name);
  }
  return out;
}

LednickyCorrelation::LednickyCorrelation(NamedLednickyPair pair, double default_radius)
    : pair_(std::move(pair)), default_radius_(default_radius) {
  const std::size_t n = pair_.pair.channels.size();
  if (n == 0) Fatal("Lednicky-Lyuboshitz pair %s has no spin channel\n", pair_.name.c_str());
  if (pair_.channel_names.size() != n)
    Fatal("Lednicky-Lyuboshitz pair %s: %zu channel names for %zu channels\n", pair_.name.c_str(),
          pair_.channel_names.size(), n);
  std::set<std::string> seen;
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& cname = pair_.channel_names[i];
    if (cname.empty() || cname.find_first_of(" \t") != std::string::npos || !seen.insert(cname).second)
      Fatal("Lednicky-Lyuboshitz pair %s: channel name '%s' is empty, has blanks or repeats\n",
            pair_.name.c_str(), cname.c_str());
    const double w = pair_.pair.channels[i].weight;
    if (!(w >= 0.0)) Fatal("Lednicky-Lyuboshitz pair %s: channel %s has weight %g\n", pair_.name.c_str(), cname.c_str(), w);
    sum += w;
  }
  if (std::fabs(sum - 1.0) > 1e-6)
    Fatal("Lednicky-Lyuboshitz pair %s: channel weights sum to %g, not 1\n", pair_.name.c_str(), sum);
  if (pair_.pair.z1z2 != 0 && !(pair_.pair.mu > 0.0))
    Fatal("Lednicky-Lyuboshitz pair %s: a charged pair needs positive masses\n", pair_.name.c_str());
  if (!(default_radius_ > 0.0))
    Fatal("Lednicky-Lyuboshitz: the default radius must be positive (%g)\n", default_radius_);
}

bool LednickyCorrelation::Interacts(std::size_t channel) const {
  return !pair_.pair.identical || pair_.pair.channels[channel].spin % 2 == 0;
}

std::vector<std::string> LednickyCorrelation::ParameterNames() const {
  std::vector<std::string> names{"R"};
  for (std::size_t i = 0; i < pair_.channel_names.size(); ++i) {
    if (!Interacts(i)) continue;
    const std::string& c = pair_.channel_names[i];
    names.insert(names.end(), {"re_f0_" + c, "im_f0_" + c, "d0_" + c});
  }
  return names;
}

double LednickyCorrelation::DefaultValue(const std::string& name) const {
  if (name == "R") return default_radius_;
  for (std::size_t i = 0; i < pair_.channel_names.size(); ++i) {
    const std::string& c = pair_.channel_names[i];
    const LednickyChannel& ch = pair_.pair.channels[i];
    if (name == "re_f0_" + c) return ch.f0.real();
    if (name == "im_f0_" + c) return ch.f0.imag();
    if (name == "d0_" + c) return ch.d0;
  }
  return GenuineCorrelation::DefaultValue(name);
}

LednickyPair LednickyCorrelation::PairFor(const ParameterValues& p) const {
  LednickyPair pair = pair_.pair;
  auto value = [&p](const std::string& name, double def) {
    const auto it = p.find(name);
    return it == p.end() ? def : it->second;
  };
  for (std::size_t i = 0; i < pair.channels.size(); ++i) {
    if (!Interacts(i)) continue;
    LednickyChannel& ch = pair.channels[i];
    const std::string& c = pair_.channel_names[i];
    ch.f0 = {value("re_f0_" + c, ch.f0.real()), value("im_f0_" + c, ch.f0.imag())};
    ch.d0 = value("d0_" + c, ch.d0);
  }
  return pair;
}

std::vector<double> LednickyCorrelation::Evaluate(const std::vector<double>& k,
                                                  const ParameterValues& p) {
  const auto it = p.find("R");
  const double R = it == p.end() ? default_radius_ : it->second;
  if (!(R > 0.0)) Fatal("Lednicky-Lyuboshitz: the radius R must be positive (R=%g fm)\n", R);
  return LednickyCF(PairFor(p), R, k);
}

std::string LednickyCorrelation::Description() const {
  std::string text = "Lednicky-Lyuboshitz " + pair_.name + " (";
  for (std::size_t i = 0; i < pair_.channel_names.size(); ++i) {
    const LednickyChannel& ch = pair_.pair.channels[i];
    char part[160];
    std::snprintf(part, sizeof part, "%s%s: w %.4g, f0 %.4g%+.4gi fm, d0 %.4g fm",
                  i == 0 ? "" : "; ", pair_.channel_names[i].c_str(), ch.weight, ch.f0.real(),
                  ch.f0.imag(), ch.d0);
    text += part;
  }
  return text + ") x Gaussian R";
}

}  // namespace femtokit::analysis

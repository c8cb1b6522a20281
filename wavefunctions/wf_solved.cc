#include "wavefunctions/wf_solved.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <exception>
#include <limits>
#include <filesystem>

#include "config/parameter.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "numeric/threads.h"
#include "wavefunctions/coulwave.h"
#include "wavefunctions/spinsum.h"

namespace femtokit {

namespace {

std::shared_ptr<const Potential> Reid(const char* wave, const char* type) {
  return std::make_shared<Reid93Wave>(wave, type);
}

SolvedPair ReidPair(const char* name, double mass, int z1z2, const char* type) {
  SolvedPair pair;
  pair.name = name;
  pair.m1 = pair.m2 = mass;
  pair.z1z2 = z1z2;
  pair.identical = true;
  pair.nucleon_nucleon = true;
  pair.channels = {{"singlet", 0, 0.25, {{"1S0", 0, 0, Reid("1S0", type)}}},
                   {"triplet",
                    1,
                    0.75,
                    {{"3P0", 1, 0, Reid("3P0", type)},
                     {"3P1", 1, 1, Reid("3P1", type)},
                     {"3P2", 1, 2, Reid("3C2", type)}}}};
  return pair;
}

}  // namespace

SolvedPair ReidProtonProton() {
  return ReidPair("pp", constants::kMassProton, 1, "PP");
}

SolvedPair ReidNeutronNeutron() {
  return ReidPair("nn", constants::kMassNeutron, 0, "NN");
}

SolvedPair ReidNeutronProton() {
  SolvedPair pair;
  pair.name = "np";
  pair.m1 = constants::kMassNeutron;
  pair.m2 = constants::kMassProton;
  // Isospin follows from the wave name inside creid93: (S + ell + I) odd.
  pair.channels = {{"singlet",
                    0,
                    0.25,
                    {{"1S0", 0, 0, Reid("1S0", "NP")},
                     {"1P1", 1, 1, Reid("1P1", "NP")},
                     {"1D2", 2, 2, Reid("1D2", "NP")}}},
                   {"triplet",
                    1,
                    0.75,
                    {{"3S1-3D1", 0, 1, Reid("3C1", "NP"), 1},  // the deuteron
                     {"3P0", 1, 0, Reid("3P0", "NP")},
                     {"3P1", 1, 1, Reid("3P1", "NP")},
                     {"3P2-3F2", 1, 2, Reid("3C2", "NP")},
                     {"3D2", 2, 2, Reid("3D2", "NP")}}}};
  return pair;
}

SolvedPair UsmaniProtonLambda() {
  constexpr double kVbar = 6.2, kVsigma = 0.25;  // MeV
  auto usmani = [](double v) {
    return std::make_shared<Usmani>(2137.0, 0.5, 0.2, 0.7, 2.0, v);
  };
  SolvedPair pair;
  pair.name = "plambda";
  pair.m1 = constants::kMassProton;
  pair.m2 = constants::kMassLambda;
  pair.channels = {{"singlet", 0, 0.25, {{"1S0", 0, -1, usmani(kVbar + 0.75 * kVsigma)}}},
                   {"triplet", 1, 0.75, {{"3S1", 0, -1, usmani(kVbar - 0.25 * kVsigma)}}}};
  return pair;
}

SolvedPair HalProtonOmega() {
  // b1 exp(-b2 r^2) + b3 (1 - exp(-b4 r^2)) (exp(-m_pi r)/r)^2.
  const std::vector<GaussianSum::Gaussian> core = {{-313.0, 1.0 / std::sqrt(81.7)}};
  const std::vector<GaussianSum::Tail> tail = {{-252.0, 0.85, 146.0 / constants::kHbarC, 1, 2}};
  SolvedPair pair;
  pair.name = "pomega";
  pair.m1 = constants::kMassProton;
  pair.m2 = constants::kMassOmegaMinus;
  pair.z1z2 = -1;
  pair.channels = {{"5S2", 2, 5.0 / 8.0, {{"5S2", 0, -1, std::make_shared<GaussianSum>(core, tail)}}},
                   {"3S1", 1, 3.0 / 8.0, {}}};
  return pair;
}

SolvedPair ReadSolvedPair(const std::string& filename) {
  parameter_map pars;
  parameter::ReadParsFromFile(pars, filename);
  auto need = [&](const std::string& key) {
    if (pars.find(key) == pars.end())
      Fatal("pair file %s: key %s missing\n", filename.c_str(), key.c_str());
  };
  SolvedPair pair;
  pair.name = parameter::getS(pars, "NAME", std::filesystem::path(filename).stem().string());
  need("M1");
  need("M2");
  pair.m1 = parameter::getD(pars, "M1", 0.0);
  pair.m2 = parameter::getD(pars, "M2", 0.0);
  pair.z1z2 = parameter::getI(pars, "Q1Q2", 0);
  pair.identical = parameter::getB(pars, "IDENTICAL", false);
  const int nchannels = parameter::getI(pars, "NCHANNELS", 0);
  if (nchannels < 1) Fatal("pair file %s: NCHANNELS must be at least 1\n", filename.c_str());
  for (int i = 0; i < nchannels; i++) {
    const std::string c = "C" + std::to_string(i) + "_";
    need(c + "WEIGHT");
    SolvedChannel channel;
    channel.name = parameter::getS(pars, c + "NAME", "channel " + std::to_string(i));
    channel.spin = parameter::getI(pars, c + "SPIN", 0);
    channel.weight = parameter::getD(pars, c + "WEIGHT", 0.0);
    const int nwaves = parameter::getI(pars, c + "NWAVES", 1);
    for (int j = 0; j < nwaves; j++) {
      const std::string w = c + "W" + std::to_string(j) + "_";
      SolvedWave wave;
      wave.ell = parameter::getI(pars, w + "L", 0);
      wave.j = parameter::getI(pars, w + "J", -1);
      wave.name = parameter::getS(pars, w + "NAME", "L=" + std::to_string(wave.ell));
      wave.potential =
          ReadPotential(pars, w, std::filesystem::path(filename).parent_path().string());
      channel.waves.push_back(std::move(wave));
    }
    pair.channels.push_back(std::move(channel));
  }
  return pair;
}

}  // namespace femtokit

using femtokit::Fatal;
using femtokit::RadialWave;
using femtokit::WaveSolution;
using cdouble = std::complex<double>;

namespace {

// Four-point Lagrange interpolation on the grid r_j = j h, j = 0 .. n (n >= 3): continuous, and
// exact for cubics, so the interpolation error (h^4 D'''' / 24) stays far below the solver's.
// The weights depend on r / h only: one set serves every wave on the same grid.
using CubicWeights = CWaveFunction_solved::CubicWeights;

CubicWeights Weights(double t, int n) {
  int j = static_cast<int>(t) - 1;
  if (j < 0) j = 0;
  if (j > n - 3) j = n - 3;
  const double u = t - j;  // in [0, 3] inside the grid
  return {j,
          {-(u - 1.0) * (u - 2.0) * (u - 3.0) / 6.0, u * (u - 2.0) * (u - 3.0) / 2.0,
           -u * (u - 1.0) * (u - 3.0) / 2.0, u * (u - 1.0) * (u - 2.0) / 6.0}};
}

cdouble Apply(const CubicWeights& c, const std::vector<cdouble>& f) {
  return c.w[0] * f[c.j] + c.w[1] * f[c.j + 1] + c.w[2] * f[c.j + 2] + c.w[3] * f[c.j + 3];
}

cdouble Cubic(const std::vector<cdouble>& f, double h, double r) {
  return Apply(Weights(r / h, static_cast<int>(f.size()) - 1), f);
}

double Legendre(int ell, double c) {
  double p0 = 1.0, p1 = c;
  if (ell == 0) return p0;
  for (int l = 1; l < ell; l++) {
    const double p2 = ((2.0 * l + 1.0) * c * p1 - l * p0) / (l + 1.0);
    p0 = p1;
    p1 = p2;
  }
  return p1;
}

// i^ell
cdouble IPow(int ell) {
  static const cdouble powers[4] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
  return powers[ell % 4];
}

}  // namespace

CWaveFunction_solved::OuterWave::OuterWave(int ell, double q, double eta, double r0, double r1)
    : ell_(ell), k_(q / femtokit::constants::kHbarC), eta_(eta), r0_(r0) {
  phase_ = std::polar(1.0, -std::arg(CoulWave::cgamma(cdouble(ell + 1.0, eta))));
  const int n = std::max(3, static_cast<int>(std::ceil((r1 - r0) / kStep)));
  values_.resize(n + 1);
  ondemand_ = std::make_unique<femtokit::OnDemandFlags>(n + 1);
}

cdouble CWaveFunction_solved::OuterWave::Direct(double r) const {
  double F, G;
  const double x = k_ * r;
  CoulWave::GetFG(ell_, x, eta_, &F, &G);
  return phase_ * cdouble(F, G) / x;
}

cdouble CWaveFunction_solved::OuterWave::At(double r) const {
  // Beyond the table the functions are computed directly (slow, but rarely reached).
  if (r - r0_ >= (values_.size() - 1) * kStep) return Direct(r);
  const CubicWeights c = Weights((r - r0_) / kStep, static_cast<int>(values_.size()) - 1);
  cdouble sum = 0.0;
  for (int k = 0; k < 4; k++) {
    const cdouble& v =
        ondemand_->Get(values_.data(), c.j + k, [this](int j) { return Direct(r0_ + j * kStep); });
    sum += c.w[k] * v;
  }
  return sum;
}

std::unique_ptr<const femtokit::TripletSpinSum> CWaveFunction_solved::MakeTripletSum(
    const femtokit::SolvedChannel& ch) const {
  if (pair_.identical || ch.spin != 1) return nullptr;
  std::vector<femtokit::TripletSpinSum::Wave> waves;
  for (const femtokit::SolvedWave& w : ch.waves)
    if (w.j >= 0) waves.push_back({w.ell, w.j});
  if (waves.empty()) return nullptr;
  if (waves.size() != ch.waves.size())
    Fatal("pair %s: channel %s gives J for some waves only; give it for all or none\n",
          pair_.name.c_str(), ch.name.c_str());
  return std::make_unique<const femtokit::TripletSpinSum>(waves);
}

CWaveFunction_solved::CWaveFunction_solved(const char* parsfilename, femtokit::SolvedPair pair)
    : CWaveFunction(), pair_(std::move(pair)) {
  ParsInit(parsfilename);
  parameter_map extra;
  parameter::ReadParsFromFile(extra, parsfilename);
  const double rmatch = parameter::getD(extra, "RMATCH", 0.0);
  const double step = parameter::getD(extra, "SOLVERSTEP", 0.01);
  shared_step_ = step;
  const double routermax = parameter::getD(extra, "ROUTERTABLE", 60.0);

  double weights = 0.0;
  int nwaves = 0;
  ellmax = 0;
  for (const femtokit::SolvedChannel& ch : pair_.channels) {
    weights += ch.weight;
    for (const femtokit::SolvedWave& w : ch.waves) {
      nwaves++;
      ellmax = std::max(ellmax, w.ell);
      if (pair_.identical && (w.ell + ch.spin) % 2 != 0)
        Fatal("pair %s: wave %s (ell=%d) of spin-%d channel has the wrong exchange symmetry\n",
              pair_.name.c_str(), w.name.c_str(), w.ell, ch.spin);
    }
  }
  if (std::fabs(weights - 1.0) > 1e-6)
    Fatal("pair %s: channel weights sum to %g, not 1\n", pair_.name.c_str(), weights);
  if (pair_.nucleon_nucleon &&
      (pair_.channels.size() != 2 || pair_.channels[0].waves.size() != 1 ||
       pair_.channels[1].waves.size() != 3))
    Fatal("pair %s: a nucleon-nucleon pair needs the channels 1S0 and 3P0, 3P1, 3P2\n",
          pair_.name.c_str());

  for (const femtokit::SolvedChannel& ch : pair_.channels) triplet_.push_back(MakeTripletSum(ch));

  m1 = pair_.m1;
  m2 = pair_.m2;
  q1q2 = COULOMB ? pair_.z1z2 : 0;
  mu_ = femtokit::ReducedMass(m1, m2);
  nchannels = nwaves;
  InitArrays();
  // The one Sommerfeld parameter of this pair, for the plane wave and the partial waves alike.
  for (int iq = 0; iq < nqmax; iq++) eta[iq] = femtokit::SommerfeldEta(mu_, q1q2, qarray[iq]);
  // The plane waves' 1F1 tables (half of the construction) are independent: on threads. A
  // failure (a throwing handler, or no memory) is rethrown after the loop; what was built is
  // released with the arrays.
  {
    std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic) num_threads(femtokit::ThreadCount())
    for (int iq = 0; iq < nqmax; iq++) {
      try {
        planewave[iq] = new CPlaneWave(eta[iq], q1q2, qarray[iq]);
      } catch (...) {
#pragma omp critical(femtokit_solved_failure)
        if (!failure) failure = std::current_exception();
      }
    }
    if (failure) std::rethrow_exception(failure);
  }

  int flat = 0;
  for (size_t c = 0; c < pair_.channels.size(); c++) {
    const femtokit::SolvedChannel& ch = pair_.channels[c];
    for (size_t w = 0; w < ch.waves.size(); w++, flat++) {
      const femtokit::SolvedWave& wave = ch.waves[w];
      channelell[flat] = wave.ell;
      channelweight[flat] = ch.weight;
      Slot slot;
      slot.channel = static_cast<int>(c);
      slot.wave = static_cast<int>(w);
      slot.radial = std::make_unique<RadialWave>(STRONG ? wave.potential : nullptr, wave.ell, mu_,
                                                 q1q2, rmatch, step);
      slot.solutions.resize(nqmax);
      slots_.push_back(std::move(slot));
    }
  }
  // Outer partial waves of every interacting ell (shared by waves of equal ell), from the
  // smallest matching radius of that ell on.
  std::vector<double> router(ellmax + 1, -1.0);
  for (const Slot& slot : slots_) {
    double& r0 = router[slot.radial->Ell()];
    const double rm = slot.radial->MatchingRadius();
    r0 = r0 < 0.0 ? rm : std::min(r0, rm);
  }
  outer_.resize(static_cast<size_t>(ellmax + 1) * nqmax);
  for (int ell = 0; ell <= ellmax; ell++) {
    if (router[ell] < 0.0) continue;
    for (int iq = 0; iq < nqmax; iq++)
      outer_[ell * nqmax + iq] = OuterWave(ell, qarray[iq], eta[iq], router[ell], routermax);
  }

  // Every (wave, q) is independent: the results do not depend on the thread count. A fatal
  // condition that throws (an embedding program's handler) must not leave the parallel region:
  // the first one is kept and thrown again after it.
  const int nslots = static_cast<int>(slots_.size());
  std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic) num_threads(femtokit::ThreadCount())
  for (int task = 0; task < nslots * nqmax; task++) {
    Slot& slot = slots_[task / nqmax];
    const int iq = task % nqmax;
    try {
      slot.solutions[iq] = slot.radial->Solve(qarray[iq], true);
    } catch (...) {
#pragma omp critical(femtokit_solved_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
  for (Slot& slot : slots_) {
    const int bound = pair_.channels[slot.channel].waves[slot.wave].bound_states;
    if (bound > 0) ContinuePhases(bound, slot.radial->Coupled(), &slot.solutions);
  }
  for (int s = 0; s < nslots; s++)
    for (int iq = 0; iq < nqmax; iq++) delta[s][iq] = slots_[s].solutions[iq].delta;
  femtokit::Progress("%s: %d waves solved at %d q points\n", pair_.name.c_str(), nslots, nqmax);
}

void CWaveFunction_solved::ContinuePhases(int bound, bool coupled,
                                          std::vector<WaveSolution>* solutions) const {
  std::vector<int> order(nqmax);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return qarray[a] < qarray[b]; });
  const double pi = femtokit::constants::kPi;
  double previous = bound * pi;
  bool first = true;
  for (const int iq : order) {
    WaveSolution& s = (*solutions)[iq];
    // Near threshold delta = n pi - k a (a > 0 for a shallow bound state): the first point lies
    // in (n pi - pi, n pi]; every later one is the branch nearest to its predecessor.
    const double turns = first ? std::ceil((s.delta - bound * pi) / pi)
                               : std::round((s.delta - previous) / pi);
    s.delta -= turns * pi;
    // (delta + pi, -epsilon) is the same S matrix as (delta, epsilon).
    if (coupled && std::fmod(std::fabs(turns), 2.0) == 1.0) s.mixing = -s.mixing;
    previous = s.delta;
    first = false;
  }
}

const CWaveFunction_solved::Slot* CWaveFunction_solved::Find(int channel, int wave) const {
  for (const Slot& slot : slots_)
    if (slot.channel == channel && slot.wave == wave) return &slot;
  Fatal("pair %s: no wave %d in channel %d\n", pair_.name.c_str(), wave, channel);
}

const WaveSolution& CWaveFunction_solved::Solution(int channel, int wave, int iq) const {
  if (iq < 0 || iq >= nqmax) Fatal("pair %s: no q point %d\n", pair_.name.c_str(), iq);
  return Find(channel, wave)->solutions[iq];
}

const RadialWave& CWaveFunction_solved::Wave(int channel, int wave) const {
  return *Find(channel, wave)->radial;
}

cdouble CWaveFunction_solved::Correction(const Slot& slot, int iq, double r,
                                         const CubicWeights& shared) const {
  const WaveSolution& sol = slot.solutions[iq];
  if (sol.correction.empty() || r < 0.0) return 0.0;
  if (r <= slot.radial->MatchingRadius()) {
    // The caller's weights serve when this wave has the shared grid step and the stencil lies
    // inside its table.
    const int n = static_cast<int>(sol.correction.size()) - 1;
    if (slot.radial->Step() == shared_step_ && shared.j <= n - 3) return Apply(shared, sol.correction);
    return Cubic(sol.correction, slot.radial->Step(), r);
  }
  return outer_[slot.radial->Ell() * nqmax + iq].At(r) * (sol.e - 1.0);
}

double CWaveFunction_solved::CalcPsiSquared(int iq, double r, double ctheta) {
  double psisquared;
  CalcPsiSquaredAngles(iq, r, &ctheta, 1, &psisquared);
  return psisquared;
}

void CWaveFunction_solved::CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                                                double* psisquared) {
  // The radial corrections depend on (q, r) only: one set for every angle. One set of
  // interpolation weights for every wave on the common grid (no upper clamp here: Correction
  // checks the stencil against each wave's table).
  const CubicWeights shared = Weights(r / shared_step_, std::numeric_limits<int>::max() / 2);
  std::vector<cdouble> d(slots_.size());
  for (size_t s = 0; s < slots_.size(); s++) d[s] = Correction(slots_[s], iq, r, shared);
  const cdouble *pplus, *pminus;
  PlaneWavesPlusMinus(iq, r, ctheta, n, &pplus, &pminus);
  const double root2 = std::sqrt(2.0);
  SpinSum::Corrections nn;
  if (pair_.identical && pair_.nucleon_nucleon) {
    // 1S0, 3P0, 3P1, 3P2 into the singlet and the three triplet projections.
    nn.d0 = d[0];
    nn.d1 = 0.5 * (d[2] + d[3]);
    nn.d2 = 0.5 * (d[2] - d[3]);
    nn.d3 = (2.0 * d[3] + d[1]) / 3.0;
    nn.d4 = (d[3] - d[1]) / 3.0;
  }
  for (int i = 0; i < n; i++) {
    const double c = ctheta[i];
    if (!pair_.identical) {
      double result = 0.0;
      size_t s = 0;
      for (size_t ic = 0; ic < pair_.channels.size(); ic++) {
        const femtokit::SolvedChannel& ch = pair_.channels[ic];
        if (triplet_[ic]) {
          result += ch.weight * triplet_[ic]->PsiSquared(pplus[i], &d[s], c);
          s += ch.waves.size();
          continue;
        }
        cdouble psi = pplus[i];
        for (size_t w = 0; w < ch.waves.size(); w++, s++) {
          const int ell = ch.waves[w].ell;
          psi += (ell + 0.5) * IPow(ell) * Legendre(ell, c) * d[s];
        }
        result += ch.weight * std::norm(psi);
      }
      psisquared[i] = result;
      continue;
    }
    const cdouble S = (pplus[i] + pminus[i]) / root2;
    const cdouble A = (pplus[i] - pminus[i]) / root2;
    if (pair_.nucleon_nucleon) {
      psisquared[i] = SpinSum::PsiSquared(S, A, nn, c);
      continue;
    }
    double result = 0.0;
    size_t s = 0;
    for (const femtokit::SolvedChannel& ch : pair_.channels) {
      cdouble psi = ch.spin % 2 == 0 ? S : A;
      for (size_t w = 0; w < ch.waves.size(); w++, s++) {
        const int ell = ch.waves[w].ell;
        psi += root2 * (ell + 0.5) * IPow(ell) * Legendre(ell, c) * d[s];
      }
      result += ch.weight * std::norm(psi);
    }
    psisquared[i] = result;
  }
}

#include "source/sourcecalc_blast.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/random.h"
#include "numeric/threads.h"
#include "source/chunkedpairsums.h"
#include "source/pairseparationsum.h"

namespace {

constexpr double kSqrt2Pi = 2.5066282746310002;  // sqrt(2 pi); std::sqrt is not constexpr
constexpr double kFourPiOver3 = 4.0 * femtokit::constants::kPi / 3.0;
// Species closer in mass than this (MeV) count as identical: one list of
// points serves both particles.
constexpr double kIdenticalMassTolerance = 1.0;

// Keys read by Get_r and by CalcS.
const char* const kGetRKeys[] = {"EtaG", "R", "T", "Tau", "Beta", "DelTau", "Nsample"};
const char* const kCalcSKeys[] = {"Nsample", "Ma", "Mb", "lambda", "Pt"};

// The sample is cut into runs of this many points, each drawn from a generator of its own
// (seeded from randy, one draw per run, in order): the runs can be sampled on any thread, in
// any order, and the points do not depend on the thread count. 32 points take about 0.14 ms
// and a new generator 7 us (5 %, 2 % of a default CalcS); a default sample of 1000 points
// gives 32 runs per species to balance between the threads.
constexpr int kPointsPerStream = 32;
// Run seeds are the positive ints, 1 ... 2^31 - 1 (ranlxd treats 0 as 1).
constexpr unsigned long kSeedCount = 2147483647UL;

// One proper time from the density tau exp(-(tau - tau0)^2 / (2 deltau^2)), tau > 0, drawn
// with rng (tau0 >= 0 and deltau > 0 checked by the caller); see CSourceCalc_Blast::GetTau.
double SampleTau(CRandom& rng, double tau0, double deltau) {
  // tau g(tau) = tau0 g(tau) + (tau - tau0) g(tau), g the Gaussian around tau0:
  // P is the weight of the first term, sqrt(2 pi) deltau tau0, against the
  // deltau^2 of the second above tau0.
  const double sd = kSqrt2Pi * deltau * tau0;
  const double P = sd / (deltau * deltau + sd);
  while (true) {
    const double u = rng.ran();
    if (u < P) {
      const double tau = tau0 + deltau * rng.gauss();
      if (tau < 0.0) continue;
      if (tau >= tau0) return tau;
      // Below tau0 the first term's Gaussian exceeds the target tau g(tau) by
      // tau0 / tau: thin it.
      if (rng.ran() <= tau / tau0) return tau;
    } else {
      // (tau - tau0) exp(-(tau - tau0)^2 / (2 deltau^2)) above tau0 is a
      // Rayleigh density, inverted exactly.
      return tau0 + deltau * std::sqrt(-2.0 * std::log(rng.ran()));
    }
  }
}

// What the emission points of one particle depend on: the fireball (lengths in fm, times in
// fm/c, T in MeV) and the particle's four-momentum (E, px, 0, 0) with its derived quantities.
struct Emission {
  double etaG, R, T, tau0, deltau;
  double E, px;
  double uTmax;  // largest transverse flow four-velocity
  double gv, g;  // gamma v and gamma of the particle's velocity along x
  double eumin;  // smallest energy of the particle in any reachable fluid cell
};

// A thermal weight above 1, which makes the rejection sampling invalid.
struct WeightFailure {
  bool failed = false;
  double w = 0.0, eu = 0.0, eumin = 0.0;
};

// Fills r[begin ... end-1] with emission points drawn from rng; stops at the first thermal
// weight above 1 and returns it.
WeightFailure SamplePoints(const Emission& em, CRandom& rng, double** r, int begin, int end) {
  WeightFailure failure;
  for (int i = begin; i < end; i++) {
    double eta, x, y;
    while (true) {
      eta = em.etaG * rng.gauss();
      do {
        x = 1.0 - 2.0 * rng.ran();
        y = 1.0 - 2.0 * rng.ran();
      } while (x * x + y * y > 1.0);
      const double ux = x * em.uTmax;
      const double sh = std::sinh(eta);
      const double u0 = std::sqrt(1.0 + ux * ux + sh * sh);
      const double eu = u0 * em.E - ux * em.px;
      // Cooper-Frye factor cosh(eta) times the Boltzmann factor relative to
      // its largest value; rejection sampling needs it below 1.
      const double w = std::cosh(eta) * std::exp(-(eu - em.eumin) / em.T);
      if (w > 1.0) {
        failure = {true, w, eu, em.eumin};
        return failure;
      }
      if (rng.ran() <= w) break;
    }
    const double tau = em.deltau == 0.0 ? em.tau0 : SampleTau(rng, em.tau0, em.deltau);
    const double t = tau * std::cosh(eta);
    const double z = tau * std::sinh(eta);
    const double xt = em.R * x;
    r[i][0] = em.g * t - em.gv * xt;
    r[i][1] = em.g * xt - em.gv * t;
    r[i][2] = em.R * y;
    r[i][3] = z;
  }
  return failure;
}

// N points of four doubles each, in one block, addressed as r[i][0 ... 3].
class PointList {
 public:
  explicit PointList(int n) : data_(4 * static_cast<size_t>(n)), rows_(n) {
    for (int i = 0; i < n; i++) rows_[i] = &data_[4 * static_cast<size_t>(i)];
  }
  double** rows() { return rows_.data(); }
  const double* point(int i) const { return rows_[i]; }

 private:
  std::vector<double> data_;
  std::vector<double*> rows_;
};

// The emission of a particle of four-momentum p = (E, px, 0, 0) in the fireball of pars
// (checked by the caller).
Emission MakeEmission(const parameter_map& pars, const double* p) {
  Emission em;
  em.etaG = parameter::getD(pars, "EtaG", -999.0);
  em.R = parameter::getD(pars, "R", -999.0);
  em.T = parameter::getD(pars, "T", -999.0);
  em.tau0 = parameter::getD(pars, "Tau", -999.0);
  em.deltau = std::fabs(parameter::getD(pars, "DelTau", -999.0));
  const double beta = parameter::getD(pars, "Beta", -999.0);
  em.E = p[0];
  em.px = p[1];
  const double mass = std::sqrt(em.E * em.E - em.px * em.px);
  em.uTmax = beta / std::sqrt(1.0 - beta * beta);
  em.gv = std::fabs(em.px) / mass;
  em.g = std::sqrt(1.0 + em.gv * em.gv);
  // At rest in the fluid (eta = 0) when the flow can reach the particle's velocity, else at
  // the edge.
  em.eumin =
      (em.uTmax > em.gv) ? mass : std::sqrt(1.0 + em.uTmax * em.uTmax) * em.E - em.uTmax * em.px;
  return em;
}

// The points of one species to sample: its emission, one seed per run (drawn from randy in
// order, before any point) and where the n points go.
struct SpeciesSample {
  Emission em;
  std::vector<int> seeds;
  double** r;
  int n;
};

SpeciesSample PlanSample(const Emission& em, CRandom& randy, double** r, int n) {
  const int nruns = n > 0 ? (n + kPointsPerStream - 1) / kPointsPerStream : 0;
  std::vector<int> seeds(nruns);
  for (int k = 0; k < nruns; k++) seeds[k] = static_cast<int>(1 + randy.iran(kSeedCount));
  return {em, std::move(seeds), r, n};
}

// Samples the runs of all the species in one loop on the threads (one wait at its end, not one
// per species). A thermal weight above 1 is fatal, reported after the loop (a fatal handler may
// throw, and exceptions must not leave a parallel region): the first run's first, in species
// order, whatever the thread count.
void Sample(const std::vector<SpeciesSample>& species) {
  std::vector<std::pair<int, int>> runs;  // (species, run)
  for (size_t s = 0; s < species.size(); s++)
    for (size_t k = 0; k < species[s].seeds.size(); k++)
      runs.emplace_back(static_cast<int>(s), static_cast<int>(k));
  const int nruns = static_cast<int>(runs.size());
  std::vector<WeightFailure> failures(nruns);
  const int nthreads = femtokit::ThreadCount();
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
  for (int j = 0; j < nruns; j++) {
    const SpeciesSample& sp = species[runs[j].first];
    const int k = runs[j].second;
    CRandom rng(sp.seeds[k]);
    failures[j] = SamplePoints(sp.em, rng, sp.r, k * kPointsPerStream,
                               std::min(sp.n, (k + 1) * kPointsPerStream));
  }
  for (const WeightFailure& f : failures)
    if (f.failed)
      femtokit::Fatal("DISASTER! weight=%g which is > 1.0, eu=%g, eumin=%g\n", f.w, f.eu, f.eumin);
}

}  // namespace

CSourceCalc_Blast::CSourceCalc_Blast() : randy(nullptr) {
  InitSPars();
  randy = new CRandom(-1234);
}

CSourceCalc_Blast::~CSourceCalc_Blast() { delete randy; }

void CSourceCalc_Blast::InitSPars() {
  parameter::set(spars, "lambda", 0.5);
  parameter::set(spars, "R", 13.0);
  parameter::set(spars, "Tau", 12.0);
  parameter::set(spars, "DelTau", 3.0);
  parameter::set(spars, "Beta", 0.7);
  parameter::set(spars, "T", 110.0);
  parameter::set(spars, "Pt", 600.0);
  parameter::set(spars, "Phi", 0.0);
  parameter::set(spars, "EtaG", 1.5);
  parameter::set(spars, "Ma", femtokit::constants::kMassProtonSourceModels);
  parameter::set(spars, "Mb", femtokit::constants::kMassPionCharged);
  parameter::set(spars, "Nsample", 1000);
}

void CSourceCalc_Blast::SetSPars(double lambda, double R, double Tau, double DelTau) {
  InitSPars();
  SetSParValues({{"lambda", lambda}, {"R", R}, {"Tau", Tau}, {"DelTau", DelTau}});
}

void CSourceCalc_Blast::SetSPars(double lambda, double R, double Tau, double DelTau, double Beta,
                                 double T, double Pt, double EtaG, double Ma, double Mb) {
  InitSPars();
  SetSParValues({{"lambda", lambda},
                 {"R", R},
                 {"Tau", Tau},
                 {"Beta", Beta},
                 {"DelTau", DelTau},
                 {"T", T},
                 {"Pt", Pt},
                 {"EtaG", EtaG},
                 {"Ma", Ma},
                 {"Mb", Mb}});
}

void CSourceCalc_Blast::CheckPars(const parameter_map& pars, bool for_calcs) {
  // A missing key would otherwise read as -999 (or Nsample as 1000 in CalcS
  // but -999 in Get_r, leaving points unset): refuse it outright.
  for (const char* key : kGetRKeys)
    if (pars.count(key) == 0) femtokit::Fatal("CSourceCalc_Blast: parameter %s is missing\n", key);
  if (for_calcs)
    for (const char* key : kCalcSKeys)
      if (pars.count(key) == 0)
        femtokit::Fatal("CSourceCalc_Blast: parameter %s is missing\n", key);

  const double beta = parameter::getD(pars, "Beta", -999.0);
  // uTmax = Beta / sqrt(1 - Beta^2) is infinite or undefined at Beta >= 1;
  // a negative Beta puts the smallest fluid-frame energy at the wrong edge.
  if (!(beta >= 0.0 && beta < 1.0))
    femtokit::Fatal("CSourceCalc_Blast: Beta=%g out of range, need 0 <= Beta < 1\n", beta);
  const double T = parameter::getD(pars, "T", -999.0);
  if (!(T > 0.0) || !std::isfinite(T))
    femtokit::Fatal("CSourceCalc_Blast: temperature T=%g MeV, need T > 0\n", T);
  // The proper-time density depends on DelTau^2 only: its sign is free.
  const double tau = parameter::getD(pars, "Tau", -999.0);
  const double deltau = std::fabs(parameter::getD(pars, "DelTau", -999.0));
  if (!(tau >= 0.0 && deltau >= 0.0) || !std::isfinite(tau) || !std::isfinite(deltau))
    femtokit::Fatal("CSourceCalc_Blast: Tau=%g, |DelTau|=%g fm/c, need Tau >= 0\n", tau, deltau);
  if (!for_calcs) return;

  const double ma = parameter::getD(pars, "Ma", -999.0);
  const double mb = parameter::getD(pars, "Mb", -999.0);
  if (!(ma > 0.0 && mb > 0.0) || !std::isfinite(ma) || !std::isfinite(mb))
    femtokit::Fatal("CSourceCalc_Blast: masses Ma=%g, Mb=%g MeV, need both > 0\n", ma, mb);
  const double pt = parameter::getD(pars, "Pt", -999.0);
  if (!(pt >= 0.0) || !std::isfinite(pt))
    femtokit::Fatal("CSourceCalc_Blast: Pt=%g MeV/c, need Pt >= 0\n", pt);
  const int nsample = parameter::getI(pars, "Nsample", 1000);
  // One list serves identical species and a point is never paired with
  // itself, so a pair needs two points there; the normalisation divides by
  // N (N - 1) / 2, resp. N^2.
  const int nmin = (std::fabs(ma - mb) < kIdenticalMassTolerance) ? 2 : 1;
  if (nsample < nmin)
    femtokit::Fatal("CSourceCalc_Blast: Nsample=%d, need at least %d points per species\n", nsample,
                    nmin);
}

double CSourceCalc_Blast::GetTau(double tau0, double deltau) {
  deltau = std::fabs(deltau);
  if (!(tau0 >= 0.0 && deltau >= 0.0))
    femtokit::Fatal("CSourceCalc_Blast: Tau=%g, |DelTau|=%g fm/c, need Tau >= 0\n", tau0, deltau);
  // A zero width is the sharp limit tau = tau0 (SampleTau's P would be 0/0).
  if (deltau == 0.0) return tau0;
  return SampleTau(*randy, tau0, deltau);
}

void CSourceCalc_Blast::Get_r(double* p, double** r) {
  const parameter_map pars = spars;
  CheckPars(pars, false);
  const int nsample = parameter::getI(pars, "Nsample", -999);
  Sample({PlanSample(MakeEmission(pars, p), *randy, r, nsample)});
}

void CSourceCalc_Blast::CalcS(CCHArray* A) {
  const parameter_map pars = spars;
  CheckPars(pars, true);
  const int nsample = parameter::getI(pars, "Nsample", 1000);
  const double ma = parameter::getD(pars, "Ma", -999.0);
  const double mb = parameter::getD(pars, "Mb", -999.0);
  const double lambda = parameter::getD(pars, "lambda", -999.0);
  const double pt = parameter::getD(pars, "Pt", -999.0);

  // Momentum shared in proportion to the masses: both particles move with the
  // pair's velocity.
  const double pa = ma * pt / (ma + mb);
  const double pb = mb * pt / (ma + mb);
  double Pa[4] = {std::sqrt(ma * ma + pa * pa), pa, 0.0, 0.0};
  double Pb[4] = {std::sqrt(mb * mb + pb * pb), pb, 0.0, 0.0};
  const bool identical = std::fabs(ma - mb) < kIdenticalMassTolerance;

  A->ZeroArray();
  // The points of both species, as two calls of Get_r would draw them.
  PointList a(nsample);
  PointList b(identical ? 0 : nsample);
  std::vector<SpeciesSample> species;
  species.push_back(PlanSample(MakeEmission(pars, Pa), *randy, a.rows(), nsample));
  if (!identical) species.push_back(PlanSample(MakeEmission(pars, Pb), *randy, b.rows(), nsample));
  Sample(species);
  const PointList& bl = identical ? a : b;

  // Separations as Cartesian moments per bin, converted once to AExp
  // coefficients: the same values as the per-pair increment of the array.
  std::vector<double> bx(nsample), by(nsample), bz(nsample);
  for (int i = 0; i < nsample; i++) {
    bx[i] = bl.point(i)[1];
    by[i] = bl.point(i)[2];
    bz[i] = bl.point(i)[3];
  }
  // The first points a are cut into kChunks contiguous ranges of about equal pair counts
  // (identical species: point ia pairs with the ia points before it), summed on the threads and
  // merged in range order (ChunkedPairSums): the result is the same for any thread count above
  // one and equals the one-thread sum up to the order of the additions.
  constexpr int kChunks = 64;
  const int first = identical ? 1 : 0;
  const int nchunks = std::max(1, std::min(kChunks, nsample - first));
  std::vector<int> bounds(nchunks + 1, nsample);
  for (int k = 0; k < nchunks; k++) {
    const double f = static_cast<double>(k) / nchunks;
    bounds[k] = first + static_cast<int>((identical ? std::sqrt(f) : f) * (nsample - first));
  }
  if (sums_ && sums_->Fits(A))
    sums_->Clear();
  else
    sums_ = std::make_unique<femtokit::ChunkedPairSums>(A);
  sums_->Add(nchunks, femtokit::ThreadCount(), [&](int k, CPairSeparationSum& sum) {
    for (int ia = bounds[k]; ia < bounds[k + 1]; ia++) {
      const double* p = a.point(ia);
      // Identical species: each unordered pair once, never a point with itself.
      sum.AddPairs(p[1], p[2], p[3], bx.data(), by.data(), bz.data(), identical ? ia : nsample);
    }
  });
  sums_->Total().Store(A);

  // Density: lambda per pair over the number of pairs, per exact shell volume.
  const double n = lambda * (identical ? 2.0 / (static_cast<double>(nsample) * (nsample - 1))
                                       : 1.0 / (static_cast<double>(nsample) * nsample));
  const int nradial = A->GetNRADIAL();
  const double radstep = A->GetRADSTEP();
  for (int ir = 0; ir < nradial; ir++) {
    const double shell = kFourPiOver3 * radstep * radstep * radstep *
                         ((ir + 1.0) * (ir + 1.0) * (ir + 1.0) - 1.0 * ir * ir * ir);
    A->ScaleArray(n / shell, ir);
  }
}

#include "source/sourcecalc_oscar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "numeric/threads.h"
#include "source/chunkedpairsums.h"
#include "source/eventreader.h"
#include "source/pairseparationsum.h"
#include "source/species.h"

using femtokit::constants::kPi;

namespace {

using femtokit::EventParticle;
using femtokit::Progress;

constexpr int kPionCode = 211;
constexpr double kPionMass = femtokit::constants::kMassPionCharged;
// Default common time (fm/c) of the particle's longitudinal frame to which every point is moved.
constexpr double kCommonTime = 12.0;

// Mass of a code the species table knows, 0 for an unknown one.
double MassOfCode(int code) {
  femtokit::SpeciesInfo info;
  return femtokit::FindSpecies(code, &info) ? info.mass : 0.0;
}

// The kinematic window and the pair frame of one reading, from the parameters.
struct Selection {
  double DELPT, phimin, phimax, YMIN, YMAX;
  int IDa, IDb;
  double Ma, Mb, pa, pb, gammav, gamma, tcommon;
  bool AEQUALB;
  bool record_mass = false;  // mT from the record's mass (every layout but the legacy one)

  explicit Selection(const parameter_map& spars) {
    const double Pt = parameter::getD(spars, "Pt", 600);
    DELPT = parameter::getD(spars, "DELPT", 20);
    phimin = parameter::getD(spars, "PHIMIN_DEG", 0.0) * 2.0 * kPi / 360.0;
    phimax = parameter::getD(spars, "PHIMAX_DEG", 360.0) * 2.0 * kPi / 360.0;
    YMIN = parameter::getD(spars, "YMIN", -3.0);
    YMAX = parameter::getD(spars, "YMAX", 3.0);
    IDa = parameter::getI(spars, "IDa", kPionCode);
    IDb = parameter::getI(spars, "IDb", kPionCode);
    Ma = parameter::getD(spars, "Ma", kPionMass);
    Mb = parameter::getD(spars, "Mb", kPionMass);
    AEQUALB = parameter::getB(spars, "AEQUALB", false);
    tcommon = parameter::getD(spars, "TCOMMON", kCommonTime);
    // The pair momentum is shared in proportion to the masses, so that both particles move with
    // the pair velocity v = Pt/(Ea + Eb).
    pa = Pt * Ma / (Ma + Mb);
    pb = Pt * Mb / (Ma + Mb);
    const double v = Pt / (sqrt(Ma * Ma + pa * pa) + sqrt(Mb * Mb + pb * pb));
    gammav = v / sqrt(1.0 - v * v);
    gamma = sqrt(1.0 + gammav * gammav);
    Progress("Pt=%g, gammav=%g, gamma=%g\n", Pt, gammav, gamma);
  }

  // True when `p` is kept: `is_a` names its list, `point` receives (t, x, y, z) of the pair frame.
  bool Apply(const EventParticle& p, bool* is_a, double point[4]) const {
    const int code = p.code;
    if (code != IDa && code != IDb) return false;
    const double px = p.px * 1000.0, py = p.py * 1000.0, pz = p.pz * 1000.0;  // GeV -> MeV
    const double E = p.E * 1000.0;
    const double pt = sqrt(px * px + py * py);
    const double pcentre = (code == IDa) ? pa : pb;
    if (!(fabs(pt - pcentre) < DELPT)) return false;
    double phi = atan2(px, py);
    if (phi < 0.0) phi += 2.0 * kPi;
    if (!(phi > phimin && phi < phimax)) return false;
    const double rap = atanh(pz / E);
    if (!(rap > YMIN && rap < YMAX)) return false;
    // A particle without transverse momentum has no out direction (only reachable with a pt
    // window reaching down to 0): it is not kept.
    if (!(pt > 0.0)) return false;

    const double mass = record_mass && p.mass > 0.0 ? p.mass * 1000.0 : (code == IDa) ? Ma : Mb;
    const double mt = sqrt(pt * pt + mass * mass);
    double rout = (px * p.x + py * p.y) / pt;
    const double rside = (px * p.y - py * p.x) / pt;
    // Longitudinal boost to the particle's own rapidity frame.
    const double ch = cosh(rap), sh = sinh(rap);
    const double zprime = ch * p.z - sh * p.t;
    const double tprime = ch * p.t - sh * p.z;
    // Free streaming along the transverse velocity pt/mT to the common time.
    rout -= (pt / mt) * (tprime - tcommon);
    *is_a = code == IDa || AEQUALB;
    // Boost along out with the pair velocity.
    point[0] = tcommon * gamma - gammav * rout;
    point[1] = gamma * rout - tcommon * gammav;
    point[2] = rside;
    point[3] = zprime;
    return true;
  }
};

// Reads the event file named by the parameters: keep(is_a, point) for every kept particle,
// end_event() after each event. Returns the number of events read (at most NEVENTSMAX, at least
// the first).
template <class Keep, class EndEvent>
int ReadEvents(const parameter_map& spars, Selection& selection, Keep keep, EndEvent end_event) {
  const int NEVENTSMAX = parameter::getI(spars, "NEVENTSMAX", 100);
  const std::string filename = parameter::getS(spars, "OSCARfilename", "UNDEFINED");
  const std::string format = parameter::getS(spars, "EVENTFORMAT", "auto");
  Progress("Opening %s\n", filename.c_str());
  std::unique_ptr<femtokit::CEventReader> reader = femtokit::OpenEventFile(filename, format);
  const std::string name = reader->Name();
  selection.record_mass = name != "legacy";
  if (selection.record_mass) Progress("event file format: %s\n", name.c_str());
  std::vector<EventParticle> particles;
  int nevents = 0;
  while (reader->NextEvent(&particles)) {
    ++nevents;
    for (const EventParticle& p : particles) {
      bool is_a;
      double point[4];
      if (selection.Apply(p, &is_a, point)) keep(is_a, point);
    }
    end_event();
    if (nevents >= NEVENTSMAX) break;
  }
  return nevents;
}

// Cap on each list from NMAX (a list holds at most NMAX - 1); none when NMAX is absent or <= 0.
size_t ListCap(const parameter_map& spars) {
  const int nmax = parameter::getI(spars, "NMAX", 0);
  return nmax > 0 ? static_cast<size_t>(nmax - 1) : static_cast<size_t>(-1);
}

}  // namespace

void OSCARPairTotals::Add(const OSCARPairTotals& o) {
  npairs += o.npairs;
  sumx += o.sumx;
  sumy += o.sumy;
  sumz += o.sumz;
  sumxx += o.sumxx;
  sumyy += o.sumyy;
  sumzz += o.sumzz;
}

// ------------------------------------------------------------------------- CSourceCalc_OSCAR

CSourceCalc_OSCAR::CSourceCalc_OSCAR() { InitSPars(); }

void CSourceCalc_OSCAR::InitSPars() {
  parameter::set(spars, "Pt", 600);
  parameter::set(spars, "DELPT", 20);
  parameter::set(spars, "PHIMIN_DEG", 0);
  parameter::set(spars, "PHIMAX_DEG", 360.0);
  parameter::set(spars, "YMIN", -3.0);
  parameter::set(spars, "YMAX", 3.0);
  parameter::set(spars, "IDa", kPionCode);
  parameter::set(spars, "IDb", kPionCode);
  parameter::set(spars, "Ma", kPionMass);
  parameter::set(spars, "Mb", kPionMass);
  parameter::set(spars, "AEQUALB", 0);
  parameter::set(spars, "NMAX", 20000);
  parameter::set(spars, "OSCARfilename", "UNDEFINED");
  parameter::set(spars, "NEVENTSMAX", 10000);
}

void CSourceCalc_OSCAR::SetSPars(double Pt, double DELPT, double PHIMIN_DEG, double PHIMAX_DEG,
                                 double YMIN, double YMAX) {
  SetSParValues({{"Pt", Pt},
                 {"DELPT", DELPT},
                 {"PHIMIN_DEG", PHIMIN_DEG},
                 {"PHIMAX_DEG", PHIMAX_DEG},
                 {"YMIN", YMIN},
                 {"YMAX", YMAX}});
}

void CSourceCalc_OSCAR::SetIDs(int IDa, int IDb) {
  parameter::set(spars, "IDa", IDa);
  parameter::set(spars, "IDb", IDb);
  const double Ma = MassOfCode(IDa);
  if (Ma == 0.0) femtokit::Fatal("%d for IDa not recognized\n", IDa);
  parameter::set(spars, "Ma", Ma);
  const double Mb = MassOfCode(IDb);
  if (Mb == 0.0) femtokit::Fatal("%d for IDb not recognized\n", IDb);
  parameter::set(spars, "Mb", Mb);
  if (IDa == IDb) parameter::set(spars, "AEQUALB", 1);
}

void CSourceCalc_OSCAR::ReadR(double** ra, double** rb, int& na, int& nb) {
  na = nb = 0;
  Selection selection(spars);
  const int NMAX = parameter::getI(spars, "NMAX", 10000);
  auto keep = [&](bool is_a, const double* point) {
    double* slot;
    if (is_a) {
      if (na >= NMAX - 1) femtokit::Fatal("Too many type-a particles, increase NMAX\n");
      slot = ra[na++];
    } else {
      if (nb >= NMAX - 1) femtokit::Fatal("Too many type-b particles, increase NMAX\n");
      slot = rb[nb++];
    }
    for (int k = 0; k < 4; ++k) slot[k] = point[k];
  };
  const int nevents = ReadEvents(spars, selection, keep, [] {});
  if (selection.AEQUALB) nb = na;
  Progress("OSCAR file read: %d events, na=%d, nb=%d\n", nevents, na, nb);
}

// The kept points of a reading (x, y, z of the pair frame) in growing lists, and where each
// event's points end.
struct CSourceCalc_OSCAR::Kept {
  std::vector<double> xa, ya, za, xb, yb, zb;
  std::vector<size_t> enda, endb;  // enda[e]: end of event e's points in list a
  bool identical = false;
};

void CSourceCalc_OSCAR::ReadKept(Kept* kept) {
  Selection selection(spars);
  const size_t cap = ListCap(spars);
  kept->identical = selection.AEQUALB;
  auto keep = [&](bool is_a, const double* point) {
    std::vector<double>& x = is_a ? kept->xa : kept->xb;
    if (x.size() >= cap)
      femtokit::Fatal("Too many type-%s particles, increase NMAX\n", is_a ? "a" : "b");
    try {
      x.push_back(point[1]);
      (is_a ? kept->ya : kept->yb).push_back(point[2]);
      (is_a ? kept->za : kept->zb).push_back(point[3]);
    } catch (const std::bad_alloc&) {
      femtokit::Fatal("CSourceCalc_OSCAR: no memory for %zu kept particles (%zu MB)\n",
                      x.size() + 1, 2 * 3 * sizeof(double) * (x.size() + 1) >> 20);
    }
  };
  auto end_event = [&] {
    kept->enda.push_back(kept->xa.size());
    kept->endb.push_back(kept->xb.size());
  };
  const int nevents = ReadEvents(spars, selection, keep, end_event);
  const size_t na = kept->xa.size(), nb = selection.AEQUALB ? na : kept->xb.size();
  Progress("OSCAR file read: %d events, na=%zu, nb=%zu\n", nevents, na, nb);
  kept_a_ = na;
  kept_b_ = nb;
}

namespace {

// The pair work of a reading as a list of items (outer particles, or events) with their pair
// counts, each added to a pair sum on its own.
class PairWork {
 public:
  PairWork(const std::vector<double>* a, const std::vector<double>* b,
           const std::vector<size_t>* enda, const std::vector<size_t>* endb, bool identical,
           bool same_event)
      : a_(a), b_(b), enda_(enda), endb_(endb), identical_(identical), same_event_(same_event) {}

  size_t Items() const { return same_event_ ? enda_->size() : a_[0].size(); }

  // Pairs of item i.
  double Weight(size_t i) const {
    if (!same_event_) return identical_ ? double(i) : double(b_[0].size());
    const double na = double(EndA(i) - BeginA(i));
    return identical_ ? 0.5 * na * (na - 1.0) : na * double(EndB(i) - BeginB(i));
  }

  void Add(CPairSeparationSum* sum, size_t i) const {
    const double *xa = a_[0].data(), *ya = a_[1].data(), *za = a_[2].data();
    const double *xb = b_[0].data(), *yb = b_[1].data(), *zb = b_[2].data();
    if (!same_event_) {
      if (identical_)
        sum->AddPairs(xa[i], ya[i], za[i], xa, ya, za, static_cast<int>(i));
      else
        sum->AddPairs(xa[i], ya[i], za[i], xb, yb, zb, static_cast<int>(b_[0].size()));
      return;
    }
    const size_t a0 = BeginA(i), a1 = EndA(i);
    for (size_t ia = a0; ia < a1; ++ia) {
      if (identical_)
        sum->AddPairs(xa[ia], ya[ia], za[ia], xa + a0, ya + a0, za + a0, static_cast<int>(ia - a0));
      else
        sum->AddPairs(xa[ia], ya[ia], za[ia], xb + BeginB(i), yb + BeginB(i), zb + BeginB(i),
                      static_cast<int>(EndB(i) - BeginB(i)));
    }
  }

  // Boundaries splitting items [begin, end) into n contiguous ranges of about equal pair counts.
  std::vector<size_t> Split(size_t begin, size_t end, int n) const {
    double total = 0.0;
    for (size_t i = begin; i < end; ++i) total += Weight(i);
    std::vector<size_t> bounds(1, begin);
    double cumulative = 0.0;
    size_t i = begin;
    for (int k = 1; k < n; ++k) {
      const double target = total * k / n;
      while (i < end && cumulative + 0.5 * Weight(i) < target) cumulative += Weight(i++);
      bounds.push_back(i);
    }
    bounds.push_back(end);
    return bounds;
  }

 private:
  size_t BeginA(size_t e) const { return e == 0 ? 0 : (*enda_)[e - 1]; }
  size_t EndA(size_t e) const { return (*enda_)[e]; }
  size_t BeginB(size_t e) const { return e == 0 ? 0 : (*endb_)[e - 1]; }
  size_t EndB(size_t e) const { return (*endb_)[e]; }

  const std::vector<double>* a_;  // x, y, z lists
  const std::vector<double>* b_;
  const std::vector<size_t>*enda_, *endb_;
  bool identical_, same_event_;
};

}  // namespace

void CSourceCalc_OSCAR::AccumulateS(CCHArray* A, OSCARPairTotals* totals, int part, int nparts) {
  const std::string pairing = parameter::getS(spars, "PAIRING", "all");
  if (pairing != "all" && pairing != "event")
    femtokit::Fatal("CSourceCalc_OSCAR: PAIRING \"%s\" is neither \"all\" nor \"event\"\n",
                    pairing.c_str());
  if (nparts < 1 || part < 0 || part >= nparts)
    femtokit::Fatal("CSourceCalc_OSCAR: share %d of %d does not exist\n", part, nparts);
  // Equal codes are one species, whatever AEQUALB says.
  if (parameter::getI(spars, "IDa", kPionCode) == parameter::getI(spars, "IDb", kPionCode))
    parameter::set(spars, "AEQUALB", 1);
  A->ZeroArray();
  *totals = OSCARPairTotals();
  Kept kept;
  ReadKept(&kept);
  const std::vector<double> a[3] = {std::move(kept.xa), std::move(kept.ya), std::move(kept.za)};
  const std::vector<double> b[3] = {std::move(kept.xb), std::move(kept.yb), std::move(kept.zb)};
  const PairWork work(a, kept.identical ? a : b, &kept.enda, &kept.endb, kept.identical,
                      pairing == "event");

  // This share's items, in ten steps of kChunks chunks of about equal pair counts (a progress
  // line after each step). On several threads the chunks are handed out as threads come free (a
  // thread slowed by other work takes fewer) and merged in chunk order: the result does not
  // depend on the thread count or on which thread ran which chunk. One thread sums the items in
  // order into one sum.
  const std::vector<size_t> shares = work.Split(0, work.Items(), nparts);
  const size_t begin = shares[part], end = shares[part + 1];
  // Threads only for work worth waking them (a loaded machine makes every fork-join cost
  // milliseconds): about kPairsPerThread pairs each at least.
  constexpr double kPairsPerThread = 50000.0;
  constexpr int kChunks = 16;
  constexpr int kSteps = 10;
  double share_pairs = 0.0;
  for (size_t i = begin; i < end; ++i) share_pairs += work.Weight(i);
  const int nthreads = static_cast<int>(
      std::max(1.0, std::min<double>(femtokit::ThreadCount(), share_pairs / kPairsPerThread)));
  // Chunk boundaries, step by step; the steps end where the ten progress lines fall.
  const size_t progressstep = (end - begin) / kSteps;
  std::vector<size_t> bounds(1, begin);
  std::vector<size_t> step_ends;  // index in bounds where each step ends
  for (size_t c0 = begin; c0 < end;) {
    const size_t c1 = progressstep > 0 ? std::min(end, c0 + progressstep) : end;
    const std::vector<size_t> step =
        nthreads > 1 ? work.Split(c0, c1, kChunks) : std::vector<size_t>{c0, c1};
    bounds.insert(bounds.end(), step.begin() + 1, step.end());
    step_ends.push_back(bounds.size() - 1);
    c0 = c1;
  }
  femtokit::ChunkedPairSums sums(A);
  const int nchunks = static_cast<int>(bounds.size()) - 1;
  size_t step = 0;
  sums.Add(
      nchunks, nthreads,
      [&](int k, CPairSeparationSum& sum) {
        for (size_t i = bounds[k]; i < bounds[k + 1]; ++i) work.Add(&sum, i);
      },
      [&](int k) {
        if (static_cast<size_t>(k) + 1 != step_ends[step]) return;
        const size_t done = bounds[k + 1] - begin;
        ++step;
        if (progressstep > 0 && done % progressstep == 0)
          Progress("finished %g percent\n", 100.0 * done / (10.0 * progressstep));
      });
  CPairSeparationSum& sum = sums.Total();
  sum.Store(A);
  totals->npairs = static_cast<double>(sum.npairs);
  totals->sumx = sum.sumx;
  totals->sumy = sum.sumy;
  totals->sumz = sum.sumz;
  totals->sumxx = sum.sumxx;
  totals->sumyy = sum.sumyy;
  totals->sumzz = sum.sumzz;
}

void CSourceCalc_OSCAR::NormaliseS(CCHArray* A, const OSCARPairTotals& totals) {
  if (!(totals.npairs > 0.0)) return;
  const double norm = 1.0 / totals.npairs;
  const double xbar = norm * totals.sumx, ybar = norm * totals.sumy, zbar = norm * totals.sumz;
  Progress("xbar=%g, ybar=%g, zbar=%g\n", xbar, ybar, zbar);
  // The variance is never negative; max() keeps rounding from turning 0 into NaN.
  const double Rout = sqrt(fmax(0.0, 0.5 * (norm * totals.sumxx - xbar * xbar)));
  const double Rside = sqrt(fmax(0.0, 0.5 * (norm * totals.sumyy - ybar * ybar)));
  const double Rlong = sqrt(fmax(0.0, 0.5 * (norm * totals.sumzz - zbar * zbar)));
  Progress("Effective radii: Rout=%g, Rside=%g, Rlong=%g\n", Rout, Rside, Rlong);

  const double dr = A->GetRADSTEP();
  for (int ir = 0; ir < A->GetNRADIAL(); ++ir) {
    const double shell = (4.0 * kPi / 3.0) * dr * dr * dr *
                         (double(ir + 1) * (ir + 1) * (ir + 1) - double(ir) * ir * ir);
    A->ScaleArray(norm / shell, ir);
  }
}

void CSourceCalc_OSCAR::CalcS(CCHArray* A) {
  Progress("delr=%g, nrmax=%d\n", A->GetRADSTEP(), A->GetNRADIAL());
  OSCARPairTotals totals;
  AccumulateS(A, &totals);
  if (!(totals.npairs > 0.0)) {
    Progress("CSourceCalc_OSCAR: no pairs (na=%zu, nb=%zu), source left zero\n", kept_a_, kept_b_);
    return;
  }
  NormaliseS(A, totals);
}

// ------------------------------------------------------------------------- CSourceCalc_Events

CSourceCalc_Events::CSourceCalc_Events() {
  spars.erase("NMAX");
  parameter::set(spars, "EVENTFORMAT", "auto");
  parameter::set(spars, "PAIRING", "all");
  parameter::set(spars, "TCOMMON", kCommonTime);
}

// ------------------------------------------------------------------------- partial results

std::vector<double> FlattenArray(const CCHArray& A) {
  std::vector<double> values;
  const int lmax = A.GetLMAX();
  for (int ir = 0; ir < A.GetNRADIAL(); ++ir)
    for (int lx = 0; lx <= lmax; lx += A.dlx)
      for (int ly = 0; ly <= lmax - lx; ly += A.dly)
        for (int lz = 0; lz <= lmax - lx - ly; lz += A.dlz)
          values.push_back(A.GetElement(lx, ly, lz, ir));
  return values;
}

void AddFlattened(const std::vector<double>& values, CCHArray* A) {
  if (values.size() != FlattenArray(*A).size())
    femtokit::Fatal("AddFlattened: %zu values for an array of %zu\n", values.size(),
                    FlattenArray(*A).size());
  size_t k = 0;
  const int lmax = A->GetLMAX();
  for (int ir = 0; ir < A->GetNRADIAL(); ++ir)
    for (int lx = 0; lx <= lmax; lx += A->dlx)
      for (int ly = 0; ly <= lmax - lx; ly += A->dly)
        for (int lz = 0; lz <= lmax - lx - ly; lz += A->dlz)
          A->IncrementElement(lx, ly, lz, ir, values[k++]);
}

namespace {
constexpr char kPartialTitle[] = "femtokit pair-separation partial sums 1";
}

bool WriteOSCARPartial(const std::string& filename, const CCHArray& A, const OSCARPairTotals& t) {
  FILE* f = fopen(filename.c_str(), "w");
  if (f == nullptr) return false;
  fprintf(f, "%s\n", kPartialTitle);
  fprintf(f, "array %d %d %.17g %d %d %d\n", A.GetLMAX(), A.GetNRADIAL(), A.GetRADSTEP(),
          A.GetXSYM() ? 1 : 0, A.GetYSYM() ? 1 : 0, A.GetZSYM() ? 1 : 0);
  fprintf(f, "totals %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", t.npairs, t.sumx, t.sumy, t.sumz,
          t.sumxx, t.sumyy, t.sumzz);
  const std::vector<double> values = FlattenArray(A);
  fprintf(f, "values %zu\n", values.size());
  for (double v : values) fprintf(f, "%.17g\n", v);
  const bool ok = !ferror(f);
  return fclose(f) == 0 && ok;
}

std::unique_ptr<CCHArray> ReadOSCARPartial(const std::string& filename, OSCARPairTotals* t) {
  std::ifstream in(filename);
  if (!in) femtokit::Fatal("Cannot open partial sums file %s\n", filename.c_str());
  std::string line, word;
  int lineno = 0;
  auto next = [&](const char* what) -> std::istringstream {
    ++lineno;
    if (!std::getline(in, line))
      femtokit::Fatal("partial sums file %s, line %d: the file ends where %s was expected\n",
                      filename.c_str(), lineno, what);
    return std::istringstream(line);
  };
  auto bad = [&](const char* what) {
    femtokit::Fatal("partial sums file %s, line %d: %s expected, found \"%s\"\n", filename.c_str(),
                    lineno, what, line.c_str());
  };
  if (next("the title").str() != kPartialTitle) bad(kPartialTitle);
  int lmax, nradial, xs, ys, zs;
  double radstep;
  std::istringstream s = next("the array line");
  if (!(s >> word >> lmax >> nradial >> radstep >> xs >> ys >> zs) || word != "array" || lmax < 0 ||
      nradial < 1 || !(radstep > 0.0))
    bad("\"array LMAX NRADIAL RADSTEP XSYM YSYM ZSYM\"");
  s = next("the totals line");
  if (!(s >> word >> t->npairs >> t->sumx >> t->sumy >> t->sumz >> t->sumxx >> t->sumyy >>
        t->sumzz) ||
      word != "totals")
    bad("\"totals npairs sumx sumy sumz sumxx sumyy sumzz\"");
  auto A = std::make_unique<CCHArray>(lmax, nradial, radstep, xs != 0, ys != 0, zs != 0);
  std::vector<double> values = FlattenArray(*A);
  size_t n = 0;
  s = next("the values line");
  if (!(s >> word >> n) || word != "values" || n != values.size())
    bad("\"values N\" for this array");
  for (double& v : values) {
    s = next("a value");
    if (!(s >> v) || !std::isfinite(v)) bad("a finite value");
  }
  A->ZeroArray();
  AddFlattened(values, A.get());
  return A;
}

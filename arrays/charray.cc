// Cartesian-harmonic array: storage, element access, whole-array operations, evaluation and
// sample increments (see charray.h for the conventions).

#include "arrays/charray.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "numeric/checked_io.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

CCHCalc* CCHArray::chcalc = nullptr;
CRandom* CCHArray::randy = nullptr;

namespace {

constexpr int kMaxPow = 57;  // LMAXFACT + 1: every power table below has this many entries

// pw[n] = x^n, n = 0 ... lmax (x^0 = 1 also for x = 0).
inline void FillPowers(double x, int lmax, double* pw) {
  pw[0] = 1.0;
  for (int n = 1; n <= lmax; ++n) pw[n] = pw[n - 1] * x;
}

// The independent components (lx in {0, 1}) need the monomials ex^px ey^py ez^pz with px in
// {0, 1} and px + py + pz <= lmax; they sit in one table at this index.
inline int MonomialIndex(int lmax, int px, int py, int pz) {
  return (px * (lmax + 1) + py) * (lmax + 1) + pz;
}

// Fills the monomial table for e, each entry one multiplication from the power tables.
inline void FillMonomials(double ex, double ey, double ez, int lmax, double* mono) {
  double py[kMaxPow], pz[kMaxPow];
  FillPowers(ey, lmax, py);
  FillPowers(ez, lmax, pz);
  for (int px = 0; px <= 1 && px <= lmax; ++px) {
    const double fx = px == 0 ? 1.0 : ex;
    for (int iy = 0; iy <= lmax - px; ++iy) {
      const double fxy = fx * py[iy];
      double* row = mono + MonomialIndex(lmax, px, iy, 0);
      for (int iz = 0; iz <= lmax - px - iy; ++iz) row[iz] = fxy * pz[iz];
    }
  }
}

}  // namespace

// What the hot paths need, computed once per (LMAX, steps, storage):
//  - the sample increment of IncrementAExpArrayFromE as, per independent component (lx in
//    {0, 1}), a list of terms coef * ex^px ey^py ez^pz whose sum is (2L+1)!!/L! A_l(e): the
//    closed form of CCHCalc::GetAFromE with its factorial ratios folded into coef;
//  - the trace fill of FillRemainderX as (target, source, source) component triples;
//  - every stored component with its trinomial, for AExpand and the M-array increment.
struct CCHArray::IncrementPlan {
  struct Term {
    double coef;
    int mono;  // index of ex^px ey^py ez^pz in the monomial table (MonomialIndex)
  };
  struct Component {
    double* base;  // A[lx][ly][lz]
    int first_term, end_term;
  };
  struct Fill {
    double* target;
    const double* a;
    const double* b;
  };
  struct Stored {
    double* base;
    double trinomial;
    int lx, ly, lz;
  };

  int lmax, dlx, dly, dlz;
  double**** A;
  std::vector<Term> terms;
  std::vector<Component> independent;
  std::vector<Fill> fills;
  std::vector<Stored> stored;
  // Scratch monomial table of the sample increment (which writes the array: one thread at a time).
  mutable std::vector<double> mono;
};

// ---------------------------------------------------------------- construction

CCHArray::CCHArray(int LMAXset, int NRADIALset, double RADSTEPset, bool XSYMset, bool YSYMset,
                   bool ZSYMset) {
  Init(LMAXset, NRADIALset, RADSTEPset, XSYMset, YSYMset, ZSYMset);
}

CCHArray::CCHArray(int LMAXset, int NRADIALset, double RADSTEPset) {
  Init(LMAXset, NRADIALset, RADSTEPset, false, false, false);
}

void CCHArray::Init(int lmax, int nradial, double radstep, bool xsym, bool ysym, bool zsym) {
  EnsureSharedCalc();
  // Ranks above the tables would read factorials past their ends; negative sizes cannot be
  // allocated.
  if (lmax < 0 || lmax > CCHCalc::LMAXFACT || nradial < 0) {
    femtokit::Fatal("CCHArray: LMAX=%d, NRADIAL=%d out of range (0 <= LMAX <= %d, NRADIAL >= 0)\n",
                    lmax, nradial, CCHCalc::LMAXFACT);
  }
  // A bin width that is not a positive finite length maps no radius to a bin.
  femtokit::CheckPositive(radstep, "RADSTEP", "CCHArray");
  femtokit::CheckTableSize(double(lmax + 1) * (lmax + 2) / 2 * nradial, "the array", "CCHArray");
  LMAX = lmax;
  NRADIAL = nradial;
  RADSTEP = radstep;
  XSYM = xsym;
  YSYM = ysym;
  ZSYM = zsym;
  dlx = XSYM ? 2 : 1;
  dly = YSYM ? 2 : 1;
  dlz = ZSYM ? 2 : 1;
  A = nullptr;
  CreateArray();
}

CCHArray::~CCHArray() {
  DeleteArray();
  DropPlan();
}

void CCHArray::CreateArray() {
  DeleteArray();
  DropPlan();
  int ncomp = 0;
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) ++ncomp;
  storage_ = new double[static_cast<size_t>(ncomp) * NRADIAL]();
  lmax_alloc_ = LMAX;
  // Every slot of a level exists (null where the steps skip it), as the readers expect.
  level0_.assign(LMAX + 1, nullptr);
  level1_.assign(static_cast<size_t>(LMAX + 1) * (LMAX + 2) / 2, nullptr);
  level2_.assign(static_cast<size_t>(LMAX + 1) * (LMAX + 2) * (LMAX + 3) / 6, nullptr);
  A = level0_.data();
  double*** row1 = level1_.data();
  double** row2 = level2_.data();
  double* next = storage_;
  for (int lx = 0; lx <= LMAX; ++lx) {
    const bool xstored = lx % dlx == 0;
    if (xstored) A[lx] = row1;
    for (int ly = 0; ly <= LMAX - lx; ++ly) {
      const bool ystored = xstored && ly % dly == 0;
      if (ystored) A[lx][ly] = row2;
      for (int lz = 0; lz <= LMAX - lx - ly; ++lz)
        if (ystored && lz % dlz == 0) {
          A[lx][ly][lz] = next;
          next += NRADIAL;
        }
      row2 += LMAX - lx - ly + 1;
    }
    row1 += LMAX - lx + 1;
  }
}

void CCHArray::DeleteArray() {
  A = nullptr;
  level0_.clear();
  level1_.clear();
  level2_.clear();
  delete[] storage_;
  storage_ = nullptr;
}

void CCHArray::SetLMAX(int lmax) {
  if (lmax < LMAX) {
    LMAX = lmax;
    DropPlan();
  }
}

void CCHArray::SetRADSTEP(double radstep) { RADSTEP = radstep; }

int CCHArray::GetIR(double r) const {
  // The bin number itself (also outside the array, for the messages); clamped only to what
  // an int holds, and NaN counts as -1.
  const double x = std::floor(r / RADSTEP);
  if (std::isnan(x)) return -1;
  if (x >= INT_MAX) return INT_MAX;
  if (x <= INT_MIN) return INT_MIN;
  return static_cast<int>(x);
}

// ---------------------------------------------------------------- bad-index messages

double CCHArray::WarnGet(int lx, int ly, int lz, int ir) const {
  femtokit::Warn("WARNING: Tried to get non-existent element in CCHArray\n");
  femtokit::Warn("LMAX=%d, XSYM=%d, YSYM=%d, ZSYM=%d, ir=%d\n", LMAX, int(XSYM), int(YSYM), int(ZSYM), ir);
  femtokit::Warn("l=(%d,%d,%d), ir=%d\n", lx, ly, lz, ir);
  return 0.0;
}

void CCHArray::FatalSet(int lx, int ly, int lz, int ir) const {
  femtokit::Warn("Tried to set element out of bounds in CCHArray\n");
  femtokit::Warn("LMAX=%d, XSYM=%d, YSYM=%d, ZSYM=%d, ir=%d\n", LMAX, int(XSYM), int(YSYM), int(ZSYM), ir);
  femtokit::Fatal("l=(%d,%d,%d), ir=%d\n", lx, ly, lz, ir);
}

void CCHArray::FatalIncrement(int lx, int ly, int lz, int ir) const {
  femtokit::Warn("OUT OF BOUNDS IN INCREMENTELEMENT\n");
  femtokit::Fatal("ell=(%d,%d,%d), ir=%d\n", lx, ly, lz, ir);
}

// Whole-bin writes at a bin outside the array would write past the storage.
void CCHArray::FatalBin(int ir) const {
  femtokit::Fatal("CCHArray: bin ir=%d out of range (NRADIAL=%d)\n", ir, NRADIAL);
}

// ---------------------------------------------------------------- whole-array operations

void CCHArray::ScaleArray(double factor) {
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        for (int ir = 0; ir < NRADIAL; ++ir) A[lx][ly][lz][ir] *= factor;
}

void CCHArray::ScaleArray(double factor, int ir) {
  CheckBin(ir);
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) A[lx][ly][lz][ir] *= factor;
}

void CCHArray::ZeroArray() {
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        for (int ir = 0; ir < NRADIAL; ++ir) A[lx][ly][lz][ir] = 0.0;
}

void CCHArray::ZeroArray(int ir) {
  CheckBin(ir);
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) A[lx][ly][lz][ir] = 0.0;
}

void CCHArray::ZeroArray(int lx, int ly, int lz) {
  // A triple that is not stored has no vector to zero: treat it as a bad index.
  if (NRADIAL > 0 && !IsStored(lx, ly, lz, 0)) FatalSet(lx, ly, lz, 0);
  for (int ir = 0; ir < NRADIAL; ++ir) A[lx][ly][lz][ir] = 0.0;
}

void CCHArray::ZeroArray_Partial(int /*lmax*/) { ZeroArray(); }

void CCHArray::ZeroArray_Partial(int /*lmax*/, int ir) { ZeroArray(ir); }

double CCHArray::GetBiggest(int ir) const {
  if (ir < 0 || ir >= NRADIAL) return WarnGet(0, 0, 0, ir);
  double biggest = 0.0;
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) {
        const double a = std::fabs(A[lx][ly][lz][ir]);
        if (a > biggest) biggest = a;
      }
  return biggest;
}

// ---------------------------------------------------------------- precomputed plan

void CCHArray::EnsureSharedCalc() {
  // Arrays are made in threaded loops: the lock only until the shared object exists.
  if (__atomic_load_n(&chcalc, __ATOMIC_ACQUIRE) != nullptr) return;
  static std::mutex mutex;
  const std::lock_guard<std::mutex> lock(mutex);
  if (chcalc == nullptr) __atomic_store_n(&chcalc, new CCHCalc(), __ATOMIC_RELEASE);
}

void CCHArray::DropPlan() {
  // Most arrays never build a plan (and a new one has none): no lock for them.
  if (__atomic_load_n(&plan_, __ATOMIC_ACQUIRE) == nullptr) return;
  const std::lock_guard<std::mutex> lock(plan_mutex_);
  delete plan_;
  __atomic_store_n(&plan_, static_cast<IncrementPlan*>(nullptr), __ATOMIC_RELEASE);
}

const CCHArray::IncrementPlan& CCHArray::Plan() const {
  const auto current = [this]() {
    const IncrementPlan* p = __atomic_load_n(&plan_, __ATOMIC_ACQUIRE);
    return p != nullptr && p->lmax == LMAX && p->dlx == dlx && p->dly == dly && p->dlz == dlz &&
                   p->A == A
               ? p
               : nullptr;
  };
  if (const IncrementPlan* p = current()) return *p;
  const std::lock_guard<std::mutex> lock(plan_mutex_);
  if (const IncrementPlan* p = current()) return *p;  // built by another thread meanwhile
  delete plan_;
  auto fresh = std::make_unique<IncrementPlan>();
  IncrementPlan& p = *fresh;
  p.lmax = LMAX;
  p.dlx = dlx;
  p.dly = dly;
  p.dlz = dlz;
  p.A = A;
  CCHCalc::InitStaticData();  // no-op unless someone cleared the tables explicitly
  const double* fact = CCHCalc::fact;
  const double* dfact = CCHCalc::doublefact;

  // Independent components: (2L+1)!!/L! A_l(e) with A_l(e) from the closed form
  //   [lx! ly! lz!/(2L-1)!!] sum (-1/2)^n (2(L-n)-1)!! e^(l-2n) / prod_i n_i! (l_i-2n_i)!.
  for (int lx = 0; lx <= 1 && lx <= LMAX; lx += dlx) {
    for (int ly = 0; ly <= LMAX - lx; ly += dly) {
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) {
        const int L = lx + ly + lz;
        IncrementPlan::Component c;
        c.base = A[lx][ly][lz];
        c.first_term = static_cast<int>(p.terms.size());
        const double scale = dfact[2 * L + 1] / fact[L];
        if (L == 0) {
          p.terms.push_back({scale, MonomialIndex(LMAX, 0, 0, 0)});
        } else {
          const double pref = scale * fact[lx] * fact[ly] * fact[lz] / dfact[2 * L - 1];
          for (int nx = 0; 2 * nx <= lx; ++nx)
            for (int ny = 0; 2 * ny <= ly; ++ny)
              for (int nz = 0; 2 * nz <= lz; ++nz) {
                const int n = nx + ny + nz;
                const double denom = fact[nx] * fact[lx - 2 * nx] * fact[ny] * fact[ly - 2 * ny] *
                                     fact[nz] * fact[lz - 2 * nz];
                const double coef = pref * std::pow(-0.5, n) * dfact[2 * (L - n) - 1] / denom;
                p.terms.push_back(
                    {coef, MonomialIndex(LMAX, lx - 2 * nx, ly - 2 * ny, lz - 2 * nz)});
              }
        }
        c.end_term = static_cast<int>(p.terms.size());
        p.independent.push_back(c);
      }
    }
  }

  p.mono.assign(static_cast<size_t>(MonomialIndex(LMAX, 2, 0, 0)), 0.0);

  // Trace fill along x, in the order FillRemainderX visits the targets.
  for (int lx = 2; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        p.fills.push_back({A[lx][ly][lz], A[lx - 2][ly + 2][lz], A[lx - 2][ly][lz + 2]});

  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) {
        const double trinomial =
            CCHCalc::binomial[lx + ly + lz][lx] * CCHCalc::binomial[ly + lz][ly];
        p.stored.push_back({A[lx][ly][lz], trinomial, lx, ly, lz});
      }
  __atomic_store_n(&plan_, fresh.release(), __ATOMIC_RELEASE);
  return p;
}

// ---------------------------------------------------------------- trace fill

void CCHArray::FillRemainderXBin(const IncrementPlan& plan, int ir) {
  for (const IncrementPlan::Fill& f : plan.fills) f.target[ir] = -f.a[ir] - f.b[ir];
}

void CCHArray::FillRemainderX(int ir) {
  CheckBin(ir);
  FillRemainderXBin(Plan(), ir);
}

void CCHArray::FillRemainderX() {
  const IncrementPlan& plan = Plan();
  for (int ir = 0; ir < NRADIAL; ++ir) FillRemainderXBin(plan, ir);
}

void CCHArray::FillRemainderY(int ir) {
  CheckBin(ir);
  for (int ly = 2; ly <= LMAX; ly += dly)
    for (int lx = 0; lx <= LMAX - ly; lx += dlx)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        A[lx][ly][lz][ir] = -A[lx][ly - 2][lz + 2][ir] - A[lx + 2][ly - 2][lz][ir];
}

void CCHArray::FillRemainderZ(int ir) {
  CheckBin(ir);
  for (int lz = 2; lz <= LMAX; lz += dlz)
    for (int lx = 0; lx <= LMAX - lz; lx += dlx)
      for (int ly = 0; ly <= LMAX - lx - lz; ly += dly)
        A[lx][ly][lz][ir] = -A[lx][ly + 2][lz - 2][ir] - A[lx + 2][ly][lz - 2][ir];
}

void CCHArray::FillRemainderY() {
  for (int ir = 0; ir < NRADIAL; ++ir) FillRemainderY(ir);
}

void CCHArray::FillRemainderZ() {
  for (int ir = 0; ir < NRADIAL; ++ir) FillRemainderZ(ir);
}

// ---------------------------------------------------------------- evaluation

double CCHArray::AExpand(double ex, double ey, double ez, int ir) const {
  if (ir < 0 || ir >= NRADIAL) return WarnGet(0, 0, 0, ir);
  const IncrementPlan& plan = Plan();
  double px[kMaxPow], py[kMaxPow], pz[kMaxPow];
  FillPowers(ex, LMAX, px);
  FillPowers(ey, LMAX, py);
  FillPowers(ez, LMAX, pz);
  double sum = 0.0;
  for (const IncrementPlan::Stored& s : plan.stored)
    sum += s.trinomial * s.base[ir] * px[s.lx] * py[s.ly] * pz[s.lz];
  return sum;
}

double CCHArray::AExpand(double x, double y, double z) const {
  const double r = std::sqrt(x * x + y * y + z * z);
  const int ir = GetIR(r);
  if (ir < 0 || ir >= NRADIAL) return 0.0;
  // No direction at the origin: the angular average of bin 0, its L = 0 coefficient.
  if (r == 0.0) return A[0][0][0][0];
  return AExpand(x / r, y / r, z / r, ir);
}

double CCHArray::AExpand(double theta, double phi, int ir) const {
  const double st = std::sin(theta);
  return AExpand(st * std::cos(phi), st * std::sin(phi), std::cos(theta), ir);
}

// ---------------------------------------------------------------- sample increments

void CCHArray::IncrementAExpArrayFromE(double ex, double ey, double ez, double weight, int ir) {
  if (ir < 0 || ir >= NRADIAL) FatalIncrement(0, 0, 0, ir);
  const IncrementPlan& plan = Plan();
  double* mono = plan.mono.data();
  FillMonomials(ex, ey, ez, LMAX, mono);
  const IncrementPlan::Term* terms = plan.terms.data();
  for (const IncrementPlan::Component& c : plan.independent) {
    double sum = 0.0;
    for (int t = c.first_term; t < c.end_term; ++t) sum += terms[t].coef * mono[terms[t].mono];
    c.base[ir] += weight * sum;
  }
  FillRemainderXBin(plan, ir);
}

void CCHArray::IncrementAExpArrayFromThetaPhi(double theta, double phi, double weight, int ir) {
  const double st = std::sin(theta);
  IncrementAExpArrayFromE(st * std::cos(phi), st * std::sin(phi), std::cos(theta), weight, ir);
}

void CCHArray::IncrementAExpArray(double x, double y, double z, double weight) {
  const double r = std::sqrt(x * x + y * y + z * z);
  const int ir = GetIR(r);
  if (ir < 0 || ir >= NRADIAL) return;
  // No direction at the origin: the sample counts in the angular average (L = 0) alone.
  if (r == 0.0) {
    A[0][0][0][0] += weight;
    return;
  }
  IncrementAExpArrayFromE(x / r, y / r, z / r, weight, ir);
}

void CCHArray::IncrementMArrayFromE(double ex, double ey, double ez, double weight, int ir) {
  if (ir < 0 || ir >= NRADIAL) FatalIncrement(0, 0, 0, ir);
  const IncrementPlan& plan = Plan();
  double px[kMaxPow], py[kMaxPow], pz[kMaxPow];
  FillPowers(ex, LMAX, px);
  FillPowers(ey, LMAX, py);
  FillPowers(ez, LMAX, pz);
  for (const IncrementPlan::Stored& s : plan.stored)
    s.base[ir] += weight * px[s.lx] * py[s.ly] * pz[s.lz];
}

void CCHArray::IncrementMArrayFromThetaPhi(double theta, double phi, double weight, int ir) {
  const double st = std::sin(theta);
  IncrementMArrayFromE(st * std::cos(phi), st * std::sin(phi), std::cos(theta), weight, ir);
}

// Rank recurrence for the independent components. With a_l = (2L-1)!!/(lx! ly! lz!) A_l(e) (the
// Taylor coefficients (-1)^L/l! d^l(1/r) of the Coulomb potential at the unit vector e, since
// d^l(1/r) = (-1)^L (2L-1)!! A_l(r^) / r^(L+1), Applequist, J. Phys. A 22 (1989) 4303), the
// Taylor-coefficient recurrence of 1/|x| (Duan & Krasny, J. Comput. Chem. 22 (2001) 184) at r = 1
// reads
//   L a_l = (2L-1) sum_i e_i a_(l - e_i) - (L-1) sum_i a_(l - 2 e_i),
// terms present where the lowered index is >= 0. Lowering y or z keeps lx, lowering x only goes
// from lx = 1 to 0, so the lx in {0, 1} coefficients close on themselves. The increment is
//   w (2L+1)!!/L! A_l = w (2L+1) a_l lx! ly! lz!/L!.
void CCHArray::AltIncrementAExpArrayFromE(double ex, double ey, double ez, double weight, int ir) {
  IncrementElement(0, 0, 0, ir, weight);
  const int n = LMAX + 1;
  const int nlx = (dlx == 1 && LMAX >= 1) ? 2 : 1;  // with XSYM lx = 1 is neither needed nor kept
  std::vector<double> a(static_cast<size_t>(nlx) * n * n, 0.0);
  auto at = [&](int lx, int ly, int lz) -> double& { return a[(lx * n + ly) * n + lz]; };
  at(0, 0, 0) = 1.0;
  for (int L = 1; L <= LMAX; ++L) {
    for (int lx = 0; lx < nlx && lx <= L; ++lx) {
      for (int ly = 0; ly <= L - lx; ++ly) {
        const int lz = L - lx - ly;
        double first = 0.0, second = 0.0;
        if (lx >= 1) first += ex * at(lx - 1, ly, lz);
        if (ly >= 1) first += ey * at(lx, ly - 1, lz);
        if (lz >= 1) first += ez * at(lx, ly, lz - 1);
        if (ly >= 2) second += at(lx, ly - 2, lz);
        if (lz >= 2) second += at(lx, ly, lz - 2);
        const double value = ((2 * L - 1) * first - (L - 1) * second) / L;
        at(lx, ly, lz) = value;
        if ((lx & (dlx - 1)) == 0 && (ly & (dly - 1)) == 0 && (lz & (dlz - 1)) == 0) {
          const double trinomial = chcalc->Trinomial(lx, ly, lz);
          IncrementElement(lx, ly, lz, ir, weight * (2 * L + 1) * value / trinomial);
        }
      }
    }
  }
}

// ---------------------------------------------------------------- random fills

namespace {
// Guards the shared generator: its creation, replacement and every fill's draws.
std::mutex& RandomMutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

void CCHArray::RandomInit(int seed) {
  const std::lock_guard<std::mutex> lock(RandomMutex());
  delete randy;
  randy = new CRandom(seed);
}

void CCHArray::Randomize(double scale, int ir) {
  CheckBin(ir);
  const std::lock_guard<std::mutex> lock(RandomMutex());
  if (randy == nullptr) randy = new CRandom(-12345);
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        A[lx][ly][lz][ir] = scale * (1.0 - 2.0 * randy->ran());
}

void CCHArray::RandomizeA(double scale, int ir) {
  CheckBin(ir);
  {
    const std::lock_guard<std::mutex> lock(RandomMutex());
    if (randy == nullptr) randy = new CRandom(-12345);
    for (int lx = 0; lx <= 1 && lx <= LMAX; lx += dlx)
      for (int ly = 0; ly <= LMAX - lx; ly += dly)
        for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
          A[lx][ly][lz][ir] = scale * (1.0 - 2.0 * randy->ran());
  }
  FillRemainderX(ir);
}

void CCHArray::RandomizeA_Gaussian(double scale, int ir) {
  CheckBin(ir);
  {
    const std::lock_guard<std::mutex> lock(RandomMutex());
    if (randy == nullptr) randy = new CRandom(-12345);
    for (int lx = 0; lx <= 1 && lx <= LMAX; lx += dlx)
      for (int ly = 0; ly <= LMAX - lx; ly += dly)
        for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
          A[lx][ly][lz][ir] = scale * randy->gauss();
  }
  FillRemainderX(ir);
}

void CCHArray::Randomize(double scale) {
  for (int ir = 0; ir < NRADIAL; ++ir) Randomize(scale, ir);
}

void CCHArray::RandomizeA(double scale) {
  for (int ir = 0; ir < NRADIAL; ++ir) RandomizeA(scale, ir);
}

void CCHArray::RandomizeA_Gaussian(double scale) {
  for (int ir = 0; ir < NRADIAL; ++ir) RandomizeA_Gaussian(scale, ir);
}

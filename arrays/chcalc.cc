// Coefficient tables of Cartesian-harmonic algebra (see chcalc.h for the formulas).

#include "arrays/chcalc.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

double***** CCHCalc::overlap = nullptr;
double** CCHCalc::binomial = nullptr;
double* CCHCalc::doublefact = nullptr;
double* CCHCalc::fact = nullptr;
int CCHCalc::LMAXFACT = 56;
int CCHCalc::INITIALIZED = 0;

namespace {

// Guards the tables' creation and release, the live-object count and the filling of the overlap
// cache (recursive: the constructor builds the tables under it).
std::recursive_mutex& TableMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// The cached row of a sorted triple, read without the lock: rows are published with a release
// store once complete and never change afterwards.
double** LoadRow(double*** slot) { return __atomic_load_n(slot, __ATOMIC_ACQUIRE); }

constexpr double kFourPi = 4.0 * femtokit::constants::kPi;

// x^n for n >= 0 by repeated multiplication (x^0 = 1 also for x = 0).
inline double IntPow(double x, int n) {
  double p = 1.0;
  for (int i = 0; i < n; ++i) p *= x;
  return p;
}

// Ranks beyond LMAXFACT would read past fact/doublefact: refuse them.
void CheckRank(const char* who, int lx, int ly, int lz) {
  if (lx < 0 || ly < 0 || lz < 0 || lx + ly + lz > CCHCalc::LMAXFACT) {
    femtokit::Fatal("CCHCalc::%s: l=(%d,%d,%d) beyond the tables (0 <= L <= %d)\n", who, lx, ly, lz,
                    CCHCalc::LMAXFACT);
  }
}

}  // namespace

// The array operations make a CCHCalc per call, from several threads at once: while the tables
// exist (another object lives) an object counts itself in and out without taking the lock, which
// is needed only to build the tables (count 0 -> 1) and to clear them (1 -> 0).
CCHCalc::CCHCalc() {
  int n = __atomic_load_n(&INITIALIZED, __ATOMIC_ACQUIRE);
  while (n > 0)
    if (__atomic_compare_exchange_n(&INITIALIZED, &n, n + 1, true, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
      return;
  const std::lock_guard<std::recursive_mutex> lock(TableMutex());
  if (__atomic_load_n(&INITIALIZED, __ATOMIC_ACQUIRE) == 0) InitStaticData();
  __atomic_add_fetch(&INITIALIZED, 1, __ATOMIC_ACQ_REL);
}

CCHCalc::~CCHCalc() {
  int n = __atomic_load_n(&INITIALIZED, __ATOMIC_ACQUIRE);
  while (n > 1)
    if (__atomic_compare_exchange_n(&INITIALIZED, &n, n - 1, true, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
      return;
  const std::lock_guard<std::recursive_mutex> lock(TableMutex());
  if (__atomic_sub_fetch(&INITIALIZED, 1, __ATOMIC_ACQ_REL) == 0) {
    ClearStaticData();
    femtokit::Progress("CCHCalc static data cleared\n");
    fflush(stdout);
  }
}

void CCHCalc::InitStaticData() {
  const std::lock_guard<std::recursive_mutex> lock(TableMutex());
  if (fact == nullptr) {
    fact = new double[LMAXFACT + 1];
    fact[0] = 1.0;
    if (LMAXFACT >= 1) fact[1] = 1.0;
    for (int n = 2; n <= LMAXFACT; ++n) fact[n] = n * fact[n - 1];
  }
  if (doublefact == nullptr) {
    const int n2 = 2 * LMAXFACT + 1;
    doublefact = new double[n2 + 1];
    doublefact[0] = doublefact[1] = 1.0;
    for (int n = 2; n <= n2; ++n) doublefact[n] = n * doublefact[n - 2];
  }
  if (binomial == nullptr) {
    binomial = new double*[LMAXFACT + 1];
    for (int n = 0; n <= LMAXFACT; ++n) {
      binomial[n] = new double[n + 1];
      binomial[n][0] = 1.0;
      for (int k = 1; k <= n; ++k) binomial[n][k] = binomial[n][k - 1] * (n - k + 1) / k;
    }
  }
  if (overlap == nullptr) {
    overlap = new double****[LMAXFACT + 1];
    for (int lx = 0; lx <= LMAXFACT; ++lx) {
      overlap[lx] = new double***[LMAXFACT - lx + 1]();
      for (int ly = 0; ly <= lx && ly <= LMAXFACT - lx; ++ly) {
        overlap[lx][ly] = new double**[LMAXFACT - lx - ly + 1]();  // rows empty (null)
      }
    }
  }
}

void CCHCalc::ClearStaticData() {
  const std::lock_guard<std::recursive_mutex> lock(TableMutex());
  femtokit::Progress(
      "Clearing static data used for charray calc.s. \nDon't do this unless you are finished "
      "with charray objects\n");
  fflush(stdout);
  delete[] fact;
  fact = nullptr;
  delete[] doublefact;
  doublefact = nullptr;
  if (binomial != nullptr) {
    for (int n = 0; n <= LMAXFACT; ++n) delete[] binomial[n];
    delete[] binomial;
    binomial = nullptr;
  }
  if (overlap != nullptr) {
    for (int lx = 0; lx <= LMAXFACT; ++lx) {
      for (int ly = 0; ly <= lx && ly <= LMAXFACT - lx; ++ly) {
        for (int lz = 0; lz <= ly && lz <= LMAXFACT - lx - ly; ++lz) {
          double** row = overlap[lx][ly][lz];
          if (row == nullptr) continue;
          const int L = lx + ly + lz;
          for (int i = 0; i <= L / 2; ++i) delete[] row[i];
          delete[] row;
        }
        delete[] overlap[lx][ly];
      }
      delete[] overlap[lx];
    }
    delete[] overlap;
    overlap = nullptr;
  }
}

double CCHCalc::Factorial(int n) {
  if (n < 0 || n > LMAXFACT) {
    femtokit::Fatal("CCHCalc::Factorial(%d) beyond the tables (0 <= n <= %d)\n", n, LMAXFACT);
  }
  return fact[n];
}

double CCHCalc::DoubleFactorial(int n) {
  if (n < 0 || n > 2 * LMAXFACT + 1) {
    femtokit::Fatal("CCHCalc::DoubleFactorial(%d) beyond the tables (0 <= n <= %d)\n", n,
                    2 * LMAXFACT + 1);
  }
  return doublefact[n];
}

double CCHCalc::Binomial(int i, int j) {
  if (i < 0 || j < 0 || i + j > LMAXFACT) {
    femtokit::Fatal("CCHCalc::Binomial(%d,%d) beyond the tables (i+j <= %d)\n", i, j, LMAXFACT);
  }
  return binomial[i + j][i];
}

double CCHCalc::Trinomial(int a, int b, int c) {
  CheckRank("Trinomial", a, b, c);
  if (a < b) iswitch(a, b);
  if (b < c) iswitch(b, c);
  if (a < b) iswitch(a, b);
  return binomial[a + b + c][c] * binomial[a + b][a];
}

void CCHCalc::iswitch(int& a, int& b) {
  const int t = a;
  a = b;
  b = t;
}

double CCHCalc::GetMFromE(int lx, int ly, int lz, double ex, double ey, double ez) {
  return IntPow(ex, lx) * IntPow(ey, ly) * IntPow(ez, lz);
}

double CCHCalc::GetMFromThetaPhi(int lx, int ly, int lz, double theta, double phi) {
  const double st = sin(theta);
  return GetMFromE(lx, ly, lz, st * cos(phi), st * sin(phi), cos(theta));
}

double CCHCalc::GetAFromE(int lx, int ly, int lz, double ex, double ey, double ez) {
  CheckRank("GetAFromE", lx, ly, lz);
  const int L = lx + ly + lz;
  if (L == 0) return 1.0;
  double sum = 0.0;
  for (int nx = 0; 2 * nx <= lx; ++nx) {
    for (int ny = 0; 2 * ny <= ly; ++ny) {
      for (int nz = 0; 2 * nz <= lz; ++nz) {
        const int n = nx + ny + nz;
        const double denom = fact[nx] * fact[lx - 2 * nx] * fact[ny] * fact[ly - 2 * ny] *
                             fact[nz] * fact[lz - 2 * nz];
        sum += IntPow(-0.5, n) * doublefact[2 * (L - n) - 1] * IntPow(ex, lx - 2 * nx) *
               IntPow(ey, ly - 2 * ny) * IntPow(ez, lz - 2 * nz) / denom;
      }
    }
  }
  return sum * fact[lx] * fact[ly] * fact[lz] / doublefact[2 * L - 1];
}

double CCHCalc::GetAFromThetaPhi(int lx, int ly, int lz, double theta, double phi) {
  const double st = sin(theta);
  return GetAFromE(lx, ly, lz, st * cos(phi), st * sin(phi), cos(theta));
}

double CCHCalc::GetOverlap0(int lx, int ly, int lz, int lxp, int lyp, int lzp) {
  const int L = lx + ly + lz;
  if (L != lxp + lyp + lzp || ((lx - lxp) & 1) || ((ly - lyp) & 1) || ((lz - lzp) & 1)) {
    return 0.0;
  }
  CheckRank("GetOverlap0", lx, ly, lz);
  CheckRank("GetOverlap0", lxp, lyp, lzp);
  double prefactor =
      kFourPi * fact[lx] * fact[ly] * fact[lz] * fact[lxp] * fact[lyp] * fact[lzp] / (2 * L + 1);
  if (L > 0) prefactor /= doublefact[2 * L - 1] * doublefact[2 * L - 1];
  // Lower limits keep the primed factorials (n_i + (l'_i - l_i)/2)! at non-negative arguments.
  const int nx0 = (lx - lxp) / 2 > 0 ? (lx - lxp) / 2 : 0;
  const int ny0 = (ly - lyp) / 2 > 0 ? (ly - lyp) / 2 : 0;
  const int nz0 = (lz - lzp) / 2 > 0 ? (lz - lzp) / 2 : 0;
  double sum = 0.0;
  for (int nx = nx0; 2 * nx <= lx; ++nx) {
    const double X = fact[nx] * fact[nx + (lxp - lx) / 2] * fact[lx - 2 * nx];
    for (int ny = ny0; 2 * ny <= ly; ++ny) {
      const double Y = fact[ny] * fact[ny + (lyp - ly) / 2] * fact[ly - 2 * ny];
      for (int nz = nz0; 2 * nz <= lz; ++nz) {
        const double Z = fact[nz] * fact[nz + (lzp - lz) / 2] * fact[lz - 2 * nz];
        const int n = nx + ny + nz;
        const double D = (2 * (L - n) - 1 > 0) ? doublefact[2 * (L - n) - 1] * fact[n] : 1.0;
        sum += D * IntPow(-0.5, n) / (X * Y * Z);
      }
    }
  }
  return prefactor * sum;
}

void CCHCalc::overlapinit(int lx, int ly, int lz) {
  const std::lock_guard<std::recursive_mutex> lock(TableMutex());
  // Another thread may have filled the row meanwhile; a published row is never replaced.
  if (LoadRow(&overlap[lx][ly][lz]) != nullptr) return;
  const int L = lx + ly + lz;
  double** row = new double*[L / 2 + 1];
  for (int i = 0; i <= L / 2; ++i) {
    const int lxp = (lx % 2) + 2 * i;
    if (lxp > L) {
      row[i] = nullptr;
      continue;
    }
    const int nj = (L - lxp) / 2 + 1;
    row[i] = new double[nj]();
    for (int j = 0; j < nj; ++j) {
      const int lyp = (ly % 2) + 2 * j;
      const int lzp = L - lxp - lyp;
      if (lzp < 0) break;
      row[i][j] = GetOverlap0(lx, ly, lz, lxp, lyp, lzp);
    }
  }
  __atomic_store_n(&overlap[lx][ly][lz], row, __ATOMIC_RELEASE);
}

double CCHCalc::GetOverlap(int lx, int ly, int lz, int lxp, int lyp, int lzp) {
  const int L = lx + ly + lz;
  if (L != lxp + lyp + lzp || ((lx - lxp) & 1) || ((ly - lyp) & 1) || ((lz - lzp) & 1)) {
    return 0.0;
  }
  // The cache (and the factorials of the closed form) stop at LMAXFACT.
  CheckRank("GetOverlap", lx, ly, lz);
  CheckRank("GetOverlap", lxp, lyp, lzp);
  if (lx < ly) {
    iswitch(lx, ly);
    iswitch(lxp, lyp);
  }
  if (lz > ly) {
    iswitch(ly, lz);
    iswitch(lyp, lzp);
    if (ly > lx) {
      iswitch(lx, ly);
      iswitch(lxp, lyp);
    }
  }
  if (lx < ly || ly < lz) femtokit::Fatal("l out of order\n");
  double** row = LoadRow(&overlap[lx][ly][lz]);
  if (row == nullptr) {
    overlapinit(lx, ly, lz);
    row = LoadRow(&overlap[lx][ly][lz]);
  }
  return row[lxp / 2][lyp / 2];
}

CCHCalc& femtokit::SharedCHCalc() {
  static CCHCalc* calc = new CCHCalc();  // never freed: the tables must outlive every user
  return *calc;
}

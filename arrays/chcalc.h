#ifndef FEMTOKIT_ARRAYS_CHCALC_H
#define FEMTOKIT_ARRAYS_CHCALC_H

// Combinatorics and angular integrals of Cartesian-harmonic algebra.
//
// A Cartesian index triple l = (lx, ly, lz) has rank L = lx + ly + lz; e = (ex, ey, ez) is a unit
// vector. The monomial e^l = ex^lx ey^ly ez^lz; the traceless component A_l(e) is the (lx, ly, lz)
// component of the traceless part of e (x) e (x) ... (x) e (L factors), e.g.
//   A_(2,0,0) = ex^2 - 1/3,   A_(1,1,0) = ex ey,   A_(0,0,1) = ez.
// Closed form (|e| = 1, the r^(2n) factors of the general projection dropped):
//   A_l(e) = [lx! ly! lz! / (2L-1)!!]
//            * sum_{nx,ny,nz} (-1/2)^n (2(L-n)-1)!! e^(l - 2n) / prod_i [n_i! (l_i - 2 n_i)!],
//   n = nx + ny + nz, 0 <= 2 n_i <= l_i.
//
// All data are process-wide static tables: built by the first live CCHCalc object, shared while
// any object lives, released (with a printed notice) when the last one is destroyed. CCHArray
// keeps one object alive for the whole process, so local CCHCalc objects only count up and down.
// Thread-safe: creating and releasing the tables, counting the objects and filling a row of the
// overlap cache take one process-wide lock; the lookups (and reading a filled row) take none.
// Releasing the tables while another thread uses them remains the caller's error.
//
// Ranks: the tables serve L <= LMAXFACT = 56 (fact up to L, doublefact up to 2L+1). The lookups
// and the A/overlap evaluations reject a rank or index beyond the tables with a fatal message
// ("CCHCalc: ... beyond the tables ...") instead of reading outside them.

class CCHCalc {
 public:
  CCHCalc();   // builds the tables when no object is alive, then counts up
  ~CCHCalc();  // counts down; at zero clears the tables and prints "CCHCalc static data cleared"
  CCHCalc(const CCHCalc&) = delete;
  CCHCalc& operator=(const CCHCalc&) = delete;

  // Builds each of fact, doublefact, binomial, overlap whose pointer is null.
  static void InitStaticData();
  // Prints "Clearing static data used for charray calc.s. \nDon't do this unless you are
  // finished with charray objects\n", releases the four tables (with every cached overlap row)
  // and sets their pointers to null.
  static void ClearStaticData();

  double Factorial(int n);                // n!, 0 <= n <= LMAXFACT
  double DoubleFactorial(int n);          // n!!, 0!! = 1!! = 1, 0 <= n <= 2 LMAXFACT + 1
  double Binomial(int i, int j);          // (i+j)! / (i! j!), i, j >= 0, i + j <= LMAXFACT
  double Trinomial(int a, int b, int c);  // (a+b+c)! / (a! b! c!), a+b+c <= LMAXFACT
  void iswitch(int& a, int& b);           // exchanges a and b

  // The monomial ex^lx ey^ly ez^lz (integer powers, x^0 = 1 also for x = 0).
  double GetMFromE(int lx, int ly, int lz, double ex, double ey, double ez);
  // GetMFromE at e = (sin th cos ph, sin th sin ph, cos th); angles in radians.
  double GetMFromThetaPhi(int lx, int ly, int lz, double theta, double phi);
  // The traceless component A_l(e) by the closed form above; 1 for L = 0. e must be a unit vector.
  double GetAFromE(int lx, int ly, int lz, double ex, double ey, double ez);
  double GetAFromThetaPhi(int lx, int ly, int lz, double theta, double phi);

  // Integral over the unit sphere of A_l(e) A_l'(e) d(Omega) by its closed form; zero unless
  // L = L' and every l_i - l'_i is even. Checks: (0,0,0|0,0,0) = 4 pi, (0,0,1|0,0,1) = 4 pi/3,
  // (2,0,0|2,0,0) = 16 pi/45, (2,0,0|0,2,0) = -8 pi/45.
  double GetOverlap0(int lx, int ly, int lz, int lxp, int lyp, int lzp);
  // Fills the cached row of the sorted triple lx >= ly >= lz (unless it is filled already):
  // slot [lxp/2][lyp/2] holds
  // GetOverlap0(lx, ly, lz, lxp, lyp, L - lxp - lyp) for lxp = lx mod 2, +2, ... and
  // lyp = ly mod 2, +2, ... with lzp >= 0.
  void overlapinit(int lx, int ly, int lz);
  // The same integral as GetOverlap0, through the cache: both triples are relabelled so the first
  // is sorted (the integral is invariant under a common permutation of the axes), so one row
  // serves every permutation. Zero (no cache access) for different ranks or an odd difference.
  // A rank above LMAXFACT is fatal (its factorials lie beyond the tables).
  double GetOverlap(int lx, int ly, int lz, int lxp, int lyp, int lzp);

  // Static tables, in this order.
  static double***** overlap;  // overlap[lx][ly][lz][lxp/2][lyp/2], rows of sorted triples
  static double** binomial;    // binomial[n][k] = n!/(k!(n-k)!), n = 0 ... LMAXFACT
  static double* doublefact;   // doublefact[n] = n!!, n = 0 ... 2 LMAXFACT + 1
  static double* fact;         // fact[n] = n!, n = 0 ... LMAXFACT
  static int LMAXFACT;         // largest rank served: 56
  static int INITIALIZED;      // number of live CCHCalc objects
};

namespace femtokit {
// One CCHCalc for the whole process, made at first use and never destroyed, so that the tables
// stay built: for code called in threaded loops, where a CCHCalc per call would make every
// thread update the shared count of live objects.
CCHCalc& SharedCHCalc();
}  // namespace femtokit

#endif  // FEMTOKIT_ARRAYS_CHCALC_H

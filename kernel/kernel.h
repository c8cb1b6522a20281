#ifndef FEMTOKIT_KERNEL_KERNEL_H
#define FEMTOKIT_KERNEL_KERNEL_H

// Angular projections of a two-particle kernel (conventions: docs/conventions.md),
//
//   K_ell(q, r) = 1/2 int_{-1}^{1} (|psi(q, r, cos theta)|^2 - 1) P_ell(cos theta) dcos theta,
//
// tabulated for ell = 0 ... LMAX on bin-centre grids q_iq = (iq + 0.5) delq (MeV/c,
// q half the pair's momentum difference in its rest frame), iq < nqmax, and
// r_ir = (ir + 0.5) delr (fm), ir < nrmax; P_ell are the Legendre polynomials.
// The inverse is |psi|^2 = 1 + sum_ell (2 ell + 1) K_ell(q, r) P_ell(cos theta).
// The transform S2CF::s2c turns a rank-L source component into the rank-L
// correlation component with K_L.
//
// Identical particles (IDENTICAL) keep only even ell: odd slots hold no table
// and read as 0.
//
// Kernel directories hold one text file per stored ell and q point, named
// "<dir>/ell%d_q%07.2f.tmp" (ell 2 at q = 2 MeV/c is ell2_q0002.00.tmp): a
// header "nrmax delr", then nrmax values K[ell][iq][ir], ir ascending.
//
// A directory is written file by file under temporary names renamed into place;
// "kernel.writing" marks a write under way (left behind, it marks a failed one) and
// "kernel.manifest" (a parameter file: PAIR, NQMAX, DELQ, NRMAX, DELR, KLMAX,
// IDENTICAL, FILES) is written last. Read refuses a directory with the marker, or
// whose manifest disagrees with the grid or the files read; directories without
// either (written before manifests existed) are read as before.
//
// Parameter-file keys (defaults): "NQMAX" 25, "NRMAX" 120, "KLMAX" 24,
// "DELQ" 4.0, "DELR" 0.5, "IDENTICAL" false. Counts above 1e8 (KLMAX above
// 10000), tables beyond the library's size limit (numeric/checked_io.h),
// non-finite spacings, q beyond 1e6 MeV/c and spacings that give two q points the
// same file name (DELQ below about 0.01 MeV/c) are fatal.

#include <string>

class CWaveFunction;

class CKernel {
 public:
  bool IDENTICAL;    // identical particles: only even ell are stored and used
  int LMAX;          // highest ell ("KLMAX")
  int nrmax;         // number of r points
  int nqmax;         // number of q points
  double delr;       // r spacing, fm
  double delq;       // q spacing, MeV/c
  double*** kernel;  // K[ell][iq][ir]; slot ell is null when ell is not stored
  double* P;         // P_ell(x) for the last x given to CalcP (max(LMAX + 1, 2) values)

  // ParsInit(parsfilename), then an all-zero table. A missing parameter file
  // is fatal.
  explicit CKernel(const char* parsfilename);
  // Releases the tables; prints "kernel object deleted".
  ~CKernel();
  CKernel(const CKernel&) = delete;
  CKernel& operator=(const CKernel&) = delete;

  // Reads the six parameters and prints them ("reading from %s", the
  // "  _________ PARAMETERS FOR KERNEL ________" block, 42 '_').
  void ParsInit(const char* parsfilename);

  // Reads every stored (ell, iq) file of datadir into the table. A header with
  // fewer points than nrmax or a different delr (beyond 1e-8 fm) prints
  // "Inconsistent values for nrmax or delr in data files!" and is fatal; a
  // missing, unreadable or short file is fatal with a message naming it (a
  // half-read kernel must never be used). Longer files are read in part.
  void Read(const char* datadir);
  // Creates datadir if needed and writes every stored (ell, iq) file, printing
  // "For q=%g, Will write to %s" for each. The header is "%d %g" unless "%g"
  // would not read back within Read's tolerance; then delr gets more digits.
  void Write(const char* datadir);
  // The same, naming the pair in the manifest.
  void Write(const char* datadir, const std::string& pair);
  // Prints the table, one block per q, one line per r with every stored ell.
  void Print();

  // ---- Kernel from a wave function: Calc(CWaveFunction* wf) ----
  // (declared and defined with the wave-function kernel code)
  // Fills every stored K_ell(q_iq, r_ir) by the 720-point midpoint rule in cos theta,
  //   K_ell = (1/720) sum_i (wf->GetPsiSquared(q_iq, r_ir, c_i) - 1) P_ell(c_i),
  //   c_i = 2 (i + 0.5)/720 - 1 (c_{719-i} = -c_i exactly),
  // asking the wave function at the kernel's own grid points (it interpolates in q itself),
  // all angles of one (q, r) at once (CWaveFunction::GetPsiSquaredAngles). An identical-particle
  // kernel of a wave function with an even |psi|^2 (PsiSquaredIsEven) sums the nodes c > 0
  // twice. The q rows run on femtokit::ThreadCount() threads (one thread: serially); each row's
  // sums are its own, so the result does not depend on the thread count. progress, when
  // given, is called after each q row with (iq, nqmax), in order of iq. In kernel/kernel_calc.cc.
  void Calc(CWaveFunction* wf, void (*progress)(int iq, int nqmax) = nullptr);

  // The non-interacting identical-boson kernel, from the symmetrised plane
  // wave |psi|^2 = 1 + cos(2 q.r / hbar c):
  //   K_ell = (-1)^(ell/2) j_ell(2 q r / hbar c) for even ell, 0 for odd ell,
  // hbar c = 197.3269602 MeV fm, j_ell spherical Bessel. K_0 -> 1 as q r -> 0
  // and -> 0 for large q r. For a Gaussian source lambda (4 pi R^2)^(-3/2)
  // exp(-r^2/(4R^2)) this gives C(q) - 1 = lambda exp(-4 q^2 R^2 / (hbar c)^2).
  void Calc_PureHBT();
  // The non-interacting identical spin-1/2 fermions, spin-averaged (1/4 singlet with the
  // symmetric, 3/4 triplet with the antisymmetric plane wave):
  //   |psi|^2 = 1 - cos(2 q.r / hbar c) / 2,   K_ell = -(1/2) (-1)^(ell/2) j_ell(2 q r / hbar c)
  // for even ell, 0 for odd ell. K_0 -> -1/2 as q r -> 0; for the Gaussian source above
  // C(q) - 1 = -(lambda/2) exp(-4 q^2 R^2 / (hbar c)^2). The reference of every pp and nn kernel.
  void Calc_PureFermion();
  // Kernel of classical Coulomb trajectories for masses ma, mb (MeV) and the
  // charge product q1q2: the classical density is integrated over the allowed
  // angles (x = 2 Ea Eb q1q2 hbar c / (137.036 r q^2 (Ea + Eb)) >= 1 is
  // forbidden, K_0 = -1 there). Prints "q=%g, r=%g, kernel0=%g =? %g" for each
  // allowed point (the two agree when the 512-point sum is exact).
  void Calc_ClassCoul(double ma, double mb, int q1q2);

  // K[ell][iq][ir] inside the grid (and for a stored ell), else 0.0.
  double GetValue(int ell, int iq, int ir);
  // K_ell bilinear in q (MeV/c) and r (fm) between bin centres, flat below the
  // first centre of an axis and at the last one, 0.0 beyond nqmax delq or
  // nrmax delr and for odd ell of an identical-particle kernel. Prints
  // "answer below -1, ..." for K_0 < -1 at r > 1 fm (and returns it).
  double GetValue(int ell, double q, double r);

  // Fills P with P_0(x) ... P_LMAX(x) by the Bonnet recurrence
  // (ell + 1) P_{ell+1} = (2 ell + 1) x P_ell - ell P_{ell-1}.
  void CalcP(double x);

  // |psi|^2 = 1 + sum (2 ell + 1) K_ell P_ell from the current P at grid point
  // (iq, ir); the sum stops once five consecutive terms are below 1e-4.
  // 1.0 outside the grid.
  double CalcPsiSquared(int iq, int ir, double ctheta);
  // The same, linear in r (fm) between the two neighbouring grid points
  // (extrapolated below the first centre; 1.0 where a point is beyond the grid).
  double CalcPsiSquared(int iq, double r, double ctheta);
  // CalcP(ctheta) then CalcPsiSquared(iq, ir, ctheta) inside the grid; else 1.0.
  double GetPsiSquared(int iq, int ir, double ctheta);
  // CalcP(ctheta) then CalcPsiSquared(iq, r, ctheta) for iq < nqmax; else 1.0.
  double GetPsiSquared(int iq, double r, double ctheta);
  // |psi|^2 at any q (MeV/c), r (fm), cos theta: linear in q and r between
  // grid points, extrapolated linearly in q outside the q grid.
  double GetPsiSquared(double q, double r, double ctheta);

  int GetLMAX() const { return LMAX; }
  bool GetIDENTICAL() const { return IDENTICAL; }
  double GetDELR() const { return delr; }
  double GetDELQ() const { return delq; }
  int GetNRMAX() const { return nrmax; }
  int GetNQMAX() const { return nqmax; }
};

#endif  // FEMTOKIT_KERNEL_KERNEL_H

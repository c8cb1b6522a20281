#ifndef FEMTOKIT_KERNEL_KERNELWF_H
#define FEMTOKIT_KERNEL_KERNELWF_H

// Three-dimensional kernel: the squared two-particle wave function itself,
// |psi(q, r, cos theta)|^2, tabulated as |psi|^2 - 1 on
//
//   q_iq = (iq + 0.5) delq,  iq < nqmax   (MeV/c, half the momentum difference in the pair frame),
//   r_ir = (ir + 0.5) delr,  ir < nrmax   (fm, the pair-frame separation),
//   c_ic = 1 - ic delctheta, ic = 0 ... nctheta (both ends included),
//
// with cos theta the cosine between q and r. delctheta = 2/nctheta, so c runs
// from 1 down to -1; for identical particles |psi|^2 is even in cos theta, the
// table stops at c = 0 (delctheta = 1/nctheta) and lookups use |cos theta|.
// The grid transform S2CF::s2c(C3DArray*, CKernelWF*, C3DArray*) needs |psi|^2
// at arbitrary directions, which the Legendre projections of CKernel cannot give
// cheaply.
//
// Directory format: one text file per q point, "<dir>/q%07.2f.tmp" with q_iq
// (q = 2 MeV/c gives q0002.00.tmp): a header "nrmax nctheta", then nrmax lines,
// ir ascending, each with the nctheta + 1 values table[iq][ir][0 ... nctheta]
// written as "%17.10e ". The spacings are not part of the file.
//
// Parameter-file keys (defaults): "NQMAX" 25, "NRMAX" 120, "NCTHETA" 120,
// "DELQ" 4.0, "DELR" 0.5, "IDENTICAL" false.
//
// Out-of-range grid points read as |psi|^2 = 1 (no correlation).

class CWaveFunction;

class CKernelWF {
 public:
  bool IDENTICAL;    // identical particles: table for cos theta in [0, 1], lookups use |cos theta|
  int nctheta;       // number of cos-theta intervals
  int nrmax;         // number of r points
  int nqmax;         // number of q points
  double delr;       // r spacing, fm
  double delq;       // q spacing, MeV/c
  double delctheta;  // cos-theta spacing: 2/nctheta, or 1/nctheta when IDENTICAL
  double*** kernel;  // table[iq][ir][ic] = |psi|^2 - 1

  // ParsInit(parsfilename), delctheta, then a table with every entry 1.0 (that
  // is |psi|^2 = 2 until filled). A missing parameter file is fatal, and so are
  // sizes that leave no table (NQMAX, NRMAX, NCTHETA < 1, DELQ or DELR <= 0).
  explicit CKernelWF(const char* parsfilename);
  // Releases the table; prints "KernelWF object deleted".
  ~CKernelWF();
  CKernelWF(const CKernelWF&) = delete;
  CKernelWF& operator=(const CKernelWF&) = delete;

  // Reads the six parameters (NQMAX, NRMAX, NCTHETA, DELQ, DELR, IDENTICAL) and
  // prints them: "reading from %s", the "  _________ PARAMETERS FOR KERNELWF
  // ________" block and a closing line of 42 '_'.
  void ParsInit(const char* parsfilename);
  // Fatal for non-finite spacings, a table beyond the library's size limit
  // (numeric/checked_io.h), q beyond 1e6 MeV/c or two q points with one file name.
  void CheckGrid(const char* parsfilename) const;

  // table[iq][ir][ic] = wf->GetPsiSquared(q_iq, r_ir, c_ic) - 1 for every grid
  // point (nqmax nrmax (nctheta + 1) wave-function evaluations). A negative
  // |psi|^2 beyond r = 1 fm is fatal ("screwy, psi^2=%g, r=%g, q=%g,
  // ctheta=%g"); below 1 fm the short-range forms may dip and are stored.
  void Calc(CWaveFunction* wf);

  // Creates datadir if needed and writes one file per q point. A file that
  // cannot be created is fatal ("CKernelWF::Write : cannot create file %s").
  void Write(const char* datadir);
  // Reads one file per q point. A header that differs from nrmax or nctheta
  // prints "CKernelWF : trying to read file with wrong dimensions" and the
  // values read and expected, and is fatal. A missing or unreadable file, or
  // one with fewer values than its header announces, is fatal too ("CKernelWF
  // : cannot read file %s", "CKernelWF : file %s is too short") -- a half-read
  // table must never be used.
  void Read(const char* datadir);

  // 1 + table[iq][ir][ictheta] inside the grid (0 <= iq < nqmax, 0 <= ir <
  // nrmax, 0 <= ictheta <= nctheta), else 1.0.
  double GetPsiSquared(int iq, int ir, int ictheta) const;
  // Linear in cos theta between the two neighbouring table columns (|ctheta|
  // when IDENTICAL); exactly the first column at ctheta = 1 and the last at
  // the lower end. 1.0 when iq >= nqmax or ir >= nrmax.
  double GetPsiSquared(int iq, int ir, double ctheta) const;
  // Also linear in r (fm) between the two neighbouring centres; extrapolated
  // linearly below the first centre, the missing point past the last one
  // counts as 1.0. 1.0 when iq >= nqmax.
  double GetPsiSquared(int iq, double r, double ctheta) const;
  // Also linear in q (MeV/c) between the two neighbouring centres (extrapolated
  // below the first); past the grid the missing points count as 1.0, so the
  // value tends to 1 there. This is the lookup of the grid transform.
  double GetPsiSquared(double q, double r, double ctheta) const;

  // Interpolation position along the q (resp. r) axis: the lower centre index
  // i (raised to 0 below the first centre, never lowered at the top) and the
  // weight w of the upper neighbour i + 1 (negative below the first centre).
  void QPosition(double q, int& iq, double& wq) const;
  void RPosition(double r, int& ir, double& wr) const;

  double GetDELR() const { return delr; }
  double GetDELQ() const { return delq; }
  double GetDELCTHETA() const { return delctheta; }
  int GetNRMAX() const { return nrmax; }
  int GetNQMAX() const { return nqmax; }
  int GetNCTHETA() const { return nctheta; }
  bool GetIDENTICAL() const { return IDENTICAL; }
};

#endif  // FEMTOKIT_KERNEL_KERNELWF_H

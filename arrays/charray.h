#ifndef FEMTOKIT_ARRAYS_CHARRAY_H
#define FEMTOKIT_ARRAYS_CHARRAY_H

// CCHArray: a function of a three-vector r = r e held, per radial bin, as an expansion in
// Cartesian harmonics. Sources S(r) (r in fm), correlation functions C(q) (q in MeV/c, q in
// place of r) and their error arrays are all CCHArrays.
//
// Radial bins: bin ir covers [ir RADSTEP, (ir+1) RADSTEP) and stands for its centre
// (ir + 0.5) RADSTEP; a radius maps to ir = floor(r / RADSTEP). No interpolation between bins.
//
// Storage: one double per bin for every kept triple (lx, ly, lz) with lx + ly + lz <= LMAX. With
// XSYM (YSYM, ZSYM) the function is even under x -> -x, so odd lx (ly, lz) vanish and are not
// stored; dlx = 2 then, else 1. Storage order (the order of every whole-array loop): lx outer,
// ly middle, lz inner, each from 0 upward by its step.
//
// Representations sharing this storage (conversions are in arrays/arraycalc.h):
//  - AExp array, A_l(ir) symmetric and traceless, evaluated as
//      F(ir, e) = sum_{L <= LMAX} sum_{|l| = L} [L!/(lx! ly! lz!)] A_l(ir) ex^lx ey^ly ez^lz;
//    tracelessness: A(lx,ly,lz) + A(lx-2,ly+2,lz) + A(lx-2,ly,lz+2) = 0 for lx >= 2 (same for
//    y, z). Only lx in {0, 1} are independent; FillRemainderX derives the rest.
//  - M array, Cartesian moments M_l(ir) = sum over samples of weight e^l.
//
// Bad index (any of: an l or ir below 0, lx+ly+lz > LMAX, an index removed by a symmetry,
// ir >= NRADIAL): GetElement warns and returns 0.0; SetElement and IncrementElement are fatal
// (exit status 1) with the messages given at each member.
//
// Ranks are limited by the coefficient tables (CCHCalc::LMAXFACT = 56): asking for LMAX > 56
// (or a negative LMAX or NRADIAL) is fatal at construction:
//   "CCHArray: LMAX=%d, NRADIAL=%d out of range (0 <= LMAX <= %d, NRADIAL >= 0)\n".
//
// The origin (r = 0) has no direction. Rule used here: a sample exactly at the origin adds its
// weight to the L = 0 component alone (the angular average of a point sample), and AExpand at
// the origin returns the L = 0 coefficient of bin 0 (the angular average of the bin).
//
// The array owns its storage; the shared static chcalc and randy are never released.
// Threads: the shared chcalc and randy and the per-array increment tables are created lazily
// under locks, so first use from several threads is safe; the random fills draw under the
// generator's lock. Writing one array from several threads at once remains the caller's error.

#include <mutex>
#include <vector>

#include "arrays/chcalc.h"
#include "numeric/random.h"

class CCHArray {
 public:
  // Builds zeroed storage. Creates the shared chcalc when it does not exist yet.
  CCHArray(int LMAX, int NRADIAL, double RADSTEP, bool XSYM, bool YSYM, bool ZSYM);
  CCHArray(int LMAX, int NRADIAL, double RADSTEP);  // no symmetries
  // Reads a parameter file (keys, defaults: LMAX 4, NRADIAL 25, RADSTEP 1.0, IDENTICAL false,
  // XSYM/YSYM/ZSYM false; IDENTICAL true switches on all three symmetries). A missing file is
  // fatal through the parameter-file reader.
  explicit CCHArray(const char* arrayparsfilename);
  ~CCHArray();
  CCHArray(const CCHArray&) = delete;
  CCHArray& operator=(const CCHArray&) = delete;

  // Builds zeroed storage from the current LMAX, NRADIAL and steps (the constructors call it).
  void CreateArray();

  int GetLMAX() const { return LMAX; }
  int GetNRADIAL() const { return NRADIAL; }
  double GetRADSTEP() const { return RADSTEP; }
  bool GetXSYM() const { return XSYM; }
  bool GetYSYM() const { return YSYM; }
  bool GetZSYM() const { return ZSYM; }
  // Lowers LMAX to lmax when lmax < LMAX (a larger value is ignored); the storage keeps its extent
  // and the hidden components are untouched, every later operation sees the lower LMAX.
  void SetLMAX(int lmax);
  // Replaces the bin width; no data move.
  void SetRADSTEP(double radstep);

  // True when (lx, ly, lz, ir) is a stored element.
  bool IsStored(int lx, int ly, int lz, int ir) const {
    return lx >= 0 && ly >= 0 && lz >= 0 && lx + ly + lz <= LMAX && (lx & (dlx - 1)) == 0 &&
           (ly & (dly - 1)) == 0 && (lz & (dlz - 1)) == 0 && ir >= 0 && ir < NRADIAL;
  }
  // The bin of radius r: floor(r / RADSTEP), also outside the array (negative below 0, NRADIAL
  // or more beyond the last bin), so that the by-radius messages name the true bin; every caller
  // checks 0 <= ir < NRADIAL itself. Clamped to the int range (huge radii cannot overflow it);
  // NaN gives -1.
  int GetIR(double r) const;

  // Element access. A bad index in GetElement prints
  //   "WARNING: Tried to get non-existent element in CCHArray\n"
  //   "LMAX=%d, XSYM=%d, YSYM=%d, ZSYM=%d, ir=%d\n" "l=(%d,%d,%d), ir=%d\n"
  // and returns 0.0. SetElement: "Tried to set element out of bounds in CCHArray\n" plus the same
  // two lines, exit status 1. IncrementElement: "OUT OF BOUNDS IN INCREMENTELEMENT\n"
  // "ell=(%d,%d,%d), ir=%d\n", exit status 1.
  double GetElement(int lx, int ly, int lz, int ir) const {
    if (!IsStored(lx, ly, lz, ir)) return WarnGet(lx, ly, lz, ir);
    return A[lx][ly][lz][ir];
  }
  void SetElement(int lx, int ly, int lz, int ir, double value) {
    if (!IsStored(lx, ly, lz, ir)) FatalSet(lx, ly, lz, ir);
    A[lx][ly][lz][ir] = value;
  }
  void IncrementElement(int lx, int ly, int lz, int ir, double value) {
    if (!IsStored(lx, ly, lz, ir)) FatalIncrement(lx, ly, lz, ir);
    A[lx][ly][lz][ir] += value;
  }
  // The same on the bin of radius r (GetIR).
  double GetElement(int lx, int ly, int lz, double r) const {
    return GetElement(lx, ly, lz, GetIR(r));
  }
  void SetElement(int lx, int ly, int lz, double r, double value) {
    SetElement(lx, ly, lz, GetIR(r), value);
  }
  void IncrementElement(int lx, int ly, int lz, double r, double value) {
    IncrementElement(lx, ly, lz, GetIR(r), value);
  }

  // Whole-array operations, in storage order. A bin ir outside 0 ... NRADIAL-1 given to a writing
  // bin operation (ScaleArray, ZeroArray, FillRemainder*, Randomize*) is fatal,
  // "CCHArray: bin ir=%d out of range (NRADIAL=%d)\n", instead of writing past the storage.
  void ScaleArray(double factor);          // every stored value, all bins
  void ScaleArray(double factor, int ir);  // every stored component of bin ir
  void ZeroArray();
  void ZeroArray(int ir);
  // All bins of one component; a triple that is not stored is fatal (SetElement message).
  void ZeroArray(int lx, int ly, int lz);
  // The rank argument is not used: these zero exactly what ZeroArray() / ZeroArray(ir) zero.
  void ZeroArray_Partial(int lmax);
  void ZeroArray_Partial(int lmax, int ir);
  // Largest |value| over the stored components of bin ir (0.0 when all are zero); a bad ir gives
  // the GetElement warning (l = (0,0,0)) and 0.0.
  double GetBiggest(int ir) const;

  // Trace fill: every stored component with lx >= 2 of bin ir from lower lx,
  //   A(lx,ly,lz) = -A(lx-2,ly+2,lz) - A(lx-2,ly,lz+2), lx rising (lx in {0,1} untouched).
  // FillRemainderY: A(lx,ly,lz) = -A(lx,ly-2,lz+2) - A(lx+2,ly-2,lz) (ly outer, lx, lz);
  // FillRemainderZ: A(lx,ly,lz) = -A(lx,ly+2,lz-2) - A(lx+2,ly,lz-2) (lz outer, lx, ly).
  // Nothing happens for LMAX < 2. The forms without ir do every bin.
  void FillRemainderX(int ir);
  void FillRemainderY(int ir);
  void FillRemainderZ(int ir);
  void FillRemainderX();
  void FillRemainderY();
  void FillRemainderZ();

  // Evaluation of an AExp array (formula above) at the unit vector e, bin ir; a bad ir gives one
  // GetElement warning (l = (0,0,0)) and 0.0.
  double AExpand(double ex, double ey, double ez, int ir) const;
  // At the point (x, y, z): bin of r = |(x,y,z)|; 0.0 silently beyond the last bin; the origin
  // gives the L = 0 coefficient of bin 0.
  double AExpand(double x, double y, double z) const;
  // At e = (sin th cos ph, sin th sin ph, cos th).
  double AExpand(double theta, double phi, int ir) const;

  // Adds one sample of unit direction e and weight w to bin ir of an AExp array:
  //   A_l(ir) += w (2L+1)!!/L! A_l(e) for lx in {0, 1} (lx = 0 alone with XSYM), then
  //   FillRemainderX(ir).
  // A single sample into a zero array gives AExpand(e', ir) = w sum_L (2L+1) P_L(e.e'), the
  // LMAX-truncated expansion of 4 pi w delta(e' - e); e.g. A000 = w, A(0,0,1) = 3 w ez.
  // Lx >= 2 content that is not traceless is replaced by the trace fill. Bad ir: fatal with the
  // IncrementElement message (l = (0,0,0)).
  void IncrementAExpArrayFromE(double ex, double ey, double ez, double weight, int ir);
  void IncrementAExpArrayFromThetaPhi(double theta, double phi, double weight, int ir);
  // The sample at the point (x, y, z): bin of r = |(x,y,z)|, dropped silently beyond the last bin;
  // a sample at the origin adds w to A(0,0,0) of bin 0 only.
  void IncrementAExpArray(double x, double y, double z, double weight);
  // M array: every stored component += w ex^lx ey^ly ez^lz.
  void IncrementMArrayFromE(double ex, double ey, double ez, double weight, int ir);
  void IncrementMArrayFromThetaPhi(double theta, double phi, double weight, int ir);
  // The lx in {0, 1} increments of IncrementAExpArrayFromE computed by a rank recurrence instead
  // of the closed form, and without the trace fill (call FillRemainderX(ir) to complete the bin).
  void AltIncrementAExpArrayFromE(double ex, double ey, double ez, double weight, int ir);

  // Random fills for tests of transforms and fits; each first calls RandomInit(-12345) when randy
  // does not exist.
  void RandomInit(int seed);              // randy = new CRandom(seed), replacing the old one
  void Randomize(double scale, int ir);   // every stored component: scale (1 - 2u), u in [0,1)
  void RandomizeA(double scale, int ir);  // lx in {0,1} drawn, then FillRemainderX(ir)
  void RandomizeA_Gaussian(double scale, int ir);  // as RandomizeA with scale * N(0,1)
  void Randomize(double scale);                    // every bin, ir rising
  void RandomizeA(double scale);
  void RandomizeA_Gaussian(double scale);

  // Conversions of single elements and detracing (defined with the array conversions).
  double GetAExpElementFromMArray(int lx, int ly, int lz, int ir);
  double GetMElementFromAExpArray(int lx, int ly, int lz, int ir);
  void Detrace(int ir);
  void Detrace();

  // Text output and directories of component files "%s/lx%d_ly%d_lz%d.tmp": line 1
  // "%d %g\n" (NRADIAL, RADSTEP; more digits only when "%g" would not read back to within 1e-10
  // relative), then NRADIAL values, one a line.
  // WriteAX / ReadAX: the lx in {0, 1} components ("%g" values); the reader then fills lx >= 2 by
  // FillRemainderX(). WriteAllA / ReadAllA: every stored component ("%16.10e" values); the reader
  // also ends with FillRemainderX(). Fatal paths (exit status 1): a missing file
  // "Reading Error: <path>, does not exist\n"; a mesh mismatch "Mesh in %s out of whack:
  // RADSTEP=%g =? %g, NRADIAL=%d=?%d\n"; an unreadable header or value, a directory or file that
  // cannot be created: a message naming the path.
  void WriteAX(const char* dirname);
  void ReadAX(const char* dirname);
  void WriteAllA(const char* dirname);
  void ReadAllA(const char* dirname);
  // One-file table of the lx in {0, 1} components of rank <= lmax, one row per radial bin.
  void WriteShort(const char* filename, int lmax);
  // "XSYM=%d, YSYM=%d, ZSYM=%d\n" "LMAX=%d, NRADIAL=%d, RADSTEP=%g\n".
  void PrintPars() const;
  // The components of bin ir with rank <= lmax, printed as one triangle (lx rows, ly columns) per
  // rank.
  void PrintArrayFixedIR(int lmax, int ir) const;
  void PrintArrayFixedIR(int ir) const;

  // Ends the process ("CCHArray: bin ir=%d out of range (NRADIAL=%d)") unless
  // 0 <= ir < NRADIAL: every whole-bin operation checks its bins with it.
  void CheckBin(int ir) const {
    if (ir < 0 || ir >= NRADIAL) FatalBin(ir);
  }

  // Fields, in this order.
  bool XSYM, YSYM, ZSYM;
  double RADSTEP;
  int NRADIAL;
  int LMAX;
  double**** A;  // A[lx][ly][lz][ir]
  int dlx, dly, dlz;

  static CCHCalc* chcalc;  // shared coefficient tables, created by the first array, never freed
  static CRandom* randy;   // shared generator of the random fills, created on first use

 private:
  struct IncrementPlan;  // precomputed terms of the sample increment and the trace fill

  void Init(int lmax, int nradial, double radstep, bool xsym, bool ysym, bool zsym);
  // Creates the shared chcalc once (under a lock).
  static void EnsureSharedCalc();
  void DeleteArray();
  const IncrementPlan& Plan() const;
  void DropPlan();
  void FillRemainderXBin(const IncrementPlan& plan, int ir);
  [[noreturn]] void FatalBin(int ir) const;
  double WarnGet(int lx, int ly, int lz, int ir) const;
  [[noreturn]] void FatalSet(int lx, int ly, int lz, int ir) const;
  [[noreturn]] void FatalIncrement(int lx, int ly, int lz, int ir) const;
  void ReadComponent(const char* dirname, int lx, int ly, int lz);
  void WriteComponent(const char* dirname, int lx, int ly, int lz, const char* valueformat) const;

  double* storage_ = nullptr;  // one block holding every stored value
  int lmax_alloc_ = -1;        // LMAX the pointer levels of A were built for
  // The pointer levels of A, each level one block (arrays are made in threaded loops: three
  // allocations instead of one per (lx, ly) row): A itself, the A[lx] rows, the A[lx][ly] rows.
  std::vector<double***> level0_;
  std::vector<double**> level1_;
  std::vector<double*> level2_;
  // Built on first use for the current LMAX and steps; rebuilt when they change.
  // Published with a release store once complete (readers load it with acquire); built and
  // replaced under plan_mutex_.
  mutable IncrementPlan* plan_ = nullptr;
  mutable std::mutex plan_mutex_;
};

#endif  // FEMTOKIT_ARRAYS_CHARRAY_H

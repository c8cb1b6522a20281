#ifndef FEMTOKIT_ARRAYS_ARRAY3D_H
#define FEMTOKIT_ARRAYS_ARRAY3D_H

// C3DArray: a function of a three-vector (x, y, z) on a regular Cartesian grid.
//
// Each axis is folded into a sign half and a cell number of the absolute value:
// cell ix covers ix*DELX <= |x| < (ix+1)*DELX, centre (ix+0.5)*DELX, valid cells
// 0 ... NXMAX-1; the sign index isx is 0 for the non-negative side and 1 for the
// negative side. With XSYM set the function is even under x -> -x and only isx = 0
// is stored (likewise y and z). Units are those of the caller (fm for sources,
// MeV/c for correlation functions).
//
// Storage: F[isx][ix][isy][iy][isz][iz]; whole-array loops visit isx, ix, isy, iy,
// isz, iz in this nesting (isx outermost).
//
// Sign thresholds of the coordinate forms on an axis without symmetry (the three
// differ on purpose, so a point within rounding of a cell wall is placed the same
// way everywhere the system relies on it):
//   GetElement: negative side when the coordinate is below -1e-10;
//   SetElement, IncrementElement: below -1e-15;
//   GetElement_Interpolate: below +1e-10 (0 itself counts as negative there).
//
// Directory format (WriteArray / ReadArray): "<dir>/3Darraypars.dat" (a parameter
// file with the nine parameters, widths as "%g": the parameter map keeps six
// significant digits, so a width needing more comes back rounded and ReadArray
// rebuilds the grid with it) and one file "<dir>/ix%d_iy%d.tmp" per (ix, iy)
// with one line per iz holding nsz*nsy*nsx values "%17.10e " (isz outermost, isx
// innermost).
//
// The array owns F; copying is disabled (the storage is a raw jagged array).
// The shared generator `randy` is created lazily, and drawn from, under a lock: the random
// fills may be called from several threads (each fill draws its values in one go).

class CRandom;

class C3DArray {
 public:
  bool XSYM, YSYM, ZSYM;
  double DELX, DELY, DELZ;
  int NXMAX, NYMAX, NZMAX;
  double ******F;  // F[isx][ix][isy][iy][isz][iz]

  // Generator of Randomize / Randomize_Gaussian, shared by all grids; created with
  // seed -1234 on first use and never released.
  static CRandom *randy;

  C3DArray(int NXMAX, double DELX, int NYMAX, double DELY, int NZMAX, double DELZ, bool XSYM,
           bool YSYM, bool ZSYM);
  // NMAX cells of width DEL on every axis.
  C3DArray(int NMAX, double DEL, bool XSYM, bool YSYM, bool ZSYM);
  // From a parameter file: starts from all symmetries true, 20 cells of width 1.0
  // per axis, applies ReadPars (which prints the parameters), builds the storage.
  explicit C3DArray(const char *parsfilename);
  ~C3DArray();
  C3DArray(const C3DArray &) = delete;
  C3DArray &operator=(const C3DArray &) = delete;

  // Build zeroed storage from the current parameters (releasing any previous
  // storage first) / release it. Negative cell counts, widths <= 0 or not finite,
  // and grids beyond the library's table limit (numeric/checked_io.h) are fatal:
  // "C3DArray: bad grid NXYZMAX=(%d,%d,%d), DELXYZ=(%g,%g,%g)\n".
  void CreateArray();
  void DeleteArray();

  int GetNXMAX() const { return NXMAX; }
  int GetNYMAX() const { return NYMAX; }
  int GetNZMAX() const { return NZMAX; }
  double GetDELX() const { return DELX; }
  double GetDELY() const { return DELY; }
  double GetDELZ() const { return DELZ; }
  bool GetXSYM() const { return XSYM; }
  bool GetYSYM() const { return YSYM; }
  bool GetZSYM() const { return ZSYM; }

  // Index forms: no index test (the caller keeps isx < nsx, ix < NXMAX, ...).
  double GetElement(int isx, int ix, int isy, int iy, int isz, int iz) const {
    return F[isx][ix][isy][iy][isz][iz];
  }
  void SetElement(int isx, int ix, int isy, int iy, int isz, int iz, double value) {
    F[isx][ix][isy][iy][isz][iz] = value;
  }
  void IncrementElement(int isx, int ix, int isy, int iy, int isz, int iz, double value) {
    F[isx][ix][isy][iy][isz][iz] += value;
  }

  // Coordinate forms: the cell containing (x, y, z). A point with a cell index
  // beyond its range (|x| >= NXMAX*DELX, ...) reads 0.0; set and increment ignore
  // it. All silent; a non-finite coordinate is outside too.
  double GetElement(double x, double y, double z) const;
  void SetElement(double x, double y, double z, double value);
  void IncrementElement(double x, double y, double z, double value);

  // Trilinear interpolation between cell centres. Within half a cell of a plane
  // through the origin the lower neighbour is the mirror cell on the other side
  // (the same cell under symmetry). Between the last cell centre and the bound
  // (NXMAX+0.5)*DELX the last cell's value is held. Beyond that bound on any axis
  // the point is outside the grid and the result is 0.0 (the grid says nothing
  // there; this matches GetElement's rule for points beyond the grid).
  double GetElement_Interpolate(double x, double y, double z) const;

  void ZeroArray();
  void ScaleArray(double f);
  void MakeConstant(double c);
  // The stored value of largest absolute value, with its sign; on a tie the value
  // met first (storage order) stays; 0.0 for an all-zero array.
  double GetBiggest() const;
  // Every value uniform in [0, 1), resp. standard normal; draws in the nesting
  // isx, ix, isy, iy, iz, isz (isz innermost).
  void Randomize();
  void Randomize_Gaussian();

  // Prints "_______ 3DArray Pars ________", "XYZSYM=(..)", "NXYZMAX=(..)",
  // "DELXYZ=(..)", "_____________________________".
  void PrintPars() const;
  // Sets the parameters from a parameter file (keys XSYM, YSYM, ZSYM, IDENTICAL,
  // NXMAX, NYMAX, NZMAX, NXYZMAX, DELX, DELY, DELZ, DELXYZ; an absent key keeps the
  // current value; "DELXYZ" > 1e-10 sets all three widths before the individual
  // ones are read; a non-zero "NXYZMAX" overrides the three counts), then
  // PrintPars(). Does not touch the storage. A file that cannot be opened is fatal
  // (parameter-file reader).
  void ReadPars(const char *parsfilename);
  // Writes the directory (created if needed). Grid files of an earlier array that
  // the new grid does not replace are removed by name (from the old parameter file);
  // no other file is touched. Each file goes to a temporary name and is renamed into
  // place, the parameter file last. A file that cannot be created or written is fatal.
  void WriteArray(const char *dirname) const;
  // Reads a directory written by WriteArray. Parameters differing from the current
  // ones print "Warning: In ReadArray parameters have changed, new array being
  // created" and rebuild the storage. A missing parameter file or grid file, or a
  // file with fewer values than the grid needs, a value that is not a finite number
  // or a last value cut at the end of the file, is fatal:
  // "C3DArray::ReadArray: cannot read file %s\n" resp.
  // "C3DArray::ReadArray: file %s is too short\n".
  void ReadArray(const char *dirname);

 private:
  // Shape the storage F was built with (ReadPars may change the public
  // parameters afterwards; DeleteArray must still free what was allocated).
  bool alloc_sym_[3] = {true, true, true};
  int alloc_n_[3] = {0, 0, 0};
};

#endif  // FEMTOKIT_ARRAYS_ARRAY3D_H

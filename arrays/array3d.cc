#include "arrays/array3d.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <memory>
#include <string>
#include <system_error>

#include "config/parameter.h"
#include "numeric/checked_io.h"
#include "numeric/fatal.h"
#include "numeric/random.h"
#include "numeric/output.h"

CRandom *C3DArray::randy = nullptr;

namespace {

// Sign thresholds of the coordinate forms (see the header).
constexpr double kGetSignCut = -1e-10;
constexpr double kSetSignCut = -1e-15;
constexpr double kInterpolateSignCut = 1e-10;

// Fatal when a directory cannot be made, so that no writer fails file by file.
void MakeDirectory(const char *dirname) {
  std::error_code ec;
  std::filesystem::create_directories(dirname, ec);
  if (ec || !std::filesystem::is_directory(dirname))
    femtokit::Fatal("C3DArray::WriteArray: cannot create directory %s\n", dirname);
}

// "<dir>/ix%d_iy%d.tmp": the grid file of one (ix, iy) column.
std::string GridFileName(const char *dirname, int ix, int iy) {
  return std::string(dirname) + "/ix" + std::to_string(ix) + "_iy" + std::to_string(iy) + ".tmp";
}

// Removes the files of the grid that an earlier WriteArray left in the directory (named by its
// parameter file) that the new grid of nx x ny columns does not replace. Files the grid did not
// write are left alone, whatever their names.
void RemoveOldGridFiles(const char *dirname, int nx, int ny) {
  const std::string parsname = std::string(dirname) + "/3Darraypars.dat";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(parsname, ec)) return;
  parameter_map pars;
  parameter::ReadParsFromFile(pars, parsname);
  int oldn[2] = {parameter::getI(pars, "NXMAX", 0), parameter::getI(pars, "NYMAX", 0)};
  const int nxyz = parameter::getI(pars, "NXYZMAX", 0);
  if (nxyz != 0) oldn[0] = oldn[1] = nxyz;
  // The old files go before the new ones are written, so remove the old parameter file
  // first: until the new one is written last, the directory holds no readable grid.
  std::filesystem::remove(parsname, ec);
  // A count no grid of this library can have names no files of it.
  if (double(oldn[0]) * oldn[1] > femtokit::kMaxTableValues) return;
  for (int ix = 0; ix < oldn[0]; ix++)
    for (int iy = 0; iy < oldn[1]; iy++)
      if (ix >= nx || iy >= ny) std::filesystem::remove(GridFileName(dirname, ix, iy), ec);
}

// Cell index floor(|u|/del) of a coordinate; false when it is beyond the last cell.
// The range test is made in double before the conversion to int, so that a huge
// or non-finite coordinate counts as outside instead of overflowing the int.
bool CellIndex(double u, double del, int nmax, int *i) {
  const double f = std::floor(std::fabs(u) / del);
  if (!(f < nmax)) return false;
  *i = static_cast<int>(f);
  return true;
}

}  // namespace

C3DArray::C3DArray(int NXMAX_in, double DELX_in, int NYMAX_in, double DELY_in, int NZMAX_in,
                   double DELZ_in, bool XSYM_in, bool YSYM_in, bool ZSYM_in)
    : XSYM(XSYM_in),
      YSYM(YSYM_in),
      ZSYM(ZSYM_in),
      DELX(DELX_in),
      DELY(DELY_in),
      DELZ(DELZ_in),
      NXMAX(NXMAX_in),
      NYMAX(NYMAX_in),
      NZMAX(NZMAX_in),
      F(nullptr) {
  CreateArray();
}

C3DArray::C3DArray(int NMAX, double DEL, bool XSYM_in, bool YSYM_in, bool ZSYM_in)
    : C3DArray(NMAX, DEL, NMAX, DEL, NMAX, DEL, XSYM_in, YSYM_in, ZSYM_in) {}

C3DArray::C3DArray(const char *parsfilename)
    : XSYM(true),
      YSYM(true),
      ZSYM(true),
      DELX(1.0),
      DELY(1.0),
      DELZ(1.0),
      NXMAX(20),
      NYMAX(20),
      NZMAX(20),
      F(nullptr) {
  ReadPars(parsfilename);
  CreateArray();
}

C3DArray::~C3DArray() { DeleteArray(); }

void C3DArray::CreateArray() {
  DeleteArray();
  // A negative count cannot be allocated and a width <= 0 cannot map a coordinate
  // to a cell; both would otherwise fail later without a word.
  if (NXMAX < 0 || NYMAX < 0 || NZMAX < 0 || !(DELX > 0.0) || !(DELY > 0.0) || !(DELZ > 0.0) ||
      !std::isfinite(DELX) || !std::isfinite(DELY) || !std::isfinite(DELZ))
    femtokit::Fatal("C3DArray: bad grid NXYZMAX=(%d,%d,%d), DELXYZ=(%g,%g,%g)\n", NXMAX, NYMAX,
                    NZMAX, DELX, DELY, DELZ);
  femtokit::CheckTableSize(
      double(XSYM ? 1 : 2) * NXMAX * (YSYM ? 1 : 2) * NYMAX * (ZSYM ? 1 : 2) * NZMAX, "the grid",
      "C3DArray");
  alloc_sym_[0] = XSYM, alloc_sym_[1] = YSYM, alloc_sym_[2] = ZSYM;
  alloc_n_[0] = NXMAX, alloc_n_[1] = NYMAX, alloc_n_[2] = NZMAX;
  const int nsx = XSYM ? 1 : 2, nsy = YSYM ? 1 : 2, nsz = ZSYM ? 1 : 2;
  F = new double *****[nsx];
  for (int isx = 0; isx < nsx; isx++) {
    F[isx] = new double ****[NXMAX];
    for (int ix = 0; ix < NXMAX; ix++) {
      F[isx][ix] = new double ***[nsy];
      for (int isy = 0; isy < nsy; isy++) {
        F[isx][ix][isy] = new double **[NYMAX];
        for (int iy = 0; iy < NYMAX; iy++) {
          F[isx][ix][isy][iy] = new double *[nsz];
          for (int isz = 0; isz < nsz; isz++) F[isx][ix][isy][iy][isz] = new double[NZMAX]();
        }
      }
    }
  }
}

void C3DArray::DeleteArray() {
  if (F == nullptr) return;
  // Released with the shape it was built with: ReadPars may have changed the
  // parameters since.
  const int nsx = alloc_sym_[0] ? 1 : 2, nsy = alloc_sym_[1] ? 1 : 2, nsz = alloc_sym_[2] ? 1 : 2;
  for (int isx = 0; isx < nsx; isx++) {
    for (int ix = 0; ix < alloc_n_[0]; ix++) {
      for (int isy = 0; isy < nsy; isy++) {
        for (int iy = 0; iy < alloc_n_[1]; iy++) {
          for (int isz = 0; isz < nsz; isz++) delete[] F[isx][ix][isy][iy][isz];
          delete[] F[isx][ix][isy][iy];
        }
        delete[] F[isx][ix][isy];
      }
      delete[] F[isx][ix];
    }
    delete[] F[isx];
  }
  delete[] F;
  F = nullptr;
}

double C3DArray::GetElement(double x, double y, double z) const {
  int ix, iy, iz;
  if (!CellIndex(x, DELX, NXMAX, &ix) || !CellIndex(y, DELY, NYMAX, &iy) ||
      !CellIndex(z, DELZ, NZMAX, &iz))
    return 0.0;
  const int isx = (!XSYM && x < kGetSignCut) ? 1 : 0;
  const int isy = (!YSYM && y < kGetSignCut) ? 1 : 0;
  const int isz = (!ZSYM && z < kGetSignCut) ? 1 : 0;
  return F[isx][ix][isy][iy][isz][iz];
}

void C3DArray::SetElement(double x, double y, double z, double value) {
  int ix, iy, iz;
  if (!CellIndex(x, DELX, NXMAX, &ix) || !CellIndex(y, DELY, NYMAX, &iy) ||
      !CellIndex(z, DELZ, NZMAX, &iz))
    return;
  const int isx = (!XSYM && x < kSetSignCut) ? 1 : 0;
  const int isy = (!YSYM && y < kSetSignCut) ? 1 : 0;
  const int isz = (!ZSYM && z < kSetSignCut) ? 1 : 0;
  F[isx][ix][isy][iy][isz][iz] = value;
}

void C3DArray::IncrementElement(double x, double y, double z, double value) {
  int ix, iy, iz;
  if (!CellIndex(x, DELX, NXMAX, &ix) || !CellIndex(y, DELY, NYMAX, &iy) ||
      !CellIndex(z, DELZ, NZMAX, &iz))
    return;
  const int isx = (!XSYM && x < kSetSignCut) ? 1 : 0;
  const int isy = (!YSYM && y < kSetSignCut) ? 1 : 0;
  const int isz = (!ZSYM && z < kSetSignCut) ? 1 : 0;
  F[isx][ix][isy][iy][isz][iz] += value;
}

namespace {

// One axis of the trilinear interpolation: the upper and lower cells (with their
// sign indices) bracketing |u| between cell centres, and the lower cell's weight.
// Returns false when |u| lies beyond (nmax+0.5)*del, outside the grid.
struct AxisStencil {
  int is_up, i_up, is_lo, i_lo;
  double w_lo;
};

bool MakeStencil(double u, double del, int nmax, bool sym, AxisStencil *s) {
  const double au = std::fabs(u);
  const double fi = std::floor(au / del + 0.5);
  // Beyond the half cell past the last centre the grid holds no information
  // (tested in double: a huge or non-finite coordinate is outside too).
  if (!(fi <= nmax)) return false;
  int i = static_cast<int>(fi);
  const int is = (!sym && u < kInterpolateSignCut) ? 1 : 0;
  s->w_lo = ((i + 0.5) * del - au) / del;
  s->is_up = is;
  s->is_lo = is;
  int il = i - 1;
  if (il < 0) {
    // Within half a cell of the plane u = 0: the lower neighbour is the mirror
    // cell on the other side (the same cell when the axis is symmetric).
    il = 0;
    s->is_lo = sym ? is : 1 - is;
  }
  // Between the last centre and the bound: hold the last cell.
  if (i == nmax) i = il;
  s->i_up = i;
  s->i_lo = il;
  return true;
}

}  // namespace

double C3DArray::GetElement_Interpolate(double x, double y, double z) const {
  AxisStencil sx, sy, sz;
  if (!MakeStencil(x, DELX, NXMAX, XSYM, &sx) || !MakeStencil(y, DELY, NYMAX, YSYM, &sy) ||
      !MakeStencil(z, DELZ, NZMAX, ZSYM, &sz))
    return 0.0;
  const int isx[2] = {sx.is_up, sx.is_lo}, ix[2] = {sx.i_up, sx.i_lo};
  const int isy[2] = {sy.is_up, sy.is_lo}, iy[2] = {sy.i_up, sy.i_lo};
  const int isz[2] = {sz.is_up, sz.is_lo}, iz[2] = {sz.i_up, sz.i_lo};
  const double wx[2] = {1.0 - sx.w_lo, sx.w_lo};
  const double wy[2] = {1.0 - sy.w_lo, sy.w_lo};
  const double wz[2] = {1.0 - sz.w_lo, sz.w_lo};
  double result = 0.0;
  for (int a = 0; a < 2; a++)
    for (int b = 0; b < 2; b++)
      for (int c = 0; c < 2; c++)
        result += wx[a] * wy[b] * wz[c] * F[isx[a]][ix[a]][isy[b]][iy[b]][isz[c]][iz[c]];
  return result;
}

namespace {

// Visits every cell in storage order (isx, ix, isy, iy, isz, iz).
template <typename Visit>
void ForEachCell(const C3DArray &g, Visit visit) {
  const int nsx = g.XSYM ? 1 : 2, nsy = g.YSYM ? 1 : 2, nsz = g.ZSYM ? 1 : 2;
  for (int isx = 0; isx < nsx; isx++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int isy = 0; isy < nsy; isy++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int isz = 0; isz < nsz; isz++)
            for (int iz = 0; iz < g.NZMAX; iz++) visit(g.F[isx][ix][isy][iy][isz][iz]);
}

// Visits every cell in the drawing order of the randomising operations
// (isx, ix, isy, iy, iz, isz: isz innermost).
template <typename Visit>
void ForEachCellDrawOrder(C3DArray &g, Visit visit) {
  const int nsx = g.XSYM ? 1 : 2, nsy = g.YSYM ? 1 : 2, nsz = g.ZSYM ? 1 : 2;
  for (int isx = 0; isx < nsx; isx++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int isy = 0; isy < nsy; isy++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int iz = 0; iz < g.NZMAX; iz++)
            for (int isz = 0; isz < nsz; isz++) visit(g.F[isx][ix][isy][iy][isz][iz]);
}

}  // namespace

void C3DArray::ZeroArray() {
  ForEachCell(*this, [](double &v) { v = 0.0; });
}

void C3DArray::ScaleArray(double f) {
  ForEachCell(*this, [f](double &v) { v *= f; });
}

void C3DArray::MakeConstant(double c) {
  ForEachCell(*this, [c](double &v) { v = c; });
}

double C3DArray::GetBiggest() const {
  double biggest = 0.0;
  ForEachCell(*this, [&biggest](double &v) {
    if (std::fabs(v) > std::fabs(biggest)) biggest = v;
  });
  return biggest;
}

namespace {
// Guards the shared generator: its creation and every fill's draws.
std::mutex &RandomMutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

void C3DArray::Randomize() {
  const std::lock_guard<std::mutex> lock(RandomMutex());
  if (randy == nullptr) randy = new CRandom(-1234);
  ForEachCellDrawOrder(*this, [](double &v) { v = randy->ran(); });
}

void C3DArray::Randomize_Gaussian() {
  const std::lock_guard<std::mutex> lock(RandomMutex());
  if (randy == nullptr) randy = new CRandom(-1234);
  ForEachCellDrawOrder(*this, [](double &v) { v = randy->gauss(); });
}

void C3DArray::PrintPars() const {
  printf("_______ 3DArray Pars ________\n");
  printf("XYZSYM=(%d,%d,%d)\n", int(XSYM), int(YSYM), int(ZSYM));
  printf("NXYZMAX=(%d,%d,%d)\n", NXMAX, NYMAX, NZMAX);
  printf("DELXYZ=(%g,%g,%g)\n", DELX, DELY, DELZ);
  printf("_____________________________\n");
}

void C3DArray::ReadPars(const char *parsfilename) {
  parameter_map pars;
  parameter::ReadParsFromFile(pars, parsfilename);
  if (parameter::getB(pars, "IDENTICAL", false)) {
    parameter::set(pars, "XSYM", 1);
    parameter::set(pars, "YSYM", 1);
    parameter::set(pars, "ZSYM", 1);
  }
  // A common width first, so that an explicit DELX, DELY or DELZ overrides it.
  const double delxyz = parameter::getD(pars, "DELXYZ", 0.0);
  if (delxyz > 1e-10) DELX = DELY = DELZ = delxyz;
  NXMAX = parameter::getI(pars, "NXMAX", NXMAX);
  NYMAX = parameter::getI(pars, "NYMAX", NYMAX);
  NZMAX = parameter::getI(pars, "NZMAX", NZMAX);
  DELX = parameter::getD(pars, "DELX", DELX);
  DELY = parameter::getD(pars, "DELY", DELY);
  DELZ = parameter::getD(pars, "DELZ", DELZ);
  XSYM = parameter::getI(pars, "XSYM", XSYM ? 1 : 0) != 0;
  YSYM = parameter::getI(pars, "YSYM", YSYM ? 1 : 0) != 0;
  ZSYM = parameter::getI(pars, "ZSYM", ZSYM ? 1 : 0) != 0;
  const int nxyzmax = parameter::getI(pars, "NXYZMAX", 0);
  if (nxyzmax != 0) NXMAX = NYMAX = NZMAX = nxyzmax;
  if (femtokit::GetVerbosity() >= femtokit::Verbosity::kProgress) PrintPars();
}

void C3DArray::WriteArray(const char *dirname) const {
  MakeDirectory(dirname);
  RemoveOldGridFiles(dirname, NXMAX, NYMAX);
  // Each file is written under a temporary name and renamed into place; the parameter
  // file last, so that a write cut short leaves no directory that reads as complete.
  const int nsx = XSYM ? 1 : 2, nsy = YSYM ? 1 : 2, nsz = ZSYM ? 1 : 2;
  for (int ix = 0; ix < NXMAX; ix++) {
    for (int iy = 0; iy < NYMAX; iy++) {
      femtokit::AtomicFile file(GridFileName(dirname, ix, iy));
      for (int iz = 0; iz < NZMAX; iz++) {
        for (int isz = 0; isz < nsz; isz++)
          for (int isy = 0; isy < nsy; isy++)
            for (int isx = 0; isx < nsx; isx++)
              fprintf(file.get(), "%17.10e ", F[isx][ix][isy][iy][isz][iz]);
        fprintf(file.get(), "\n");
      }
      file.Commit();
    }
  }
  femtokit::AtomicFile pars(std::string(dirname) + "/3Darraypars.dat");
  FILE *fptr = pars.get();
  fprintf(fptr, "bool XSYM %d\n", int(XSYM));
  fprintf(fptr, "bool YSYM %d\n", int(YSYM));
  fprintf(fptr, "bool ZSYM %d\n", int(ZSYM));
  fprintf(fptr, "int NXMAX %d\n", NXMAX);
  fprintf(fptr, "int NYMAX %d\n", NYMAX);
  fprintf(fptr, "int NZMAX %d\n", NZMAX);
  fprintf(fptr, "double DELX %g\n", DELX);
  fprintf(fptr, "double DELY %g\n", DELY);
  fprintf(fptr, "double DELZ %g\n", DELZ);
  pars.Commit();
}

void C3DArray::ReadArray(const char *dirname) {
  const bool oldsym[3] = {XSYM, YSYM, ZSYM};
  const int oldn[3] = {NXMAX, NYMAX, NZMAX};
  const double olddel[3] = {DELX, DELY, DELZ};
  char filename[4096];
  snprintf(filename, sizeof filename, "%s/3Darraypars.dat", dirname);
  if (!std::filesystem::is_regular_file(filename))
    femtokit::Fatal("C3DArray::ReadArray: cannot read file %s\n", filename);
  ReadPars(filename);
  if (NXMAX != oldn[0] || NYMAX != oldn[1] || NZMAX != oldn[2] || XSYM != oldsym[0] ||
      YSYM != oldsym[1] || ZSYM != oldsym[2] || std::fabs(DELX - olddel[0]) > 1e-10 ||
      std::fabs(DELY - olddel[1]) > 1e-10 || std::fabs(DELZ - olddel[2]) > 1e-10) {
    femtokit::Warn("Warning: In ReadArray parameters have changed, new array being created\n");
    DeleteArray();
    CreateArray();
  }

  const int nsx = XSYM ? 1 : 2, nsy = YSYM ? 1 : 2, nsz = ZSYM ? 1 : 2;
  for (int ix = 0; ix < NXMAX; ix++) {
    for (int iy = 0; iy < NYMAX; iy++) {
      const std::string name = GridFileName(dirname, ix, iy);
      FILE *fptr = fopen(name.c_str(), "r");
      if (fptr == nullptr)
        femtokit::Fatal("C3DArray::ReadArray: cannot read file %s\n", name.c_str());
      std::unique_ptr<FILE, int (*)(FILE *)> closer(fptr, fclose);
      int index = 0;
      for (int iz = 0; iz < NZMAX; iz++) {
        for (int isz = 0; isz < nsz; isz++)
          for (int isy = 0; isy < nsy; isy++)
            for (int isx = 0; isx < nsx; isx++) {
              // Whole (not cut at the end of the file) and finite values only.
              const femtokit::NumberStatus status =
                  femtokit::ReadNumber(fptr, &F[isx][ix][isy][iy][isz][iz]);
              ++index;
              if (status == femtokit::NumberStatus::kEnd)
                femtokit::Fatal("C3DArray::ReadArray: file %s is too short\n", name.c_str());
              if (status != femtokit::NumberStatus::kOk)
                femtokit::NumberFatal(status, name, index, "value");
            }
      }
    }
  }
}

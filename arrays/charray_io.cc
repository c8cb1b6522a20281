// Text interfaces of CCHArray: construction from a parameter file, directories of component
// files, the one-file summary table and the printouts.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "arrays/charray.h"
#include "config/checked_pars.h"
#include "config/parameter.h"
#include "numeric/checked_io.h"
#include "numeric/fatal.h"

namespace {

// "%s/lx%d_ly%d_lz%d.tmp"
std::string ComponentPath(const char* dirname, int lx, int ly, int lz) {
  char name[64];
  snprintf(name, sizeof name, "/lx%d_ly%d_lz%d.tmp", lx, ly, lz);
  return std::string(dirname) + name;
}

// The bin width as the file header carries it: "%g" whenever that reads back to within 1e-10
// (relative), else the fewest extra digits that do, so that a written directory always passes
// the mesh test of the array that wrote it.
std::string RadstepText(double radstep) {
  char buf[40];
  for (int digits = 6; digits <= 17; ++digits) {
    snprintf(buf, sizeof buf, "%.*g", digits, radstep);
    const double back = strtod(buf, nullptr);
    if (back == radstep || std::fabs(back - radstep) <= 1e-10 * std::fabs(radstep)) break;
  }
  return buf;
}

void MakeDirectory(const char* dirname) {
  std::error_code ec;
  std::filesystem::create_directories(dirname, ec);
  if (!std::filesystem::is_directory(dirname, ec)) {
    femtokit::Fatal("Cannot create directory %s\n", dirname);
  }
}

}  // namespace

CCHArray::CCHArray(const char* arrayparsfilename) {
  dlx = dly = dlz = 1;
  A = nullptr;
  EnsureSharedCalc();
  parameter_map pars;
  parameter::set(pars, "LMAX", 4);
  parameter::set(pars, "NRADIAL", 25);
  parameter::set(pars, "RADSTEP", 1.0);
  parameter::set(pars, "IDENTICAL", false);
  parameter::set(pars, "XSYM", false);
  parameter::set(pars, "YSYM", false);
  parameter::set(pars, "ZSYM", false);
  parameter::ReadParsFromFile(pars, arrayparsfilename);
  if (parameter::getB(pars, "IDENTICAL", false)) {
    parameter::set(pars, "XSYM", true);
    parameter::set(pars, "YSYM", true);
    parameter::set(pars, "ZSYM", true);
  }
  // Counts beyond an int are refused here, before they could wrap.
  const std::string where = std::string("array parameters ") + arrayparsfilename;
  Init(parameter::getCount(pars, "LMAX", 4, 0, CCHCalc::LMAXFACT, where),
       parameter::getCount(pars, "NRADIAL", 25, 0, INT32_MAX, where),
       parameter::getPositive(pars, "RADSTEP", 1.0, where), parameter::getB(pars, "XSYM", false),
       parameter::getB(pars, "YSYM", false), parameter::getB(pars, "ZSYM", false));
}

// ---------------------------------------------------------------- component files

void CCHArray::WriteComponent(const char* dirname, int lx, int ly, int lz,
                              const char* valueformat) const {
  const std::string path = ComponentPath(dirname, lx, ly, lz);
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr) femtokit::Fatal("Cannot open %s for writing\n", path.c_str());
  fprintf(f, "%d %s\n", NRADIAL, RadstepText(RADSTEP).c_str());
  for (int ir = 0; ir < NRADIAL; ++ir) fprintf(f, valueformat, A[lx][ly][lz][ir]);
  femtokit::CloseWritten(f, path);
}

void CCHArray::ReadComponent(const char* dirname, int lx, int ly, int lz) {
  const std::string path = ComponentPath(dirname, lx, ly, lz);
  // Reading on without the file would leave the component silently empty.
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    femtokit::Fatal("Reading Error: %s, does not exist\n", path.c_str());
  }
  FILE* f = std::filesystem::is_directory(path, ec) ? nullptr : fopen(path.c_str(), "r");
  if (f == nullptr) femtokit::Fatal("Reading Error: %s, cannot be opened\n", path.c_str());
  std::unique_ptr<FILE, int (*)(FILE*)> closer(f, fclose);
  double header[2] = {0.0, 0.0};
  for (double& h : header)
    if (femtokit::ReadNumber(f, &h) != femtokit::NumberStatus::kOk)
      femtokit::Fatal("Reading Error: %s, no mesh header\n", path.c_str());
  const double n = header[0], step = header[1];
  if (std::fabs(step - RADSTEP) > 1e-6 || n != NRADIAL) {
    femtokit::Fatal("Mesh in %s out of whack: RADSTEP=%g =? %g, NRADIAL=%d=?%.0f\n", path.c_str(),
                    RADSTEP, step, NRADIAL, n);
  }
  // Every value whole (not cut at the end of the file) and finite.
  for (int ir = 0; ir < NRADIAL; ++ir) {
    const femtokit::NumberStatus status = femtokit::ReadNumber(f, &A[lx][ly][lz][ir]);
    if (status == femtokit::NumberStatus::kEnd)
      femtokit::Fatal("Reading Error: %s, value %d of %d missing\n", path.c_str(), ir + 1, NRADIAL);
    if (status != femtokit::NumberStatus::kOk) femtokit::NumberFatal(status, path, ir + 1, "value");
  }
}

void CCHArray::WriteAX(const char* dirname) {
  MakeDirectory(dirname);
  for (int lx = 0; lx <= 1 && lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) WriteComponent(dirname, lx, ly, lz, "%g\n");
}

void CCHArray::ReadAX(const char* dirname) {
  for (int lx = 0; lx <= 1 && lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) ReadComponent(dirname, lx, ly, lz);
  FillRemainderX();
}

void CCHArray::WriteAllA(const char* dirname) {
  MakeDirectory(dirname);
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz)
        WriteComponent(dirname, lx, ly, lz, "%16.10e\n");
}

void CCHArray::ReadAllA(const char* dirname) {
  for (int lx = 0; lx <= LMAX; lx += dlx)
    for (int ly = 0; ly <= LMAX - lx; ly += dly)
      for (int lz = 0; lz <= LMAX - lx - ly; lz += dlz) ReadComponent(dirname, lx, ly, lz);
  FillRemainderX();
}

// ---------------------------------------------------------------- summary and printouts

void CCHArray::WriteShort(const char* filename, int lmax) {
  if (lmax > LMAX) lmax = LMAX;
  FILE* f = fopen(filename, "w");
  if (f == nullptr) femtokit::Fatal("Cannot open %s for writing\n", filename);
  auto stored = [this](int lx, int ly, int lz) {
    return lx % dlx == 0 && ly % dly == 0 && lz % dlz == 0;
  };
  fprintf(f, "!       ");
  for (int L = 0; L <= lmax; ++L)
    for (int lx = 0; lx <= 1; ++lx)
      for (int ly = 0; ly <= L - lx; ++ly) {
        const int lz = L - lx - ly;
        if (stored(lx, ly, lz)) fprintf(f, "  (%d,%d,%d)  ", lx, ly, lz);
      }
  fprintf(f, "\n");
  for (int ir = 0; ir < NRADIAL; ++ir) {
    fprintf(f, "%7.2f ", (ir + 0.5) * RADSTEP);
    for (int L = 0; L <= lmax; ++L)
      for (int lx = 0; lx <= 1; ++lx)
        for (int ly = 0; ly <= L - lx; ++ly) {
          const int lz = L - lx - ly;
          if (stored(lx, ly, lz)) fprintf(f, " %9.2e ", GetElement(lx, ly, lz, ir));
        }
    fprintf(f, "\n");
  }
  femtokit::CloseWritten(f, filename);
}

void CCHArray::PrintPars() const {
  printf("XSYM=%d, YSYM=%d, ZSYM=%d\n", int(XSYM), int(YSYM), int(ZSYM));
  printf("LMAX=%d, NRADIAL=%d, RADSTEP=%g\n", LMAX, NRADIAL, RADSTEP);
}

void CCHArray::PrintArrayFixedIR(int lmax, int ir) const {
  const int dL = (XSYM && YSYM && ZSYM) ? 2 : 1;
  if (lmax > LMAX) lmax = LMAX;
  printf("\n______________________________________________________\n");
  for (int L = 0; L <= lmax; L += dL) {
    printf("     L=%d\n", L);
    printf(" lx\\ly:");
    for (int ly = 0; ly <= L; ly += dly) printf(" %4d       ", ly);
    printf("\n");
    for (int lx = 0; lx <= L; lx += dlx) {
      printf(" %3d ", lx);
      for (int ly = 0; ly <= L - lx; ly += dly) {
        const int lz = L - lx - ly;
        if (ZSYM && (lz % 2) == 1) {
          printf("%10.3e ", 0.0);
        } else {
          printf(" %10.3e ", GetElement(lx, ly, lz, ir));
        }
      }
      printf("\n");
    }
    printf("_________________________________________\n");
  }
}

void CCHArray::PrintArrayFixedIR(int ir) const { PrintArrayFixedIR(LMAX, ir); }

#include "kernel/kernel.h"

#include <gsl/gsl_sf_bessel.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/checked_pars.h"
#include "config/parameter.h"
#include "kernel/kernelgrid.h"
#include "numeric/checked_io.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "numeric/output.h"

namespace {

using femtokit::constants::kHbarC;

// "<dir>/ell%d_q%07.2f.tmp": the file of one ell and one q point.
std::string KernelFileName(const char* dir, int ell, double q) {
  const int n = snprintf(nullptr, 0, "%s/ell%d_q%07.2f.tmp", dir, ell, q);
  std::vector<char> buf(n + 1);
  snprintf(buf.data(), buf.size(), "%s/ell%d_q%07.2f.tmp", dir, ell, q);
  return std::string(buf.data());
}

// Size limits of a kernel table (beyond them a table is no longer a meaningful kernel,
// and the total is checked against the library's table limit as well).
constexpr int kMaxPoints = 100000000;
constexpr int kMaxEll = 10000;

// Files of a kernel directory that tell a whole table from a partial one: the marker
// exists while a write is under way (a leftover one means the write failed), the
// manifest is written last and describes the complete table.
constexpr char kWritingMarker[] = "kernel.writing";
constexpr char kManifest[] = "kernel.manifest";

std::string DirFile(const char* dir, const char* name) { return std::string(dir) + "/" + name; }

// The grid a kernel directory's manifest describes.
struct Manifest {
  int nqmax, nrmax, lmax, files;
  double delq, delr;
  bool identical;
  std::string pair;
};

Manifest ReadManifest(const std::string& path) {
  parameter_map m;
  parameter::ReadParsFromFile(m, path);
  Manifest man;
  man.nqmax = parameter::getCount(m, "NQMAX", 0, 1, kMaxPoints, path);
  man.nrmax = parameter::getCount(m, "NRMAX", 0, 1, kMaxPoints, path);
  man.lmax = parameter::getCount(m, "KLMAX", -1, 0, kMaxEll, path);
  man.files = parameter::getCount(m, "FILES", 0, 1, INT32_MAX, path);
  // The spacings are stored as text with all their digits (a "double" entry would keep six).
  man.delq = femtokit::CheckPositive(atof(parameter::getS(m, "DELQ", "0").c_str()), "DELQ", path);
  man.delr = femtokit::CheckPositive(atof(parameter::getS(m, "DELR", "0").c_str()), "DELR", path);
  man.identical = parameter::getB(m, "IDENTICAL", false);
  man.pair = parameter::getS(m, "PAIR", "");
  const int expected = (man.identical ? man.lmax / 2 + 1 : man.lmax + 1) * man.nqmax;
  if (man.files != expected)
    femtokit::Fatal("%s: FILES = %d disagrees with the grid it describes (%d files)\n",
                    path.c_str(), man.files, expected);
  return man;
}

// Read accepts a header spacing within 1e-8 fm of delr. "%g" keeps six
// significant digits, which is not enough for spacings such as 1/3 fm: add
// digits until the text reads back within that tolerance.
std::string SpacingText(double delr) {
  char buf[64];
  snprintf(buf, sizeof buf, "%g", delr);
  for (int digits = 7; digits <= 17 && fabs(atof(buf) - delr) > 1e-8; digits++)
    snprintf(buf, sizeof buf, "%.*g", digits, delr);
  return std::string(buf);
}

// Bilinear-interpolation partner and weights along one axis of bin centres
// (i + 0.5) del, i < n: x lies between centres i1 and i2 with weights w1, w2.
// Below the first centre and from the last one on, both partners are the end
// point (flat continuation).
void AxisWeights(double x, double del, int n, int& i, int& i1, int& i2, double& w1, double& w2) {
  // The bin index in double first: below the grid it is held at -1 (flat continuation).
  const double fi = floor(x / del);
  i = fi < -1.0 ? -1 : fi > n ? n : static_cast<int>(fi);
  const double xc = (i + 0.5) * del;
  if (x < xc) {
    i1 = std::max(i - 1, 0);
    i2 = std::min(i, n - 1);
    w2 = std::min(fabs(del - fabs(xc - x)) / del, 1.0);
    w1 = 1.0 - w2;
  } else {
    i1 = std::min(i, n - 1);
    i2 = std::min(i + 1, n - 1);
    w1 = std::min(fabs(del - fabs(x - xc)) / del, 1.0);
    w2 = 1.0 - w1;
  }
}

}  // namespace

CKernel::CKernel(const char* parsfilename) {
  ParsInit(parsfilename);
  // Sizes that would make the tables meaningless (or the allocation undefined).
  if (nqmax < 1 || nrmax < 1 || LMAX < 0 || !(delq > 0.0) || !(delr > 0.0))
    femtokit::Fatal(
        "CKernel: %s must give NQMAX >= 1, NRMAX >= 1, KLMAX >= 0, DELQ > 0 and DELR > 0\n",
        parsfilename);
  const int step = IDENTICAL ? 2 : 1;
  kernel = new double**[LMAX + 1];
  for (int ell = 0; ell <= LMAX; ell++) {
    if (ell % step != 0) {
      kernel[ell] = nullptr;
      continue;
    }
    kernel[ell] = new double*[nqmax];
    for (int iq = 0; iq < nqmax; iq++) kernel[ell][iq] = new double[nrmax]();
  }
  P = new double[std::max(LMAX + 1, 2)]();
}

CKernel::~CKernel() {
  for (int ell = 0; ell <= LMAX; ell++) {
    if (kernel[ell] == nullptr) continue;
    for (int iq = 0; iq < nqmax; iq++) delete[] kernel[ell][iq];
    delete[] kernel[ell];
  }
  delete[] kernel;
  delete[] P;
  femtokit::Progress("kernel object deleted\n");
}

void CKernel::ParsInit(const char* parsfilename) {
  const femtokit::KernelGridPars grid = femtokit::ReadKernelGridPars(parsfilename, "KLMAX", 24);
  const parameter_map& pars = grid.pars;
  nqmax = grid.nqmax;
  nrmax = grid.nrmax;
  LMAX = grid.extra;
  delq = grid.delq;
  delr = grid.delr;
  IDENTICAL = grid.identical;
  // Sizes, spacings and file names are checked before anything is allocated.
  if (nqmax >= 1 && nrmax >= 1 && LMAX >= 0 && delq > 0.0 && delr > 0.0) {
    const std::string where = std::string("kernel parameters ") + parsfilename;
    nqmax = parameter::getCount(pars, "NQMAX", 25, 1, kMaxPoints, where);
    nrmax = parameter::getCount(pars, "NRMAX", 120, 1, kMaxPoints, where);
    LMAX = parameter::getCount(pars, "KLMAX", 24, 0, kMaxEll, where);
    femtokit::CheckKernelGrid(where, nqmax, delq, delr,
                              double(IDENTICAL ? LMAX / 2 + 1 : LMAX + 1) * nqmax * nrmax,
                              [](double q) { return KernelFileName("", 0, q); });
  }
  // The sizes as checked (getCount returns the values it accepted).
  femtokit::KernelGridPars checked = grid;
  checked.nqmax = nqmax;
  checked.nrmax = nrmax;
  femtokit::ReportKernelGrid(parsfilename, "KERNEL", checked,
                             "KLMAX=" + std::to_string(LMAX) + "\n");
}

void CKernel::Read(const char* datadir) {
  // A table whose write was cut short (marker left behind) or whose manifest does not
  // describe the files read is refused: a mix of two tables must never be used.
  std::error_code ec;
  const std::string marker = DirFile(datadir, kWritingMarker);
  if (std::filesystem::exists(marker, ec))
    femtokit::Fatal(
        "CKernel::Read: kernel directory %s holds an unfinished write (%s present); "
        "write the table again\n",
        datadir, kWritingMarker);
  const std::string manifest_path = DirFile(datadir, kManifest);
  const bool has_manifest = std::filesystem::exists(manifest_path, ec);
  Manifest man{};
  if (has_manifest) {
    man = ReadManifest(manifest_path);
    if (fabs(man.delr - delr) > 1e-8 || man.nrmax < nrmax || man.lmax < LMAX)
      femtokit::Fatal(
          "CKernel::Read: kernel directory %s holds NRMAX=%d DELR=%g KLMAX=%d (pair %s), "
          "not NRMAX>=%d DELR=%g KLMAX>=%d\n",
          datadir, man.nrmax, man.delr, man.lmax, man.pair.c_str(), nrmax, delr, LMAX);
  }
  const int step = IDENTICAL ? 2 : 1;
  for (int ell = 0; ell <= LMAX; ell += step) {
    for (int iq = 0; iq < nqmax; iq++) {
      const double q = (iq + 0.5) * delq;
      if (has_manifest) {
        // The q point must be one of the manifest's: any other file is left over.
        const double jq = q / man.delq - 0.5;
        const long j = lround(jq);
        if (fabs(jq - j) > 1e-6 || j < 0 || j >= man.nqmax)
          femtokit::Fatal(
              "CKernel::Read: kernel directory %s holds q = (i + 0.5) * %g MeV/c, i < %d; "
              "q = %g MeV/c is not in it\n",
              datadir, man.delq, man.nqmax, q);
      }
      const std::string name = KernelFileName(datadir, ell, q);
      FILE* f = std::filesystem::is_directory(name, ec) ? nullptr : fopen(name.c_str(), "r");
      if (f == nullptr)
        femtokit::Fatal("CKernel::Read: cannot open kernel file %s\n", name.c_str());
      std::unique_ptr<FILE, int (*)(FILE*)> closer(f, fclose);
      double header[2] = {0.0, 0.0};
      for (int h = 0; h < 2; h++) {
        if (femtokit::ReadNumber(f, &header[h]) != femtokit::NumberStatus::kOk)
          femtokit::Fatal("CKernel::Read: kernel file %s has no header \"nrmax delr\"\n",
                          name.c_str());
      }
      const double nrmaxread = header[0], delrread = header[1];
      if (nrmax > nrmaxread || fabs(delr - delrread) > 1e-8 ||
          (has_manifest && nrmaxread != man.nrmax))
        femtokit::Fatal("Inconsistent values for nrmax or delr in data files!\n");
      for (int ir = 0; ir < nrmax; ir++) {
        double value = 0.0;
        const femtokit::NumberStatus status = femtokit::ReadNumber(f, &value);
        if (status == femtokit::NumberStatus::kEnd)
          femtokit::Fatal("CKernel::Read: kernel file %s ends after %d of %d values\n",
                          name.c_str(), ir, nrmax);
        if (status != femtokit::NumberStatus::kOk)
          femtokit::NumberFatal(status, name, ir + 1, "value");
        kernel[ell][iq][ir] = value;
      }
    }
  }
}

void CKernel::Write(const char* datadir) { Write(datadir, ""); }

void CKernel::Write(const char* datadir, const std::string& pair) {
  std::error_code ec;
  std::filesystem::create_directories(datadir, ec);
  if (!std::filesystem::is_directory(datadir, ec))
    femtokit::Fatal("CKernel::Write: cannot create directory %s\n", datadir);
  // The marker goes first and the old manifest away, so that from here until the new
  // manifest is in place a reader refuses the directory.
  const std::string marker = DirFile(datadir, kWritingMarker);
  FILE* mf = fopen(marker.c_str(), "w");
  if (mf == nullptr) femtokit::Fatal("CKernel::Write: cannot create %s\n", marker.c_str());
  fprintf(mf, "a kernel table is being written into this directory\n");
  femtokit::CloseWritten(mf, marker);
  std::filesystem::remove(DirFile(datadir, kManifest), ec);

  const std::string header = std::to_string(nrmax) + " " + SpacingText(delr) + "\n";
  const int step = IDENTICAL ? 2 : 1;
  int nfiles = 0;
  for (int ell = 0; ell <= LMAX; ell += step) {
    for (int iq = 0; iq < nqmax; iq++) {
      const double q = (iq + 0.5) * delq;
      const std::string name = KernelFileName(datadir, ell, q);
      femtokit::Progress("For q=%g, Will write to %s\n", q, name.c_str());
      femtokit::AtomicFile file(name);
      fputs(header.c_str(), file.get());
      for (int ir = 0; ir < nrmax; ir++) fprintf(file.get(), "%17.10e\n", kernel[ell][iq][ir]);
      file.Commit();
      nfiles++;
    }
  }
  femtokit::AtomicFile manifest(DirFile(datadir, kManifest));
  fprintf(manifest.get(),
          "# kernel table: written last, describes the complete table of this directory\n"
          "string PAIR %s\nint NQMAX %d\nstring DELQ %.17g\nint NRMAX %d\nstring DELR %.17g\n"
          "int KLMAX %d\nbool IDENTICAL %d\nint FILES %d\n",
          pair.empty() ? "unnamed" : pair.c_str(), nqmax, delq, nrmax, delr, LMAX,
          IDENTICAL ? 1 : 0, nfiles);
  manifest.Commit();
  if (std::remove(marker.c_str()) != 0)
    femtokit::Fatal("CKernel::Write: cannot remove %s\n", marker.c_str());
}

void CKernel::Print() {
  const int step = IDENTICAL ? 2 : 1;
  printf("ellmax=%d, nqmax=%d, nrmax=%d\n", LMAX, nqmax, nrmax);
  for (int iq = 0; iq < nqmax; iq++) {
    printf("______________ q=%g MeV/c____________________\n", (iq + 0.5) * delq);
    for (int ir = 0; ir < nrmax; ir++) {
      printf("%6.2f ", (ir + 0.5) * delr);
      for (int ell = 0; ell <= LMAX; ell += step) printf("%10.3e ", kernel[ell][iq][ir]);
      printf("\n");
    }
  }
}

// The symmetrised plane wave of two identical non-interacting bosons with
// relative momentum 2q: |psi|^2 = 1 + cos(2 q.r / hbar c). The Rayleigh
// expansion cos(x cos theta) = sum_{ell even} (2 ell + 1) (-1)^(ell/2) j_ell(x)
// P_ell(cos theta) gives K_ell = (-1)^(ell/2) j_ell(2 q r / hbar c), odd ell 0.
void CKernel::Calc_PureHBT() {
  // j_ell for every ell at once by Steed's method (GSL): the upward recurrence
  // from j_0, j_1 is unstable once ell exceeds x, which the small-q r corner of
  // the grid reaches for any KLMAX above a few.
  std::vector<double> jl(LMAX + 1);
  femtokit::PrepareGSL();
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = (iq + 0.5) * delq;
    for (int ir = 0; ir < nrmax; ir++) {
      const double r = (ir + 0.5) * delr;
      const double x = 2.0 * q * r / kHbarC;
      gsl_sf_bessel_jl_steed_array(LMAX, x, jl.data());
      for (int ell = 0; ell <= LMAX; ell++) {
        if (kernel[ell] == nullptr) continue;
        if (ell % 2 != 0) {
          kernel[ell][iq][ir] = 0.0;
        } else {
          kernel[ell][iq][ir] = ((ell / 2) % 2 == 0 ? 1.0 : -1.0) * jl[ell];
        }
      }
    }
  }
}

void CKernel::Calc_PureFermion() {
  // Half the boson exchange term with the opposite sign: the singlet's +cos and the triplet's
  // -cos weighted 1/4 and 3/4.
  Calc_PureHBT();
  for (int ell = 0; ell <= LMAX; ell++) {
    if (kernel[ell] == nullptr) continue;
    for (int iq = 0; iq < nqmax; iq++)
      for (int ir = 0; ir < nrmax; ir++) kernel[ell][iq][ir] *= -0.5;
  }
}

void CKernel::Calc_ClassCoul(double ma, double mb, int q1q2) {
  constexpr int kNpoints = 512;
  for (int ell = 0; ell <= LMAX; ell++) {
    if (kernel[ell] == nullptr) continue;
    for (int iq = 0; iq < nqmax; iq++)
      for (int ir = 0; ir < nrmax; ir++) kernel[ell][iq][ir] = 0.0;
  }
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = (iq + 0.5) * delq;
    const double Ea = sqrt(ma * ma + q * q);
    const double Eb = sqrt(mb * mb + q * q);
    for (int ir = 0; ir < nrmax; ir++) {
      const double r = (ir + 0.5) * delr;
      // x = V(r) / (q^2 / 2 mu): Coulomb energy at r over the relative kinetic
      // energy, with 2 mu = 2 Ea Eb / (Ea + Eb) (hbar c rounded as this kernel has always had it).
      const double x = 2.0 * Ea * Eb * q1q2 * femtokit::constants::kHbarCClassicalCoulomb /
                       (femtokit::constants::kAlphaInverse * r * q * q * (Ea + Eb));
      // x >= 1: the pair cannot reach r classically, the density vanishes.
      if (x < 1.0) {
        // Midpoint sum over u; cos theta = sqrt(u^2 + x^2) + x - 1 runs from
        // 2x - 1 (or -1 for x < 0) to 1, and the weights sum to sqrt(1 - x).
        const double U = 2.0 * sqrt(1.0 - x);
        const double du = U / kNpoints;
        for (int k = 0; k < kNpoints; k++) {
          const double u = (k + 0.5) * du;
          CalcP(sqrt(u * u + x * x) + x - 1.0);
          for (int ell = 0; ell <= LMAX; ell++)
            if (kernel[ell] != nullptr) kernel[ell][iq][ir] += 0.5 * du * P[ell];
        }
        femtokit::Progress("q=%g, r=%g, kernel0=%g =? %g\n", q, r, kernel[0][iq][ir], sqrt(1.0 - x));
      }
      kernel[0][iq][ir] -= 1.0;
    }
  }
}

double CKernel::GetValue(int ell, int iq, int ir) {
  if (ell < 0 || ell > LMAX || kernel[ell] == nullptr) return 0.0;
  if (iq < 0 || iq >= nqmax || ir < 0 || ir >= nrmax) return 0.0;
  return kernel[ell][iq][ir];
}

double CKernel::GetValue(int ell, double q, double r) {
  if (!std::isfinite(q) || !std::isfinite(r))
    femtokit::Fatal("CKernel::GetValue: q=%g MeV/c and r=%g fm must be finite\n", q, r);
  if (IDENTICAL && ell % 2 != 0) return 0.0;
  if (q > nqmax * delq || r > nrmax * delr) return 0.0;
  int iq, iq1, iq2, ir, ir1, ir2;
  double wq1, wq2, wr1, wr2;
  AxisWeights(q, delq, nqmax, iq, iq1, iq2, wq1, wq2);
  AxisWeights(r, delr, nrmax, ir, ir1, ir2, wr1, wr2);
  if (fabs(wr1 + wr2 - 1.0) > 1e-8 || fabs(wq1 + wq2 - 1.0) > 1e-6)
    femtokit::Fatal("weights do not add up in GetValue(ell,q,r)\n");
  const double answer = wq1 * wr1 * GetValue(ell, iq1, ir1) + wq1 * wr2 * GetValue(ell, iq1, ir2) +
                        wq2 * wr1 * GetValue(ell, iq2, ir1) + wq2 * wr2 * GetValue(ell, iq2, ir2);
  if (ell == 0 && r > 1.0 && answer < -1.0)
    femtokit::Warn("answer below -1, =%g, q=%g, r=%g, iq=%d, ir=%d, nrmax=%d\n", answer, q, r, iq, ir,
           nrmax);
  return answer;
}

void CKernel::CalcP(double x) {
  P[0] = 1.0;
  P[1] = x;
  for (int ell = 1; ell < LMAX; ell++)
    P[ell + 1] = ((2 * ell + 1) * x * P[ell] - ell * P[ell - 1]) / (ell + 1);
}

double CKernel::CalcPsiSquared(int iq, int ir, double /*ctheta*/) {
  if (iq < 0 || ir < 0 || ir >= nrmax || iq >= nqmax) return 1.0;
  const int step = IDENTICAL ? 2 : 1;
  double psisquared = 1.0;
  int nsmall = 0;
  for (int ell = 0; ell <= LMAX; ell += step) {
    const double term = (2 * ell + 1) * kernel[ell][iq][ir] * P[ell];
    psisquared += term;
    // Five consecutive negligible terms: the projections have died out.
    nsmall = fabs(term) < 1e-4 ? nsmall + 1 : 0;
    if (nsmall > 4) break;
  }
  return psisquared;
}

double CKernel::CalcPsiSquared(int iq, double r, double ctheta) {
  if (!std::isfinite(r)) femtokit::Fatal("CKernel::CalcPsiSquared: r=%g fm must be finite\n", r);
  // Beyond the grid both points read 1.0; the index is held there before the conversion.
  const int ir = static_cast<int>(std::clamp(floor(r / delr - 0.5), 0.0, double(nrmax)));
  const double p0 = CalcPsiSquared(iq, ir, ctheta);
  const double p1 = CalcPsiSquared(iq, ir + 1, ctheta);
  const double w1 = (r - (ir + 0.5) * delr) / delr;
  const double w0 = ((ir + 1.5) * delr - r) / delr;
  return w0 * p0 + w1 * p1;
}

double CKernel::GetPsiSquared(int iq, int ir, double ctheta) {
  if (iq >= nqmax || ir >= nrmax) return 1.0;
  CalcP(ctheta);
  return CalcPsiSquared(iq, ir, ctheta);
}

double CKernel::GetPsiSquared(int iq, double r, double ctheta) {
  if (iq >= nqmax) return 1.0;
  CalcP(ctheta);
  return CalcPsiSquared(iq, r, ctheta);
}

double CKernel::GetPsiSquared(double q, double r, double ctheta) {
  CalcP(ctheta);
  // A single q point has no neighbour to interpolate with.
  if (nqmax == 1) return CalcPsiSquared(0, r, ctheta);
  if (!std::isfinite(q)) femtokit::Fatal("CKernel::GetPsiSquared: q=%g MeV/c must be finite\n", q);
  int iq = static_cast<int>(std::clamp(floor(q / delq - 0.5), 0.0, double(nqmax)));
  if (iq + 1 >= nqmax) iq = nqmax - 2;
  const double p0 = CalcPsiSquared(iq, r, ctheta);
  const double p1 = CalcPsiSquared(iq + 1, r, ctheta);
  const double w1 = (q - (iq + 0.5) * delq) / delq;
  const double w0 = ((iq + 1.5) * delq - q) / delq;
  return w0 * p0 + w1 * p1;
}

#include "kernel/kernelwf.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "config/parameter.h"
#include "kernel/kernelgrid.h"
#include "numeric/checked_io.h"
#include "numeric/fatal.h"
#include "wavefunctions/wavefunction.h"
#include "numeric/output.h"

namespace {

// "<dir>/q%07.2f.tmp": the file of one q point.
std::string KernelWFFileName(const char* dir, double q) {
  const int n = snprintf(nullptr, 0, "%s/q%07.2f.tmp", dir, q);
  std::vector<char> buf(n + 1);
  snprintf(buf.data(), buf.size(), "%s/q%07.2f.tmp", dir, q);
  return std::string(buf.data());
}

// Lower grid index and upper-neighbour weight for a point x on the centres
// (i + 0.5) del: i = floor((x - del/2)/del), raised to 0 below the first centre
// (the weight then turns negative: linear extrapolation) and capped at n, where
// both neighbours are past the grid and read as 1 whatever the weight. The cap
// and the NaN guard keep the conversion to int defined.
void AxisPosition(double x, double del, int n, int& i, double& w) {
  double f = floor((x - 0.5 * del) / del);
  if (!(f >= 0.0)) f = 0.0;
  if (f > n) f = n;
  i = static_cast<int>(f);
  w = (x - (i + 0.5) * del) / del;
}

}  // namespace

CKernelWF::CKernelWF(const char* parsfilename) {
  ParsInit(parsfilename);
  // Sizes that would leave no table (or make the spacing meaningless).
  if (nqmax < 1 || nrmax < 1 || nctheta < 1 || !(delq > 0.0) || !(delr > 0.0))
    femtokit::Fatal(
        "CKernelWF: %s must give NQMAX >= 1, NRMAX >= 1, NCTHETA >= 1, DELQ > 0 and DELR > 0\n",
        parsfilename);
  CheckGrid(parsfilename);
  delctheta = 2.0 / nctheta;
  if (IDENTICAL) delctheta *= 0.5;
  kernel = new double**[nqmax];
  for (int iq = 0; iq < nqmax; iq++) {
    kernel[iq] = new double*[nrmax];
    for (int ir = 0; ir < nrmax; ir++) {
      kernel[iq][ir] = new double[nctheta + 1];
      for (int ic = 0; ic <= nctheta; ic++) kernel[iq][ir][ic] = 1.0;
    }
  }
}

// Finite spacings, a table within the library's size limit, and q points whose file names
// differ (checked before anything is allocated).
void CKernelWF::CheckGrid(const char* parsfilename) const {
  femtokit::CheckKernelGrid(std::string("kernel parameters ") + parsfilename, nqmax, delq, delr,
                            double(nqmax) * nrmax * (nctheta + 1.0),
                            [](double q) { return KernelWFFileName("", q); });
}

CKernelWF::~CKernelWF() {
  for (int iq = 0; iq < nqmax; iq++) {
    for (int ir = 0; ir < nrmax; ir++) delete[] kernel[iq][ir];
    delete[] kernel[iq];
  }
  delete[] kernel;
  femtokit::Progress("KernelWF object deleted\n");
}

void CKernelWF::ParsInit(const char* parsfilename) {
  const femtokit::KernelGridPars grid = femtokit::ReadKernelGridPars(parsfilename, "NCTHETA", 120);
  nqmax = grid.nqmax;
  nrmax = grid.nrmax;
  nctheta = grid.extra;
  delq = grid.delq;
  delr = grid.delr;
  IDENTICAL = grid.identical;
  femtokit::ReportKernelGrid(parsfilename, "KERNELWF", grid,
                             "nctheta set to " + std::to_string(nctheta) + "\n");
}

void CKernelWF::Calc(CWaveFunction* wf) {
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = (iq + 0.5) * delq;
    for (int ir = 0; ir < nrmax; ir++) {
      const double r = (ir + 0.5) * delr;
      for (int ic = 0; ic <= nctheta; ic++) {
        const double ctheta = 1.0 - ic * delctheta;
        const double psisquared = wf->GetPsiSquared(q, r, ctheta);
        // Inside 1 fm the short-range forms of the pair wave functions may dip
        // below zero; beyond it a negative |psi|^2 means a broken wave function.
        if (psisquared < 0.0 && r > 1.0) {
          femtokit::Fatal("screwy, psi^2=%g, r=%g, q=%g, ctheta=%g\n", psisquared, r, q, ctheta);
        }
        kernel[iq][ir][ic] = psisquared - 1.0;
      }
    }
  }
}

void CKernelWF::Write(const char* datadir) {
  std::error_code ec;
  std::filesystem::create_directories(datadir, ec);
  if (!std::filesystem::is_directory(datadir, ec))
    femtokit::Fatal("CKernelWF::Write : cannot create directory %s\n", datadir);
  for (int iq = 0; iq < nqmax; iq++) {
    // Written under a temporary name and renamed: a failed write leaves no short file.
    femtokit::AtomicFile file(KernelWFFileName(datadir, (iq + 0.5) * delq));
    FILE* fptr = file.get();
    fprintf(fptr, "%d %d\n", nrmax, nctheta);
    for (int ir = 0; ir < nrmax; ir++) {
      for (int ic = 0; ic <= nctheta; ic++) fprintf(fptr, "%17.10e ", kernel[iq][ir][ic]);
      fprintf(fptr, "\n");
    }
    file.Commit();
  }
}

void CKernelWF::Read(const char* datadir) {
  for (int iq = 0; iq < nqmax; iq++) {
    const std::string name = KernelWFFileName(datadir, (iq + 0.5) * delq);
    std::error_code ec;
    FILE* fptr = std::filesystem::is_directory(name, ec) ? nullptr : fopen(name.c_str(), "r");
    if (fptr == nullptr) femtokit::Fatal("CKernelWF : cannot read file %s\n", name.c_str());
    int nrmaxread = 0, ncthetaread = 0;
    if (fscanf(fptr, "%d %d\n", &nrmaxread, &ncthetaread) != 2) {
      fclose(fptr);
      femtokit::Fatal("CKernelWF : file %s is too short\n", name.c_str());
    }
    if (nrmaxread != nrmax || ncthetaread != nctheta) {
      fclose(fptr);
      femtokit::Fatal(
          "CKernelWF : trying to read file with wrong dimensions\n"
          "nrmaxread=%d, nrmax=%d, ncthetaread=%d, nctheta=%d\n",
          nrmaxread, nrmax, ncthetaread, nctheta);
    }
    for (int ir = 0; ir < nrmax; ir++) {
      for (int ic = 0; ic <= nctheta; ic++) {
        // Whole (not cut at the end of the file) and finite values only.
        const femtokit::NumberStatus status = femtokit::ReadNumber(fptr, &kernel[iq][ir][ic]);
        if (status != femtokit::NumberStatus::kOk) {
          fclose(fptr);
          if (status == femtokit::NumberStatus::kEnd)
            femtokit::Fatal("CKernelWF : file %s is too short\n", name.c_str());
          femtokit::NumberFatal(status, name, ir * (nctheta + 1) + ic + 1, "value");
        }
      }
    }
    fclose(fptr);
  }
}

double CKernelWF::GetPsiSquared(int iq, int ir, int ictheta) const {
  if (iq < 0 || iq >= nqmax || ir < 0 || ir >= nrmax || ictheta < 0 || ictheta > nctheta)
    return 1.0;
  return 1.0 + kernel[iq][ir][ictheta];
}

double CKernelWF::GetPsiSquared(int iq, int ir, double ctheta) const {
  if (iq < 0 || iq >= nqmax || ir < 0 || ir >= nrmax) return 1.0;
  if (IDENTICAL) ctheta = fabs(ctheta);
  const double x = 1.0 - ctheta;
  // Keep the column pair (ic, ic + 1) inside the table: at the lower end
  // (x = 2, or 1 when IDENTICAL) the pair is (nctheta - 1, nctheta) with w = 1;
  // a cosine rounded just above 1 uses the first pair (w slightly negative);
  // the NaN test keeps the int conversion defined.
  double f = floor(x / delctheta);
  if (!(f >= 0.0)) f = 0.0;
  if (f > nctheta - 1) f = nctheta - 1;
  const int ic = static_cast<int>(f);
  const double w = (x - ic * delctheta) / delctheta;
  const double* row = kernel[iq][ir];
  return 1.0 + (1.0 - w) * row[ic] + w * row[ic + 1];
}

void CKernelWF::QPosition(double q, int& iq, double& wq) const {
  AxisPosition(q, delq, nqmax, iq, wq);
}

void CKernelWF::RPosition(double r, int& ir, double& wr) const {
  AxisPosition(r, delr, nrmax, ir, wr);
}

double CKernelWF::GetPsiSquared(int iq, double r, double ctheta) const {
  if (iq < 0 || iq >= nqmax) return 1.0;
  int ir;
  double wr;
  RPosition(r, ir, wr);
  const double p0 = GetPsiSquared(iq, ir, ctheta);
  const double p1 = GetPsiSquared(iq, ir + 1, ctheta);
  return (1.0 - wr) * p0 + wr * p1;
}

double CKernelWF::GetPsiSquared(double q, double r, double ctheta) const {
  int iq;
  double wq;
  QPosition(q, iq, wq);
  return (1.0 - wq) * GetPsiSquared(iq, r, ctheta) + wq * GetPsiSquared(iq + 1, r, ctheta);
}

#include "kernel/s2cf.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "arrays/charray.h"
#include "kernel/kernel.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

using femtokit::constants::kPi;

namespace {

// The checks shared by both Cartesian-harmonic transforms, in their fixed
// order. Returns whether the kernel's table can be read directly (same grids).
bool CheckArrays(CCHArray* S, CKernel* kernel, CCHArray* CF) {
  const int kL = kernel->GetLMAX();
  if (kL > CF->GetLMAX() || kL > S->GetLMAX())
    femtokit::Fatal("FATAL: Kernel LMAX=%d larger than either S LMAX=%d or CF LMAX=%d\n", kL,
                    S->GetLMAX(), CF->GetLMAX());
  if (kL != CF->GetLMAX()) {
    femtokit::Warn("WARNING: Array parameters for kernel calculations don't match\n");
    femtokit::Warn("___ CORRELATION FUNCTION PARAMETERS ___\n");
    femtokit::Warn("XSYM=%d, YSYM=%d, ZSYM=%d\nLMAX=%d, NRADIAL=%d, RADSTEP=%g\n",
                   int(CF->GetXSYM()), int(CF->GetYSYM()), int(CF->GetZSYM()), CF->GetLMAX(),
                   CF->GetNRADIAL(), CF->GetRADSTEP());
    femtokit::Warn("_____ SOURCE FUNCTION PARAMETERS _____\n");
    femtokit::Warn("XSYM=%d, YSYM=%d, ZSYM=%d\nLMAX=%d, NRADIAL=%d, RADSTEP=%g\n",
                   int(S->GetXSYM()), int(S->GetYSYM()), int(S->GetZSYM()), S->GetLMAX(),
                   S->GetNRADIAL(), S->GetRADSTEP());
    femtokit::Warn("For kernel, LMAX=%d\n", kL);
  }
  if (kernel->GetIDENTICAL() && !(CF->GetXSYM() && CF->GetYSYM() && CF->GetZSYM()))
    femtokit::Fatal(
        "FATAL: kernel has no odd L components, but CF wants them\n"
        "Make sure CF array has XSYM=YSYM=ZSYM='true'\n");
  return fabs(S->GetRADSTEP() - kernel->GetDELR()) < 1e-5 &&
         fabs(CF->GetRADSTEP() - kernel->GetDELQ()) < 1e-5 &&
         S->GetNRADIAL() == kernel->GetNRMAX() && CF->GetNRADIAL() == kernel->GetNQMAX();
}

// Adds sum_ir 4 pi r^2 dr K_L(q_iq, r_ir) S_(lx,ly,lz)(r_ir) to bin iq of
// component (lx, ly, lz) of CF. `weights` holds 4 pi r^2 dr per source bin.
void AddComponent(int lx, int ly, int lz, int iq, bool table, const std::vector<double>& weights,
                  CCHArray* S, CKernel* kernel, CCHArray* CF) {
  const int L = lx + ly + lz;
  const double dr = S->GetRADSTEP();
  const double q = (iq + 0.5) * CF->GetRADSTEP();
  const int nr = S->GetNRADIAL();
  double sum = 0.0;
  if (table) {
    for (int ir = 0; ir < nr; ir++)
      sum += weights[ir] * kernel->GetValue(L, iq, ir) * S->GetElement(lx, ly, lz, ir);
  } else {
    for (int ir = 0; ir < nr; ir++) {
      const double r = (ir + 0.5) * dr;
      sum += weights[ir] * kernel->GetValue(L, q, r) * S->GetElement(lx, ly, lz, r);
    }
  }
  CF->IncrementElement(lx, ly, lz, iq, sum);
}

std::vector<double> BinWeights(CCHArray* S) {
  const double dr = S->GetRADSTEP();
  std::vector<double> weights(S->GetNRADIAL());
  for (int ir = 0; ir < S->GetNRADIAL(); ir++) {
    const double r = (ir + 0.5) * dr;
    weights[ir] = 4.0 * kPi * r * r * dr;
  }
  return weights;
}

// The table path for one component over every q bin, in plain loops over the rows of the
// three tables: the terms of AddComponent, summed in four interleaved partial sums (combined in
// a fixed order) so that the additions need not wait for each other.
void AddComponentFromTable(int lx, int ly, int lz, const std::vector<double>& weights,
                           const CCHArray* S, const CKernel* kernel, CCHArray* CF) {
  const int L = lx + ly + lz;
  double* __restrict cf = CF->A[lx][ly][lz];
  if (kernel->kernel[L] == nullptr) return;  // an odd rank of an identical kernel: K = 0
  const double* __restrict s = S->A[lx][ly][lz];
  const double* __restrict w = weights.data();
  const int nr = S->GetNRADIAL();
  for (int iq = 0; iq < CF->GetNRADIAL(); iq++) {
    const double* __restrict k = kernel->kernel[L][iq];
    double part[4] = {0.0, 0.0, 0.0, 0.0};
    int ir = 0;
    for (; ir + 4 <= nr; ir += 4)
      for (int j = 0; j < 4; j++) part[j] += w[ir + j] * k[ir + j] * s[ir + j];
    for (; ir < nr; ir++) part[0] += w[ir] * k[ir] * s[ir];
    cf[iq] += (part[0] + part[1]) + (part[2] + part[3]);
  }
}

}  // namespace

namespace S2CF {

void s2c(CCHArray* S, CKernel* kernel, CCHArray* CF) {
  const bool table = CheckArrays(S, kernel, CF);
  CF->ZeroArray();
  const std::vector<double> weights = BinWeights(S);
  const int kL = kernel->GetLMAX();
  const int dlx = CF->GetXSYM() ? 2 : 1;
  const int dly = CF->GetYSYM() ? 2 : 1;
  const int dlz = CF->GetZSYM() ? 2 : 1;
  // Only lx = 0, 1 are independent; lx >= 2 follows by tracelessness.
  for (int lx = 0; lx <= 1 && lx <= kL; lx += dlx)
    for (int ly = 0; ly <= kL - lx; ly += dly)
      for (int lz = 0; lz <= kL - lx - ly; lz += dlz) {
        // Matching grids and a component S stores: read the rows directly. Otherwise (a
        // component S lacks reads as 0 with a warning) element by element.
        if (table && S->IsStored(lx, ly, lz, 0)) {
          AddComponentFromTable(lx, ly, lz, weights, S, kernel, CF);
        } else {
          for (int iq = 0; iq < CF->GetNRADIAL(); iq++)
            AddComponent(lx, ly, lz, iq, table, weights, S, kernel, CF);
        }
      }
}

void s2c(int lx, int ly, int lz, CCHArray* S, CKernel* kernel, CCHArray* CF) {
  const bool table = CheckArrays(S, kernel, CF);
  // Zeroing a component CF does not store would write outside its storage.
  const int dlx = CF->GetXSYM() ? 2 : 1;
  const int dly = CF->GetYSYM() ? 2 : 1;
  const int dlz = CF->GetZSYM() ? 2 : 1;
  if (lx < 0 || ly < 0 || lz < 0 || lx + ly + lz > CF->GetLMAX() || lx % dlx != 0 ||
      ly % dly != 0 || lz % dlz != 0)
    femtokit::Fatal("FATAL: S2CF::s2c asked for component l=(%d,%d,%d) that CF does not store\n",
                    lx, ly, lz);
  CF->ZeroArray(lx, ly, lz);
  // Ranks above the kernel's LMAX have no kernel table: the component stays zero.
  if (lx + ly + lz > kernel->GetLMAX()) return;
  const std::vector<double> weights = BinWeights(S);
  if (table && S->IsStored(lx, ly, lz, 0)) {
    AddComponentFromTable(lx, ly, lz, weights, S, kernel, CF);
    return;
  }
  for (int iq = 0; iq < CF->GetNRADIAL(); iq++)
    AddComponent(lx, ly, lz, iq, table, weights, S, kernel, CF);
}

}  // namespace S2CF

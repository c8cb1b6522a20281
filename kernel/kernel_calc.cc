// CKernel::Calc: the angular kernel of a two-particle wave function.

#include <vector>

#include "kernel/kernel.h"
#include "numeric/spherharmonics.h"
#include "wavefunctions/wavefunction.h"

namespace {

// Points of the midpoint rule in cos theta: 720 equal cells of [-1, 1].
constexpr int kNCosTheta = 720;

}  // namespace

void CKernel::Calc(CWaveFunction* wf, void (*progress)(int iq, int nqmax)) {
  const int ellstep = IDENTICAL ? 2 : 1;

  // The Legendre values at the 720 nodes are the same for every (q, r): tabulate them once.
  std::vector<double> legendre(static_cast<size_t>(kNCosTheta) * (LMAX + 1), 0.0);
  for (int i = 0; i < kNCosTheta; i++) {
    const double c = 2.0 * (i + 0.5) / kNCosTheta - 1.0;
    for (int ell = 0; ell <= LMAX; ell += ellstep)
      legendre[static_cast<size_t>(i) * (LMAX + 1) + ell] = SpherHarmonics::legendre(ell, c);
  }

  for (int iq = 0; iq < nqmax; iq++) {
    const double q = (iq + 0.5) * delq;
    for (int ir = 0; ir < nrmax; ir++) {
      const double r = (ir + 0.5) * delr;
      for (int ell = 0; ell <= LMAX; ell += ellstep) kernel[ell][iq][ir] = 0.0;
      // K_ell = 1/2 int (|psi|^2 - 1) P_ell dcos(theta), midpoint rule with cell width 2/720.
      for (int i = 0; i < kNCosTheta; i++) {
        const double c = 2.0 * (i + 0.5) / kNCosTheta - 1.0;
        const double excess = wf->GetPsiSquared(q, r, c) - 1.0;
        const double* p = &legendre[static_cast<size_t>(i) * (LMAX + 1)];
        for (int ell = 0; ell <= LMAX; ell += ellstep) kernel[ell][iq][ir] += excess * p[ell];
      }
      for (int ell = 0; ell <= LMAX; ell += ellstep) kernel[ell][iq][ir] /= kNCosTheta;
    }
    if (progress != nullptr) progress(iq, nqmax);
  }
}

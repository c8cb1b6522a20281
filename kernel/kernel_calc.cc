// CKernel::Calc: the angular kernel of a two-particle wave function.

#include <exception>
#include <vector>

#include "kernel/kernel.h"
#include "numeric/spherharmonics.h"
#include "numeric/threads.h"
#include "wavefunctions/wavefunction.h"

namespace {

// Points of the midpoint rule in cos theta: 720 equal cells of [-1, 1].
constexpr int kNCosTheta = 720;

// The nodes c_i = 2 (i + 0.5)/720 - 1, the upper half mirrored from the lower so that
// c_{719-i} = -c_i holds exactly: the wave function then serves c and -c from one plane-wave
// value.
std::vector<double> CosThetaNodes() {
  std::vector<double> c(kNCosTheta);
  for (int i = 0; i < kNCosTheta / 2; i++) {
    c[i] = 2.0 * (i + 0.5) / kNCosTheta - 1.0;
    c[kNCosTheta - 1 - i] = -c[i];
  }
  return c;
}

}  // namespace

void CKernel::Calc(CWaveFunction* wf, void (*progress)(int iq, int nqmax)) {
  const int ellstep = IDENTICAL ? 2 : 1;
  const std::vector<double> nodes = CosThetaNodes();
  // Identical particles keep only even ell, whose Legendre polynomials are even: with an even
  // |psi|^2 the upper half of the nodes, counted twice, gives the same sums.
  const bool half = IDENTICAL && wf->PsiSquaredIsEven();
  const int first = half ? kNCosTheta / 2 : 0;
  const int n = kNCosTheta - first;
  const double twice = half ? 2.0 : 1.0;
  const double* c = nodes.data() + first;

  // The Legendre values at the nodes are the same for every (q, r): tabulate them once,
  // node-major.
  const int nl = LMAX + 1;
  std::vector<double> legendre(static_cast<size_t>(n) * nl, 0.0);
  for (int i = 0; i < n; i++)
    for (int ell = 0; ell <= LMAX; ell += ellstep)
      legendre[static_cast<size_t>(i) * nl + ell] = SpherHarmonics::legendre(ell, c[i]);

  // One q row per task; a row's sums are its own, so the threads' results equal the serial
  // ones exactly. A fatal error in a row (a throwing handler) is kept and rethrown after the
  // loop: exceptions must not cross the parallel region. Returns false for a skipped row.
  std::exception_ptr failure;
  bool failed = false;
  const auto row = [&](int iq) {
    bool skip;
#pragma omp atomic read
    skip = failed;
    if (skip) return false;
    try {
      const double q = (iq + 0.5) * delq;
      std::vector<double> psisquared(n), sum(nl);
      for (int ir = 0; ir < nrmax; ir++) {
        const double r = (ir + 0.5) * delr;
        wf->GetPsiSquaredAngles(q, r, c, n, psisquared.data());
        // K_ell = 1/2 int (|psi|^2 - 1) P_ell dcos(theta), midpoint rule, cell width 2/720.
        std::fill(sum.begin(), sum.end(), 0.0);
        for (int i = 0; i < n; i++) {
          const double excess = psisquared[i] - 1.0;
          const double* p = &legendre[static_cast<size_t>(i) * nl];
          for (int ell = 0; ell <= LMAX; ell += ellstep) sum[ell] += excess * p[ell];
        }
        for (int ell = 0; ell <= LMAX; ell += ellstep)
          kernel[ell][iq][ir] = twice * sum[ell] / kNCosTheta;
      }
      return true;
    } catch (...) {
#pragma omp critical(femtokit_kernel_calc_failure)
      if (!failure) failure = std::current_exception();
#pragma omp atomic write
      failed = true;
      return false;
    }
  };
  const int nthreads = femtokit::ThreadCount();
  if (progress == nullptr) {
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
    for (int iq = 0; iq < nqmax; iq++) row(iq);
  } else {
    // The reports come in order of iq (a finished row may wait for its predecessor's report).
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic) ordered
    for (int iq = 0; iq < nqmax; iq++) {
      const bool done = row(iq);
#pragma omp ordered
      if (done) progress(iq, nqmax);
    }
  }
  if (failure) std::rethrow_exception(failure);
}

#ifndef FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H
#define FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H

// Angular and three-dimensional kernels from small parameter files, a table pattern and a
// free-boson wave function, for the kernel tests.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "numeric/constants.h"
#include "wavefunctions/wavefunction.h"

namespace kernel_test {

constexpr double kHbarC = femtokit::constants::kHbarC;  // MeV fm

// Writes a kernel parameter file into `dir` and returns its name; `third` names the third
// grid size (KLMAX for CKernel, NCTHETA for CKernelWF).
inline std::string WriteKernelPars(const femtokit_test::ScratchDir& dir, int nqmax, double delq,
                                   int nrmax, double delr, int lmax, bool identical,
                                   const char* third = "KLMAX") {
  char text[512];
  snprintf(text, sizeof text,
           "int NQMAX %d\nint NRMAX %d\nint %s %d\ndouble DELQ %.17g\n"
           "double DELR %.17g\nbool IDENTICAL %d\n",
           nqmax, nrmax, third, lmax, delq, delr, identical ? 1 : 0);
  const std::string name = dir / "kparameters.dat";
  femtokit_test::WriteTextFile(name, text);
  return name;
}

// A kernel of type K with the given grid; its construction printout is swallowed.
template <typename K = CKernel>
std::unique_ptr<K> MakeKernel(const femtokit_test::ScratchDir& dir, int nqmax, double delq,
                              int nrmax, double delr, int lmax, bool identical) {
  const std::string pars = WriteKernelPars(dir, nqmax, delq, nrmax, delr, lmax, identical,
                                           std::is_same_v<K, CKernel> ? "KLMAX" : "NCTHETA");
  K* kernel = nullptr;
  CAPTURE_STDOUT(kernel = new K(pars.c_str()));
  return std::unique_ptr<K>(kernel);
}
inline auto MakeKernelWF = MakeKernel<CKernelWF>;

// A smooth, sign-changing test value for table slot (ell, iq, ir).
inline double Pattern(int ell, int iq, int ir) {
  return 0.01 * (ell + 1) * std::sin(0.7 * iq + 0.3 * ir + ell);
}

// Fills every stored table slot with Pattern.
inline void FillPattern(CKernel* k) {
  for (int ell = 0; ell <= k->LMAX; ell++)
    if (k->kernel[ell] != nullptr)
      for (int iq = 0; iq < k->nqmax; iq++)
        for (int ir = 0; ir < k->nrmax; ir++) k->kernel[ell][iq][ir] = Pattern(ell, iq, ir);
}

// Identical spin-zero bosons without interaction, |psi|^2 = 1 + cos(2 q.r / hbar c), on the
// uniform grid q_i = (i + 0.5) dq.
class FreeBosonWF : public CWaveFunction {
 public:
  FreeBosonWF(int n, double dq) {
    nqmax = n;
    delq = dq;
    qarray = new double[n];
    for (int i = 0; i < n; i++) qarray[i] = (i + 0.5) * dq;
  }
  double CalcPsiSquared(int iq, double r, double ctheta) override {
    return 1.0 + cos(2.0 * qarray[iq] * r * ctheta / HBARC);
  }
};

}  // namespace kernel_test

#endif  // FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H

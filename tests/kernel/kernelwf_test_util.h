#ifndef FEMTOKIT_TESTS_KERNEL_KERNELWF_TEST_UTIL_H
#define FEMTOKIT_TESTS_KERNEL_KERNELWF_TEST_UTIL_H

// Three-dimensional kernels and a free-boson wave function for the kernel tests.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "kernel/kernelwf.h"
#include "wavefunctions/wavefunction.h"

namespace kernelwf_test {

constexpr double kHbarC = 197.3269602;  // MeV fm

// A CKernelWF with the given grid from a parameter file in `dir`; its printout is swallowed.
inline std::unique_ptr<CKernelWF> MakeKernelWF(const femtokit_test::ScratchDir& dir, int nqmax,
                                               double delq, int nrmax, double delr, int nctheta,
                                               bool identical) {
  char text[256];
  snprintf(text, sizeof text,
           "int NQMAX %d\nint NRMAX %d\nint NCTHETA %d\ndouble DELQ %.17g\n"
           "double DELR %.17g\nbool IDENTICAL %d\n",
           nqmax, nrmax, nctheta, delq, delr, identical ? 1 : 0);
  const std::string name = dir / "kwfparameters.dat";
  femtokit_test::WriteTextFile(name, text);
  CKernelWF* kernel = nullptr;
  CAPTURE_STDOUT(kernel = new CKernelWF(name.c_str()));
  return std::unique_ptr<CKernelWF>(kernel);
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

}  // namespace kernelwf_test

#endif  // FEMTOKIT_TESTS_KERNEL_KERNELWF_TEST_UTIL_H

#ifndef FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H
#define FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H

// Kernels built from a small parameter file, for the kernel tests.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "kernel/kernel.h"

namespace kernel_test {

// Writes a kernel parameter file into `dir` and returns its name.
inline std::string WriteKernelPars(const femtokit_test::ScratchDir& dir, int nqmax, double delq,
                                   int nrmax, double delr, int lmax, bool identical) {
  char text[512];
  snprintf(text, sizeof text,
           "int NQMAX %d\nint NRMAX %d\nint KLMAX %d\ndouble DELQ %.17g\n"
           "double DELR %.17g\nbool IDENTICAL %d\n",
           nqmax, nrmax, lmax, delq, delr, identical ? 1 : 0);
  const std::string name = dir / "kparameters.dat";
  femtokit_test::WriteTextFile(name, text);
  return name;
}

// A kernel with the given grid; its construction printout is swallowed.
inline std::unique_ptr<CKernel> MakeKernel(const femtokit_test::ScratchDir& dir, int nqmax,
                                           double delq, int nrmax, double delr, int lmax,
                                           bool identical) {
  const std::string pars = WriteKernelPars(dir, nqmax, delq, nrmax, delr, lmax, identical);
  CKernel* kernel = nullptr;
  CAPTURE_STDOUT(kernel = new CKernel(pars.c_str()));
  return std::unique_ptr<CKernel>(kernel);
}

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

}  // namespace kernel_test

#endif  // FEMTOKIT_TESTS_KERNEL_KERNEL_TEST_UTIL_H

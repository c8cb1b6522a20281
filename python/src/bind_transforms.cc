// Source -> correlation function transforms and chi-squares (kernel/s2cf.h,
// kernel/cfcalc.h); the Python layer builds C(q) and checks shapes first.

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "bind_common.h"
#include "kernel/cfcalc.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "kernel/s2cf.h"

namespace femtokit_python {

void BindTransforms(py::module_& m) {
  m.def(
      "_s2c",
      [](CCHArray& s, CKernel& k, CCHArray& cf) {
        WithoutGIL unlocked;
        S2CF::s2c(&s, &k, &cf);
      },
      py::arg("source"), py::arg("kernel"), py::arg("cf"));
  m.def(
      "_s2c_component",
      [](int lx, int ly, int lz, CCHArray& s, CKernel& k, CCHArray& cf) {
        WithoutGIL unlocked;
        S2CF::s2c(lx, ly, lz, &s, &k, &cf);
      },
      py::arg("lx"), py::arg("ly"), py::arg("lz"), py::arg("source"), py::arg("kernel"),
      py::arg("cf"));
  m.def(
      "_s2c_grid",
      [](C3DArray& s, CKernelWF& k, C3DArray& cf) {
        WithoutGIL unlocked;
        S2CF::s2c(&s, &k, &cf);
      },
      py::arg("source"), py::arg("kernel"), py::arg("cf"));
  m.def(
      "_chi2",
      [](int lx, int ly, int lz, CCHArray& cexp, CCHArray& cerr, CCHArray& cth) {
        return CFCalc::GetChiSquared(lx, ly, lz, &cexp, &cerr, &cth);
      },
      py::arg("lx"), py::arg("ly"), py::arg("lz"), py::arg("data"), py::arg("errors"),
      py::arg("model"));
  m.def(
      "_chi2_grid",
      [](C3DArray& cexp, C3DArray& cerr, C3DArray& cth) {
        return CFCalc::GetChiSquared(&cexp, &cerr, &cth);
      },
      py::arg("data"), py::arg("errors"), py::arg("model"));
}

}  // namespace femtokit_python

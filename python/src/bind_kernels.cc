// Kernels: the angular kernel K_ell(q, r) (CKernel) and the three-dimensional
// |psi|^2 - 1 table (CKernelWF), computed from a wave function or analytically,
// read and written in their directory formats, tables as ndarray copies.

#include <memory>
#include <string>

#include "bind_common.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "numeric/output.h"
#include "wavefunctions/wavefunction.h"

namespace femtokit_python {

namespace {

void ProgressRow(int iq, int nqmax) { femtokit::Progress("kernel: q row %d of %d done\n", iq + 1, nqmax); }

py::array_t<double> Axis(int n, double step) {
  py::array_t<double> out(n);
  for (int i = 0; i < n; i++) out.mutable_at(i) = (i + 0.5) * step;
  return out;
}

bool Stored(const CKernel& k, int ell) { return k.kernel[ell] != nullptr; }

py::array_t<double> KernelTable(const CKernel& k) {
  py::array_t<double> out({k.LMAX + 1, k.nqmax, k.nrmax});
  auto v = out.mutable_unchecked<3>();
  for (int ell = 0; ell <= k.LMAX; ell++)
    for (int iq = 0; iq < k.nqmax; iq++)
      for (int ir = 0; ir < k.nrmax; ir++)
        v(ell, iq, ir) = Stored(k, ell) ? k.kernel[ell][iq][ir] : 0.0;
  return out;
}

void SetKernelTable(CKernel& k, const DoubleArray& table) {
  if (table.ndim() != 3 || table.shape(0) != k.LMAX + 1 || table.shape(1) != k.nqmax ||
      table.shape(2) != k.nrmax)
    throw py::value_error("table must have shape (lmax + 1, nqmax, nrmax)");
  auto v = table.unchecked<3>();
  for (int ell = 0; ell <= k.LMAX; ell++) {
    if (!Stored(k, ell)) continue;  // odd ell of identical particles: not part of the kernel
    for (int iq = 0; iq < k.nqmax; iq++)
      for (int ir = 0; ir < k.nrmax; ir++) k.kernel[ell][iq][ir] = v(ell, iq, ir);
  }
}

void ZeroKernel(CKernel& k) {
  for (int ell = 0; ell <= k.LMAX; ell++)
    if (Stored(k, ell))
      for (int iq = 0; iq < k.nqmax; iq++)
        for (int ir = 0; ir < k.nrmax; ir++) k.kernel[ell][iq][ir] = 0.0;
}

py::array_t<double> KernelWFTable(const CKernelWF& k) {
  py::array_t<double> out({k.nqmax, k.nrmax, k.nctheta + 1});
  auto v = out.mutable_unchecked<3>();
  for (int iq = 0; iq < k.nqmax; iq++)
    for (int ir = 0; ir < k.nrmax; ir++)
      for (int ic = 0; ic <= k.nctheta; ic++) v(iq, ir, ic) = k.kernel[iq][ir][ic];
  return out;
}

void SetKernelWFTable(CKernelWF& k, const DoubleArray& table) {
  if (table.ndim() != 3 || table.shape(0) != k.nqmax || table.shape(1) != k.nrmax ||
      table.shape(2) != k.nctheta + 1)
    throw py::value_error("table must have shape (nqmax, nrmax, nctheta + 1)");
  auto v = table.unchecked<3>();
  for (int iq = 0; iq < k.nqmax; iq++)
    for (int ir = 0; ir < k.nrmax; ir++)
      for (int ic = 0; ic <= k.nctheta; ic++) k.kernel[iq][ir][ic] = v(iq, ir, ic);
}

template <class K>
py::array_t<double> LookupPsi2(K& k, const DoubleArray& q, const DoubleArray& r,
                               const DoubleArray& c) {
  const py::ssize_t n = q.size();
  if (r.size() != n || c.size() != n) throw py::value_error("q, r, ctheta must have equal sizes");
  py::array_t<double> out(n);
  double* po = out.mutable_data();
  {
    WithoutGIL unlocked;
    for (py::ssize_t i = 0; i < n; i++) po[i] = k.GetPsiSquared(q.data()[i], r.data()[i], c.data()[i]);
  }
  return out;
}

// A read that fails half-way must not leave a half-filled table behind.
template <class K, class Zero>
void SafeRead(K& k, const std::string& dir, Zero zero) {
  try {
    WithoutGIL unlocked;
    k.Read(dir.c_str());
  } catch (const FatalError&) {
    zero(k);
    throw;
  }
}

}  // namespace

void BindKernels(py::module_& m) {
  py::class_<CKernel>(m, "Kernel", R"doc(
Compiled angular kernel K_ell(q, r) = 1/2 int (|psi|^2 - 1) P_ell(c) dc on bin
centres q_iq = (iq+0.5) delq (MeV/c), r_ir = (ir+0.5) delr (fm); see femtokit.Kernel.
)doc")
      .def(py::init([](const std::string& parsfile) { return std::make_unique<CKernel>(parsfile.c_str()); }),
           py::arg("parsfile"))
      .def_property_readonly("lmax", &CKernel::GetLMAX, "Highest ell.")
      .def_property_readonly("nqmax", &CKernel::GetNQMAX, "Number of q points.")
      .def_property_readonly("nrmax", &CKernel::GetNRMAX, "Number of r points.")
      .def_property_readonly("delq", &CKernel::GetDELQ, "q spacing, MeV/c.")
      .def_property_readonly("delr", &CKernel::GetDELR, "r spacing, fm.")
      .def_property_readonly("identical", &CKernel::GetIDENTICAL,
                             "Identical particles: only even ell stored.")
      .def_property_readonly("q", [](const CKernel& k) { return Axis(k.nqmax, k.delq); },
                             "q bin centres (MeV/c).")
      .def_property_readonly("r", [](const CKernel& k) { return Axis(k.nrmax, k.delr); },
                             "r bin centres (fm).")
      .def_property("table", &KernelTable, &SetKernelTable,
                    "K[ell, iq, ir] as an ndarray (a copy; zero for ell not stored).")
      .def(
          "compute",
          [](CKernel& k, WaveFunction& w) {
            WithoutGIL unlocked;
            k.Calc(w.wf.get(), ProgressRow);
          },
          py::arg("wavefunction"), "Fills the table from a wave function (720-point rule in cos theta).")
      .def(
          "compute_purehbt",
          [](CKernel& k) {
            WithoutGIL unlocked;
            k.Calc_PureHBT();
          },
          "Non-interacting identical bosons: K_ell = (-1)^(ell/2) j_ell(2qr/hbar c), even ell.")
      .def(
          "compute_purefermion",
          [](CKernel& k) {
            WithoutGIL unlocked;
            k.Calc_PureFermion();
          },
          "Free identical spin-1/2 fermions, spin-averaged: |psi|^2 = 1 - cos(2 q.r / hbar c) / 2, "
          "K_ell = -(1/2) (-1)^(ell/2) j_ell(2qr/hbar c), even ell.")
      .def(
          "compute_classcoul",
          [](CKernel& k, double ma, double mb, int q1q2) {
            if (!(ma > 0.0) || !(mb > 0.0)) throw py::value_error("masses must be positive (MeV)");
            WithoutGIL unlocked;
            k.Calc_ClassCoul(ma, mb, q1q2);
          },
          py::arg("ma"), py::arg("mb"), py::arg("q1q2"),
          "Classical Coulomb kernel for masses ma, mb (MeV) and charge product q1q2.")
      .def(
          "_value",
          [](CKernel& k, int ell, const DoubleArray& q, const DoubleArray& r) {
            if (q.size() != r.size()) throw py::value_error("q and r must have equal sizes");
            py::array_t<double> out(q.size());
            for (py::ssize_t i = 0; i < q.size(); i++)
              out.mutable_at(i) = k.GetValue(ell, q.data()[i], r.data()[i]);
            return out;
          })
      .def("_psi2", &LookupPsi2<CKernel>)
      .def("_read", [](CKernel& k, const std::string& dir) { SafeRead(k, dir, ZeroKernel); })
      .def(
          "_write",
          [](CKernel& k, const std::string& dir, const std::string& pair) {
            WithoutGIL unlocked;
            if (pair.empty())
              k.Write(dir.c_str());
            else
              k.Write(dir.c_str(), pair);
          },
          py::arg("dir"), py::arg("pair") = "");

  py::class_<CKernelWF>(m, "Kernel3D", R"doc(
Compiled three-dimensional kernel: |psi(q, r, cos theta)|^2 - 1 tabulated on
q_iq, r_ir bin centres and cos theta = 1 - ic*delctheta; see femtokit.Kernel3D.
)doc")
      .def(py::init([](const std::string& parsfile) {
             return std::make_unique<CKernelWF>(parsfile.c_str());
           }),
           py::arg("parsfile"))
      .def_property_readonly("nqmax", &CKernelWF::GetNQMAX, "Number of q points.")
      .def_property_readonly("nrmax", &CKernelWF::GetNRMAX, "Number of r points.")
      .def_property_readonly("nctheta", &CKernelWF::GetNCTHETA, "Number of cos theta intervals.")
      .def_property_readonly("delq", &CKernelWF::GetDELQ, "q spacing, MeV/c.")
      .def_property_readonly("delr", &CKernelWF::GetDELR, "r spacing, fm.")
      .def_property_readonly("identical", &CKernelWF::GetIDENTICAL,
                             "Identical particles: table for cos theta in [0, 1].")
      .def_property_readonly("q", [](const CKernelWF& k) { return Axis(k.nqmax, k.delq); },
                             "q bin centres (MeV/c).")
      .def_property_readonly("r", [](const CKernelWF& k) { return Axis(k.nrmax, k.delr); },
                             "r bin centres (fm).")
      .def_property_readonly(
          "ctheta",
          [](const CKernelWF& k) {
            py::array_t<double> out(k.nctheta + 1);
            for (int i = 0; i <= k.nctheta; i++) out.mutable_at(i) = 1.0 - i * k.delctheta;
            return out;
          },
          "cos theta columns, from 1 downwards.")
      .def_property("table", &KernelWFTable, &SetKernelWFTable,
                    "|psi|^2 - 1 as an ndarray (iq, ir, ic), a copy.")
      .def(
          "compute",
          [](CKernelWF& k, WaveFunction& w) {
            WithoutGIL unlocked;
            k.Calc(w.wf.get());
          },
          py::arg("wavefunction"), "Fills the table from a wave function.")
      .def("_psi2", &LookupPsi2<CKernelWF>)
      .def("_read",
           [](CKernelWF& k, const std::string& dir) {
             SafeRead(k, dir, [](CKernelWF& kk) {
               for (int iq = 0; iq < kk.nqmax; iq++)
                 for (int ir = 0; ir < kk.nrmax; ir++)
                   for (int ic = 0; ic <= kk.nctheta; ic++) kk.kernel[iq][ir][ic] = 0.0;
             });
           })
      .def("_write", [](CKernelWF& k, const std::string& dir) {
        WithoutGIL unlocked;
        k.Write(dir.c_str());
      });
}

}  // namespace femtokit_python

// Pair wave functions by name (every pair of the registry wavefunctions/pairs.h)
// and the vectorised |psi|^2.

#include <memory>
#include <string>
#include <utility>

#include "bind_common.h"
#include "wavefunctions/pairs.h"
#include "wavefunctions/wavefunction.h"

namespace femtokit_python {

namespace {

std::unique_ptr<WaveFunction> MakeWaveFunction(const std::string& pair,
                                               const std::string& parsfile) {
  if (femtokit::FindPair(pair) == nullptr) {
    std::string known;
    for (const auto& p : femtokit::Pairs()) known += " " + p.name;
    throw py::value_error("unknown pair " + pair + "; known:" + known);
  }
  auto out = std::make_unique<WaveFunction>();
  out->pair = pair;
  WithoutGIL unlocked;  // the partial waves of a fine grid take a while
  out->wf = femtokit::MakeWaveFunction(pair, parsfile);
  return out;
}

// |psi|^2 at (q[i], r[i], ctheta[i]); equal-size arrays (the Python layer broadcasts).
py::array_t<double> PsiSquared(WaveFunction& w, const DoubleArray& q, const DoubleArray& r,
                               const DoubleArray& ctheta) {
  const py::ssize_t n = q.size();
  if (r.size() != n || ctheta.size() != n)
    throw py::value_error("q, r and ctheta must have equal sizes after broadcasting");
  py::array_t<double> out(n);
  const double* pq = q.data();
  const double* pr = r.data();
  const double* pc = ctheta.data();
  double* po = out.mutable_data();
  CWaveFunction* wf = w.wf.get();
  {
    WithoutGIL unlocked;
    for (py::ssize_t i = 0; i < n; i++) po[i] = wf->GetPsiSquared(pq[i], pr[i], pc[i]);
  }
  return out;
}

}  // namespace

void BindWaveFunctions(py::module_& m) {
  m.def(
      "pairs",
      [] {
        py::list out;
        for (const auto& p : femtokit::Pairs()) out.append(py::make_tuple(p.name, p.description));
        return out;
      },
      "Every pair wave function as (name, description).");

  py::class_<WaveFunction>(m, "WaveFunction", R"doc(
Compiled pair wave function (see femtokit.WaveFunction for the keyword form).
)doc")
      .def(py::init(&MakeWaveFunction), py::arg("pair"), py::arg("parsfile"))
      .def_readonly("pair", &WaveFunction::pair, "Registry name of the pair.")
      .def_property_readonly(
          "q",
          [](const WaveFunction& w) {
            py::array_t<double> out(w.wf->nqmax);
            for (int i = 0; i < w.wf->nqmax; i++) out.mutable_at(i) = w.wf->qarray[i];
            return out;
          },
          "Momentum grid (MeV/c) as an ndarray (a copy).")
      .def_property_readonly("epsilon", [](const WaveFunction& w) { return w.wf->epsilon; },
                             "Short-range radius EPSILON (fm).")
      .def_property_readonly("strong", [](const WaveFunction& w) { return w.wf->STRONG; },
                             "Strong interaction switched on.")
      .def_property_readonly("coulomb", [](const WaveFunction& w) { return w.wf->COULOMB; },
                             "Coulomb interaction switched on.")
      .def_property_readonly("masses",
                             [](const WaveFunction& w) { return py::make_tuple(w.wf->m1, w.wf->m2); },
                             "Masses (m1, m2) in MeV.")
      .def_property_readonly("q1q2", [](const WaveFunction& w) { return w.wf->q1q2; },
                             "Charge product.")
      .def("_psi2", &PsiSquared, py::arg("q"), py::arg("r"), py::arg("ctheta"));
}

}  // namespace femtokit_python

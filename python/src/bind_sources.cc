// Source models by name (every model of the registry source/sourcemodels.h):
// parameters by key, the source computed into a CHArray or a Grid3D.

#include <memory>
#include <string>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "bind_common.h"
#include "config/parameter.h"
#include "source/sourcecalc_gaussian.h"
#include "source/sourcemodels.h"

namespace femtokit_python {
namespace {

std::unique_ptr<Source> MakeSource(const std::string& model) {
  if (femtokit::FindSourceModel(model) == nullptr) {
    std::string known;
    for (const auto& s : femtokit::SourceModels()) known += " " + s.name;
    throw py::value_error("unknown source model " + model + "; known:" + known);
  }
  auto out = std::make_unique<Source>();
  out->model = model;
  out->calc = femtokit::MakeSourceCalc(model);
  return out;
}

}  // namespace

void BindSources(py::module_& m) {
  m.def(
      "source_models",
      [] {
        py::list out;
        for (const auto& s : femtokit::SourceModels())
          out.append(py::make_tuple(s.name, s.description));
        return out;
      },
      "Every source model as (name, description).");

  py::class_<Source>(m, "Source", "Compiled source model (see femtokit.Source).")
      .def(py::init(&MakeSource), py::arg("model"))
      .def_readonly("model", &Source::model, "Registry name of the model.")
      .def("_pars", [](const Source& s) { return s.calc->spars; })
      .def("_set", [](Source& s, const std::string& key, const std::string& value) {
        parameter::set(s.calc->spars, key, value);
      })
      .def("_read_pars", [](Source& s, const std::string& path) { s.calc->ReadSPars(path.c_str()); })
      .def(
          "_compute",
          [](Source& s, CCHArray& a) {
            WithoutGIL unlocked;
            s.calc->CalcS(&a);
          })
      .def(
          "_compute_component",
          [](Source& s, int lx, int ly, int lz, CCHArray& a) {
            if (!a.IsStored(lx, ly, lz, 0)) throw py::value_error("component not stored in the array");
            WithoutGIL unlocked;
            s.calc->CalcS(lx, ly, lz, &a);
          })
      .def("_compute_grid", [](Source& s, C3DArray& g) {
        auto* gaussian = dynamic_cast<CSourceCalc_Gaussian*>(s.calc.get());
        if (gaussian == nullptr)
          throw py::value_error("source model " + s.model + " cannot fill a Grid3D (gaussian3d can)");
        WithoutGIL unlocked;
        gaussian->CalcS(&g);
      });
}

}  // namespace femtokit_python

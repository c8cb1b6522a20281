// Fitting: the chi-square of any source model as a function of named
// parameters (fit/sourcechisquare.h), which the Python layer wraps into an
// iminuit cost, and the built-in minimisers on the same chi-square.

#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "bind_common.h"
#include "fit/cf2sfit.h"
#include "fit/sourcechisquare.h"
#include "kernel/kernel.h"

namespace femtokit_python {
namespace {

py::dict FitValues(const CCF2SFit& f, double CParInfo::*field) {
  py::dict out;
  for (int i = 0; i < f.npars; i++) out[py::str(f.par[i]->name)] = f.par[i]->*field;
  return out;
}

py::array_t<double> Matrix(double** M, int n) {
  py::array_t<double> out({n, n});
  auto v = out.mutable_unchecked<2>();
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) v(i, j) = M[i][j];
  return out;
}

}  // namespace

void BindFit(py::module_& m) {
  using femtokit::SourceChiSquare;
  py::class_<SourceChiSquare>(m, "ChiSquare", "Compiled chi-square (see femtokit.ChiSquareCost).")
      .def(py::init([](Source& s, CKernel& k, CCHArray& data, CCHArray& errors,
                       std::vector<std::string> names, int lx, int ly, int lz) {
             return std::make_unique<SourceChiSquare>(s.calc.get(), &k, &data, &errors,
                                                      std::move(names), lx, ly, lz);
           }),
           py::arg("source"), py::arg("kernel"), py::arg("data"), py::arg("errors"),
           py::arg("names"), py::arg("lx") = 0, py::arg("ly") = 0, py::arg("lz") = 0,
           py::keep_alive<1, 2>(), py::keep_alive<1, 3>(), py::keep_alive<1, 4>(),
           py::keep_alive<1, 5>())
      .def(
          "__call__",
          [](SourceChiSquare& c, const py::args& args) {
            // cost(x1, x2, ...) or cost([x1, x2, ...]) (iminuit calls both ways)
            py::sequence values = args;
            if (args.size() == 1 && (py::isinstance<py::list>(args[0]) ||
                                     py::isinstance<py::tuple>(args[0]) ||
                                     py::isinstance<py::array>(args[0])))
              values = py::reinterpret_borrow<py::sequence>(args[0]);
            if (static_cast<size_t>(py::len(values)) != c.names().size())
              throw py::value_error("expected " + std::to_string(c.names().size()) +
                                    " parameter values, got " + std::to_string(py::len(values)));
            std::vector<double> x(c.names().size());
            for (size_t i = 0; i < x.size(); i++) x[i] = values[i].cast<double>();
            WithoutGIL unlocked;
            return c.Evaluate(x.data());
          },
          "chi^2 at the parameter values, in the order of `names`: cost(x1, x2, ...) or "
          "cost(sequence).")
      .def_property_readonly("names", &SourceChiSquare::names, "Fitted parameter names.")
      .def_property_readonly("nbins", &SourceChiSquare::NBins, "Number of compared bins.")
      .def_property_readonly("componentwise", &SourceChiSquare::Componentwise,
                             "Whether the model computes the compared component alone.")
      .def_property_readonly(
          "component",
          [](const SourceChiSquare& c) { return py::make_tuple(c.lx(), c.ly(), c.lz()); },
          "Compared component (lx, ly, lz).")
      .def("_source", [](SourceChiSquare& c) -> CCHArray& { return c.Source(); },
           py::return_value_policy::reference_internal)
      .def("_theory", [](SourceChiSquare& c) -> CCHArray& { return c.Theory(); },
           py::return_value_policy::reference_internal);

  py::class_<CCF2SFit>(m, "BuiltinFit", R"doc(
The library's own minimisers (Newton, steepest descent, Metropolis) on the
chi-square of a femtokit.ChiSquareCost. Trial values reach the model with six
significant digits, as in every fit of the library.
)doc")
      .def(py::init([](SourceChiSquare& cost, const std::vector<std::string>& names,
                       const std::vector<double>& values, const std::vector<double>& errors,
                       const std::vector<double>& xmin, const std::vector<double>& xmax) {
             const size_t n = names.size();
             if (values.size() != n || errors.size() != n || xmin.size() != n || xmax.size() != n)
               throw py::value_error("names, values, errors and bounds must have equal lengths");
             std::vector<femtokit::FitParameter> pars;
             for (size_t i = 0; i < n; i++)
               pars.push_back({names[i], values[i], errors[i], xmin[i], xmax[i]});
             return femtokit::MakeBuiltinFit(cost, pars);
           }),
           py::arg("cost"), py::arg("names"), py::arg("values"), py::arg("errors"),
           py::arg("xmin"), py::arg("xmax"), py::keep_alive<1, 2>())
      .def(
          "newton",
          [](CCF2SFit& f, int maxtries) {
            WithoutGIL unlocked;
            f.Newton(maxtries);
          },
          py::arg("maxtries") = 6,
          "Newton's method with finite-difference curvature (at most two iterations); "
          "sets the errors from the inverse curvature.")
      .def(
          "steepest_descent",
          [](CCF2SFit& f, int maxcalls) {
            WithoutGIL unlocked;
            f.SteepestDescent(maxcalls);
          },
          py::arg("maxcalls") = 10, "Steepest descent with a halving line search.")
      .def(
          "metropolis",
          [](CCF2SFit& f, int ncalls) {
            WithoutGIL unlocked;
            f.Metropolis(ncalls);
          },
          py::arg("ncalls"), "Metropolis walk; sets the mean and the error matrix from it.")
      .def("fix", [](CCF2SFit& f, const std::string& name) { f.FixPar(name.c_str()); },
           py::arg("name"), "Holds a parameter at its current value.")
      .def("release", [](CCF2SFit& f, const std::string& name) { f.FreePar(name.c_str()); },
           py::arg("name"), "Frees a fixed parameter.")
      .def("use_best", &CCF2SFit::UseBestPars, "Current values := best values seen.")
      .def_property_readonly("values", [](const CCF2SFit& f) { return FitValues(f, &CParInfo::currentx); },
                             "Current values by name.")
      .def_property_readonly("errors", [](const CCF2SFit& f) { return FitValues(f, &CParInfo::error); },
                             "Errors by name.")
      .def_property_readonly("best", [](const CCF2SFit& f) { return FitValues(f, &CParInfo::bestx); },
                             "Values at the lowest chi-square seen, by name.")
      .def_property_readonly("chi2", [](const CCF2SFit& f) { return f.currentchi2; },
                             "Chi-square at the current values.")
      .def_property_readonly("best_chi2", [](const CCF2SFit& f) { return f.bestchi2; },
                             "Lowest chi-square seen.")
      .def_property_readonly("ncalls", [](const CCF2SFit& f) { return f.Ncalls; },
                             "Chi-square evaluations so far.")
      .def_property_readonly(
          "names",
          [](const CCF2SFit& f) {
            std::vector<std::string> out;
            for (int i = 0; i < f.npars; i++) out.emplace_back(f.par[i]->name);
            return out;
          },
          "Parameter names in table order (free first).")
      .def_property_readonly("error_matrix",
                             [](const CCF2SFit& f) { return Matrix(f.ErrorMatrix, f.npars); },
                             "Error matrix <dx_i dx_j> (rows in the original parameter order).");
}

}  // namespace femtokit_python

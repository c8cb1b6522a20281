// The analysis layer (analysis/): measured data, the model of parts around a genuine
// correlation (a source through a kernel, or Lednicky-Lyuboshitz), fits of one or more
// data sets with their results, and TOML configurations run as femtoanalyze runs them.
// Arrays cross as numpy copies; fits, kernel computations and runs release the GIL.

#include <pybind11/complex.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/analysisconfig.h"
#include "analysis/fit.h"
#include "analysis/genuine.h"
#include "analysis/lednickycorrelation.h"
#include "analysis/measureddata.h"
#include "analysis/model.h"
#include "analysis/run.h"
#include "analysis/tables.h"
#include "analysis/writers.h"
#include "bind_common.h"

namespace femtokit_python {
namespace {

namespace fa = femtokit::analysis;

py::array_t<double> ToArray(const std::vector<double>& v) {
  py::array_t<double> out(static_cast<py::ssize_t>(v.size()));
  std::copy(v.begin(), v.end(), out.mutable_data());
  return out;
}

py::array_t<double> ToMatrix(const std::vector<std::vector<double>>& m) {
  const py::ssize_t n = static_cast<py::ssize_t>(m.size());
  py::array_t<double> out({n, n});
  auto v = out.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < n; ++i)
    for (py::ssize_t j = 0; j < n; ++j) v(i, j) = m[i][j];
  return out;
}

std::vector<double> ToVector(const DoubleArray& a) { return {a.data(), a.data() + a.size()}; }

// k values the model is evaluated at: one-dimensional, finite, not negative.
std::vector<double> KValues(const DoubleArray& k) {
  if (k.ndim() != 1) throw py::value_error("k must be a one-dimensional array (MeV/c)");
  std::vector<double> out = ToVector(k);
  for (double x : out)
    if (!std::isfinite(x) || x < 0.0) throw py::value_error("k must be finite and not negative");
  return out;
}

std::vector<double> Increasing(const DoubleArray& a, const char* what) {
  if (a.ndim() != 1 || a.size() < 1) throw py::value_error(std::string(what) + " must be a non-empty 1-D array");
  std::vector<double> v = ToVector(a);
  for (std::size_t i = 0; i < v.size(); ++i)
    if (!std::isfinite(v[i]) || (i > 0 && !(v[i] > v[i - 1])))
      throw py::value_error(std::string(what) + " must be finite and strictly increasing");
  return v;
}

fa::CurveTable MakeCurve(const DoubleArray& k, const DoubleArray& value, const std::string& origin) {
  fa::CurveTable t;
  t.origin = origin;
  t.k = Increasing(k, "table k");
  if (t.k.size() < 2) throw py::value_error("a table needs at least two points");
  if (value.ndim() != 1 || value.size() != k.size())
    throw py::value_error("table values must be a 1-D array as long as its k");
  t.value = ToVector(value);
  for (double v : t.value)
    if (!std::isfinite(v)) throw py::value_error("table values must be finite");
  return t;
}

// Rows at row_k, columns at col_k, weights[row, col] >= 0; rows normalised.
fa::BinMatrix MakeMatrix(const DoubleArray& row_k, const DoubleArray& col_k, const DoubleArray& weights,
                         const std::string& origin) {
  fa::BinMatrix m;
  m.origin = origin;
  m.row_k = Increasing(row_k, "matrix row k");
  m.col_k = Increasing(col_k, "matrix column k");
  if (weights.ndim() != 2 || weights.shape(0) != row_k.size() || weights.shape(1) != col_k.size())
    throw py::value_error("matrix weights must have shape (len(row_k), len(col_k))");
  m.weight = ToVector(weights);
  for (std::size_t i = 0; i < m.row_k.size(); ++i) {
    double sum = 0.0;
    for (std::size_t j = 0; j < m.col_k.size(); ++j) {
      const double w = m.at(i, j);
      if (!std::isfinite(w) || w < 0.0) throw py::value_error("matrix weights must be finite and not negative");
      sum += w;
    }
    if (!(sum > 0.0)) throw py::value_error("matrix row " + std::to_string(i) + " holds no weight");
  }
  m.NormaliseRows();
  return m;
}

py::dict CurvesDict(const fa::ModelCurves& c) {
  py::dict d;
  d["k"] = ToArray(c.k);
  d["model"] = ToArray(c.model);
  d["baseline"] = ToArray(c.baseline);
  d["genuine"] = ToArray(c.genuine);
  py::dict terms;
  for (std::size_t i = 0; i < c.term_names.size(); ++i) terms[py::str(c.term_names[i])] = ToArray(c.terms[i]);
  d["terms"] = terms;
  return d;
}

py::list CurvesList(const fa::Analysis& a, const std::vector<fa::ModelCurves>& curves) {
  py::list out;
  for (std::size_t i = 0; i < curves.size(); ++i) {
    py::dict d = CurvesDict(curves[i]);
    const fa::DataSet& s = a.data_sets()[i];
    d["set"] = s.name;
    d["data"] = ToArray(s.data.value);
    d["error"] = ToArray(s.data.error);
    d["k_low"] = ToArray(s.data.k_low);
    d["k_high"] = ToArray(s.data.k_high);
    out.append(d);
  }
  return out;
}

py::dict OptionsDict(const fa::FitOptions& o) {
  py::dict d;
  d["minimizer"] = o.minimizer;
  d["max_iterations"] = o.max_iterations;
  d["xtol"] = o.xtol;
  d["gtol"] = o.gtol;
  d["metropolis_steps"] = o.metropolis_steps;
  return d;
}

fa::NamedLednickyPair MakeLednickyPair(const std::string& name, const std::vector<std::string>& channel_names,
                                       const std::vector<double>& weights, const std::vector<int>& spins,
                                       const std::vector<std::complex<double>>& f0,
                                       const std::vector<double>& d0, bool identical, int z1z2,
                                       double mu) {
  const std::size_t n = channel_names.size();
  if (n == 0 || weights.size() != n || spins.size() != n || f0.size() != n || d0.size() != n)
    throw py::value_error("channel names, weights, spins, f0 and d0 must be equally long and not empty");
  fa::NamedLednickyPair p;
  p.name = name;
  p.channel_names = channel_names;
  p.pair.identical = identical;
  p.pair.z1z2 = z1z2;
  p.pair.mu = mu;
  for (std::size_t i = 0; i < n; ++i) p.pair.channels.push_back({weights[i], spins[i], f0[i], d0[i]});
  fa::LednickyCorrelation check(p);  // the same checks an analysis makes (fatal -> ValueError)
  return p;
}

void BindData(py::module_& m) {
  py::class_<fa::MeasuredData>(m, "MeasuredData", R"doc(
A measured correlation function C(k*) with one-sigma errors: k (bin centres, MeV/c,
strictly increasing), k_low, k_high (edges), value, error (> 0) as ndarray copies.
MeasuredData(k, value, error, k_low=None, k_high=None, origin="arrays") checks its
input (ValueError naming the bin); femtokit.read_measured_data reads files.
)doc")
      .def(py::init([](const DoubleArray& k, const DoubleArray& value, const DoubleArray& error,
                       std::optional<DoubleArray> k_low, std::optional<DoubleArray> k_high,
                       const std::string& origin) {
             fa::MeasuredData d;
             d.origin = origin;
             d.k = ToVector(k);
             d.value = ToVector(value);
             d.error = ToVector(error);
             d.k_low = k_low ? ToVector(*k_low) : d.k;
             d.k_high = k_high ? ToVector(*k_high) : d.k;
             const std::size_t n = d.k.size();
             if (k.ndim() != 1 || n == 0 || d.value.size() != n || d.error.size() != n ||
                 d.k_low.size() != n || d.k_high.size() != n)
               throw py::value_error("k, value, error (and k_low, k_high) must be equally long 1-D arrays");
             fa::CheckMeasuredData(d);
             return d;
           }),
           py::arg("k"), py::arg("value"), py::arg("error"), py::arg("k_low") = py::none(),
           py::arg("k_high") = py::none(), py::arg("origin") = "arrays")
      .def_readonly("origin", &fa::MeasuredData::origin, "Where the values came from.")
      .def_property_readonly("k", [](const fa::MeasuredData& d) { return ToArray(d.k); }, "Bin centres k* (MeV/c).")
      .def_property_readonly("k_low", [](const fa::MeasuredData& d) { return ToArray(d.k_low); }, "Lower bin edges.")
      .def_property_readonly("k_high", [](const fa::MeasuredData& d) { return ToArray(d.k_high); }, "Upper bin edges.")
      .def_property_readonly("value", [](const fa::MeasuredData& d) { return ToArray(d.value); }, "C(k).")
      .def_property_readonly("error", [](const fa::MeasuredData& d) { return ToArray(d.error); }, "One-sigma errors.")
      .def("in_range", &fa::MeasuredData::InRange, py::arg("kmin"), py::arg("kmax"),
           "The bins with kmin <= k <= kmax (ValueError when none is left).")
      .def("__len__", &fa::MeasuredData::size);

  m.def(
      "read_measured_data",
      [](const std::string& path, const std::string& k, const std::string& value, const std::string& error,
         const std::vector<std::string>& header, bool systematic) {
        fa::DataColumns c;
        c.k = k;
        c.value = value;
        c.error = error;
        c.header = header;
        c.add_systematic = systematic;
        return fa::ReadMeasuredData(path, c);
      },
      py::arg("path"), py::arg("k") = "", py::arg("value") = "", py::arg("error") = "",
      py::arg("header") = std::vector<std::string>{}, py::arg("systematic") = false,
      "Reads a C(k) table (named columns or HEPData CSV).");
  m.def("read_component_directory", &fa::ReadComponentDirectory, py::arg("values_dir"), py::arg("errors_dir"),
        "Reads C - 1 and its errors from two component directories.");
}

void BindGenuine(py::module_& m) {
  py::class_<fa::KernelTable, std::shared_ptr<fa::KernelTable>>(m, "AnalysisKernel",
                                                                "Compiled K_0 table of an analysis.")
      .def_static(
          "from_pair",
          [](const std::string& pair, const DoubleArray& k, double rmax, double delr, double epsilon,
             bool strong, bool coulomb) {
            const std::vector<double> ks = KValues(k);
            if (!(rmax > 0.0) || !(delr > 0.0)) throw py::value_error("rmax and delr must be positive (fm)");
            fa::WaveFunctionOptions o{epsilon, strong, coulomb};
            WithoutGIL unlocked;
            return fa::KernelTable::FromPair(pair, fa::GridFor(ks, rmax, delr), o);
          },
          py::arg("pair"), py::arg("k"), py::arg("rmax"), py::arg("delr"), py::arg("epsilon"),
          py::arg("strong"), py::arg("coulomb"))
      .def_static(
          "from_directory",
          [](const std::string& dir) {
            WithoutGIL unlocked;
            return fa::KernelTable::FromDirectory(dir);
          },
          py::arg("directory"))
      .def_static(
          "purehbt",
          [](const DoubleArray& k, double rmax, double delr) {
            const std::vector<double> ks = KValues(k);
            if (!(rmax > 0.0) || !(delr > 0.0)) throw py::value_error("rmax and delr must be positive (fm)");
            WithoutGIL unlocked;
            return fa::KernelTable::PureHBT(fa::GridFor(ks, rmax, delr));
          },
          py::arg("k"), py::arg("rmax"), py::arg("delr"))
      .def_property_readonly("delr", &fa::KernelTable::delr)
      .def_property_readonly("nr", &fa::KernelTable::nr)
      .def_property_readonly("rmax", &fa::KernelTable::rmax)
      .def_property_readonly("kmax", &fa::KernelTable::kmax)
      .def_property_readonly("description", &fa::KernelTable::description)
      .def("k0", [](const fa::KernelTable& t, double k, double r) { return t.K0(k, r); });

  py::class_<fa::GenuineCorrelation, std::shared_ptr<fa::GenuineCorrelation>>(
      m, "GenuineCorrelation", R"doc(
The genuine correlation C_gen(k) of a pair: parameter_names, default_value(name),
evaluate(k, {name: value}) -> ndarray, description, warnings. Made by
femtokit.kernel_source (a source model through a kernel) or femtokit.lednicky.
)doc")
      .def_property_readonly("parameter_names", &fa::GenuineCorrelation::ParameterNames)
      .def("default_value", &fa::GenuineCorrelation::DefaultValue, py::arg("name"))
      .def_property_readonly("description", &fa::GenuineCorrelation::Description)
      .def_property_readonly("warnings", &fa::GenuineCorrelation::Warnings)
      .def(
          "evaluate",
          [](fa::GenuineCorrelation& g, const DoubleArray& k, const fa::ParameterValues& p) {
            const std::vector<double> ks = KValues(k);
            std::vector<double> c;
            {
              WithoutGIL unlocked;
              c = g.Evaluate(ks, p);
            }
            return ToArray(c);
          },
          py::arg("k"), py::arg("parameters"));

  py::class_<fa::KernelSourceCorrelation, fa::GenuineCorrelation, std::shared_ptr<fa::KernelSourceCorrelation>>(
      m, "KernelSourceCorrelation", "Compiled source-through-kernel correlation.")
      .def(py::init<std::shared_ptr<fa::KernelTable>, const std::string&, const parameter_map&>(),
           py::arg("kernel"), py::arg("model"), py::arg("settings") = parameter_map{})
      .def_property_readonly("last_inside_fraction", &fa::KernelSourceCorrelation::last_inside_fraction);

  py::class_<fa::NamedLednickyPair>(m, "LednickyPair", "Compiled Lednicky-Lyuboshitz pair.")
      .def(py::init(&MakeLednickyPair), py::arg("name"), py::arg("channel_names"), py::arg("weights"),
           py::arg("spins"), py::arg("f0"), py::arg("d0"), py::arg("identical"), py::arg("z1z2"),
           py::arg("mu"))
      .def_static(
          "builtin",
          [](const std::string& name) {
            WithoutGIL unlocked;
            return fa::BuiltinLednickyPair(name);
          },
          py::arg("name"))
      .def_readonly("name", &fa::NamedLednickyPair::name)
      .def_readonly("channel_names", &fa::NamedLednickyPair::channel_names)
      .def_property_readonly("identical", [](const fa::NamedLednickyPair& p) { return p.pair.identical; })
      .def_property_readonly("z1z2", [](const fa::NamedLednickyPair& p) { return p.pair.z1z2; })
      .def_property_readonly("mu", [](const fa::NamedLednickyPair& p) { return p.pair.mu; })
      .def_property_readonly("channels",
                             [](const fa::NamedLednickyPair& p) {
                               py::list out;
                               for (std::size_t i = 0; i < p.pair.channels.size(); ++i) {
                                 const femtokit::LednickyChannel& c = p.pair.channels[i];
                                 py::dict d;
                                 d["name"] = p.channel_names[i];
                                 d["spin"] = c.spin;
                                 d["weight"] = c.weight;
                                 d["f0"] = c.f0;
                                 d["d0"] = c.d0;
                                 out.append(d);
                               }
                               return out;
                             })
      .def("_cf",
           [](const fa::NamedLednickyPair& p, const DoubleArray& q, const DoubleArray& R) {
             const py::ssize_t n = q.size();
             if (R.size() != n) throw py::value_error("q and R must have equal sizes after broadcasting");
             py::array_t<double> out(n);
             double* po = out.mutable_data();
             const double* pq = q.data();
             const double* pR = R.data();
             {
               WithoutGIL unlocked;
               for (py::ssize_t i = 0; i < n; ++i) po[i] = femtokit::LednickyCF(p.pair, pR[i], pq[i]);
             }
             return out;
           })
      .def("_amplitude", [](const fa::NamedLednickyPair& p, std::size_t channel, const DoubleArray& q) {
        if (channel >= p.pair.channels.size()) throw py::index_error("no such channel");
        py::array_t<std::complex<double>> out(q.size());
        auto* po = out.mutable_data();
        for (py::ssize_t i = 0; i < q.size(); ++i)
          po[i] = femtokit::LednickyAmplitude(p.pair, p.pair.channels[channel], q.data()[i]);
        return out;
      });
  m.def("builtin_lednicky_pairs", &fa::BuiltinLednickyPairNames, "Names of the built-in Lednicky-Lyuboshitz pairs.");

  py::class_<fa::LednickyCorrelation, fa::GenuineCorrelation, std::shared_ptr<fa::LednickyCorrelation>>(
      m, "LednickyCorrelation", "Compiled Lednicky-Lyuboshitz genuine correlation.")
      .def(py::init<fa::NamedLednickyPair, double>(), py::arg("pair"), py::arg("default_radius") = 1.5)
      .def_property_readonly("pair", &fa::LednickyCorrelation::pair);
}

void BindModel(py::module_& m) {
  py::class_<fa::Model, std::shared_ptr<fa::Model>>(m, "Model", "Compiled model of parts (see femtokit.Model).")
      .def(py::init<std::shared_ptr<fa::GenuineCorrelation>>(), py::arg("genuine"))
      .def("_add_flat", [](fa::Model& model, const std::string& name) {
        fa::Residual r;
        r.name = name;
        model.AddResidual(r);
      })
      .def("_add_table", [](fa::Model& model, const std::string& name, const DoubleArray& k, const DoubleArray& c) {
        fa::Residual r;
        r.name = name;
        r.kind = fa::Residual::Kind::kTable;
        r.table = MakeCurve(k, c, "residual " + name);
        model.AddResidual(r);
      })
      .def("_add_decay", [](fa::Model& model, const std::string& name, const DoubleArray& k, const DoubleArray& c,
                            const DoubleArray& row_k, const DoubleArray& col_k, const DoubleArray& w) {
        fa::Residual r;
        r.name = name;
        r.kind = fa::Residual::Kind::kDecay;
        r.table = MakeCurve(k, c, "parent of " + name);
        r.decay = MakeMatrix(row_k, col_k, w, "decay matrix of " + name);
        model.AddResidual(r);
      })
      .def("_add_files", [](fa::Model& model, const std::string& name, const std::string& kind,
                            const std::string& table, const std::string& matrix) {
        fa::Residual r;
        r.name = name;
        r.kind = kind == "table" ? fa::Residual::Kind::kTable : fa::Residual::Kind::kDecay;
        r.table = fa::ReadCurveTable(table);
        if (kind == "decay") r.decay = fa::ReadBinMatrix(matrix);
        model.AddResidual(r);
      })
      .def("_set_resolution", [](fa::Model& model, const DoubleArray& row_k, const DoubleArray& col_k,
                                 const DoubleArray& w) { model.SetResolution(MakeMatrix(row_k, col_k, w, "resolution")); })
      .def("_set_resolution_file", [](fa::Model& model, const std::string& path) {
        model.SetResolution(fa::ReadBinMatrix(path));
      })
      .def("_set_baseline", [](fa::Model& model, int degree) {
        if (degree < 0 || degree > 3) throw py::value_error("baseline degree must be 0 to 3");
        fa::Baseline b;
        b.degree = degree;
        model.SetBaseline(b);
      })
      .def("_set_baseline_table", [](fa::Model& model, const DoubleArray& k, const DoubleArray& b) {
        fa::Baseline base;
        base.table = MakeCurve(k, b, "baseline table");
        model.SetBaseline(base);
      })
      .def("_set_baseline_file", [](fa::Model& model, const std::string& path) {
        fa::Baseline base;
        base.table = fa::ReadCurveTable(path);
        model.SetBaseline(base);
      })
      .def("rename", &fa::Model::Rename, py::arg("name"), py::arg("fit_name"))
      .def_property_readonly("parameter_names", &fa::Model::ParameterNames)
      .def_property_readonly("genuine", [](const fa::Model& model) { return &model.genuine(); },
                             py::return_value_policy::reference_internal)
      .def("evaluate",
           [](const fa::Model& model, const DoubleArray& k, const fa::ParameterValues& p) {
             const std::vector<double> ks = KValues(k);
             std::vector<double> c;
             {
               WithoutGIL unlocked;
               c = model.Evaluate(ks, p);
             }
             return ToArray(c);
           })
      .def("curves", [](const fa::Model& model, const DoubleArray& k, const fa::ParameterValues& p) {
        const std::vector<double> ks = KValues(k);
        fa::ModelCurves c;
        {
          WithoutGIL unlocked;
          c = model.EvaluateCurves(ks, p);
        }
        return CurvesDict(c);
      });
}

void BindFitResult(py::module_& m) {
  py::class_<fa::FitResult>(m, "FitResult", R"doc(
Result of an analysis fit: values with one-sigma errors (chi^2 + 1), covariance and
correlation matrices (zero rows for fixed parameters), chi2, ndf, p-value, and
whether the fit converged with the reason (status).
)doc")
      .def_readonly("names", &fa::FitResult::names, "Parameter names, in the analysis' order.")
      .def_property_readonly("values", [](const fa::FitResult& r) { return ToArray(r.values); }, "Best values.")
      .def_property_readonly("errors", [](const fa::FitResult& r) { return ToArray(r.errors); },
                             "One-sigma errors (chi^2 + 1); 0 for fixed parameters.")
      .def_readonly("fixed", &fa::FitResult::fixed, "Which parameters were fixed.")
      .def_readonly("at_limit", &fa::FitResult::at_limit, "Which ended at a bound.")
      .def_property_readonly("covariance", [](const fa::FitResult& r) { return ToMatrix(r.covariance); },
                             "Covariance matrix (names x names).")
      .def_property_readonly("correlation", [](const fa::FitResult& r) { return ToMatrix(r.correlation); },
                             "Correlation matrix (names x names).")
      .def_readonly("chi2", &fa::FitResult::chi2, "chi^2 at the best values.")
      .def_readonly("nbins", &fa::FitResult::nbins, "Data bins fitted.")
      .def_readonly("nfree", &fa::FitResult::nfree, "Free parameters.")
      .def_readonly("ndf", &fa::FitResult::ndf, "Degrees of freedom, nbins - nfree.")
      .def_readonly("p_value", &fa::FitResult::p_value, "P(chi^2 >= chi2 | ndf); NaN when ndf <= 0.")
      .def_readonly("edm", &fa::FitResult::edm, "Estimated distance to the minimum (chi^2 units).")
      .def_readonly("converged", &fa::FitResult::converged, "True only when the fit converged.")
      .def_readonly("status", &fa::FitResult::status, "Why the minimiser stopped, in words.")
      .def_readonly("minimizer", &fa::FitResult::minimizer)
      .def_readonly("iterations", &fa::FitResult::iterations)
      .def_readonly("evaluations", &fa::FitResult::evaluations)
      .def_readonly("warnings", &fa::FitResult::warnings)
      .def_property_readonly("minimizer_errors", [](const fa::FitResult& r) { return ToArray(r.minimizer_errors); },
                             "The minimiser's own errors where it has them (converted to one sigma).")
      .def_readonly("error_note", &fa::FitResult::error_note)
      .def("value", &fa::FitResult::value, py::arg("name"), "Best value of a parameter.")
      .def("error", &fa::FitResult::error, py::arg("name"), "One-sigma error of a parameter.")
      .def("__repr__", [](const fa::FitResult& r) {
        std::string text = std::string("FitResult(") + (r.converged ? "converged" : "NOT converged") +
                           ", chi2=" + std::to_string(r.chi2) + ", ndf=" + std::to_string(r.ndf);
        for (std::size_t i = 0; i < r.names.size(); ++i)
          text += ", " + r.names[i] + "=" + std::to_string(r.values[i]) +
                  (r.fixed[i] ? " (fixed)" : " +- " + std::to_string(r.errors[i]));
        return text + ")";
      });
}

void BindAnalysis(py::module_& m) {
  py::class_<fa::Analysis>(m, "Analysis", "Compiled analysis (see femtokit.Analysis).")
      .def(py::init<>())
      .def("add_dataset",
           [](fa::Analysis& a, const std::string& name, const fa::MeasuredData& data,
              std::shared_ptr<fa::Model> model) { a.AddDataSet({name, data, std::move(model)}); },
           py::arg("name"), py::arg("data"), py::arg("model"))
      .def("set_parameter",
           [](fa::Analysis& a, const std::string& name, double start, double lower, double upper, bool fixed) {
             a.SetParameter({name, start, lower, upper, fixed});
           },
           py::arg("name"), py::arg("start"), py::arg("lower"), py::arg("upper"), py::arg("fixed"))
      .def_property_readonly("parameter_names", &fa::Analysis::ParameterNames)
      .def("parameters",
           [](const fa::Analysis& a) {
             py::list out;
             for (const fa::FitParameter& p : a.Parameters()) {
               py::dict d;
               d["name"] = p.name;
               d["start"] = p.start;
               d["lower"] = p.lower;
               d["upper"] = p.upper;
               d["fixed"] = p.fixed;
               out.append(d);
             }
             return out;
           })
      .def("start_values", &fa::Analysis::StartValues)
      .def_property_readonly("nbins", &fa::Analysis::nbins)
      .def_property_readonly("datasets",
                             [](const fa::Analysis& a) {
                               py::list out;
                               for (const fa::DataSet& s : a.data_sets())
                                 out.append(py::make_tuple(s.name, s.data, s.model));
                               return out;
                             })
      .def("residuals",
           [](const fa::Analysis& a, const fa::ParameterValues& p) {
             std::vector<double> r;
             {
               WithoutGIL unlocked;
               r = a.Residuals(p);
             }
             return ToArray(r);
           })
      .def("chi2",
           [](const fa::Analysis& a, const fa::ParameterValues& p) {
             WithoutGIL unlocked;
             return a.ChiSquare(p);
           })
      .def("curves",
           [](const fa::Analysis& a, const fa::ParameterValues& p) {
             std::vector<fa::ModelCurves> c;
             {
               WithoutGIL unlocked;
               c = a.Curves(p);
             }
             return CurvesList(a, c);
           })
      .def("warnings", &fa::Analysis::Warnings)
      .def("fit",
           [](const fa::Analysis& a, const std::string& minimizer, int max_iterations, double xtol, double gtol,
              int metropolis_steps) {
             if (minimizer != "trust-region" && minimizer != "newton" && minimizer != "metropolis")
               throw py::value_error("minimizer must be 'trust-region', 'newton' or 'metropolis'");
             if (max_iterations < 1) throw py::value_error("max_iterations must be positive");
             fa::FitOptions o{minimizer, max_iterations, xtol, gtol, metropolis_steps};
             WithoutGIL unlocked;
             return a.Fit(o);
           },
           py::arg("minimizer") = "trust-region", py::arg("max_iterations") = 200, py::arg("xtol") = 1e-8,
           py::arg("gtol") = 1e-8, py::arg("metropolis_steps") = 2000);

  py::class_<fa::RunOutcome>(m, "AnalysisRun", "Compiled outcome of a configuration run.")
      .def_property_readonly("json", [](const fa::RunOutcome& o) { return fa::ResultJson(o.report); })
      .def_property_readonly("nominal", [](const fa::RunOutcome& o) { return o.report.nominal; })
      .def_property_readonly("variations", [](const fa::RunOutcome& o) { return o.report.variations; })
      .def_property_readonly("variation_names", [](const fa::RunOutcome& o) { return o.report.variation_names; })
      .def_property_readonly("analysis", [](const fa::RunOutcome& o) { return o.nominal.analysis; })
      .def_readonly("has_data", &fa::RunOutcome::has_data)
      .def_property_readonly("curves", [](const fa::RunOutcome& o) { return CurvesList(o.nominal.analysis, o.curves); })
      .def("write", [](const fa::RunOutcome& o, const std::string& json_path, const std::string& curves_path) {
        WithoutGIL unlocked;
        fa::WriteCurvesCsv(curves_path, o.nominal.analysis, o.curves, o.has_data);
        fa::WriteResultJson(json_path, o.report);
      });

  py::class_<fa::AnalysisConfig>(m, "AnalysisConfig", "Compiled analysis configuration (TOML).")
      .def_static("load", &fa::AnalysisConfig::Load, py::arg("path"))
      .def_static("parse", &fa::AnalysisConfig::Parse, py::arg("text"), py::arg("base_dir"))
      .def_property_readonly("json", &fa::AnalysisConfig::Json)
      .def_property_readonly("variation_names", &fa::AnalysisConfig::VariationNames)
      .def("build",
           [](const fa::AnalysisConfig& c, int variation) {
             if (variation < -1) throw py::value_error("variation must be -1 (nominal) or an index");
             fa::AnalysisSetup s;
             {
               WithoutGIL unlocked;
               s = c.Build(variation);
             }
             return py::make_tuple(s.name, s.analysis, OptionsDict(s.options));
           },
           py::arg("variation") = -1)
      .def("run",
           [](const fa::AnalysisConfig& c, bool predict, bool variations) {
             WithoutGIL unlocked;
             return fa::RunAnalysis(c, {predict, variations});
           },
           py::arg("predict") = false, py::arg("variations") = true);
}

}  // namespace

void BindAnalysisLayer(py::module_& m) {
  BindData(m);
  BindGenuine(m);
  BindModel(m);
  BindFitResult(m);
  BindAnalysis(m);
}

}  // namespace femtokit_python

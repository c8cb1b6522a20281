// femtokit._core: the compiled half of the femtokit Python package.
//
// Installs the library's fatal handler (a fatal condition raises a Python
// exception instead of ending the interpreter) and the bindings of every area,
// one file each (bind_<area>.cc).

#include <algorithm>
#include <cctype>
#include <string>

#include "bind_common.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/threads.h"

namespace femtokit_python {

std::recursive_mutex& LibraryMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

namespace {

[[noreturn]] void ThrowFatal(const std::string& message) { throw FatalError(message); }

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Fatal messages name their cause in words: missing inputs become
// FileNotFoundError, failed writes OSError, numerical breakdowns RuntimeError,
// everything else (bad parameters, mismatched or malformed inputs) ValueError.
void RaiseFatal(const FatalError& e) {
  std::string message = e.what();
  while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back())))
    message.pop_back();
  std::string lower = message;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  PyObject* type = PyExc_ValueError;
  if (Contains(lower, "non-existent") || Contains(lower, "does not exist") ||
      Contains(lower, "cannot open") || Contains(lower, "cannot read file") ||
      Contains(lower, "cannot be opened")) {
    type = Contains(lower, "for writing") ? PyExc_OSError : PyExc_FileNotFoundError;
  } else if (Contains(lower, "cannot create") || Contains(lower, "cannot write") ||
             Contains(lower, "error writing")) {
    type = PyExc_OSError;
  } else if (Contains(lower, "newton") || Contains(lower, "eigenvalue") ||
             Contains(lower, "disaster") || Contains(lower, "screwy") ||
             Contains(lower, "below -")) {
    type = PyExc_RuntimeError;
  }
  PyErr_SetString(type, message.c_str());
}

}  // namespace
}  // namespace femtokit_python

PYBIND11_MODULE(_core, m) {
  namespace fp = femtokit_python;
  m.doc() =
      "Compiled core of femtokit (pybind11). Use the documented names of the femtokit "
      "package; this module holds the bound C++ classes.";
  femtokit::SetFatalHandler(fp::ThrowFatal);
  pybind11::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const fp::FatalError& e) {
      fp::RaiseFatal(e);
    }
  });
  m.def("set_threads", &femtokit::SetThreadCount, pybind11::arg("n"),
        "Number of threads of the library's parallel loops (0: from FEMTOKIT_THREADS / "
        "OMP_NUM_THREADS / all cores).");
  m.def("thread_count", &femtokit::ThreadCount, "Threads the parallel loops use now.");
  pybind11::module_ c = m.def_submodule(
      "constants", "Physical constants of the library: hbar c (MeV fm), alpha, masses (MeV).");
  namespace k = femtokit::constants;
  c.attr("HBARC") = k::kHbarC;
  c.attr("ALPHA") = k::kAlpha;
  c.attr("M_PION") = k::kMassPionCharged;
  c.attr("M_KAON") = k::kMassKaonCharged;
  c.attr("M_PROTON") = k::kMassProton;
  c.attr("M_NEUTRON") = k::kMassNeutron;
  c.attr("M_LAMBDA") = k::kMassLambda;
  fp::BindOutput(m);
  fp::BindArrays(m);
  fp::BindWaveFunctions(m);
  fp::BindKernels(m);
  fp::BindSources(m);
  fp::BindTransforms(m);
  fp::BindFit(m);
  fp::BindAnalysisLayer(m);
  fp::BindInteractions(m);
  fp::BindEvents(m);
}

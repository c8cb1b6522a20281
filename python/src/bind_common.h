#ifndef FEMTOKIT_PYTHON_BIND_COMMON_H
#define FEMTOKIT_PYTHON_BIND_COMMON_H

// Shared pieces of the femtokit._core extension: the exception that carries a
// library fatal condition into Python, and one Bind<Area> function per file.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "source/sourcecalc.h"
#include "wavefunctions/wavefunction.h"

namespace femtokit_python {

namespace py = pybind11;

// Thrown by the fatal handler the module installs; translated to
// FileNotFoundError, ValueError or RuntimeError by its message.
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message) : std::runtime_error(message) {}
};

// A pair wave function with the registry name it was made under.
struct WaveFunction {
  std::string pair;
  std::unique_ptr<CWaveFunction> wf;
};

// A source model with its registry name.
struct Source {
  std::string model;
  std::unique_ptr<CSourceCalc> calc;
};

// Long library work runs without the GIL but under one library-wide lock:
// library objects keep hidden scratch state (Legendre values of a kernel,
// partial-wave buffers, random generators, lazily built tables), so two Python
// threads must not run library code at once; pure-Python threads go on. The
// GIL is released before the lock is taken (and retaken after it is
// released), so a thread waiting for the lock never holds the GIL. Recursive:
// a logging handler called from inside library work may call the library.
std::recursive_mutex& LibraryMutex();

class WithoutGIL {
 public:
  WithoutGIL() = default;
  WithoutGIL(const WithoutGIL&) = delete;
  WithoutGIL& operator=(const WithoutGIL&) = delete;

 private:
  py::gil_scoped_release release_;
  std::lock_guard<std::recursive_mutex> lock_{LibraryMutex()};
};

// A C-contiguous double array (copied only when the input is not one already).
using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

void BindOutput(py::module_& m);
void BindArrays(py::module_& m);
void BindWaveFunctions(py::module_& m);
void BindKernels(py::module_& m);
void BindSources(py::module_& m);
void BindTransforms(py::module_& m);
void BindFit(py::module_& m);
void BindAnalysisLayer(py::module_& m);
void BindInteractions(py::module_& m);
void BindEvents(py::module_& m);

}  // namespace femtokit_python

#endif  // FEMTOKIT_PYTHON_BIND_COMMON_H

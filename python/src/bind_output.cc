// The library's progress and warning lines, handed to a Python callable
// (the package forwards them to the "femtokit" logger).
//
// Messages arrive in printf pieces; complete lines are forwarded. A line
// produced on a thread that Python does not know (a worker of a parallel loop)
// is kept until a Python thread emits again: taking the GIL there could
// deadlock with the Python thread that waits for the loop to end.

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bind_common.h"
#include "numeric/output.h"

namespace femtokit_python {
namespace {

struct OutputState {
  std::mutex mutex;
  std::string partial[3];
  std::vector<std::pair<int, std::string>> pending;
  py::object* callback = nullptr;  // never released: it may be needed during interpreter exit
};

OutputState& State() {
  static OutputState* state = new OutputState();
  return *state;
}

void Sink(femtokit::Verbosity level, const std::string& message) {
  OutputState& s = State();
  std::vector<std::pair<int, std::string>> lines;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    std::string& buffer = s.partial[static_cast<int>(level)];
    buffer += message;
    size_t start = 0;
    for (size_t nl; (nl = buffer.find('\n', start)) != std::string::npos; start = nl + 1)
      s.pending.emplace_back(static_cast<int>(level), buffer.substr(start, nl - start));
    buffer.erase(0, start);
    if (PyGILState_GetThisThreadState() == nullptr || s.callback == nullptr) return;
    lines.swap(s.pending);
  }
  if (lines.empty() || !Py_IsInitialized()) return;
  py::gil_scoped_acquire gil;
  for (const auto& line : lines) {
    try {
      (*s.callback)(line.first, line.second);
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("femtokit output callback");
    }
  }
}

}  // namespace

void BindOutput(py::module_& m) {
  m.def(
      "set_output_callback",
      [](py::object callback) {
        OutputState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.callback == nullptr) s.callback = new py::object();
        *s.callback = std::move(callback);
        femtokit::SetOutputSink(s.callback->is_none() ? nullptr : Sink);
      },
      py::arg("callback"),
      "Receives every complete line of library output as callback(level, text), level 1 "
      "warning, 2 progress; None restores standard output.");
  m.def(
      "set_verbosity", [](int level) {
        if (level < 0 || level > 2) throw py::value_error("verbosity must be 0, 1 or 2");
        femtokit::SetVerbosity(static_cast<femtokit::Verbosity>(level));
      },
      py::arg("level"), "0 quiet, 1 warnings, 2 progress and diagnostics.");
  m.def(
      "get_verbosity", [] { return static_cast<int>(femtokit::GetVerbosity()); },
      "Current verbosity level (0, 1 or 2).");
}

}  // namespace femtokit_python

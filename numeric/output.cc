#include "numeric/output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace femtokit {

namespace {
std::atomic<int> g_verbosity{static_cast<int>(Verbosity::kProgress)};
std::atomic<OutputSink> g_sink{nullptr};

void Emit(Verbosity level, const char* format, va_list args) {
  if (static_cast<int>(level) > g_verbosity.load()) return;
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return;
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  const std::string message(buffer.data(), static_cast<size_t>(n));
  if (OutputSink sink = g_sink.load()) {
    sink(level, message);
  } else {
    std::fputs(message.c_str(), stdout);
  }
}
}  // namespace

void SetVerbosity(Verbosity level) { g_verbosity.store(static_cast<int>(level)); }
Verbosity GetVerbosity() { return static_cast<Verbosity>(g_verbosity.load()); }
OutputSink SetOutputSink(OutputSink sink) { return g_sink.exchange(sink); }

void Warn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit(Verbosity::kWarning, format, args);
  va_end(args);
}

void Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Emit(Verbosity::kProgress, format, args);
  va_end(args);
}

}  // namespace femtokit

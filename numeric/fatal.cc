#include "numeric/fatal.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace femtokit {

namespace {
std::atomic<FatalHandler> g_handler{nullptr};

std::string FormatMessage(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<size_t>(n));
}
}  // namespace

FatalHandler SetFatalHandler(FatalHandler handler) { return g_handler.exchange(handler); }

void Fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatMessage(format, args);
  va_end(args);
  if (FatalHandler handler = g_handler.load()) handler(message);  // may throw
  std::fputs(message.c_str(), stdout);
  // Standard output that cannot be written (a full disk) would swallow the message.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) std::fputs(message.c_str(), stderr);
  std::exit(1);
}

}  // namespace femtokit

#include "numeric/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace femtokit {

void Fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace femtokit

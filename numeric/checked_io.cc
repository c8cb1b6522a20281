#include "numeric/checked_io.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "numeric/fatal.h"

namespace femtokit {
namespace {

// Longest text of one number; a longer token is no number this library wrote.
constexpr int kMaxNumberLength = 64;

}  // namespace

int CheckCount(double value, const char* key, const std::string& where, int min, int max) {
  if (!(value >= min && value <= max) || value != std::floor(value))
    Fatal("%s: %s = %g must be a whole number from %d to %d\n", where.c_str(), key, value, min,
          max);
  return static_cast<int>(value);
}

double CheckFinite(double value, const char* key, const std::string& where) {
  if (!std::isfinite(value))
    Fatal("%s: %s = %g must be a finite number\n", where.c_str(), key, value);
  return value;
}

double CheckPositive(double value, const char* key, const std::string& where) {
  if (!std::isfinite(value) || !(value > 0.0))
    Fatal("%s: %s = %g must be a finite number above 0\n", where.c_str(), key, value);
  return value;
}

void CheckTableSize(double values, const char* what, const std::string& where) {
  if (!(values <= kMaxTableValues))
    Fatal("%s: %s would hold %g values (%.3g GiB); the limit is %.0f values (%.0f GiB)\n",
          where.c_str(), what, values, values * sizeof(double) / 1073741824.0, kMaxTableValues,
          kMaxTableValues * sizeof(double) / 1073741824.0);
}

NumberStatus ReadNumber(FILE* f, double* value) {
  int c = getc(f);
  while (c != EOF && std::isspace(c)) c = getc(f);
  if (c == EOF) return NumberStatus::kEnd;
  char text[kMaxNumberLength + 1];
  int n = 0;
  while (c != EOF && !std::isspace(c)) {
    if (n == kMaxNumberLength) return NumberStatus::kMalformed;
    text[n++] = static_cast<char>(c);
    c = getc(f);
  }
  text[n] = '\0';
  // A number that runs into the end of the file may have been cut (a file is written
  // with a newline after its last number).
  if (c == EOF) return NumberStatus::kCut;
  char* end = nullptr;
  const double x = std::strtod(text, &end);
  if (end != text + n) return NumberStatus::kMalformed;
  if (!std::isfinite(x)) return NumberStatus::kNotFinite;
  *value = x;
  return NumberStatus::kOk;
}

double ReadNumberOrFatal(FILE* f, const std::string& filename, int index, const char* item) {
  double x = 0.0;
  const NumberStatus status = ReadNumber(f, &x);
  if (status != NumberStatus::kOk) NumberFatal(status, filename, index, item);
  return x;
}

void NumberFatal(NumberStatus status, const std::string& filename, int index, const char* item) {
  switch (status) {
    case NumberStatus::kEnd:
      Fatal("%s: file ends before %s %d\n", filename.c_str(), item, index);
    case NumberStatus::kCut:
      Fatal("%s: %s %d is cut at the end of the file (file truncated?)\n", filename.c_str(), item,
            index);
    case NumberStatus::kNotFinite:
      Fatal("%s: %s %d is not a finite number\n", filename.c_str(), item, index);
    case NumberStatus::kOk:
    case NumberStatus::kMalformed:
      break;
  }
  Fatal("%s: %s %d is not a number\n", filename.c_str(), item, index);
}

int ReadCountOrFatal(FILE* f, const std::string& filename, const char* item, int min, int max) {
  const double x = ReadNumberOrFatal(f, filename, 1, item);
  return CheckCount(x, item, filename, min, max);
}

void CloseWritten(FILE* f, const std::string& filename) {
  const bool failed = std::fflush(f) != 0 || std::ferror(f) != 0;
  const int saved = errno;
  if (std::fclose(f) != 0 || failed)
    Fatal("cannot write %s: %s\n", filename.c_str(), std::strerror(failed ? saved : errno));
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  temp_ = path_ + ".part" + std::to_string(getpid());
  file_ = std::fopen(temp_.c_str(), "w");
  if (file_ == nullptr) Fatal("cannot create %s: %s\n", temp_.c_str(), std::strerror(errno));
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
    std::remove(temp_.c_str());
  }
}

void AtomicFile::Commit() {
  FILE* f = file_;
  file_ = nullptr;
  const bool failed = std::fflush(f) != 0 || std::ferror(f) != 0;
  const int saved = errno;
  if (std::fclose(f) != 0 || failed) {
    const int err = failed ? saved : errno;
    std::remove(temp_.c_str());
    Fatal("cannot write %s: %s\n", path_.c_str(), std::strerror(err));
  }
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    const int err = errno;
    std::remove(temp_.c_str());
    Fatal("cannot rename %s to %s: %s\n", temp_.c_str(), path_.c_str(), std::strerror(err));
  }
}

bool StdoutWritten(const char* program) {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  std::fprintf(stderr, "%s: error writing standard output: %s\n", program, std::strerror(errno));
  return false;
}

}  // namespace femtokit

#ifndef FEMTOKIT_NUMERIC_CHECKED_IO_H
#define FEMTOKIT_NUMERIC_CHECKED_IO_H

// Checked reading and writing of the library's text files (kernel tables, component
// files, grid files), so that every reader refuses the same faults with the same kind
// of message (naming the file, the key and the value) and every writer notices a
// failed write instead of leaving a short file behind while reporting success.
//
// Sizes: one table holds at most kMaxTableValues doubles (2 GiB); a product of sizes
// beyond that is refused before any allocation, with the size asked for.
//
// Numbers in text files: a number must be followed by whitespace, or end the file
// after a final newline, so that a file cut inside its last number ("-3.79e-" or
// "-3.7") is told apart from a whole one; every number must be finite.
//
// Writes: WriteChecked closes a stream and fails (Fatal) on any write, flush or close
// error; AtomicFile writes to a temporary name in the target's directory and renames
// it into place only once everything has been written, so that readers see either the
// old file or the whole new one.

#include <cstdio>
#include <string>

namespace femtokit {

// Largest number of doubles one table may hold (2^28 doubles = 2 GiB of memory).
constexpr double kMaxTableValues = 268435456.0;

// Fatal unless `value` is a whole number in [min, max]: "<where>: <key> = <value> ...".
int CheckCount(double value, const char* key, const std::string& where, int min, int max);
// Fatal unless `value` is finite.
double CheckFinite(double value, const char* key, const std::string& where);
// Fatal unless `value` is finite and > 0.
double CheckPositive(double value, const char* key, const std::string& where);
// Fatal when `values` (a product of sizes, computed in double so it cannot overflow)
// exceeds kMaxTableValues; `what` names the table.
void CheckTableSize(double values, const char* what, const std::string& where);

// One number of a text stream, read with the truncation and finiteness checks above.
enum class NumberStatus { kOk, kEnd, kMalformed, kCut, kNotFinite };
NumberStatus ReadNumber(FILE* f, double* value);
// Ends with the message of a failed ReadNumber (anything but kOk).
[[noreturn]] void NumberFatal(NumberStatus status, const std::string& filename, int index,
                              const char* item);
// Reads a number or ends with Fatal naming the file and the position (1-based count
// of the number in the file); `item` says what was expected ("value", "header").
double ReadNumberOrFatal(FILE* f, const std::string& filename, int index, const char* item);
// A whole number in [min, max] (a header count), same checks.
int ReadCountOrFatal(FILE* f, const std::string& filename, const char* item, int min, int max);

// Flushes and closes `f`; Fatal naming `filename` on any error of the stream's writes.
void CloseWritten(FILE* f, const std::string& filename);

// A file written under a temporary name beside `path` and renamed into place by
// Commit. Destroyed without Commit (a Fatal thrown through it, an early return), the
// temporary file is removed and `path` is left as it was.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  FILE* get() const { return file_; }
  // Closes with the write checks, then renames; Fatal on failure.
  void Commit();
  const std::string& temp_path() const { return temp_; }

 private:
  std::string path_;
  std::string temp_;
  FILE* file_ = nullptr;
};

// Standard output's error state (a full disk, a closed pipe): flushes it and returns
// false, with a message on standard error naming `program`, when a write failed.
// Programs call this before exiting with success.
bool StdoutWritten(const char* program);

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_CHECKED_IO_H

#ifndef FEMTOKIT_BENCH_BENCH_UTIL_H
#define FEMTOKIT_BENCH_BENCH_UTIL_H

// What the benchmarks share: silencing the classes' own printing while they are built, and
// parameter files written to the temporary directory.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace femtokit_bench {

// Silences standard output while alive (the constructors print their parameters).
class QuietStdout {
 public:
  QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    close(devnull);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_;
};

// Writes a parameter file into the temporary directory and returns its name.
inline std::string WriteParameters(const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("femtokit_bench_" + std::to_string(getpid()) + "_" + name);
  std::ofstream(path) << text;
  return path.string();
}

}  // namespace femtokit_bench

#endif  // FEMTOKIT_BENCH_BENCH_UTIL_H

#ifndef FEMTOKIT_BENCH_BENCH_UTIL_H
#define FEMTOKIT_BENCH_BENCH_UTIL_H

// What the benchmarks share: silencing the classes' own printing while they are built, and
// parameter files written to the temporary directory.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "numeric/threads.h"

namespace femtokit_bench {

// Runs work() `block` times on one thread, then `block` times on every core
// (femtokit::SetThreadCount), `rounds` times over, and returns the summed one-thread time over
// the summed all-core time. Alternating in short blocks averages out the speed swings of a shared
// machine (on the 2-core VM they last from milliseconds to seconds), which make the ratio of two
// separate runs of a short loop spread over 1.0-2.7; blocks rather than single calls, because
// the idle threads fall asleep during a long one-thread stretch and waking them costs a
// thread-count switch, not the loop.
template <class Work>
double AlternatingThreadRatio(const Work& work, int rounds, int block) {
  double one = 0.0, all = 0.0;
  for (int r = 0; r < rounds; ++r)
    for (int threads : {1, 0}) {
      femtokit::SetThreadCount(threads);
      work();  // wakes the threads (not timed)
      const auto start = std::chrono::steady_clock::now();
      for (int b = 0; b < block; ++b) work();
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      (threads == 1 ? one : all) += seconds;
    }
  femtokit::SetThreadCount(0);
  return one / all;
}

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

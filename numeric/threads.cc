#include "numeric/threads.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace femtokit {

namespace {
std::atomic<int> g_override{0};

// A child made by fork() has only the thread that called it, but OpenMP's thread pool still
// counts the parent's workers: a parallel region there would wait for them forever (Python's
// multiprocessing forks, so do test harnesses). A forked child runs every loop on one thread.
std::atomic<bool> g_forked{false};
const bool g_fork_handler = [] {
  pthread_atfork(nullptr, nullptr, [] { g_forked.store(true); });
  return true;
}();

int FromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return 0;
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || n < 1 || n > 4096) return 0;
  return static_cast<int>(n);
}
}  // namespace

int ThreadCount() {
  if (g_forked.load()) return 1;
  if (const int n = g_override.load(); n > 0) return n;
  if (const int n = FromEnvironment("FEMTOKIT_THREADS"); n > 0) return n;
  if (const int n = FromEnvironment("OMP_NUM_THREADS"); n > 0) return n;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

void SetThreadCount(int n) { g_override.store(n > 0 ? n : 0); }

}  // namespace femtokit

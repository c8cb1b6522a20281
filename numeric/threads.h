#ifndef FEMTOKIT_NUMERIC_THREADS_H
#define FEMTOKIT_NUMERIC_THREADS_H

// How many threads the library's parallel loops use.
//
// FEMTOKIT_THREADS if set to a positive integer, else OMP_NUM_THREADS, else
// every core; always 1 in a child made by fork() (OpenMP's thread pool does not survive it).
// One thread takes the serial code path. Parallel loops use
// per-thread partial sums combined in a fixed order, so results differ from
// the one-thread result only by the reordering of sums (rounding).
// SetThreadCount overrides the environment (0 returns to it).

#include <exception>

namespace femtokit {

int ThreadCount();
void SetThreadCount(int n);

// Runs body(i) for i = 0 ... n - 1 on ThreadCount() threads (in order on one), the indices
// handed out as threads come free. For loops whose iterations are independent (each writes only
// its own results). An exception thrown by a body (a Fatal under a throwing handler) stops the
// remaining iterations and is rethrown after the loop (the first one, if several threads throw).
template <typename Body>
void ParallelFor(int n, const Body& body) {
  const int nthreads = ThreadCount();
  std::exception_ptr failure;
  bool failed = false;
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
  for (int i = 0; i < n; i++) {
    bool skip;
#pragma omp atomic read
    skip = failed;
    if (skip) continue;
    try {
      body(i);
    } catch (...) {
#pragma omp critical(femtokit_parallel_for_failure)
      if (!failure) failure = std::current_exception();
#pragma omp atomic write
      failed = true;
    }
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_THREADS_H

#ifndef FEMTOKIT_NUMERIC_THREADS_H
#define FEMTOKIT_NUMERIC_THREADS_H

// How many threads the library's parallel loops use.
//
// FEMTOKIT_THREADS if set to a positive integer, else OMP_NUM_THREADS, else
// every core. One thread takes the serial code path. Parallel loops use
// per-thread partial sums combined in a fixed order, so results differ from
// the one-thread result only by the reordering of sums (rounding).
// SetThreadCount overrides the environment (0 returns to it).

namespace femtokit {

int ThreadCount();
void SetThreadCount(int n);

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_THREADS_H

#include "source/chunkedpairsums.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "arrays/charray.h"

namespace femtokit {

namespace {
// Work sums per thread: one being filled, plus room for chunks finished ahead of an earlier one
// still running, so that a thread rarely waits for a free sum.
constexpr int kSumsPerThread = 3;
}  // namespace

ChunkedPairSums::ChunkedPairSums(const CCHArray* A)
    : total_(std::make_unique<CPairSeparationSum>(A)) {}

void ChunkedPairSums::Add(int nchunks, int threads, const ChunkFn& add, const MergedFn& merged) {
  if (nchunks <= 0) return;
  const int nthreads = std::max(1, std::min(threads, nchunks));
  if (nthreads == 1) {
    for (int k = 0; k < nchunks; ++k) {
      add(k, *total_);
      if (merged) merged(k);
    }
    return;
  }
  // The pool: kSumsPerThread work sums per thread, each made (its memory first touched) by the
  // thread that fills it; a thread fills only its own.
  const int nwork = nthreads * kSumsPerThread;
  if (static_cast<int>(work_.size()) < nwork) work_.resize(nwork);

  // Shared state, under `lock`: each thread's free work sums, the next chunk to hand out and to
  // merge, and which work sum holds each finished chunk. A thread takes a work sum and a chunk
  // number together, so the earliest unmerged chunk always has a thread working on it: no
  // thread can wait for a free sum while every sum waits for that chunk.
  std::mutex lock;
  std::condition_variable freed;
  std::vector<std::vector<int>> free_sums(nthreads);
  std::vector<int> owner(nwork);
  for (int s = 0; s < nwork; ++s) {
    owner[s] = s / kSumsPerThread;
    free_sums[owner[s]].push_back(s);
  }
  std::vector<int> holder(nchunks, -1);
  int next_thread = 0, next_chunk = 0, next_merge = 0;
  // The first exception (of add, merged or an allocation: a fatal error under a throwing
  // handler) stops the handing out of chunks and is rethrown after the loop: exceptions must not
  // leave the parallel region. Called under the lock, in a handler.
  std::exception_ptr failure;
  const auto fail = [&] {
    if (!failure) failure = std::current_exception();
    next_chunk = nchunks;
    freed.notify_all();
  };

#pragma omp parallel num_threads(nthreads)
  {
    int t;
    {
      std::lock_guard<std::mutex> guard(lock);
      t = next_thread++;
    }
    try {
      for (int s = t * kSumsPerThread; s < (t + 1) * kSumsPerThread; ++s) {
        if (!work_[s]) work_[s] = std::make_unique<CPairSeparationSum>(*total_);
      }
    } catch (...) {
      std::lock_guard<std::mutex> guard(lock);
      fail();
    }
    // Nothing is merged into the total before every thread has copied its layout.
#pragma omp barrier
    while (true) {
      int k, s;
      {
        std::unique_lock<std::mutex> guard(lock);
        freed.wait(guard, [&] { return !free_sums[t].empty() || next_chunk >= nchunks; });
        if (next_chunk >= nchunks) break;
        k = next_chunk++;
        s = free_sums[t].back();
        free_sums[t].pop_back();
      }
      try {
        work_[s]->Clear();
        add(k, *work_[s]);
      } catch (...) {
        std::lock_guard<std::mutex> guard(lock);
        fail();
        break;
      }
      std::lock_guard<std::mutex> guard(lock);
      holder[k] = s;
      try {
        while (next_merge < nchunks && holder[next_merge] >= 0) {
          const int done = holder[next_merge];
          total_->Merge(*work_[done]);
          free_sums[owner[done]].push_back(done);
          if (merged) merged(next_merge);
          ++next_merge;
        }
      } catch (...) {
        fail();
        break;
      }
      freed.notify_all();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace femtokit

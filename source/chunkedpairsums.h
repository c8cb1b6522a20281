#ifndef FEMTOKIT_SOURCE_CHUNKEDPAIRSUMS_H
#define FEMTOKIT_SOURCE_CHUNKEDPAIRSUMS_H

#include <functional>
#include <memory>
#include <vector>

#include "source/pairseparationsum.h"

class CCHArray;

namespace femtokit {

// A pair histogram (CPairSeparationSum) filled on several threads with a result that does not
// depend on the thread count or on which thread did what: the pairs are cut by the caller into
// chunks 0 ... n-1, each chunk is summed into a work sum of its own, and the chunk sums are
// merged into the total strictly in chunk order, each as soon as all before it are in. The
// threads take chunks as they come free, so many small chunks balance the load without one
// partial sum each: a chunk's work sum returns to a small pool once merged.
//
// On one thread every chunk is added straight to the total, in order (no work sums): the result
// then differs from the threaded one by the order of additions only (rounding).
class ChunkedPairSums {
 public:
  // Adds the pairs of chunk k to `sum` (which may already hold pairs: add, do not assume it is
  // empty). Runs on any thread, several at once for different k. If it throws (or `merged`
  // does), no further chunk is started, Add rethrows the first exception once the running
  // chunks are done, and the total is left incomplete.
  using ChunkFn = std::function<void(int k, CPairSeparationSum& sum)>;
  // Called once chunk k has been merged into the total, in chunk order, one call at a time.
  using MergedFn = std::function<void(int k)>;

  // Sums for arrays of A's layout (LMAX, NRADIAL, RADSTEP, symmetries).
  explicit ChunkedPairSums(const CCHArray* A);

  // Adds chunks 0 ... nchunks-1 to the total (see above) on up to `threads` threads.
  void Add(int nchunks, int threads, const ChunkFn& add, const MergedFn& merged = MergedFn());

  // The sum of every chunk added since construction or Clear.
  CPairSeparationSum& Total() { return *total_; }
  // Empties the total.
  void Clear() { total_->Clear(); }
  // Whether these sums serve arrays of A's layout.
  bool Fits(const CCHArray* A) const { return total_->Fits(A); }

 private:
  std::unique_ptr<CPairSeparationSum> total_;
  std::vector<std::unique_ptr<CPairSeparationSum>> work_;  // the pool, made on first use
};

}  // namespace femtokit

#endif  // FEMTOKIT_SOURCE_CHUNKEDPAIRSUMS_H

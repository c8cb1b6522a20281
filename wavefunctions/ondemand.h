#ifndef FEMTOKIT_WAVEFUNCTIONS_ONDEMAND_H
#define FEMTOKIT_WAVEFUNCTIONS_ONDEMAND_H

// Radial tables filled point by point on first use.
//
// A wave function tabulates its radial waves on fine grids (0.01 fm, 3001 points) whose points
// each cost a Coulomb-function evaluation, while a kernel reads a few points per r bin of a few
// q. OnDemandFlags keeps, for a table of n values held elsewhere, which points are computed:
// Get(values, i, compute) returns values[i], calling compute(i) first the one time it is needed.
// The numbers are those of the full table, in any order of use.
//
// Thread safety: Get may be called from several threads at once. A point is computed once,
// under a lock; a point already there is read without one (its flag is published with release
// and read with acquire ordering). Writing values[] other than through Get is not safe then.

#include <atomic>
#include <memory>
#include <mutex>

namespace femtokit {

class OnDemandFlags {
 public:
  // n points, none computed.
  explicit OnDemandFlags(int n) : ready_(std::make_unique<std::atomic<bool>[]>(n)) {}

  template <class T, class Compute>
  const T& Get(T* values, int i, Compute&& compute) {
    if (ready_[i].load(std::memory_order_acquire)) return values[i];
    std::lock_guard<std::mutex> lock(fill_);
    if (!ready_[i].load(std::memory_order_relaxed)) {
      values[i] = compute(i);
      ready_[i].store(true, std::memory_order_release);
    }
    return values[i];
  }

 private:
  std::unique_ptr<std::atomic<bool>[]> ready_;  // value-initialised: all false
  std::mutex fill_;
};

}  // namespace femtokit

#endif  // FEMTOKIT_WAVEFUNCTIONS_ONDEMAND_H

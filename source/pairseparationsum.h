#ifndef FEMTOKIT_SOURCE_PAIRSEPARATIONSUM_H
#define FEMTOKIT_SOURCE_PAIRSEPARATIONSUM_H

#include <cstddef>
#include <new>
#include <vector>

class CCHArray;

namespace femtokit {
// Allocates blocks aligned to a cache line (64 bytes). The pair loop reads its tables eight
// doubles (one line) at a time; a block at another alignment makes every such load span two
// lines, which measured 1.2-1.4x slower at LMAX 8.
template <class T>
struct CacheLineAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};
  CacheLineAllocator() = default;
  template <class U>
  CacheLineAllocator(const CacheLineAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlignment)); }
  void deallocate(T* p, std::size_t) { ::operator delete(p, kAlignment); }
  template <class U>
  bool operator==(const CacheLineAllocator<U>&) const {
    return true;
  }
  template <class U>
  bool operator!=(const CacheLineAllocator<U>&) const {
    return false;
  }
};
}  // namespace femtokit

// Histogram of pair separations d = a - b in the Cartesian-harmonic form of an AExp array,
// accumulated as monomial moments: for every pair with ir = floor(|d|/RADSTEP) < NRADIAL, the
// moments M_l(ir) += ê^l, ê = d/|d|, of the components with lx in {0, 1}; Store turns them into
// the traceless coefficients A_l(ir) = [(2L+1)!!/L!] sum_n (-1/2)^n [(2(L-n)-1)!!/(2L-1)!!]
// prod_i [l_i!/((l_i - 2n_i)! n_i!)] M_(l-2n)(ir) (sums over ny, nz; lx <= 1 has nx = 0). Up to
// rounding this is what adding each pair with CCHArray::IncrementAExpArrayFromE (weight 1) gives,
// at the cost of about (LMAX+1)^2 multiply-adds per pair, summed several pairs at a time.
// A pair at zero separation has no direction: it adds 1 to A(0,0,0) of bin 0 only (the angular
// average of a point sample, the rule of CCHArray::IncrementAExpArray at the origin); pairs at or
// beyond NRADIAL RADSTEP, or with a non-finite separation, are not histogrammed.
// Also sums dx, dy, dz, dx^2, dy^2, dz^2 over every pair, binned or not.
// Used by the event-file source (source/sourcecalc_oscar.h) and the blast-wave source
// (source/sourcecalc_blast.h).
class CPairSeparationSum {
 public:
  // Takes LMAX, NRADIAL, RADSTEP and the symmetries of A (not kept).
  explicit CPairSeparationSum(const CCHArray* A);
  // Clears every moment and sum.
  void Clear();
  // Whether this sum was built for A's LMAX, NRADIAL, RADSTEP and symmetries.
  bool Fits(const CCHArray* A) const;
  // Adds the n pairs (p, q_i): d = p - q_i, p = (x, y, z), q_i = (qx[i], qy[i], qz[i]) (fm).
  void AddPairs(double x, double y, double z, const double* qx, const double* qy, const double* qz,
                int n);
  // Adds the traceless coefficients of the moments to A's components with lx in {0, 1} (A must
  // have the parameters given to the constructor; it is normally zero), then A->FillRemainderX().
  // Pairs still buffered are histogrammed first.
  void Store(CCHArray* A);
  // Adds the moments, sums and counts of other (built for the same array parameters; a mismatch
  // is fatal) to this one: partial sums of independent pair sets (threads, events, batch jobs)
  // combine into the sum over all of them. other's buffered pairs are histogrammed first.
  void Merge(CPairSeparationSum& other);

  double sumx = 0.0, sumy = 0.0, sumz = 0.0;     // sum of dx, dy, dz over all pairs
  double sumxx = 0.0, sumyy = 0.0, sumzz = 0.0;  // sum of dx^2, dy^2, dz^2
  long long npairs = 0;                          // pairs added
  long long nbinned = 0;  // pairs histogrammed so far (ir < NRADIAL, zero separation included);
                          // pairs still in the buffer are counted when it is flushed

 private:
  int lmax_, nradial_;
  double radstep_;
  bool multiply_;  // RADSTEP a power of two: bins by a multiply instead of a divide
  bool xsym_, ysym_, zsym_;
  int nmono_;  // (LMAX+1)^2 moments per bin: lx = 0 block (ly, lz), then lx = 1 block
  using Doubles = std::vector<double, femtokit::CacheLineAllocator<double>>;
  Doubles moments_;        // moments_[ir * nmono_ + k]
  long long norigin_ = 0;  // pairs at zero separation

  // Appends the m pairs of the last separation pass to their bins' runs, then adds the moments
  // of the runs that reached their length.
  void Distribute(int m);
  // Adds the moments of the first npairs_in_run entries of bin ir's run (starting at b in the
  // run tables; padded entries, a multiple of the lane count, with weight 0 past npairs_in_run).
  void RunMoments(int ir, size_t b, int npairs_in_run, int padded);
  // Adds the moments of every partial run and empties it.
  void Flush();

  // Work space, allocated once (no allocation in the pair loop): one separation pass (direction,
  // bin), the per-bin runs (direction) with their fill counts (two spare bins at the end: beyond
  // the last bin, origin), and the power tables of one run (rows of ey^j and ez^j interleaved,
  // so that a row written is never 4 kB from a row read).
  Doubles ex_, ey_, ez_;
  std::vector<int> ir_;
  std::vector<int> count_;
  Doubles sx_, sy_, sz_;
  Doubles pow_;
};

#endif  // FEMTOKIT_SOURCE_PAIRSEPARATIONSUM_H

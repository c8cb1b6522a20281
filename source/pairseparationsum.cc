#include "source/pairseparationsum.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "arrays/charray.h"
#include "arrays/chcalc.h"
#include "numeric/fatal.h"

// How the pair loop is organised (it is the heaviest computation of the library, up to 2x10^8
// pairs):
//  1. AddPairs computes, in one pass the compiler vectorises (wide square roots and divides: the
//     file is compiled without errno for sqrt; with AVX-512 written out with a reciprocal square
//     root instead, SeparationsAvx512), each pair's separation, bin number and unit direction
//     into a buffer of kBuffer pairs, and, in lanes, the sums of dx, dx^2, ...;
//  2. the pairs of the pass are appended to their bin's run (the bin sort: a branch-free loop,
//     pairs at the origin and beyond the last bin go to two spare bins that are emptied after the
//     pass; the loop is bound by its stores); after the pass every run holding kBinRun or more
//     entries (found by a scan of the counts) goes to step 3 with the largest multiple of kLanes
//     of them, the rest moving to the run's start. Partial runs are padded with weight-0 entries
//     to a multiple of kLanes when the sums are read (Flush);
//  3. per bin, every moment is summed over the run kLanes pairs at a time in registers, then
//     added once to the bin's row: up to LMAX 4 on processors with 32 vector registers all
//     moments at once from each group's directions (BinMomentsInRegisters), otherwise from
//     tables of the powers ey^j and ez^j, a few moments per sweep (BinMoments).
// Summing a bin's pairs in registers replaces the (LMAX+1)^2 memory updates per pair of the
// direct form by about (LMAX+1)^2 / kLanes vector multiply-adds. The runs are short (kBinRun)
// so that the runs of every bin, which the sort writes to in turn, stay in L1 (at 40 bins,
// 40 x 3 x (64 + 8) doubles = 69 kB, mostly in L1, the rest in L2): measured at LMAX 4, runs of
// 128 made the sort 1.3x slower, of 16 the moments.

namespace {

// Pairs per separation pass (their directions and bins stay in L1) and pairs gathered per bin
// before their moments are summed. A run holds fewer than kBinRun entries when a pass starts and
// can take the whole pass: kRunCapacity entries.
constexpr int kBuffer = 64;
constexpr int kBinRun = 64;
constexpr int kRunCapacity = kBinRun + kBuffer;
// Runs lie kRunStride entries apart, not a power of two: with 1 kB between runs their write
// heads shared a quarter of the L1 sets (measured 1.03x at LMAX 4).
constexpr int kRunStride = kRunCapacity + 8;
constexpr int kLanes = 8;  // pairs summed side by side: one AVX-512 register, two AVX2 ones
static_assert(kLanes == 8, "LaneSum and the partial sums of Separations add eight lanes");

// The pair loop is compiled three times on x86-64 Linux with GCC, for AVX-512 (x86-64-v4), for
// AVX2 with FMA (x86-64-v3) and for the baseline instruction set, and the loader picks the
// variant the processor supports. All add the same terms in the same order (the lanes are
// explicit), up to the contraction of multiply-adds.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define FEMTOKIT_PAIRLOOP_CLONES \
  __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define FEMTOKIT_PAIRLOOP_CLONES
#endif

#if defined(__GNUC__)
typedef double Lanes __attribute__((vector_size(sizeof(double) * kLanes)));
typedef double Lanes2 __attribute__((vector_size(sizeof(double) * 2)));
typedef double Lanes4 __attribute__((vector_size(sizeof(double) * 4)));
// ((a0 + a1) + (a2 + a3)) + ((a4 + a5) + (a6 + a7)) by shuffles: no lane is read through
// memory, so that accumulators can live in registers up to the end.
inline double LaneSum(const Lanes& a) {
  const Lanes4 pairs =
      __builtin_shufflevector(a, a, 0, 2, 4, 6) + __builtin_shufflevector(a, a, 1, 3, 5, 7);
  const Lanes2 quads =
      __builtin_shufflevector(pairs, pairs, 0, 2) + __builtin_shufflevector(pairs, pairs, 1, 3);
  return quads[0] + quads[1];
}
#else
// Portable stand-in for the GCC/Clang vector type.
struct Lanes {
  double v[kLanes];
  Lanes& operator+=(const Lanes& o) {
    for (int i = 0; i < kLanes; ++i) v[i] += o.v[i];
    return *this;
  }
  Lanes& operator*=(const Lanes& o) {
    for (int i = 0; i < kLanes; ++i) v[i] *= o.v[i];
    return *this;
  }
  Lanes operator*(const Lanes& o) const {
    Lanes r = *this;
    r *= o;
    return r;
  }
};
inline double LaneSum(const Lanes& a) {
  return ((a.v[0] + a.v[1]) + (a.v[2] + a.v[3])) + ((a.v[4] + a.v[5]) + (a.v[6] + a.v[7]));
}
#endif

// Lanes are loaded with memcpy (any alignment) and passed by reference: a 32-byte vector passed
// by value would have a different calling convention in the AVX2 and baseline variants.
#define FEMTOKIT_LOAD_LANES(dst, src) std::memcpy(&(dst), (src), sizeof(Lanes))

// Step 1 for the m pairs (p, q_i): bins and directions into the buffer, sums into `sums`. One
// pass: the compiler vectorises it (square root and divide included) in every variant.
FEMTOKIT_PAIRLOOP_CLONES void Separations(double x, double y, double z, const double* __restrict qx,
                                          const double* __restrict qy, const double* __restrict qz,
                                          int m, double radstep, bool multiply, int nradial,
                                          double* __restrict ex, double* __restrict ey,
                                          double* __restrict ez, int* __restrict bins,
                                          double sums[6]) {
  const double fmaxbin = nradial, originbin = nradial + 1.0;
  // For a power-of-two RADSTEP, r * (1 / RADSTEP) is exactly r / RADSTEP.
  const double invstep = 1.0 / radstep;
  for (int i = 0; i < m; ++i) {
    const double dx = x - qx[i], dy = y - qy[i], dz = z - qz[i];
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    // A pair at zero separation has no direction: it keeps e = 0 and goes to the spare bin
    // nradial + 1. (Selects only, so that the loop vectorises.)
    const double atorigin = r == 0.0 ? 1.0 : 0.0;
    const double inv = 1.0 / (r + atorigin);
    ex[i] = dx * inv;
    ey[i] = dy * inv;
    ez[i] = dz * inv;
    // Clamped so that huge (or non-finite) separations land in the spare bin nradial.
    double f = multiply ? r * invstep : r / radstep;
    f = f < fmaxbin ? f : fmaxbin;
    f = atorigin != 0.0 ? originbin : f;
    bins[i] = static_cast<int>(f);
  }
  // The sums in kLanes interleaved partial sums per quantity (combined in a fixed order).
  double part[6][kLanes] = {};
  int i = 0;
#if defined(__GNUC__)
  Lanes s[6] = {};
  for (; i + kLanes <= m; i += kLanes) {
    Lanes a, b, c;
    FEMTOKIT_LOAD_LANES(a, qx + i);
    FEMTOKIT_LOAD_LANES(b, qy + i);
    FEMTOKIT_LOAD_LANES(c, qz + i);
    const Lanes dx = x - a, dy = y - b, dz = z - c;
    s[0] += dx;
    s[1] += dy;
    s[2] += dz;
    s[3] += dx * dx;
    s[4] += dy * dy;
    s[5] += dz * dz;
  }
  std::memcpy(part, s, sizeof part);
#endif
  for (; i < m; ++i) {
    const double dx = x - qx[i], dy = y - qy[i], dz = z - qz[i];
    part[0][0] += dx;
    part[1][0] += dy;
    part[2][0] += dz;
    part[3][0] += dx * dx;
    part[4][0] += dy * dy;
    part[5][0] += dz * dz;
  }
  for (int k = 0; k < 6; ++k) {
    const double* l = part[k];
    sums[k] += ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
  }
}

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define FEMTOKIT_HAVE_AVX512_SEPARATIONS 1
// Step 1 on processors with AVX-512, same contract as Separations, without the divider: 1/r
// from the 14-bit reciprocal square root and two Newton steps (relative error a few units in the
// last place), r = r^2 (1/r) with one Newton correction from the exact residual r^2 - r*r (an
// exact square such as a lattice point's gives its exact root, so bin edges fall as with
// std::sqrt). The divider's square root and divide were the separation pass's limit (about 4
// of its 5 cycles per pair). A group of 8 with a separation outside the range where the
// estimate is safe (below 1e-150 fm, zero included, above 1e150 fm, or not finite) takes the
// exact form.
__attribute__((target("arch=x86-64-v4"))) void SeparationsAvx512(
    double x, double y, double z, const double* __restrict qx, const double* __restrict qy,
    const double* __restrict qz, int m, double radstep, bool multiply, int nradial,
    double* __restrict ex, double* __restrict ey, double* __restrict ez, int* __restrict bins,
    double sums[6]) {
  const __m512d px = _mm512_set1_pd(x), py = _mm512_set1_pd(y), pz = _mm512_set1_pd(z);
  const __m512d fmaxbin = _mm512_set1_pd(nradial), originbin = _mm512_set1_pd(nradial + 1.0);
  const __m512d step = _mm512_set1_pd(radstep), invstep = _mm512_set1_pd(1.0 / radstep);
  const __m512d zero = _mm512_setzero_pd(), half = _mm512_set1_pd(0.5),
                threehalves = _mm512_set1_pd(1.5);
  const __m512d lowest = _mm512_set1_pd(1e-300), highest = _mm512_set1_pd(1e300);
  // The six sums in named registers (an array of them was kept on the stack).
  __m512d s0 = zero, s1 = zero, s2 = zero, s3 = zero, s4 = zero, s5 = zero;
  for (int i = 0; i < m; i += kLanes) {
    const __mmask8 k = m - i >= kLanes ? 0xFF : static_cast<__mmask8>((1u << (m - i)) - 1u);
    const __m512d dx = _mm512_sub_pd(px, _mm512_maskz_loadu_pd(k, qx + i));
    const __m512d dy = _mm512_sub_pd(py, _mm512_maskz_loadu_pd(k, qy + i));
    const __m512d dz = _mm512_sub_pd(pz, _mm512_maskz_loadu_pd(k, qz + i));
    s0 = _mm512_mask_add_pd(s0, k, s0, dx);
    s1 = _mm512_mask_add_pd(s1, k, s1, dy);
    s2 = _mm512_mask_add_pd(s2, k, s2, dz);
    s3 = _mm512_mask3_fmadd_pd(dx, dx, s3, k);
    s4 = _mm512_mask3_fmadd_pd(dy, dy, s4, k);
    s5 = _mm512_mask3_fmadd_pd(dz, dz, s5, k);
    const __m512d r2 = _mm512_fmadd_pd(dx, dx, _mm512_fmadd_pd(dy, dy, _mm512_mul_pd(dz, dz)));
    const __mmask8 origin = _mm512_cmp_pd_mask(r2, zero, _CMP_EQ_OQ);
    // Lanes of the group whose r^2 is within [1e-300, 1e300] (not NaN).
    const __mmask8 safe =
        _mm512_cmp_pd_mask(r2, lowest, _CMP_GE_OQ) & _mm512_cmp_pd_mask(r2, highest, _CMP_LE_OQ);
    __m512d inv, r;
    if ((safe & k) == k) {
      const __m512d h = _mm512_mul_pd(half, r2);
      inv = _mm512_maskz_rsqrt14_pd(0xFF, r2);
      inv = _mm512_mul_pd(inv, _mm512_fnmadd_pd(h, _mm512_mul_pd(inv, inv), threehalves));
      inv = _mm512_mul_pd(inv, _mm512_fnmadd_pd(h, _mm512_mul_pd(inv, inv), threehalves));
      r = _mm512_mul_pd(r2, inv);
      r = _mm512_fmadd_pd(_mm512_mul_pd(half, inv), _mm512_fnmadd_pd(r, r, r2), r);
    } else {
      r = _mm512_maskz_sqrt_pd(0xFF, r2);
      inv =
          _mm512_div_pd(_mm512_set1_pd(1.0), _mm512_mask_blend_pd(origin, r, _mm512_set1_pd(1.0)));
    }
    inv = _mm512_mask_blend_pd(origin, inv, zero);
    _mm512_mask_storeu_pd(ex + i, k, _mm512_mul_pd(dx, inv));
    _mm512_mask_storeu_pd(ey + i, k, _mm512_mul_pd(dy, inv));
    _mm512_mask_storeu_pd(ez + i, k, _mm512_mul_pd(dz, inv));
    __m512d f = multiply ? _mm512_mul_pd(r, invstep) : _mm512_div_pd(r, step);
    f = _mm512_maskz_min_pd(0xFF, f, fmaxbin);  // NaN -> nradial (min returns its second operand)
    f = _mm512_mask_blend_pd(origin, f, originbin);
    _mm256_mask_storeu_epi32(bins + i, k, _mm512_maskz_cvttpd_epi32(0xFF, f));
  }
  // The lanes combined as in Separations. (The maskz forms above avoid GCC 12's uninitialised-
  // value warnings of the unmasked intrinsics.)
  double part[6][kLanes];
  _mm512_storeu_pd(part[0], s0);
  _mm512_storeu_pd(part[1], s1);
  _mm512_storeu_pd(part[2], s2);
  _mm512_storeu_pd(part[3], s3);
  _mm512_storeu_pd(part[4], s4);
  _mm512_storeu_pd(part[5], s5);
  for (int q = 0; q < 6; ++q) {
    const double* l = part[q];
    sums[q] += ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
  }
}
#endif

#if defined(__GNUC__)
#define FEMTOKIT_ALWAYS_INLINE inline __attribute__((always_inline))
#define FEMTOKIT_UNROLL _Pragma("GCC unroll 16")
#else
#define FEMTOKIT_ALWAYS_INLINE inline
#define FEMTOKIT_UNROLL
#endif

// One run of moments with fixed lx and ly: row[t] += sum_p c_p ez_p^t, t < LEN, with c = w ey^ly
// (times ex when XFACTOR, lx = 1). The LEN accumulators stay in registers.
template <int LEN, bool XFACTOR>
FEMTOKIT_ALWAYS_INLINE void RunMoments(double* __restrict row, const double* yrow, const double* ex,
                                       const double* Z, int stride, int cp) {
  Lanes acc[LEN] = {};
  for (int p = 0; p < cp; p += kLanes) {
    Lanes c, f;
    FEMTOKIT_LOAD_LANES(c, yrow + p);
    if (XFACTOR) {
      FEMTOKIT_LOAD_LANES(f, ex + p);
      c *= f;
    }
    FEMTOKIT_UNROLL
    for (int t = 0; t < LEN; ++t) {
      FEMTOKIT_LOAD_LANES(f, Z + t * stride + p);
      acc[t] += c * f;
    }
  }
  FEMTOKIT_UNROLL
  for (int t = 0; t < LEN; ++t) row[t] += LaneSum(acc[t]);
}

// Register blocking: the runs (0, ly) and (1, ly) share their ez powers, row0[t] += sum_p c_p
// ez_p^t (t < LEN) and row1[t] += sum_p c_p ex_p ez_p^t (t < LEN - 1), c = w ey^ly, so that each
// loaded ez power serves two multiply-adds. The accumulators stay in registers (2 LEN - 1
// vectors: 17 at LMAX 8).
template <int LEN>
FEMTOKIT_ALWAYS_INLINE void RunPairMoments(double* __restrict row0, double* __restrict row1,
                                           const double* yrow, const double* ex, const double* Z,
                                           int stride, int cp) {
  constexpr int kLen1 = LEN > 1 ? LEN - 1 : 1;
  Lanes acc0[LEN] = {};
  Lanes acc1[kLen1] = {};
  for (int p = 0; p < cp; p += kLanes) {
    Lanes c0, c1, f;
    FEMTOKIT_LOAD_LANES(c0, yrow + p);
    FEMTOKIT_LOAD_LANES(f, ex + p);
    c1 = c0 * f;
    FEMTOKIT_UNROLL
    for (int t = 0; t < LEN; ++t) {
      FEMTOKIT_LOAD_LANES(f, Z + t * stride + p);
      acc0[t] += c0 * f;
      if (t < LEN - 1) acc1[t] += c1 * f;
    }
  }
  FEMTOKIT_UNROLL
  for (int t = 0; t < LEN; ++t) row0[t] += LaneSum(acc0[t]);
  FEMTOKIT_UNROLL
  for (int t = 0; t < LEN - 1; ++t) row1[t] += LaneSum(acc1[t]);
}

// Offsets in the moment layout for the rank limit L: run (0, ly) starts at Offset0(L, ly), run
// (1, ly) at Offset0(L, L + 1) + Offset1(L, ly).
constexpr int Offset0(int L, int ly) { return ly * (L + 1) - ly * (ly - 1) / 2; }
constexpr int Offset1(int L, int ly) { return ly * L - ly * (ly - 1) / 2; }

// Every pair of runs (0, ly), (1, ly) from LY on; the last run (0, L) alone.
template <int L, int LY>
FEMTOKIT_ALWAYS_INLINE void AllRuns(double* __restrict row, const double* Y, const double* ex,
                                    const double* Z, int stride, int cp) {
  if constexpr (LY < L) {
    RunPairMoments<L - LY + 1>(row + Offset0(L, LY), row + Offset0(L, L + 1) + Offset1(L, LY),
                               Y + LY * stride, ex, Z, stride, cp);
    AllRuns<L, LY + 1>(row, Y, ex, Z, stride, cp);
  } else {
    RunMoments<1, false>(row + Offset0(L, L), Y + L * stride, ex, Z, stride, cp);
  }
}

// Step 3 for one bin: `row` += the moments of the cp entries (ex, ey, ez), the first npairs of
// them pairs (weight 1), the rest padding (weight 0), cp a multiple
// of kLanes. Y and Z (stride `stride`) receive w ey^j and ez^j, j = 0 ... L. Moment layout: the
// lx = 0 block of (ly, lz), lz inner, then the lx = 1 block. LT >= 0 fixes the rank limit at
// compile time, so that each run's accumulators stay in registers; LT = -1 takes lrun (ranks
// above 12, slower).
template <int LT>
FEMTOKIT_PAIRLOOP_CLONES void BinMoments(double* __restrict row, int lrun, const double* ex,
                                         const double* ey, const double* ez, int npairs, int cp,
                                         double* __restrict Y, double* __restrict Z, int stride) {
  const int L = LT >= 0 ? LT : lrun;
  for (int p = 0; p < cp; ++p) {
    Y[p] = p < npairs ? 1.0 : 0.0;  // weight 1 for the pairs, 0 for the padding
    Z[p] = 1.0;
  }
  // The powers in one pass, kLanes entries at a time: ey and ez are read once.
  for (int p = 0; p < cp; p += kLanes) {
    Lanes y, z, fy, fz;
    FEMTOKIT_LOAD_LANES(y, Y + p);
    FEMTOKIT_LOAD_LANES(z, Z + p);
    FEMTOKIT_LOAD_LANES(fy, ey + p);
    FEMTOKIT_LOAD_LANES(fz, ez + p);
    for (int j = 1; j <= L; ++j) {
      y *= fy;
      z *= fz;
      std::memcpy(Y + j * stride + p, &y, sizeof(Lanes));
      std::memcpy(Z + j * stride + p, &z, sizeof(Lanes));
    }
  }
  if constexpr (LT >= 0) {
    AllRuns<LT, 0>(row, Y, ex, Z, stride, cp);
  } else {
    constexpr int kMaxRank = 56;  // CCHCalc serves ranks up to 56
    Lanes acc[kMaxRank + 1];
    int k = 0;
    for (int lx = 0; lx <= 1; ++lx)
      for (int ly = 0; ly <= L - lx; ++ly) {
        const int len = L - lx - ly + 1;  // lz = 0 ... len - 1
        for (int t = 0; t < len; ++t) acc[t] = Lanes{};
        const double* yrow = Y + ly * stride;
        for (int p = 0; p < cp; p += kLanes) {
          Lanes c, f;
          FEMTOKIT_LOAD_LANES(c, yrow + p);
          if (lx == 1) {
            FEMTOKIT_LOAD_LANES(f, ex + p);
            c *= f;
          }
          for (int t = 0; t < len; ++t) {
            FEMTOKIT_LOAD_LANES(f, Z + t * stride + p);
            acc[t] += c * f;
          }
        }
        for (int t = 0; t < len; ++t) row[k + t] += LaneSum(acc[t]);
        k += len;
      }
  }
}

// acc = v for the first group of a run, acc += v after it: the accumulators need no zeroing
// (which GCC does through memory, at a cost comparable to a short run).
template <bool kFirst>
FEMTOKIT_ALWAYS_INLINE void Accumulate(Lanes& acc, const Lanes& v) {
  if constexpr (kFirst) {
    acc = v;
  } else {
    acc += v;
  }
}

// The moments of ranks 1 ... L of one group of kLanes entries (moment layout of BinMoments).
template <int L, bool kFirst>
FEMTOKIT_ALWAYS_INLINE void GroupMoments(Lanes* acc, const double* ex, const double* ey,
                                         const double* ez) {
  constexpr int kBlock0 = Offset0(L, L + 1);  // lx = 0 moments
  Lanes y, zp[L + 2];                         // zp[1] is read for every L
  FEMTOKIT_LOAD_LANES(zp[1], ez);
  FEMTOKIT_UNROLL
  for (int t = 2; t <= L; ++t) zp[t] = zp[t - 1] * zp[1];
  FEMTOKIT_LOAD_LANES(y, ey);
  Lanes c0 = y, c1;  // ey^ly and ex ey^ly
  FEMTOKIT_LOAD_LANES(c1, ex);
  FEMTOKIT_UNROLL
  for (int t = 1; t <= L; ++t) Accumulate<kFirst>(acc[t], zp[t]);  // (0, 0, t)
  Accumulate<kFirst>(acc[kBlock0], c1);                            // (1, 0, 0)
  FEMTOKIT_UNROLL
  for (int t = 1; t < L; ++t) Accumulate<kFirst>(acc[kBlock0 + t], c1 * zp[t]);
  FEMTOKIT_UNROLL
  for (int ly = 1; ly <= L; ++ly) {
    if (ly > 1) c0 *= y;
    if (ly < L) c1 *= y;
    Accumulate<kFirst>(acc[Offset0(L, ly)], c0);
    FEMTOKIT_UNROLL
    for (int t = 1; t <= L - ly; ++t) Accumulate<kFirst>(acc[Offset0(L, ly) + t], c0 * zp[t]);
    if (ly < L) Accumulate<kFirst>(acc[kBlock0 + Offset1(L, ly)], c1);
    FEMTOKIT_UNROLL
    for (int t = 1; t < L - ly; ++t)
      Accumulate<kFirst>(acc[kBlock0 + Offset1(L, ly) + t], c1 * zp[t]);
  }
}

// Step 3 without power tables, for ranks 1 to 4 on processors with 32 vector registers: each
// group of kLanes entries is read once and the moments are summed in registers (24 accumulators
// at L = 4). Same contract as BinMoments (cp >= kLanes). The padding entries (direction 0) add
// nothing to a moment of rank 1 or more, and the rank-0 moment is the number of pairs.
template <int L>
FEMTOKIT_PAIRLOOP_CLONES void BinMomentsInRegisters(double* __restrict row, int, const double* ex,
                                                    const double* ey, const double* ez, int npairs,
                                                    int cp, double*, double*, int) {
  static_assert(L >= 1, "rank 0 has no direction moments");
  constexpr int kMoments = (L + 1) * (L + 1);
  Lanes acc[kMoments];  // acc[0] unused
  GroupMoments<L, true>(acc, ex, ey, ez);
  for (int p = kLanes; p < cp; p += kLanes) GroupMoments<L, false>(acc, ex + p, ey + p, ez + p);
  row[0] += npairs;
  FEMTOKIT_UNROLL
  for (int k = 1; k < kMoments; ++k) row[k] += LaneSum(acc[k]);
}

using BinMomentsFn = decltype(&BinMoments<0>);

// Whether the register form pays: it needs the 32 vector registers of the AVX-512 variant for
// its accumulators (with 16 it spills and is slower than the tables).
bool HasWideRegisterFile() {
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
  static const bool wide = __builtin_cpu_supports("x86-64-v4");
  return wide;
#else
  return false;
#endif
}

BinMomentsFn SelectBinMoments(int lmax) {
  // The forms compiled for a fixed rank (accumulators in registers); above them, the rank from
  // the argument.
  static constexpr BinMomentsFn kInRegisters[] = {
      nullptr, &BinMomentsInRegisters<1>, &BinMomentsInRegisters<2>, &BinMomentsInRegisters<3>,
      &BinMomentsInRegisters<4>};
  static constexpr BinMomentsFn kTables[] = {
      &BinMoments<0>,  &BinMoments<1>,  &BinMoments<2>, &BinMoments<3>, &BinMoments<4>,
      &BinMoments<5>,  &BinMoments<6>,  &BinMoments<7>, &BinMoments<8>, &BinMoments<9>,
      &BinMoments<10>, &BinMoments<11>, &BinMoments<12>};
  constexpr int kRegisterRanks = sizeof(kInRegisters) / sizeof(kInRegisters[0]);
  constexpr int kTableRanks = sizeof(kTables) / sizeof(kTables[0]);
  if (HasWideRegisterFile() && lmax >= 1 && lmax < kRegisterRanks) return kInRegisters[lmax];
  return lmax >= 0 && lmax < kTableRanks ? kTables[lmax] : &BinMoments<-1>;
}

}  // namespace

namespace {
// True when 1 / step is exact, so that r * (1 / step) == r / step for every r.
bool IsPowerOfTwo(double step) {
  int exponent = 0;
  return std::isfinite(step) && step > 0.0 && std::frexp(step, &exponent) == 0.5;
}
}  // namespace

CPairSeparationSum::CPairSeparationSum(const CCHArray* A)
    : lmax_(A->GetLMAX()),
      nradial_(A->GetNRADIAL() > 0 ? A->GetNRADIAL() : 0),
      radstep_(A->GetRADSTEP()),
      multiply_(IsPowerOfTwo(radstep_)),
      xsym_(A->GetXSYM()),
      ysym_(A->GetYSYM()),
      zsym_(A->GetZSYM()),
      nmono_((A->GetLMAX() + 1) * (A->GetLMAX() + 1)),
      moments_(static_cast<size_t>(nmono_) * nradial_, 0.0),
      ex_(kBuffer),
      ey_(kBuffer),
      ez_(kBuffer),
      ir_(kBuffer),
      count_(nradial_ + 2, 0),
      sx_(static_cast<size_t>(kRunStride) * (nradial_ + 2)),
      sy_(sx_.size()),
      sz_(sx_.size()),
      pow_(static_cast<size_t>(2 * (lmax_ + 1)) * kRunCapacity) {}

void CPairSeparationSum::Clear() {
  std::fill(moments_.begin(), moments_.end(), 0.0);
  sumx = sumy = sumz = sumxx = sumyy = sumzz = 0.0;
  npairs = nbinned = norigin_ = 0;
  std::fill(count_.begin(), count_.end(), 0);
}

bool CPairSeparationSum::Fits(const CCHArray* A) const {
  return A->GetLMAX() == lmax_ && std::max(A->GetNRADIAL(), 0) == nradial_ &&
         A->GetRADSTEP() == radstep_ && A->GetXSYM() == xsym_ && A->GetYSYM() == ysym_ &&
         A->GetZSYM() == zsym_;
}

void CPairSeparationSum::Merge(CPairSeparationSum& other) {
  if (other.lmax_ != lmax_ || other.nradial_ != nradial_ || other.radstep_ != radstep_ ||
      other.xsym_ != xsym_ || other.ysym_ != ysym_ || other.zsym_ != zsym_)
    femtokit::Fatal("CPairSeparationSum::Merge: the two sums have different array parameters\n");
  Flush();
  other.Flush();
  for (size_t k = 0; k < moments_.size(); k++) moments_[k] += other.moments_[k];
  sumx += other.sumx;
  sumy += other.sumy;
  sumz += other.sumz;
  sumxx += other.sumxx;
  sumyy += other.sumyy;
  sumzz += other.sumzz;
  npairs += other.npairs;
  nbinned += other.nbinned;
  norigin_ += other.norigin_;
}

void CPairSeparationSum::AddPairs(double x, double y, double z, const double* qx, const double* qy,
                                  const double* qz, int n) {
  double sums[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (int i = 0; i < n; i += kBuffer) {
    const int m = std::min(n - i, kBuffer);
#if defined(FEMTOKIT_HAVE_AVX512_SEPARATIONS)
    if (HasWideRegisterFile())
      SeparationsAvx512(x, y, z, qx + i, qy + i, qz + i, m, radstep_, multiply_, nradial_,
                        ex_.data(), ey_.data(), ez_.data(), ir_.data(), sums);
    else
#endif
      Separations(x, y, z, qx + i, qy + i, qz + i, m, radstep_, multiply_, nradial_, ex_.data(),
                  ey_.data(), ez_.data(), ir_.data(), sums);
    Distribute(m);
  }
  // Per-call partial sums first, then the totals: fewer large-plus-small additions.
  sumx += sums[0];
  sumy += sums[1];
  sumz += sums[2];
  sumxx += sums[3];
  sumyy += sums[4];
  sumzz += sums[5];
  if (n > 0) npairs += n;
}

void CPairSeparationSum::Distribute(int m) {
  // Local restrict pointers: the compiler need not reload the members after every store.
  const int nr = nradial_;
  const double* __restrict ex = ex_.data();
  const double* __restrict ey = ey_.data();
  const double* __restrict ez = ez_.data();
  const int* __restrict irs = ir_.data();
  int* __restrict count = count_.data();
  double* __restrict sx = sx_.data();
  double* __restrict sy = sy_.data();
  double* __restrict sz = sz_.data();
  // Bins were clamped to [0, nr + 1] by the separation pass (nr: beyond the last bin, nr + 1:
  // the origin). No branch and no bookkeeping: every pair is stored (the loop is bound by its
  // stores, which commit one cache line per cycle), and the full runs are found afterwards.
  for (int i = 0; i < m; ++i) {
    const int ir = irs[i];
    const int c = count[ir];
    const size_t p = static_cast<size_t>(ir) * kRunStride + c;
    sx[p] = ex[i];
    sy[p] = ey[i];
    sz[p] = ez[i];
    count[ir] = c + 1;
  }
  // The spare bins: pairs beyond the last bin are dropped, pairs at the origin counted.
  norigin_ += count[nr + 1];
  nbinned += count[nr + 1];
  count[nr] = count[nr + 1] = 0;
  // Full runs: their moments, the remainder (fewer than kLanes entries) to the run's start.
  for (int ir = 0; ir < nr; ++ir) {
    const int c = count[ir];
    if (c < kBinRun) continue;
    const int done = c / kLanes * kLanes;
    const size_t b = static_cast<size_t>(ir) * kRunStride;
    RunMoments(ir, b, done, done);
    for (int p = done; p < c; ++p) {
      sx[b + p - done] = sx[b + p];
      sy[b + p - done] = sy[b + p];
      sz[b + p - done] = sz[b + p];
    }
    count[ir] = c - done;
  }
}

void CPairSeparationSum::RunMoments(int ir, size_t b, int npairs_in_run, int padded) {
  SelectBinMoments(lmax_)(moments_.data() + static_cast<size_t>(ir) * nmono_, lmax_, sx_.data() + b,
                          sy_.data() + b, sz_.data() + b, npairs_in_run, padded, pow_.data(),
                          pow_.data() + kRunCapacity, 2 * kRunCapacity);
  nbinned += npairs_in_run;
}

void CPairSeparationSum::Flush() {
  // The partial runs, padded to whole groups of kLanes with entries of direction 0 (weight 0:
  // they lie past the run's pairs).
  for (int ir = 0; ir < nradial_; ++ir) {
    const int c = count_[ir];
    if (c == 0) continue;
    const size_t b = static_cast<size_t>(ir) * kRunStride;
    const int padded = (c + kLanes - 1) / kLanes * kLanes;
    for (int p = c; p < padded; ++p) sx_[b + p] = sy_[b + p] = sz_[b + p] = 0.0;
    RunMoments(ir, b, c, padded);
    count_[ir] = 0;
  }
}

void CPairSeparationSum::Store(CCHArray* A) {
  Flush();
  CCHCalc calc;
  const int L = lmax_;
  // Index of moment (lx, ly, lz), lx in {0, 1}, in the layout of BinMoments.
  std::vector<int> offset0(L + 2, 0), offset1(L + 2, 0);
  for (int ly = 0; ly <= L; ++ly) offset0[ly + 1] = offset0[ly] + (L - ly + 1);
  for (int ly = 0; ly < L; ++ly) offset1[ly + 1] = offset1[ly] + (L - ly);
  const int base1 = offset0[L + 1];
  auto index = [&](int lx, int ly, int lz) {
    return lx == 0 ? offset0[ly] + lz : base1 + offset1[ly] + lz;
  };

  const int dlx = xsym_ ? 2 : 1, dly = ysym_ ? 2 : 1, dlz = zsym_ ? 2 : 1;
  std::vector<int> src;
  std::vector<double> coef;
  for (int lx = 0; lx <= 1 && lx <= L; lx += dlx)
    for (int ly = 0; ly <= L - lx; ly += dly)
      for (int lz = 0; lz <= L - lx - ly; lz += dlz) {
        const int rank = lx + ly + lz;
        // Terms of the moment-to-traceless conversion; for lx <= 1 only nx = 0 occurs.
        src.clear();
        coef.clear();
        const double pre = calc.DoubleFactorial(2 * rank + 1) / calc.Factorial(rank);
        for (int ny = 0; 2 * ny <= ly; ++ny)
          for (int nz = 0; 2 * nz <= lz; ++nz) {
            const int nn = ny + nz;
            double c = pre;
            if (rank > 0)
              c *= calc.DoubleFactorial(2 * (rank - nn) - 1) / calc.DoubleFactorial(2 * rank - 1);
            c *= std::pow(-0.5, nn);
            c *= calc.Factorial(ly) / (calc.Factorial(ly - 2 * ny) * calc.Factorial(ny));
            c *= calc.Factorial(lz) / (calc.Factorial(lz - 2 * nz) * calc.Factorial(nz));
            src.push_back(index(lx, ly - 2 * ny, lz - 2 * nz));
            coef.push_back(c);
          }
        for (int ir = 0; ir < nradial_; ++ir) {
          const double* row = moments_.data() + static_cast<size_t>(ir) * nmono_;
          double value = 0.0;
          for (size_t t = 0; t < src.size(); ++t) value += coef[t] * row[src[t]];
          A->IncrementElement(lx, ly, lz, ir, value);
        }
      }
  // Pairs at zero separation: the angular average of a point sample, weight 1 in A(0,0,0) of
  // bin 0 (the moments, which assume unit directions, cannot carry them).
  if (norigin_ > 0 && nradial_ > 0) A->IncrementElement(0, 0, 0, 0, static_cast<double>(norigin_));
  A->FillRemainderX();
}

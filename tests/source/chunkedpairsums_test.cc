// Chunked pair sums: many small chunks on 2-4 threads (more work sums asked for than the pool
// holds, chunks finishing out of order) give bit for bit the same total for every thread count
// above one, the one-thread total up to rounding, and report the merged chunks in order.

#include "source/chunkedpairsums.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"

namespace {

TEST(ChunkedPairSums, TotalIndependentOfThreadsAndMergedInOrder) {
  std::vector<double> x, y, z;
  for (int i = 0; i < 300; ++i) {
    x.push_back(6.0 * std::sin(1.3 * i));
    y.push_back(5.0 * std::cos(0.7 * i));
    z.push_back(4.0 * std::sin(2.9 * i + 1.0));
  }
  const int nchunks = 150;  // two outer points each, uneven pair counts
  // Per thread count: the angular average and one rank-3 component of every bin.
  std::vector<std::vector<double>> counts, moments;
  for (int threads : {1, 2, 3, 4}) {
    CCHArray A(3, 12, 1.0);
    femtokit::ChunkedPairSums sums(&A);
    std::vector<int> order;
    sums.Add(
        nchunks, threads,
        [&](int k, CPairSeparationSum& sum) {
          for (int ia = 2 * k; ia < 2 * k + 2; ++ia)
            sum.AddPairs(x[ia], y[ia], z[ia], x.data(), y.data(), z.data(), ia);
        },
        [&](int k) { order.push_back(k); });
    ASSERT_EQ(static_cast<int>(order.size()), nchunks) << threads;
    for (int k = 0; k < nchunks; ++k) ASSERT_EQ(order[k], k) << threads;
    EXPECT_EQ(sums.Total().npairs, 300 * 299 / 2);
    sums.Total().Store(&A);
    counts.emplace_back();
    moments.emplace_back();
    for (int ir = 0; ir < 12; ++ir) {
      counts.back().push_back(A.GetElement(0, 0, 0, ir));
      moments.back().push_back(A.GetElement(2, 1, 0, ir));
    }
  }
  for (size_t t = 1; t < counts.size(); ++t)
    for (int ir = 0; ir < 12; ++ir) {
      EXPECT_EQ(counts[t][ir], counts[0][ir]) << ir;  // counts: exact
      EXPECT_EQ(moments[t][ir], moments[1][ir]) << t << " " << ir;
      EXPECT_CLOSE_ABS(moments[t][ir], moments[0][ir], 1e-12, 1e-12);
    }
}

// A chunk that throws (a fatal error under a throwing handler) surfaces as the exception of Add
// on any thread count, without ending the process or hanging the other threads.
TEST(ChunkedPairSums, ExceptionOfAChunkIsRethrown) {
  CCHArray A(2, 5, 1.0);
  for (int threads : {1, 2, 3}) {
    femtokit::ChunkedPairSums sums(&A);
    const auto add = [](int k, CPairSeparationSum&) {
      if (k == 5) throw std::runtime_error("chunk 5");
    };
    EXPECT_THROW(sums.Add(40, threads, add), std::runtime_error) << threads;
  }
}

}  // namespace

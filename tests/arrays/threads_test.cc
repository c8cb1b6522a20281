// First use of the lazily built shared objects from several threads at once: the overlap cache
// of CCHCalc, an array's increment tables (built by its first AExpand) and the arrays' random
// generator. Each thread's results must equal the serial ones.

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/charray.h"
#include "arrays/chcalc.h"
#include "common/test_util.h"
#include "numeric/threads.h"

namespace {

constexpr int kThreads = 4;

// Runs body(t) on kThreads threads started together.
template <typename Body>
void OnThreads(Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; t++) threads.emplace_back(body, t);
  for (std::thread& thread : threads) thread.join();
}

TEST(SharedFirstUse, OverlapRowsAndIncrementTablesFromSeveralThreads) {
  CCHCalc calc;
  // Rows of rank 40-43 that no other test fills: every thread asks for all of them, in a
  // different order, so rows are filled while others read.
  const int triples[4][6] = {{20, 12, 8, 18, 14, 8},
                             {21, 11, 9, 19, 13, 9},
                             {22, 13, 7, 20, 13, 9},
                             {23, 12, 8, 21, 12, 10}};
  std::vector<std::vector<double>> got(kThreads, std::vector<double>(4));
  // One array, its increment tables not yet built, expanded by every thread at once.
  CCHArray a(6, 3, 1.0);
  for (int lx = 0; lx <= 1; lx++)
    for (int ly = 0; ly <= 6 - lx; ly++)
      for (int lz = 0; lz <= 6 - lx - ly; lz++)
        a.SetElement(lx, ly, lz, 1, 0.1 * (lx + ly + 2 * lz) - 0.3);
  a.FillRemainderX();
  std::vector<double> expanded(kThreads);
  OnThreads([&](int t) {
    for (int k = 0; k < 4; k++) {
      const int* l = triples[(k + t) % 4];
      got[t][(k + t) % 4] = calc.GetOverlap(l[0], l[1], l[2], l[3], l[4], l[5]);
    }
    expanded[t] = a.AExpand(0.6, 0.0, 0.8, 1);
  });
  for (int k = 0; k < 4; k++) {
    const int* l = triples[k];
    const double exact = calc.GetOverlap0(l[0], l[1], l[2], l[3], l[4], l[5]);
    for (int t = 0; t < kThreads; t++) EXPECT_EQ(got[t][k], exact) << "triple " << k;
  }
  for (int t = 0; t < kThreads; t++) EXPECT_EQ(expanded[t], a.AExpand(0.6, 0.0, 0.8, 1));
}

// Objects made and dropped on several threads at once (as the array operations of threaded
// loops did) keep the count of live objects exact, and the tables stay usable throughout.
TEST(SharedFirstUse, LiveObjectCountUnderConcurrentUse) {
  CCHCalc keep;  // the tables exist: every thread takes the lock-free path
  const int before = CCHCalc::INITIALIZED;
  std::vector<int> bad(kThreads, 0);
  OnThreads([&](int t) {
    for (int i = 0; i < 20000; i++) {
      CCHCalc calc;
      bad[t] += calc.Factorial(6) != 720.0;
    }
  });
  EXPECT_EQ(CCHCalc::INITIALIZED, before);
  EXPECT_EQ(bad, std::vector<int>(kThreads, 0));
}

// Concurrent random fills draw every value exactly once from the shared sequence: together the
// threads' arrays hold, as a multiset, what the same fills draw one after the other.
TEST(SharedFirstUse, RandomFillsShareOneSequence) {
  const auto draw = [](bool concurrent) {
    std::vector<std::unique_ptr<CCHArray>> arrays;
    for (int t = 0; t < kThreads; t++) arrays.push_back(std::make_unique<CCHArray>(4, 20, 1.0));
    arrays[0]->RandomInit(77);  // the shared generator, reseeded
    if (concurrent) {
      OnThreads([&](int t) { arrays[t]->Randomize(1.0); });
    } else {
      for (auto& a : arrays) a->Randomize(1.0);
    }
    std::vector<double> values;
    for (const auto& a : arrays)
      for (int lx = 0; lx <= 4; lx++)
        for (int ly = 0; ly <= 4 - lx; ly++)
          for (int lz = 0; lz <= 4 - lx - ly; lz++)
            for (int ir = 0; ir < 20; ir++) values.push_back(a->GetElement(lx, ly, lz, ir));
    std::sort(values.begin(), values.end());
    return values;
  };
  EXPECT_EQ(draw(true), draw(false));
}

// The expansion of an AExp array onto a grid, cell by cell on the threads (3: rows of unequal
// share), equals the one-thread grid exactly, including the cells below the first bin centre
// and beyond the last one.
TEST(SharedFirstUse, GridFromAExpArrayIsTheOneThreadGrid) {
  CCHArray a(4, 6, 1.5, false, true, false);
  a.RandomInit(5);
  a.RandomizeA(1.0);
  C3DArray one(5, 2.0, 4, 1.0, 3, 3.5, false, true, false);
  C3DArray three(5, 2.0, 4, 1.0, 3, 3.5, false, true, false);
  for (int threads : {1, 3}) {
    femtokit::SetThreadCount(threads);
    ArrayCalc::Calc3DArrayFromAExpArray(&a, threads == 1 ? &one : &three);
  }
  femtokit::SetThreadCount(0);
  int nonzero = 0;
  for (int isx = 0; isx < 2; isx++)
    for (int ix = 0; ix < 5; ix++)
      for (int iy = 0; iy < 4; iy++)
        for (int isz = 0; isz < 2; isz++)
          for (int iz = 0; iz < 3; iz++) {
            const double v = one.GetElement(isx, ix, 0, iy, isz, iz);
            nonzero += v != 0.0;
            ASSERT_EQ(three.GetElement(isx, ix, 0, iy, isz, iz), v);
          }
  EXPECT_GT(nonzero, 60);
}

}  // namespace

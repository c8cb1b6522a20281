// The cell iterator of the grids: every stored cell once, in storage order, with its signed
// centre, for every combination of symmetric axes; row ranges split the cells without gaps
// or overlaps (the threads' slices).

#include "arrays/gridcells.h"

#include <string>
#include <tuple>
#include <vector>

#include "arrays/array3d.h"
#include "common/test_util.h"

namespace {

using Cell = std::tuple<int, int, int, int, int, int>;

struct Symmetry {
  bool x, y, z;
};

class GridCellsTest : public ::testing::TestWithParam<Symmetry> {};

TEST_P(GridCellsTest, VisitsEveryStoredCellOnceInStorageOrder) {
  const Symmetry sym = GetParam();
  // Different counts and steps per axis, so that a swapped axis shows.
  C3DArray grid(3, 0.5, 2, 1.0, 4, 2.0, sym.x, sym.y, sym.z);
  const femtokit::GridCells cells(grid);
  std::vector<Cell> visited;
  femtokit::ForEachCell(cells, [&](const femtokit::GridCell& c) {
    visited.emplace_back(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    const double sx = c.isx == 0 ? 1.0 : -1.0, sy = c.isy == 0 ? 1.0 : -1.0;
    const double sz = c.isz == 0 ? 1.0 : -1.0;
    EXPECT_EQ(c.x, sx * (c.ix + 0.5) * 0.5);
    EXPECT_EQ(c.y, sy * (c.iy + 0.5) * 1.0);
    EXPECT_EQ(c.z, sz * (c.iz + 0.5) * 2.0);
  });
  // The reference order: the grid's own nesting, isx outermost and iz fastest.
  std::vector<Cell> expected;
  for (int isx = 0; isx < (sym.x ? 1 : 2); isx++)
    for (int ix = 0; ix < 3; ix++)
      for (int isy = 0; isy < (sym.y ? 1 : 2); isy++)
        for (int iy = 0; iy < 2; iy++)
          for (int isz = 0; isz < (sym.z ? 1 : 2); isz++)
            for (int iz = 0; iz < 4; iz++) expected.emplace_back(isx, ix, isy, iy, isz, iz);
  EXPECT_EQ(visited, expected);
  EXPECT_EQ(cells.Count(), static_cast<long>(expected.size()));

  // Any split into row ranges visits the same cells in the same order.
  for (int split = 0; split <= cells.Rows(); split++) {
    std::vector<Cell> pieces;
    const auto add = [&](const femtokit::GridCell& c) {
      pieces.emplace_back(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    };
    femtokit::ForEachCellInRows(cells, 0, split, add);
    femtokit::ForEachCellInRows(cells, split, cells.Rows(), add);
    EXPECT_EQ(pieces, expected) << "split at row " << split;
  }
}

INSTANTIATE_TEST_SUITE_P(AllSymmetries, GridCellsTest,
                         ::testing::Values(Symmetry{false, false, false},
                                           Symmetry{true, false, false},
                                           Symmetry{false, true, true}, Symmetry{true, true, true}),
                         [](const ::testing::TestParamInfo<Symmetry>& info) {
                           const Symmetry s = info.param;
                           return std::string(s.x ? "X" : "x") + (s.y ? "Y" : "y") +
                                  (s.z ? "Z" : "z");
                         });

}  // namespace

// Tests of the three-dimensional grid array: folded indexing and its sign rules, interpolation,
// whole-array operations, parameter files and the directory format; the cell iterator of the
// grids: every stored cell once, in storage order, with its signed centre, for every combination
// of symmetric axes; row ranges split the cells without gaps or overlaps (the threads' slices).

#include "arrays/array3d.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "arrays/gridcells.h"
#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// Calls f(isx, ix, isy, iy, isz, iz) for every stored cell.
template <typename F>
void ForEachCell(const C3DArray &g, F f) {
  for (int isx = 0; isx < (g.XSYM ? 1 : 2); isx++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int isy = 0; isy < (g.YSYM ? 1 : 2); isy++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int isz = 0; isz < (g.ZSYM ? 1 : 2); isz++)
            for (int iz = 0; iz < g.NZMAX; iz++) f(isx, ix, isy, iy, isz, iz);
}

// Gives every cell a value that identifies it.
void FillDistinct(C3DArray &g) {
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    g.SetElement(isx, ix, isy, iy, isz, iz,
                 1 + isx + 2 * isy + 4 * isz + 10 * ix + 100 * iy + 1000 * iz + 1.0 / 3.0);
  });
}

TEST(Array3DAccess, SignHalvesThresholdsAndPointsOutside) {
  C3DArray g(4, 0.5, false, false, false), s(4, 0.5, true, true, true);
  FillDistinct(g);
  FillDistinct(s);
  EXPECT_EQ(g.GetElement(-0.25, -0.1, 0.1), g.GetElement(1, 0, 1, 0, 0, 0));
  EXPECT_EQ(s.GetElement(-0.25, 0.1, 0.1), s.GetElement(0.25, 0.1, 0.1));
  EXPECT_EQ(s.GetElement(-1.2, -0.7, -1.9), s.GetElement(0, 2, 0, 1, 0, 3));

  // -5e-11 lies between the set threshold (-1e-15) and the get threshold (-1e-10).
  C3DArray h(3, 1.0, false, false, false);
  h.SetElement(-5e-11, 0.5, 0.5, 7.0);
  EXPECT_EQ(h.GetElement(1, 0, 0, 0, 0, 0), 7.0);
  EXPECT_EQ(h.GetElement(-5e-11, 0.5, 0.5), 0.0);  // read from the non-negative side
  h.IncrementElement(-5e-11, 0.5, 0.5, 1.0);
  EXPECT_EQ(h.GetElement(-2e-10, 0.5, 0.5), 8.0);
  // Points beyond the grid are outside: read 0, ignored by set and increment.
  C3DArray o(3, 1.0, 2, 2.0, 4, 0.5, false, true, false);
  o.MakeConstant(5.0);
  EXPECT_EQ(o.GetElement(2.999, 3.9, 1.9), 5.0);
  EXPECT_EQ(o.GetElement(0.0, -4.0, 0.0), 0.0);   // |y| = NYMAX*DELY
  EXPECT_EQ(o.GetElement(1e300, 0.0, 0.0), 0.0);  // no int overflow
  o.SetElement(0.0, 0.0, -1e300, 9.0);            // ignored silently
  o.IncrementElement(0.0, 0.0, 2.0, 9.0);
  EXPECT_EQ(o.GetBiggest(), 5.0);
  // Interpolation holds the last cell up to (NXMAX+0.5)*DELX, then gives 0.
  o.SetElement(0, 2, 0, 0, 0, 0, 6.0);
  EXPECT_CLOSE(o.GetElement_Interpolate(3.499, 0.5, 0.25), 6.0, 1e-12);  // last centre 2.5
  EXPECT_EQ(o.GetElement_Interpolate(3.5, 0.5, 0.25), 0.0);
}

// Exact for a linear function, also across the origin through the mirror cells.
TEST(Array3DInterpolate, ExactForLinearFunctionsAcrossTheOrigin) {
  const double del = 0.4;
  C3DArray g(5, del, false, false, false);
  auto f = [](double x, double y, double z) { return 1.0 + 0.3 * x - 0.2 * y + 0.7 * z; };
  auto centre = [del](int is, int i) { return (is ? -1 : 1) * (i + 0.5) * del; };
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    g.SetElement(isx, ix, isy, iy, isz, iz, f(centre(isx, ix), centre(isy, iy), centre(isz, iz)));
  });
  for (double x : {-1.7, -0.13, 0.0, 0.9})
    for (double y : {-1.1, 0.0, 0.33})
      for (double z : {-0.19, 0.61, 1.79})
        EXPECT_CLOSE_ABS(g.GetElement_Interpolate(x, y, z), f(x, y, z), 1e-12, 1e-12);
  // With symmetry the mirror of cell 0 is cell 0 itself.
  C3DArray s(4, 0.5, true, true, true);
  FillDistinct(s);
  EXPECT_CLOSE(s.GetElement_Interpolate(0.0, 0.25, 0.25), s.GetElement(0, 0, 0, 0, 0, 0), 1e-12);
}

TEST(Array3DPars, ParameterFileKeysAndPrintout) {
  ScratchDir dir;
  const std::string file = dir / "pars.dat";
  WriteTextFile(file, "double DELXYZ 2\ndouble DELY 3\nint NXMAX 7\nbool ZSYM 0\n");
  const std::string out = CAPTURE_STDOUT({
    C3DArray g(file.c_str());
    g.SetElement(0, 6, 0, 19, 1, 19, 1.0);  // the storage has the file's shape
  });
  // DELXYZ first, then DELY; NYMAX, NZMAX, XSYM, YSYM keep their defaults.
  EXPECT_EQ(out,
            "_______ 3DArray Pars ________\nXYZSYM=(1,1,0)\nNXYZMAX=(7,20,20)\n"
            "DELXYZ=(2,3,2)\n_____________________________\n");

  WriteTextFile(file, "bool IDENTICAL 1\nbool XSYM 0\nint NXMAX 3\nint NXYZMAX 5\n");
  C3DArray g(2, 1.0, false, false, false);
  CAPTURE_STDOUT(g.ReadPars(file.c_str()));
  EXPECT_TRUE(g.XSYM && g.YSYM && g.ZSYM);  // IDENTICAL wins over XSYM
  EXPECT_EQ(g.NXMAX, 5);                    // NXYZMAX wins over NXMAX
}

TEST(Array3DFiles, WriteReadRoundTripAndRebuild) {
  ScratchDir dir;
  const std::string sub = dir / "grid/deeper";
  C3DArray(10, 1.0, true, true, true).WriteArray(sub.c_str());  // an earlier, larger grid
  // Files the grids did not write stay, whatever their names.
  for (const char* foreign : {"keep.txt", "lx0_ly0_lz0.tmp", "ix10_iy0.tmp", "notes.tmp"})
    WriteTextFile(sub + "/" + foreign, "1\n");
  C3DArray g(3, 0.7, 2, 1.3, 4, 0.25, false, true, false);
  FillDistinct(g);
  g.WriteArray(sub.c_str());
  EXPECT_FALSE(std::filesystem::exists(sub + "/ix9_iy9.tmp"));
  EXPECT_FALSE(std::filesystem::exists(sub + "/ix2_iy2.tmp"));
  for (const char* foreign : {"keep.txt", "lx0_ly0_lz0.tmp", "ix10_iy0.tmp", "notes.tmp"})
    EXPECT_TRUE(std::filesystem::exists(sub + "/" + foreign)) << foreign;
  std::string line;
  std::getline(std::ifstream(sub + "/ix2_iy1.tmp"), line);
  EXPECT_EQ(line.size(), 4u * 18);  // nsz*nsy*nsx values "%17.10e "

  C3DArray h(3, 0.7, 2, 1.3, 4, 0.25, false, true, false);
  EXPECT_EQ(CAPTURE_STDOUT(h.ReadArray(sub.c_str())).find("Warning"), std::string::npos);
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    EXPECT_CLOSE(h.GetElement(isx, ix, isy, iy, isz, iz), g.GetElement(isx, ix, isy, iy, isz, iz),
                 1e-10);
  });
  // A grid of other parameters is rebuilt with the file's.
  C3DArray k(5, 0.5, true, true, true);
  EXPECT_NE(CAPTURE_STDOUT(k.ReadArray(sub.c_str()))
                .find("Warning: In ReadArray parameters have changed, new array being created\n"),
            std::string::npos);
  EXPECT_TRUE(k.NXMAX == 3 && k.NZMAX == 4 && !k.XSYM && k.YSYM && k.DELY == 1.3);
  EXPECT_CLOSE(k.GetElement(1, 2, 0, 1, 1, 3), g.GetElement(1, 2, 0, 1, 1, 3), 1e-10);
}

TEST(Array3DFilesDeathTest, MissingShortAndUncreatableFilesAreFatal) {
  ScratchDir dir;
  C3DArray g(2, 1.0, true, true, true);
  g.WriteArray(dir.str().c_str());
  std::filesystem::remove(dir / "ix1_iy0.tmp");
  EXPECT_FATAL(g.ReadArray(dir.str().c_str()),
               "C3DArray::ReadArray: cannot read file .*/ix1_iy0.tmp\n");
  // Values cut at the end of the file or not finite.
  g.WriteArray(dir.str().c_str());
  for (const char* text : {"1.0\n", "1 2.", "1 3e-", "nan 2\n", "1 1e999\n"}) {
    WriteTextFile(dir / "ix1_iy0.tmp", text);
    EXPECT_FATAL(g.ReadArray(dir.str().c_str()),
                 "ix1_iy0.tmp(: value .* (cut at the end|not a finite)| is too short)")
        << text;
  }
  EXPECT_FATAL(C3DArray(2000, 1.0, 2000, 1.0, 2000, 1.0, false, false, false),
               "the grid would hold 6.4e\\+10 values");
  WriteTextFile(dir / "afile", "x\n");
  const std::string blocked = dir / "afile/sub";
  EXPECT_FATAL(g.WriteArray(blocked.c_str()),
               "C3DArray::WriteArray: cannot create directory .*afile/sub\n");
  EXPECT_FATAL(C3DArray(3, 0.0, true, true, true),
               "^C3DArray: bad grid NXYZMAX=\\(3,3,3\\), DELXYZ=\\(0,0,0\\)\n$");
}

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

// Tests of the three-dimensional grid array: folded indexing and its sign rules,
// interpolation, whole-array operations, parameter files and the directory format.

#include "arrays/array3d.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

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

TEST(Array3DAccess, SignHalvesAndThresholds) {
  C3DArray g(4, 0.5, false, false, false), s(4, 0.5, true, true, true);
  FillDistinct(g);
  FillDistinct(s);
  EXPECT_NE(g.GetElement(-0.25, 0.1, 0.1), g.GetElement(0.25, 0.1, 0.1));
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
}

TEST(Array3DAccess, PointsBeyondTheGridAreOutside) {
  C3DArray g(3, 1.0, 2, 2.0, 4, 0.5, false, true, false);
  g.MakeConstant(5.0);
  EXPECT_EQ(g.GetElement(2.999, 3.9, 1.9), 5.0);
  EXPECT_EQ(g.GetElement(3.0, 0.0, 0.0), 0.0);  // |x| = NXMAX*DELX
  EXPECT_EQ(g.GetElement(0.0, -4.0, 0.0), 0.0);
  EXPECT_EQ(g.GetElement(0.0, 0.0, -2.0), 0.0);
  EXPECT_EQ(g.GetElement(1e300, 0.0, 0.0), 0.0);  // no int overflow
  EXPECT_EQ(g.GetElement(0.0, NAN, 0.0), 0.0);
  EXPECT_EQ(g.GetElement_Interpolate(0.0, 0.0, -1e300), 0.0);
  g.SetElement(3.0, 0.0, 0.0, 9.0);  // ignored silently
  g.SetElement(0.0, 0.0, -1e300, 9.0);
  g.IncrementElement(0.0, 0.0, 2.0, 9.0);
  EXPECT_EQ(g.GetBiggest(), 5.0);
}

TEST(Array3DInterpolate, CentresMidpointsAndTheOrigin) {
  C3DArray g(4, 0.5, false, false, false), s(4, 0.5, true, true, true);
  FillDistinct(g);
  FillDistinct(s);
  EXPECT_NEAR(g.GetElement_Interpolate(1.25, -0.75, 0.25), g.GetElement(0, 2, 1, 1, 0, 0), 1e-12);
  EXPECT_NEAR(g.GetElement_Interpolate(0.5, 0.25, 0.25),
              0.5 * (g.GetElement(0, 0, 0, 0, 0, 0) + g.GetElement(0, 1, 0, 0, 0, 0)), 1e-12);
  // x = 0 without symmetry: the mean of the two sides; with symmetry: cell 0.
  EXPECT_NEAR(g.GetElement_Interpolate(0.0, 0.25, 0.25),
              0.5 * (g.GetElement(0, 0, 0, 0, 0, 0) + g.GetElement(1, 0, 0, 0, 0, 0)), 1e-12);
  EXPECT_NEAR(s.GetElement_Interpolate(0.0, 0.25, 0.25), s.GetElement(0, 0, 0, 0, 0, 0), 1e-12);
}

TEST(Array3DInterpolate, ExactForLinearFunctionsAcrossTheOrigin) {
  const double del = 0.4;
  C3DArray g(5, del, false, false, false);
  auto f = [](double x, double y, double z) { return 1.0 + 0.3 * x - 0.2 * y + 0.7 * z; };
  auto centre = [del](int is, int i) { return (is ? -1 : 1) * (i + 0.5) * del; };
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    g.SetElement(isx, ix, isy, iy, isz, iz, f(centre(isx, ix), centre(isy, iy), centre(isz, iz)));
  });
  for (double x : {-1.7, -0.13, 0.0, 0.05, 0.9, 1.75})
    for (double y : {-1.1, 0.0, 0.33})
      for (double z : {-0.19, 0.61, 1.79})
        EXPECT_CLOSE_ABS(g.GetElement_Interpolate(x, y, z), f(x, y, z), 1e-12, 1e-12);
}

TEST(Array3DInterpolate, HoldsTheLastCellThenReturnsZero) {
  C3DArray g(3, 1.0, true, true, true);
  g.MakeConstant(2.0);
  g.SetElement(0, 2, 0, 0, 0, 0, 6.0);
  EXPECT_NEAR(g.GetElement_Interpolate(3.2, 0.5, 0.5), 6.0, 1e-12);  // last centre 2.5
  EXPECT_NEAR(g.GetElement_Interpolate(3.499, 0.5, 0.5), 6.0, 1e-12);
  EXPECT_EQ(g.GetElement_Interpolate(3.5, 0.5, 0.5), 0.0);  // (NXMAX+0.5)*DELX
  EXPECT_EQ(g.GetElement_Interpolate(0.5, -7.0, 0.5), 0.0);
}

TEST(Array3DWhole, BiggestScaleAndRandom) {
  C3DArray g(2, 1.0, false, true, true);
  g.MakeConstant(1.0);
  g.SetElement(1, 1, 0, 0, 0, 1, -3.0);
  g.SetElement(0, 0, 0, 1, 0, 0, 3.0);  // same |value|, met first in storage order
  EXPECT_EQ(g.GetBiggest(), 3.0);
  g.SetElement(0, 0, 0, 1, 0, 0, 1.0);
  EXPECT_EQ(g.GetBiggest(), -3.0);
  g.ScaleArray(-2.0);
  EXPECT_EQ(g.GetBiggest(), 6.0);
  g.ZeroArray();
  EXPECT_EQ(g.GetBiggest(), 0.0);
  g.Randomize();
  double lo = 1.0, hi = 0.0;
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    lo = std::min(lo, g.GetElement(isx, ix, isy, iy, isz, iz));
    hi = std::max(hi, g.GetElement(isx, ix, isy, iy, isz, iz));
  });
  EXPECT_TRUE(lo >= 0.0 && hi < 1.0 && lo < hi);
}

TEST(Array3DPars, ParameterFileKeysAndPrintout) {
  ScratchDir dir;
  const std::string file = dir / "pars.dat";
  WriteTextFile(file, "double DELXYZ 2\ndouble DELY 3\nint NXMAX 7\nbool ZSYM 0\n");
  const std::string out = CAPTURE_STDOUT({
    C3DArray g(file.c_str());
    EXPECT_EQ(g.GetDELX(), 2.0);
    EXPECT_EQ(g.GetDELY(), 3.0);
    EXPECT_EQ(g.GetDELZ(), 2.0);
    EXPECT_EQ(g.GetNXMAX(), 7);
    EXPECT_EQ(g.GetNYMAX(), 20);  // default kept
    EXPECT_TRUE(g.GetXSYM() && !g.GetZSYM());
    g.SetElement(0, 6, 0, 19, 1, 19, 1.0);  // the storage has the file's shape
  });
  EXPECT_EQ(out,
            "_______ 3DArray Pars ________\nXYZSYM=(1,1,0)\nNXYZMAX=(7,20,20)\n"
            "DELXYZ=(2,3,2)\n_____________________________\n");

  WriteTextFile(file, "bool IDENTICAL 1\nbool XSYM 0\nint NXMAX 3\nint NXYZMAX 5\n");
  C3DArray g(2, 1.0, false, false, false);
  CAPTURE_STDOUT(g.ReadPars(file.c_str()));
  EXPECT_TRUE(g.XSYM && g.YSYM && g.ZSYM);  // IDENTICAL wins over XSYM
  EXPECT_EQ(g.NXMAX, 5);                    // NXYZMAX wins over NXMAX
}

// Number of values on the first line of a grid file.
int ValuesPerLine(const std::string &path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return static_cast<int>(line.size() / 18);  // "%17.10e "
}

TEST(Array3DFiles, WriteReadRoundTrip) {
  ScratchDir dir;
  const std::string sub = dir / "grid/deeper";
  std::filesystem::create_directories(sub);
  WriteTextFile(sub + "/ix9_iy9.tmp", "1\n");  // stale file of an earlier grid
  WriteTextFile(sub + "/keep.txt", "1\n");
  C3DArray g(3, 0.7, 2, 1.3, 4, 0.25, false, true, false);
  FillDistinct(g);
  g.WriteArray(sub.c_str());
  EXPECT_FALSE(std::filesystem::exists(sub + "/ix9_iy9.tmp"));
  EXPECT_TRUE(std::filesystem::exists(sub + "/keep.txt"));
  EXPECT_EQ(ValuesPerLine(sub + "/ix2_iy1.tmp"), 4);  // nsz*nsy*nsx

  C3DArray h(3, 0.7, 2, 1.3, 4, 0.25, false, true, false);
  EXPECT_EQ(CAPTURE_STDOUT(h.ReadArray(sub.c_str())).find("Warning"), std::string::npos);
  ForEachCell(g, [&](int isx, int ix, int isy, int iy, int isz, int iz) {
    EXPECT_CLOSE(h.GetElement(isx, ix, isy, iy, isz, iz), g.GetElement(isx, ix, isy, iy, isz, iz),
                 1e-10);
  });
}

TEST(Array3DFiles, ReadingRebuildsOnChangedParameters) {
  ScratchDir dir;
  C3DArray g(2, 1.0, true, true, true);
  FillDistinct(g);
  g.WriteArray(dir.str().c_str());
  EXPECT_EQ(ValuesPerLine(dir / "ix0_iy0.tmp"), 1);
  C3DArray h(5, 0.5, false, false, false);
  EXPECT_NE(CAPTURE_STDOUT(h.ReadArray(dir.str().c_str()))
                .find("Warning: In ReadArray parameters have changed, new array being created\n"),
            std::string::npos);
  EXPECT_TRUE(h.NXMAX == 2 && h.XSYM && h.DELZ == 1.0);
  EXPECT_CLOSE(h.GetElement(0, 1, 0, 1, 0, 1), g.GetElement(0, 1, 0, 1, 0, 1), 1e-10);
}

TEST(Array3DFilesDeathTest, MissingShortAndUncreatableFilesAreFatal) {
  ScratchDir dir;
  C3DArray g(2, 1.0, true, true, true);
  const std::string missing = dir / "nothing";
  EXPECT_FATAL(g.ReadArray(missing.c_str()),
               "C3DArray::ReadArray: cannot read file .*nothing/3Darraypars.dat\n");
  g.WriteArray(dir.str().c_str());
  std::filesystem::remove(dir / "ix1_iy0.tmp");
  EXPECT_FATAL(g.ReadArray(dir.str().c_str()),
               "C3DArray::ReadArray: cannot read file .*/ix1_iy0.tmp\n");
  WriteTextFile(dir / "ix1_iy0.tmp", "1.0\n");
  EXPECT_FATAL(g.ReadArray(dir.str().c_str()),
               "C3DArray::ReadArray: file .*/ix1_iy0.tmp is too short\n");
  WriteTextFile(dir / "afile", "x\n");
  const std::string blocked = dir / "afile/sub";
  EXPECT_FATAL(g.WriteArray(blocked.c_str()),
               "C3DArray::WriteArray: cannot create directory .*afile/sub\n");
  EXPECT_FATAL(C3DArray(3, 0.0, true, true, true),
               "^C3DArray: bad grid NXYZMAX=\\(3,3,3\\), DELXYZ=\\(0,0,0\\)\n$");
}

}  // namespace

// CCHArray text interfaces: parameter-file construction, component directories, summary table
// and printouts.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"

namespace {

using femtokit_test::ExpectSameStored;
using femtokit_test::kSixDigits;
using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

long CountFiles(const std::string& dir) {
  return std::distance(std::filesystem::directory_iterator(dir),
                       std::filesystem::directory_iterator());
}

TEST(CCHArrayFileTest, ParameterFileConstruction) {
  ScratchDir dir;
  WriteTextFile(dir / "mixed.par",
                "int LMAX 6\nint NRADIAL 12\ndouble RADSTEP 0.25\nbool YSYM 1\n");
  CCHArray b((dir / "mixed.par").c_str());
  EXPECT_TRUE(b.GetLMAX() == 6 && b.GetNRADIAL() == 12 && b.GetRADSTEP() == 0.25);
  EXPECT_TRUE(!b.GetXSYM() && b.GetYSYM() && !b.GetZSYM());
  // IDENTICAL overrides what the file says about the single symmetries.
  WriteTextFile(dir / "override.par", "bool IDENTICAL 1\nbool XSYM 0\n");
  EXPECT_TRUE(CCHArray((dir / "override.par").c_str()).GetXSYM());
}

TEST(CCHArrayFileTest, WriteAXReadAXRoundTrip) {
  ScratchDir dir;
  for (bool xsym : {false, true}) {
    // A bin width beyond six digits: "%g" would write 0.123457, 2.1e-7 off.
    const double step = xsym ? 0.123456789 : 0.5;
    CCHArray a(4, 5, step, xsym, false, false), b(4, 5, step, xsym, false, false);
    a.RandomInit(3);
    a.RandomizeA(10.0);
    const std::string out = dir / (xsym ? "ax_xsym" : "ax");
    a.WriteAX(out.c_str());
    // Only lx in {0,1} files (lx = 0 alone with XSYM): 15 + 10, resp. 15.
    EXPECT_EQ(CountFiles(out), xsym ? 15 : 25);
    EXPECT_EQ(std::filesystem::exists(out + "/lx1_ly0_lz3.tmp"), !xsym);
    const std::string header = xsym ? "5 0.123456789\n" : "5 0.5\n";
    EXPECT_EQ(ReadTextFile(out + "/lx0_ly0_lz0.tmp").substr(0, header.size()), header);
    b.ReadAX(out.c_str());
    ExpectSameStored(a, b, kSixDigits, 1e-4);
  }
}

TEST(CCHArrayFileTest, WriteAllAReadAllARoundTrip) {
  ScratchDir dir;
  CCHArray a(3, 4, 2.0, false, false, true), b(3, 4, 2.0, false, false, true);
  a.RandomInit(4);
  a.RandomizeA(1.0);
  a.WriteAllA(dir.str().c_str());
  EXPECT_EQ(CountFiles(dir.str()), 13);  // every stored component: 10 with lz = 0, 3 with lz = 2
  const std::string text = ReadTextFile(dir / "lx2_ly1_lz0.tmp");
  char expect[64];
  snprintf(expect, sizeof expect, "4 2\n%16.10e\n", a.GetElement(2, 1, 0, 0));
  EXPECT_EQ(text.substr(0, std::string(expect).size()), expect);
  b.ReadAllA(dir.str().c_str());
  ExpectSameStored(a, b, 0, 1e-9);
  // Non-traceless lx >= 2 content read back is replaced by the trace fill.
  a.SetElement(2, 0, 0, 0, 100.0);
  a.WriteAllA(dir.str().c_str());
  b.ReadAllA(dir.str().c_str());
  EXPECT_CLOSE_ABS(b.GetElement(2, 0, 0, 0), -a.GetElement(0, 2, 0, 0) - a.GetElement(0, 0, 2, 0),
                   0, 1e-9);
}

TEST(CCHArrayFileTest, MeshMismatchAndMissingFilesAreFatal) {
  ScratchDir dir;
  CCHArray a(2, 3, 1.0);
  a.WriteAX(dir.str().c_str());
  CCHArray wrong_step(2, 3, 1.5);
  EXPECT_FATAL(wrong_step.ReadAX(dir.str().c_str()),
               "^Mesh in " + dir / "lx0_ly0_lz0.tmp" +
                   " out of whack: RADSTEP=1.5 =\\? 1, NRADIAL=3=\\?3\n$");
  // A missing component ends the reading instead of leaving it empty.
  std::filesystem::remove(dir / "lx1_ly0_lz0.tmp");
  CCHArray b(2, 3, 1.0);
  EXPECT_FATAL(b.ReadAX(dir.str().c_str()),
               "^Reading Error: " + dir.str() + "/lx1_ly0_lz0.tmp, does not exist\n$");
  WriteTextFile(dir / "lx1_ly0_lz0.tmp", "3 1\n0.5\n");  // truncated
  EXPECT_FATAL(b.ReadAX(dir.str().c_str()), "lx1_ly0_lz0.tmp, value 2 of 3 missing\n$");
  // Cut inside the last number, or holding a value that is no finite number.
  for (const char* text : {"3 1\n0.5\n1\n-3.79e-", "3 1\n0.5\n1\n2", "3 1\n0.5\ninf\n2\n",
                           "3 1\n0.5\n1e999\n2\n", "3 1\n0.5\n1,5\n2\n"}) {
    WriteTextFile(dir / "lx1_ly0_lz0.tmp", text);
    EXPECT_FATAL(b.ReadAX(dir.str().c_str()),
                 "lx1_ly0_lz0.tmp: value [23] is (cut at the end|not a finite number|not a number)")
        << text;
  }
  // Failed writes (a full device) are reported, not left as a short file.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FATAL(a.WriteShort("/dev/full", 2), "^cannot write /dev/full: No space left on device");
  }
  // Writing where a directory cannot be made, or into a path that is a file.
  WriteTextFile(dir / "plainfile", "x\n");
  const std::string bad = dir / "plainfile/sub";
  EXPECT_FATAL(a.WriteAllA(bad.c_str()), "^Cannot create directory " + bad + "\n$");
  EXPECT_FATAL(a.WriteShort((dir / "nodir/short.dat").c_str(), 2),
               "^Cannot open " + dir.str() + "/nodir/short.dat for writing\n$");
}

TEST(CCHArrayFileTest, WriteShortTable) {
  ScratchDir dir;
  CCHArray a(3, 2, 0.5, true, false, false);
  a.SetElement(0, 0, 0, 0, 1.0);
  a.SetElement(0, 1, 1, 1, -0.25);
  a.WriteShort((dir / "short.dat").c_str(), 9);  // lowered to LMAX 3
  // With XSYM only lx = 0 triples, rank by rank.
  std::string header = "!       ";
  for (const char* t : {"(0,0,0)", "(0,0,1)", "(0,1,0)", "(0,0,2)", "(0,1,1)", "(0,2,0)", "(0,0,3)",
                        "(0,1,2)", "(0,2,1)", "(0,3,0)"})
    header += std::string("  ") + t + "  ";
  std::string row0 = "   0.25 ", row1 = "   0.75 ";
  for (int k = 0; k < 10; ++k) {
    row0 += k == 0 ? "  1.00e+00 " : "  0.00e+00 ";
    row1 += k == 4 ? " -2.50e-01 " : "  0.00e+00 ";
  }
  EXPECT_EQ(ReadTextFile(dir / "short.dat"), header + "\n" + row0 + "\n" + row1 + "\n");
}

// A printout with all three symmetries shows even ranks only, without reading absent components.
TEST(CCHArrayFileTest, PrintoutOfASymmetricArray) {
  CCHArray c(5, 1, 1.0, true, true, true);
  const std::string out = CAPTURE_STDOUT(c.PrintArrayFixedIR(0));
  EXPECT_TRUE(out.find("L=4\n") != out.npos && out.find("L=3\n") == out.npos &&
              out.find("WARNING") == out.npos);
}

}  // namespace

#include "config/parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using Matrix = std::vector<std::vector<double>>;

// Reading an absent key gives the default without adding the key.
TEST(ParameterMap, AbsentKeyGivesDefaultAndAddsNothing) {
  parameter_map pars;
  EXPECT_EQ(parameter::getV(pars, "x", 1.5), std::vector<double>{1.5});
  EXPECT_EQ(parameter::getM(pars, "x", 7.0), Matrix{{7.0}});
  EXPECT_EQ(parameter::getS(pars, "x", "dflt"), "dflt");
  EXPECT_TRUE(pars.empty());
}

TEST(ParameterMap, StoredTextAndReadBack) {
  parameter_map pars;
  parameter::set(pars, "third", 1.0 / 3.0);  // "%g": six significant digits
  parameter::set(pars, "big", 1e20);
  parameter::set(pars, "flag", true);
  parameter::set(pars, "n37", std::string("3.7"));
  parameter::set(pars, "junk", "abc");
  EXPECT_EQ(parameter::getD(pars, "third", 0.0), 0.333333);
  EXPECT_EQ(pars["big"] + pars["flag"], "1e+201");
  EXPECT_EQ(parameter::getI(pars, "n37", 0), 3);
  // Text that is not a number reads as 0 / false.
  EXPECT_EQ(parameter::getD(pars, "junk", 5.0), 0.0);
  EXPECT_EQ(parameter::getI(pars, "junk", 5), 0);
  EXPECT_FALSE(parameter::getB(pars, "junk", true));
}

TEST(ParameterMap, VectorsAndMatricesRoundTripThroughText) {
  parameter_map pars;
  parameter::set(pars, "v", std::vector<double>{1.0 / 3.0, -2.0, 1e-9});
  EXPECT_EQ(pars["v"], "    0.333333\n    -2\n    1e-09\n");
  EXPECT_EQ(parameter::getV(pars, "v", 0.0), (std::vector<double>{0.333333, -2.0, 1e-9}));
  const std::vector<std::string> vs = {"alpha", "beta"};
  parameter::set(pars, "vs", vs);
  EXPECT_EQ(parameter::getVS(pars, "vs", ""), vs);
  parameter::set(pars, "m", Matrix{{1, 2, 3}, {4.5}, {}});
  EXPECT_EQ(pars["m"], "    1 2 3 \n    4.5 \n    \n");
  EXPECT_EQ(parameter::getM(pars, "m", 0.0), (Matrix{{1, 2, 3}, {4.5}}));  // empty row dropped
  // Everything "%g" writes reads back, including inf, nan and values beyond a double's range.
  parameter::set(pars, "special", std::vector<double>{1.0, INFINITY, 1e-320});
  const std::vector<double> special = parameter::getV(pars, "special", 0.0);
  ASSERT_EQ(special.size(), 3u);
  EXPECT_EQ(special[1], INFINITY);
  EXPECT_GT(special[2], 0.0);
  parameter::set(pars, "nan", "nan 2");
  EXPECT_EQ(parameter::getV(pars, "nan", 0.0).size(), 2u);
  parameter::set(pars, "stop", "1 2 x 3");
  EXPECT_EQ(parameter::getV(pars, "stop", 0.0), (std::vector<double>{1, 2}));
}

TEST(ParameterFile, ReadsTypedLines) {
  ScratchDir dir;
  WriteTextFile(dir / "pars.dat",
                "# a comment line that is long enough\n"
                "int NQMAX 100\n"
                "double DELQ 0.3333333333\n"
                "int TRUNC 3.7\n"
                "bool WORD true\n"
                "bool OFF False\n"
                "bool TWO 2\n"
                "string NAME pp extra tokens\n"
                "float IGNORED 1\n"
                "bool\n"
                "int NOVALUE\n"
                "int NQMAX 120\n"
                "double LAST 9");  // no newline at the end
  parameter_map pars;
  parameter::set(pars, "KEPT", 5);
  parameter::ReadParsFromFile(pars, dir / "pars.dat");
  const parameter_map expected = {{"NQMAX", "120"}, {"DELQ", "0.333333"}, {"TRUNC", "3"},
                                  {"WORD", "1"},    {"OFF", "0"},         {"TWO", "1"},
                                  {"NAME", "pp"},   {"LAST", "9"},        {"KEPT", "5"}};
  EXPECT_EQ(pars, expected);
}

TEST(ParameterFile, LongLinesHideNoKeys) {
  ScratchDir dir;
  WriteTextFile(dir / "pars.dat", "# " + std::string(5000, 'c') + "\nint A 1" +
                                      std::string(200, ' ') + "\nint B 2\n");
  parameter_map pars;
  parameter::ReadParsFromFile(pars, dir / "pars.dat");
  EXPECT_EQ(pars, (parameter_map{{"A", "1"}, {"B", "2"}}));
}

// Values that cannot mean anything, and a directory given as the file, are refused with the
// file, key and value named.
TEST(ParameterFileDeathTest, MeaninglessValuesAndDirectoriesAreFatal) {
  ScratchDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"int SEED 99999999999\n", "int SEED = 99999999999 is beyond the range of an int"},
      {"bool B -4294967297\n", "int B = -4294967297 is beyond the range of an int"},
      {"double R inf\n", "double R = inf is not a finite number"},
      {"double R nan\n", "double R = nan is not a finite number"},
      {"double R 1e999\n", "double R = 1e999 is not a finite number"},
      {"int N abc\n", "int N = abc is not a number"},
      {"double R x1\n", "double R = x1 is not a number"},
      {"bool B maybe\n", "bool B = maybe is not a number"}};
  for (const auto& [text, message] : cases) {
    WriteTextFile(dir / "pars.dat", text);
    parameter_map pars;
    EXPECT_FATAL(parameter::ReadParsFromFile(pars, dir / "pars.dat"),
                 std::string("parameter file .*pars.dat: ") + message)
        << text;
  }
  parameter_map pars;
  EXPECT_FATAL(parameter::ReadParsFromFile(pars, dir.str()), "parameter file .* is a directory");
  EXPECT_FATAL(parameter::ReadParsFromFile(pars, "no/such/file.dat"),
               "attempting to read non-existent parameter file no/such/file.dat\n");
}

}  // namespace

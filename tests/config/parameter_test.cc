#include "config/parameter.h"

#include <gtest/gtest.h>

#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

TEST(ParameterMap, EmptyMapGivesDefaults) {
  parameter_map pars;
  EXPECT_EQ(parameter::getD(pars, "x", 2.5), 2.5);
  EXPECT_EQ(parameter::getI(pars, "x", -3), -3);
  EXPECT_TRUE(parameter::getB(pars, "x", true));
  EXPECT_EQ(parameter::getS(pars, "x", "dflt"), "dflt");
  EXPECT_EQ(parameter::getV(pars, "x", 1.5), std::vector<double>{1.5});
  EXPECT_EQ(parameter::getVS(pars, "x", "a"), std::vector<std::string>{"a"});
  EXPECT_EQ(parameter::getM(pars, "x", 7.0), (std::vector<std::vector<double>>{{7.0}}));
  EXPECT_TRUE(pars.empty());
}

TEST(ParameterMap, DoublesKeepSixSignificantDigits) {
  parameter_map pars;
  parameter::set(pars, "third", 1.0 / 3.0);
  parameter::set(pars, "big", 1e20);
  parameter::set(pars, "small", 1e-7);
  parameter::set(pars, "six", 6.0);
  EXPECT_EQ(pars["third"], "0.333333");
  EXPECT_EQ(parameter::getD(pars, "third", 0.0), 0.333333);
  EXPECT_EQ(pars["big"], "1e+20");
  EXPECT_EQ(pars["small"], "1e-07");
  EXPECT_EQ(pars["six"], "6");
}

TEST(ParameterMap, IntBoolAndStringText) {
  parameter_map pars;
  parameter::set(pars, "n", -12);
  parameter::set(pars, "flag", true);
  parameter::set(pars, "name", "pp");
  parameter::set(pars, "n37", std::string("3.7"));
  EXPECT_EQ(pars["n"], "-12");
  EXPECT_EQ(pars["flag"], "1");
  EXPECT_TRUE(parameter::getB(pars, "flag", false));
  EXPECT_EQ(parameter::getS(pars, "name", ""), "pp");
  EXPECT_EQ(parameter::getI(pars, "n37", 0), 3);
  // Text that is not a number reads as 0 / false (documented choice).
  parameter::set(pars, "junk", "abc");
  EXPECT_EQ(parameter::getD(pars, "junk", 5.0), 0.0);
  EXPECT_EQ(parameter::getI(pars, "junk", 5), 0);
  EXPECT_FALSE(parameter::getB(pars, "junk", true));
}

TEST(ParameterMap, VectorsRoundTripThroughText) {
  parameter_map pars;
  const std::vector<double> v = {1.0 / 3.0, -2.0, 1e-9};
  parameter::set(pars, "v", v);
  EXPECT_EQ(pars["v"], "    0.333333\n    -2\n    1e-09\n");
  const std::vector<double> back = parameter::getV(pars, "v", 0.0);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < v.size(); ++i) EXPECT_CLOSE(back[i], v[i], femtokit_test::kSixDigits);

  const std::vector<std::string> vs = {"alpha", "beta"};
  parameter::set(pars, "vs", vs);
  EXPECT_EQ(parameter::getVS(pars, "vs", ""), vs);

  const std::vector<std::vector<double>> m = {{1, 2, 3}, {4.5}, {}};
  parameter::set(pars, "m", m);
  EXPECT_EQ(pars["m"], "    1 2 3 \n    4.5 \n    \n");
  // The empty row yields no number and therefore no row.
  EXPECT_EQ(parameter::getM(pars, "m", 0.0), (std::vector<std::vector<double>>{{1, 2, 3}, {4.5}}));

  parameter::set(pars, "stop", "1 2 x 3");
  EXPECT_EQ(parameter::getV(pars, "stop", 0.0), (std::vector<double>{1, 2}));
}

TEST(ParameterMap, PrintParsInByteOrder) {
  parameter_map pars;
  parameter::set(pars, "a", 1);
  parameter::set(pars, "X", 2);
  parameter::set(pars, "R", 3);
  EXPECT_EQ(CAPTURE_STDOUT(parameter::PrintPars(pars)), "R = 3\nX = 2\na = 1\n");
}

TEST(ParameterFile, ReadsTypedLines) {
  ScratchDir dir;
  const std::string file = dir / "pars.dat";
  WriteTextFile(file,
                "# a comment line that is long enough\n"
                "int NQMAX 100\n"
                "double DELR 0.2\n"
                "bool IDENTICAL 1\n"
                "double DELQ 0.3333333333\n"
                "int TRUNC 3.7\n"
                "double BAD abc\n"
                "bool WORD true\n"
                "bool TWO 2\n"
                "string NAME pp extra tokens\n"
                "float IGNORED 1\n"
                "int\n"
                "bool\n"
                "int NOVALUE\n"
                "int NQMAX 120\n"
                "double LAST 9");  // no newline at the end
  parameter_map pars;
  parameter::set(pars, "KEPT", 5);
  parameter::ReadParsFromFile(pars, file);
  EXPECT_EQ(pars["NQMAX"], "120");  // the later line wins
  EXPECT_EQ(pars["DELR"], "0.2");
  EXPECT_EQ(pars["IDENTICAL"], "1");
  EXPECT_EQ(pars["DELQ"], "0.333333");
  EXPECT_EQ(pars["TRUNC"], "3");
  EXPECT_EQ(pars["BAD"], "0");
  EXPECT_EQ(pars["WORD"], "0");
  EXPECT_EQ(pars["TWO"], "1");
  EXPECT_EQ(pars["NAME"], "pp");
  EXPECT_EQ(pars["LAST"], "9");
  EXPECT_EQ(pars["KEPT"], "5");
  EXPECT_EQ(pars.count("IGNORED"), 0u);
  EXPECT_EQ(pars.count("NOVALUE"), 0u);
  EXPECT_EQ(pars.size(), 11u);
}

TEST(ParameterFile, LongLineEndsTheReading) {
  ScratchDir dir;
  const std::string file = dir / "pars.dat";
  // "int A 1" padded with spaces to exactly 99 and 100 characters.
  const std::string line99 = "int A 1" + std::string(92, ' ');
  const std::string line100 = "int B 2" + std::string(93, ' ');
  ASSERT_EQ(line99.size(), 99u);
  WriteTextFile(file, line99 + "\n" + line100 + "\nint C 3\n");
  parameter_map pars;
  parameter::ReadParsFromFile(pars, file);
  EXPECT_EQ(pars["A"], "1");
  EXPECT_EQ(pars.count("B"), 0u);
  EXPECT_EQ(pars.count("C"), 0u);
}

TEST(ParameterFileDeathTest, MissingFileIsFatal) {
  parameter_map pars;
  EXPECT_FATAL(parameter::ReadParsFromFile(pars, "no/such/file.dat"),
               "attempting to read non-existent parameter file no/such/file.dat\n");
}

}  // namespace

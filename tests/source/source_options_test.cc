// Transverse-mass scaling of any model, the histogram (table) source, and the
// fatal table of bad parameters of the new models.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/constants.h"
#include "numeric/output.h"
#include "source/sourcecalc_histogram.h"
#include "source/sourcecalc_levy.h"
#include "source/sourcemodels.h"

namespace {

using femtokit::constants::kPi;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// The wrapped model computes with every scaled length multiplied by
// (mT/mTref)^(-aMT); the unscaled keys pass through. Checked against the plain
// model with the scaled radii for an isotropic and an out-side-long model.
TEST(MtScaled, LengthsFollowThePowerLawOfTheTransverseMass) {
  struct Case {
    std::string model;
    std::vector<std::string> keys;
  };
  for (const Case& c : {Case{"levy1d", {"R"}}, Case{"cauchy3d", {"Ro", "Rs", "Rl"}}}) {
    auto scaled = femtokit::MakeSourceCalc("mtscaled:" + c.model);
    auto plain = femtokit::MakeSourceCalc(c.model);
    parameter::set(scaled->spars, "mT", 500.0);
    parameter::set(scaled->spars, "mTref", 250.0);
    parameter::set(scaled->spars, "aMT", 0.5);
    parameter::set(scaled->spars, "lambda", 0.4);
    parameter::set(plain->spars, "lambda", 0.4);
    for (const std::string& key : c.keys) {
      parameter::set(scaled->spars, key, 6.0);
      parameter::set(plain->spars, key, 6.0 / std::sqrt(2.0));
    }
    EXPECT_EQ(parameter::getS(scaled->spars, "mTkeys", ""), c.keys.size() == 1 ? "R" : "Ro Rs Rl");
    CCHArray a(2, 20, 0.7, true, true, true), b(2, 20, 0.7, true, true, true);
    scaled->CalcS(&a);
    plain->CalcS(&b);
    for (int ir = 0; ir < 20; ir++) {
      EXPECT_CLOSE(a.GetElement(0, 0, 0, ir), b.GetElement(0, 0, 0, ir), 1e-6) << c.model;
      EXPECT_CLOSE_ABS(a.GetElement(0, 0, 2, ir), b.GetElement(0, 0, 2, ir), 1e-6, 1e-12);
    }
  }
}

// S = 1 - r/5 on rows at r = 0.5, 1, 2.5, 5 (fm), flat below 0.5: the linear
// interpolant is exact, so bins, the reported normalisation
//   4 pi (0.9 * 0.5^3/3 + int_0.5^5 r^2 (1 - r/5) dr)
// and the normalised source follow in closed form; the error column is
// interpolated like S; beyond the last row S is zero.
TEST(HistogramSource, TableWithHeaderCommasAndErrors) {
  ScratchDir dir;
  WriteTextFile(dir / "table.csv",
                "# transport source\nr,S,err\n0.5, 0.9, 0.09\n1;0.8;0.08\n\n2.5 0.5 0.05  # mid\n"
                "5,0,0\n");
  auto S = [](double r) { return r < 0.5 ? 0.9 : (r > 5.0 ? 0.0 : 1.0 - r / 5.0); };
  const double norm =
      4.0 * kPi * (0.9 * 0.125 / 3.0 + (125.0 - 0.125) / 3.0 - (625.0 - 0.0625) / 20.0);
  CSourceCalc_Histogram calc;
  calc.SetSPars(dir / "table.csv", 2.0, false);
  CCHArray A(0, 30, 0.25), E(0, 30, 0.25);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  char expected[128];
  snprintf(expected, sizeof expected, "4 rows, r = 0.5 ... 5 fm, 4 pi int r^2 S dr = %g\n", norm);
  EXPECT_NE(out.find(expected), std::string::npos) << out;
  EXPECT_CLOSE(calc.TableIntegral(), norm, femtokit_test::kRoundoff);
  for (int ir = 0; ir < 30; ir++)
    EXPECT_CLOSE_ABS(A.GetElement(0, 0, 0, ir), 2.0 * S((ir + 0.5) * 0.25), 1e-12, 1e-15) << ir;
  parameter::set(calc.spars, "normalize", true);
  parameter::set(calc.spars, "lambda", 0.5);
  calc.CalcS(&A);
  calc.FillErrors(&E);
  EXPECT_CLOSE(A.GetElement(0, 0, 0, 7), 0.5 / norm * S(1.875), 1e-12);
  EXPECT_CLOSE(E.GetElement(0, 0, 0, 7), 0.05 / norm * S(1.875), 1e-12);
  CCHArray fine(0, 2000, 0.01);
  calc.CalcS(&fine);
  const std::string check = CAPTURE_STDOUT(calc.NormCheck(&fine));
  EXPECT_CLOSE(atof(check.c_str() + 22), 0.5, 1e-4) << check;
}

// Every bad parameter or table ends the process with status 1 and a message
// naming the problem.
struct BadCase {
  std::string label, model, key, value, regex;
};

class BadParameter : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadParameter, IsFatalWithAClearMessage) {
  const BadCase& c = GetParam();
  ScratchDir dir;
  WriteTextFile(dir / "short.txt", "r S\n1.0 0.5\n");
  WriteTextFile(dir / "decreasing.txt", "0 1\n2 0.5\n1 0.2\n");
  WriteTextFile(dir / "nan.txt", "0 1\n1 nan\n");
  WriteTextFile(dir / "text.txt", "0 1\n1 0.5\nabc\n");
  auto calc = femtokit::MakeSourceCalc(c.model);
  std::string value = c.value;
  if (c.key == "filename" && !value.empty() && value[0] != '/') value = dir / value;
  parameter::set(calc->spars, c.key, value);
  CCHArray A(2, 10, 0.5);  // no symmetry: offsets reach their own check
  EXPECT_FATAL(calc->CalcS(&A), c.regex);
}

INSTANTIATE_TEST_SUITE_P(
    Models, BadParameter,
    ::testing::Values(
        BadCase{"levy_alpha_zero", "levy1d", "alpha", "0",
                "CSourceCalc_Levy1D: parameter alpha=0 must lie in \\(0, 2\\]"},
        BadCase{"levy_alpha_above_two", "levy3d", "alpha", "2.01",
                "CSourceCalc_Levy3D: parameter alpha=2.01 must lie in \\(0, 2\\]"},
        BadCase{"levy_alpha_nan", "levy1d", "alpha", "nan", "alpha=nan must be finite"},
        BadCase{"cauchy_radius_zero", "cauchy1d", "R", "0",
                "CSourceCalc_Cauchy1D: parameter R=0 must be positive \\(fm\\)"},
        BadCase{"cauchy3d_radius_negative", "cauchy3d", "Rs", "-2",
                "parameter Rs=-2 must be positive"},
        BadCase{"exponential_radius_inf", "exponential", "R", "inf",
                "parameter R=inf must be finite"},
        BadCase{"exponential_lambda_nan", "exponential", "lambda", "nan",
                "parameter lambda=nan must be finite"},
        BadCase{"mtscaled_mass", "mtscaled:levy1d", "mT", "-5",
                "mT=-5 and mTref=1000 must be positive"},
        BadCase{"mtscaled_key", "mtscaled:levy1d", "mTkeys", "Rx",
                "scaled key Rx is not a parameter"},
        BadCase{"mtscaled_radius", "mtscaled:cauchy1d", "R", "-1",
                "CSourceCalc_Cauchy1D: parameter R=-1"},
        BadCase{"histogram_no_file", "histogram", "filename", "", "parameter filename is empty"},
        BadCase{"histogram_missing", "histogram", "filename", "/nonexistent/s.txt",
                "cannot open table /nonexistent/s.txt"},
        BadCase{"histogram_short", "histogram", "filename", "short.txt",
                "short.txt holds 1 rows, at least 2 needed"},
        BadCase{"histogram_decreasing", "histogram", "filename", "decreasing.txt",
                "decreasing.txt line 3: r=1 must be >= 0 and above"},
        BadCase{"histogram_nan", "histogram", "filename", "nan.txt",
                "nan.txt line 2: value nan is not finite"},
        BadCase{"histogram_text", "histogram", "filename", "text.txt",
                "text.txt line 3: expected \"r S \\[error\\]\""},
        BadCase{"gaussian_radius_inf", "gaussian3d", "Rx", "inf", "CSourceCalc_Gaussian: radii Rx=inf"},
        BadCase{"gaussian_offset_inf", "gaussian3d", "Zoff", "-inf",
                "CSourceCalc_Gaussian: .* must be positive"},
        BadCase{"gx1d_radius_inf", "gx1d", "R", "inf", "CSourceCalc_GX1D: lengths R=inf"},
        BadCase{"gx1d_lambda_nan", "gx1d", "lambdaG", "nan",
                "CSourceCalc_GX1D: lambdaG=nan, .* must be finite"},
        BadCase{"blast_pt_inf", "blast", "Pt", "inf", "CSourceCalc_Blast: Pt=inf MeV/c"},
        BadCase{"blast_mass_inf", "blast", "Ma", "inf", "CSourceCalc_Blast: masses Ma=inf"},
        BadCase{"blast_temperature_inf", "blast", "T", "inf", "CSourceCalc_Blast: temperature T=inf"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.label; });

TEST(SourceModelList, ScaledPrefixNeedsAKnownModelWithLengths) {
  EXPECT_FATAL(femtokit::MakeSourceCalc("mtscaled:blast"), "model blast has no default lengths");
  EXPECT_FATAL(femtokit::MakeSourceCalc("mtscaled:nosuch"), "unknown source model nosuch");
}

}  // namespace

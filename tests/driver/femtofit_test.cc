// femtofit end to end on data made by the library from a known GX1D source through a
// plane-wave kernel; the missing-input exit; the command-line options.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// Runs femtofit with `args` in `dir`: the exit status, standard output and standard error.
int RunFemtofit(const std::string& dir, const std::string& args, std::string* out,
                std::string* err) {
  const femtokit_test::ProgramRun run = femtokit_test::RunProgram(dir, "femtofit", args);
  *out = run.out;
  *err = run.err;
  return run.status;
}

class FemtofitRun : public ::testing::Test {
 protected:
  // root/work is the working directory; the kernel sits in root/kdata/pp.
  void SetUp() override {
    work = root / "work";
    const std::string pars = work + "/parameters/pp";
    std::filesystem::create_directories(pars);
    std::filesystem::create_directories(work + "/fakedata/GX1d");
    WriteTextFile(pars + "/aparsCH_source.dat",
                  "int LMAX 2\nint NRADIAL 60\ndouble RADSTEP 0.5\nbool IDENTICAL 1\n");
    WriteTextFile(pars + "/aparsCH_CF.dat",
                  "int LMAX 2\nint NRADIAL 30\ndouble RADSTEP 4.0\nbool IDENTICAL 1\n");
    WriteTextFile(pars + "/kparameters.dat",
                  "int NQMAX 30\nint NRMAX 60\nint KLMAX 2\ndouble DELQ 4.0\n"
                  "double DELR 0.5\nbool IDENTICAL 1\n");

    // The non-interacting identical-pair kernel, and the correlation function of a GX1D source
    // with lambdaG 0.6, R 5.5 fm through it, with errors 0.01.
    CAPTURE_STDOUT({
      CKernel kernel((pars + "/kparameters.dat").c_str());
      kernel.Calc_PureHBT();
      kernel.Write((root / "kdata/pp").c_str());
      CCHArray source((pars + "/aparsCH_source.dat").c_str());
      CCHArray cf((pars + "/aparsCH_CF.dat").c_str());
      CCHArray errors((pars + "/aparsCH_CF.dat").c_str());
      CSourceCalc_GX1D model;
      model.SetSPars(0.6, 5.5, 0.0, 10.0, 5.0);
      model.CalcS(&source);
      S2CF::s2c(&source, &kernel, &cf);
      cf.WriteAX((work + "/fakedata/GX1d/pp").c_str());
      for (int iq = 0; iq < 30; iq++) errors.SetElement(0, 0, 0, iq, 0.01);  // the fitted one
      errors.WriteAX((work + "/fakedata/GX1d/pp_errors").c_str());
    });
  }
  ScratchDir root;
  std::string work;
};

TEST_F(FemtofitRun, FitsTheAngleAveragedCorrelationFunction) {
  std::string out, err;
  ASSERT_EQ(RunFemtofit(work, "", &out, &err), 0) << out << err;
  EXPECT_EQ(err, "");

  // The source normalisation of the starting model, about lambdaG = 0.5.
  EXPECT_CLOSE(femtokit_test::PrintedValue(out, "normalization check = "), 0.5, 0.02) << out;

  // The final table, then the verdict close the output: lambdaG and R moved towards 0.6 and
  // 5.5 with errors; the fixed ones kept their values and, after Newton, have no error.
  const std::string fixed =
      " 2 :            X  1.0000e+01  0.0000e+00  1.0000e+00  2.5000e+01  1\n"
      " 3 :            a  5.0000e+00  0.0000e+00  1.0000e+00  2.0000e+01  1\n"
      " 4 :      lambdaX  0.0000e+00  0.0000e+00  0.0000e+00  1.5000e+00  1\n"
      "fit converged: chi^2/ndof = ";
  const size_t table_end = out.rfind(fixed);
  ASSERT_NE(table_end, std::string::npos) << out;
  EXPECT_EQ(out.find('\n', table_end + fixed.size()), out.size() - 1);
  EXPECT_NE(out.find("/28 = ", table_end), std::string::npos);  // 30 bins, 2 free parameters
  double value[2], error[2];
  const size_t row0 = out.rfind(" 0 :      lambdaG "), row1 = out.rfind(" 1 :            R ");
  ASSERT_TRUE(row0 != std::string::npos && row1 != std::string::npos);
  ASSERT_EQ(std::sscanf(out.c_str() + row0 + 18, "%lf %lf", &value[0], &error[0]), 2);
  ASSERT_EQ(std::sscanf(out.c_str() + row1 + 18, "%lf %lf", &value[1], &error[1]), 2);
  EXPECT_CLOSE_ABS(value[0], 0.6, 0.0, 0.01);
  EXPECT_CLOSE_ABS(value[1], 5.5, 0.0, 0.25);
  EXPECT_TRUE(error[0] > 0.0 && error[1] > 0.0);
}

// Hostile inputs end with a message naming the problem and status 1, a fit that cannot
// converge with its verdict and status 3, never with a result reported as success.
TEST_F(FemtofitRun, HostileInputsEndWithAMessageAndStatus) {
  const std::string cf = work + "/fakedata/GX1d/pp/lx0_ly0_lz0.tmp";
  const std::string errors = work + "/fakedata/GX1d/pp_errors/lx0_ly0_lz0.tmp";
  const std::string kfile = root / "kdata/pp/ell0_q0006.00.tmp";
  const std::string kpars = work + "/parameters/pp/kparameters.dat";
  auto replace_line = [](const std::string& path, int line, const std::string& text) {
    std::stringstream in(ReadTextFile(path));
    std::string out, l;
    for (int i = 0; std::getline(in, l); i++) out += (i == line ? text : l) + "\n";
    WriteTextFile(path, out);
  };
  struct Case {
    const char* name;
    std::function<void()> damage;
    const char* args;
    int status;
    const char* message;  // in standard output and error together
  };
  const Case cases[] = {
      {"nan in the data", [&] { replace_line(cf, 3, "nan"); }, "", 1,
       "lx0_ly0_lz0.tmp: value 3 is not a finite number"},
      {"error 0", [&] { replace_line(errors, 2, "0"); }, "", 1,
       "fit data: error 0 at bin 1 of component \\(0,0,0\\) must be a finite number above 0"},
      {"kernel cut in its last number",
       [&] {
         const std::string text = ReadTextFile(kfile);
         WriteTextFile(kfile, text.substr(0, text.size() - 4));
       },
       "", 1, "ell0_q0006.00.tmp: value 60 is cut at the end of the file"},
      {"parameter file is a directory",
       [&] {
         std::filesystem::remove(kpars);
         std::filesystem::create_directory(kpars);
       },
       "", 1, "parameter file parameters/pp/kparameters.dat is a directory"},
      {"huge array",
       [&] { replace_line(work + "/parameters/pp/aparsCH_CF.dat", 1, "int NRADIAL 2147483647"); },
       "", 1, "the array would hold .* values"},
      {"standard output on a full disk", [] {}, ">/dev/full", 1,
       "femtofit: error writing standard output: No space left on device"},
      {"data no model describes: all zero with tiny errors",
       [&] {
         for (int i = 1; i <= 30; i++) replace_line(cf, i, "0");
       },
       "", 3, "fit NOT converged: .*p-value"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(work);  // fresh inputs
    std::filesystem::remove_all(root / "kdata");
    SetUp();
    c.damage();
    std::string out, err;
    const int status = RunFemtofit(work, c.args, &out, &err);
    EXPECT_EQ(status, c.status) << c.name << "\n"
                                << out.substr(out.size() > 3000 ? out.size() - 3000 : 0) << err;
    EXPECT_TRUE(::testing::internal::RE::PartialMatch(out + err, c.message))
        << c.name << "\n"
        << out.substr(out.size() > 2000 ? out.size() - 2000 : 0) << err;
    EXPECT_EQ(status == 0, out.find("fit converged") != std::string::npos) << c.name;
  }
}

// Without inputs, and with options: no fit is run.
TEST(FemtofitTest, MissingInputAndCommandLineOptions) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "work");
  const std::string work = dir / "work";
  std::string out, err;
  EXPECT_EQ(RunFemtofit(work, "", &out, &err), 1);  // status 1, message on stdout
  EXPECT_EQ(out,
            "attempting to read non-existent parameter file parameters/pp/aparsCH_source.dat\n");

  EXPECT_EQ(RunFemtofit(work, "--version", &out, &err), 0);
  EXPECT_EQ(out, "femtofit (femtokit) 0.1.0\n");

  EXPECT_EQ(RunFemtofit(work, "--help", &out, &err), 0);
  EXPECT_NE(out.find("usage: femtofit [--help | --version]\n"), std::string::npos);
  for (const char* path : {"parameters/pp/aparsCH_source.dat", "../kdata/pp/"})
    EXPECT_NE(out.find(path), std::string::npos) << path;

  // Anything else: the usage on standard error, status 2, no run.
  for (const char* args : {"fit", "--help --version"}) {
    EXPECT_EQ(RunFemtofit(work, args, &out, &err), 2) << args;
    EXPECT_EQ(out, "") << args;
    EXPECT_EQ(err, "usage: femtofit [--help | --version]\n") << args;
  }
}

}  // namespace

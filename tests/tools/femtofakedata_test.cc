// femtofakedata, run as a program: the noise it adds to C(q) - 1 of the source model is of the
// stated size and reproducible from the seed, the errors hold that size, and bad options fail.
// It takes its source models from the library's list: any listed model computes data, and a
// model that reads its pairs or table from a file is refused without --source-pars.

#include <cmath>
#include <memory>
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

// A pure-HBT kernel of 40 q bins, a source of 40 r bins on its grid, an LMAX 2 symmetric
// correlation function, and a Gaussian source of lambdaG 0.7, R 3 fm.
class FemtoFakeData : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteTextFile(dir_ / "kpars.dat",
                  "int NQMAX 40\ndouble DELQ 5.0\nint NRMAX 40\ndouble DELR 0.5\nint KLMAX 2\n"
                  "bool IDENTICAL 1\n");
    WriteTextFile(dir_ / "src.dat",
                  "int LMAX 2\nint NRADIAL 40\ndouble RADSTEP 0.5\nbool IDENTICAL 1\n");
    WriteTextFile(dir_ / "cf.dat",
                  "int LMAX 2\nint NRADIAL 40\ndouble RADSTEP 5.0\nbool IDENTICAL 1\n");
    WriteTextFile(dir_ / "spars.dat", "double lambdaG 0.7\ndouble R 3.0\ndouble lambdaX 0.0\n");
    CAPTURE_STDOUT(CKernel kernel((dir_ / "kpars.dat").c_str()); kernel.Calc_PureHBT();
                   kernel.Write((dir_ / "kdata").c_str()));
  }

  // Runs femtofakedata with the options, the array and kernel files, and the output name.
  int Run(const std::string& options, const std::string& out, std::string* err = nullptr) {
    const femtokit_test::ProgramRun run = femtokit_test::RunProgram(
        dir_.str(), "femtofakedata", options + " src.dat cf.dat kpars.dat kdata " + out);
    if (err != nullptr) *err = run.err;
    return run.status;
  }

  // An array written by the program (or, for "", C(q) - 1 of the source computed here).
  std::unique_ptr<CCHArray> Read(const std::string& name) {
    std::unique_ptr<CCHArray> cf;
    CAPTURE_STDOUT({
      cf = std::make_unique<CCHArray>((dir_ / "cf.dat").c_str());
      if (!name.empty()) {
        cf->ReadAX((dir_ / name).c_str());
      } else {
        CCHArray source((dir_ / "src.dat").c_str());
        CKernel kernel((dir_ / "kpars.dat").c_str());
        kernel.Read((dir_ / "kdata").c_str());
        CSourceCalc_GX1D model;
        model.ReadSPars((dir_ / "spars.dat").c_str());
        model.CalcS(&source);
        S2CF::s2c(&source, &kernel, cf.get());
      }
    });
    return cf;
  }

  ScratchDir dir_;
};

// The same seed gives the same data, another seed other data.
TEST_F(FemtoFakeData, NoiseSeedErrorsAndBadOptions) {
  const char* runs[][2] = {{"7", "fake"}, {"7", "same"}, {"8", "other"}};  // seed, output
  for (const auto& r : runs)
    ASSERT_EQ(Run(std::string("--source-pars spars.dat --noise 0.01 --seed ") + r[0], r[1]), 0);
  const std::string a = ReadTextFile(dir_ / "fake/lx0_ly0_lz0.tmp");
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, ReadTextFile(dir_ / "same/lx0_ly0_lz0.tmp"));
  EXPECT_NE(a, ReadTextFile(dir_ / "other/lx0_ly0_lz0.tmp"));
  std::unique_ptr<CCHArray> theory = Read(""), data = Read("fake"), errors = Read("fake_errors");
  // The independent components of a symmetric LMAX 2 array: (0,0,0), (0,0,2), (0,2,0).
  const int comps[3][3] = {{0, 0, 0}, {0, 0, 2}, {0, 2, 0}};
  double sum = 0.0, sum2 = 0.0;
  int n = 0;
  for (const auto& l : comps) {
    for (int iq = 0; iq < 40; iq++, n++) {
      // Written with six significant digits.
      EXPECT_CLOSE(errors->GetElement(l[0], l[1], l[2], iq), 0.01, 1e-12);
      const double pull =
          (data->GetElement(l[0], l[1], l[2], iq) - theory->GetElement(l[0], l[1], l[2], iq)) /
          0.01;
      sum += pull;
      sum2 += pull * pull;
    }
  }
  // 120 unit-Gaussian pulls: mean within 4 standard errors of 0, variance within 35% of 1.
  EXPECT_NEAR(sum / n, 0.0, 4.0 / std::sqrt(n));
  EXPECT_NEAR(sum2 / n, 1.0, 0.35);
  // The signal is there: at small q, C - 1 of identical bosons approaches lambdaG.
  EXPECT_NEAR(data->GetElement(0, 0, 0, 0), 0.7, 0.05);
  // Bad options exit with status 2 and say why.
  std::string err;
  EXPECT_EQ(Run("--noise 0", "x", &err), 2);
  EXPECT_EQ(err.rfind("femtofakedata: --noise needs a positive number, not 0\n", 0), 0u) << err;
  EXPECT_EQ(Run("--model blob", "x", &err), 2);
  EXPECT_NE(err.find("femtofakedata: unknown source model blob\n"), std::string::npos) << err;
  EXPECT_EQ(Run("--model oscar", "x", &err), 2);
  EXPECT_NE(err.find("source model oscar reads a file named in its parameters; give them "
                     "with --source-pars"),
            std::string::npos)
      << err;
}

// Another listed model: the exponential source, whose C - 1 of identical bosons at q = 2.5 MeV/c
// and R = 1 fm is lambda within 0.1 % (the 0.5 fm radial bins and the noise leave a few per cent).
TEST_F(FemtoFakeData, AnyListedModel) {
  WriteTextFile(dir_ / "exp.dat", "double lambda 0.6\ndouble R 1.0\n");
  ASSERT_EQ(Run("--model exponential --source-pars exp.dat --noise 0.001", "out"), 0);
  EXPECT_NEAR(Read("out")->GetElement(0, 0, 0, 0), 0.6, 0.03);
}

}  // namespace

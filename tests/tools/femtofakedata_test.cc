// femtofakedata, run as a program: the noise it adds to C(q) - 1 of the source model is of the
// stated size and reproducible from the seed, the errors hold that size, and bad options fail.

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int RunFakeData(const ScratchDir& dir, const std::string& args, std::string* err = nullptr) {
  const std::string command = "cd '" + dir.str() + "' && '" + std::string(FEMTOKIT_BIN_DIR) +
                              "/femtofakedata' " + args + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  if (err != nullptr) *err = ReadFile(dir / "err.txt");
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

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
    CAPTURE_STDOUT({
      CKernel kernel((dir_ / "kpars.dat").c_str());
      kernel.Calc_PureHBT();
      kernel.Write((dir_ / "kdata").c_str());
    });
  }

  // C(q) - 1 of the same source computed here, without noise.
  std::unique_ptr<CCHArray> Theory() {
    std::unique_ptr<CCHArray> cf;
    CAPTURE_STDOUT({
      CCHArray source((dir_ / "src.dat").c_str());
      cf = std::make_unique<CCHArray>((dir_ / "cf.dat").c_str());
      CKernel kernel((dir_ / "kpars.dat").c_str());
      kernel.Read((dir_ / "kdata").c_str());
      CSourceCalc_GX1D model;
      model.ReadSPars((dir_ / "spars.dat").c_str());
      model.CalcS(&source);
      S2CF::s2c(&source, &kernel, cf.get());
    });
    return cf;
  }

  std::unique_ptr<CCHArray> ReadBack(const std::string& name) {
    std::unique_ptr<CCHArray> a;
    CAPTURE_STDOUT(a = std::make_unique<CCHArray>((dir_ / "cf.dat").c_str());
                   a->ReadAX((dir_ / name).c_str()));
    return a;
  }

  const std::string kArgs = " src.dat cf.dat kpars.dat kdata ";
  ScratchDir dir_;
};

TEST_F(FemtoFakeData, NoiseHasTheStatedSizeAndErrorsHoldIt) {
  ASSERT_EQ(RunFakeData(dir_, "--source-pars spars.dat --noise 0.01 --seed 7" + kArgs + "fake"), 0);
  std::unique_ptr<CCHArray> theory = Theory(), data = ReadBack("fake"),
                            errors = ReadBack("fake_errors");
  // The independent components of a symmetric LMAX 2 array: (0,0,0), (0,0,2), (0,2,0).
  const int comps[3][3] = {{0, 0, 0}, {0, 0, 2}, {0, 2, 0}};
  double sum = 0.0, sum2 = 0.0;
  int n = 0;
  for (const auto& l : comps) {
    for (int iq = 0; iq < 40; iq++) {
      // Written with six significant digits.
      EXPECT_CLOSE(errors->GetElement(l[0], l[1], l[2], iq), 0.01, 1e-12);
      const double pull =
          (data->GetElement(l[0], l[1], l[2], iq) - theory->GetElement(l[0], l[1], l[2], iq)) /
          0.01;
      sum += pull;
      sum2 += pull * pull;
      n++;
    }
  }
  // 120 unit-Gaussian pulls: mean within 4 standard errors of 0, variance within 35% of 1.
  EXPECT_NEAR(sum / n, 0.0, 4.0 / std::sqrt(n));
  EXPECT_NEAR(sum2 / n, 1.0, 0.35);
  // The signal is there: at small q, C - 1 of identical bosons approaches lambdaG.
  EXPECT_NEAR(data->GetElement(0, 0, 0, 0), 0.7, 0.05);
}

TEST_F(FemtoFakeData, SameSeedSameDataOtherSeedOtherData) {
  ASSERT_EQ(RunFakeData(dir_, "--source-pars spars.dat --seed 11" + kArgs + "a"), 0);
  ASSERT_EQ(RunFakeData(dir_, "--source-pars spars.dat --seed 11" + kArgs + "b"), 0);
  ASSERT_EQ(RunFakeData(dir_, "--source-pars spars.dat --seed 12" + kArgs + "c"), 0);
  const std::string a = ReadFile(dir_ / "a/lx0_ly0_lz0.tmp");
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, ReadFile(dir_ / "b/lx0_ly0_lz0.tmp"));
  EXPECT_NE(a, ReadFile(dir_ / "c/lx0_ly0_lz0.tmp"));
}

TEST_F(FemtoFakeData, BadArgumentsExitWithStatusOne) {
  std::string err;
  EXPECT_EQ(RunFakeData(dir_, "--noise 0" + kArgs + "x", &err), 1);
  EXPECT_EQ(err.rfind("femtofakedata: --noise needs a positive number, not 0\n", 0), 0u) << err;
  EXPECT_EQ(RunFakeData(dir_, "--model blob" + kArgs + "x", &err), 1);
  EXPECT_NE(err.find("unknown source model blob"), std::string::npos);
  EXPECT_EQ(RunFakeData(dir_, "src.dat cf.dat", &err), 1);
  EXPECT_NE(err.find("needs SOURCE_ARRAY_PARS"), std::string::npos);
}

}  // namespace

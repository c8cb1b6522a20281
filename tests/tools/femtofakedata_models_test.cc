// femtofakedata takes its source models from the library's list: any listed model computes
// data (here the exponential source, whose C - 1 of identical bosons starts at lambda), and a
// model that reads its pairs or table from a file is refused without --source-pars.

#include <memory>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel.h"

namespace {

using femtokit_test::ProgramRun;
using femtokit_test::RunProgram;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

TEST(FemtoFakeDataModels, AnyListedModelAndFileModelsNeedTheirParameters) {
  ScratchDir dir;
  WriteTextFile(dir / "kpars.dat",
                "int NQMAX 20\ndouble DELQ 5.0\nint NRMAX 40\ndouble DELR 0.5\nint KLMAX 0\n"
                "bool IDENTICAL 1\n");
  WriteTextFile(dir / "src.dat",
                "int LMAX 0\nint NRADIAL 40\ndouble RADSTEP 0.5\nbool IDENTICAL 1\n");
  WriteTextFile(dir / "cf.dat",
                "int LMAX 0\nint NRADIAL 20\ndouble RADSTEP 5.0\nbool IDENTICAL 1\n");
  WriteTextFile(dir / "exp.dat", "double lambda 0.6\ndouble R 1.0\n");
  CAPTURE_STDOUT(CKernel kernel((dir / "kpars.dat").c_str()); kernel.Calc_PureHBT();
                 kernel.Write((dir / "kdata").c_str()));
  const auto run = [&](const std::string& options) {
    return RunProgram(dir.str(), "femtofakedata",
                      options + " src.dat cf.dat kpars.dat kdata out");
  };

  const ProgramRun made = run("--model exponential --source-pars exp.dat --noise 0.001");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("source model exponential"), std::string::npos);
  CCHArray* cf = nullptr;
  CAPTURE_STDOUT(cf = new CCHArray((dir / "cf.dat").c_str()); cf->ReadAX((dir / "out").c_str()));
  const std::unique_ptr<CCHArray> owned(cf);
  // q = 2.5 MeV/c, R = 1 fm: C - 1 = lambda / (1 + (2 q R / hbar c)^2)^2 is lambda within 0.1 %;
  // the 0.5 fm radial bins and the noise leave a few per cent.
  EXPECT_NEAR(cf->GetElement(0, 0, 0, 0), 0.6, 0.03);

  const ProgramRun refused = run("--model oscar");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("source model oscar reads a file named in its parameters; give them "
                             "with --source-pars"),
            std::string::npos)
      << refused.err;
}

}  // namespace

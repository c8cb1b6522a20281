// femtooscargen and femtooscar, run as programs: a generated event file turned into a source
// directory that matches the source computed in this process, and their usage and input errors.

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

struct ProgramRun {
  int status;
  std::string out;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramRun RunProgram(const ScratchDir& dir, const std::string& name, const std::string& args) {
  const std::string command = "cd '" + dir.str() + "' && '" + std::string(FEMTOKIT_BIN_DIR) + "/" +
                              name + "' " + args + " >out.txt 2>&1";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt")};
}

double PrintedValue(const std::string& text, const std::string& prefix) {
  const size_t pos = text.find(prefix);
  if (pos == std::string::npos) return NAN;
  return atof(text.c_str() + pos + prefix.size());
}

TEST(FemtoOscarProgram, GeneratedEventsToSourceDirectory) {
  ScratchDir dir;
  WriteTextFile(dir / "pars.dat",
                // Relative path: parameter-file lines stop at 100 characters.
                std::string("string OSCARfilename events.oscar") +
                    "\nint NEVENTS 4\nint NA 150\ndouble Rout 3.0\ndouble Rside 4.0\n"
                    "double Rlong 5.0\nint SEED 5\nint LMAX 2\nint NRADIAL 40\n"
                    "double RADSTEP 1.5\nstring OUTPUTDIR src\nint SHORTLMAX 2\n");
  const ProgramRun gen = RunProgram(dir, "femtooscargen", "pars.dat");
  ASSERT_EQ(gen.status, 0) << gen.out;
  EXPECT_NE(gen.out.find("wrote 4 events to "), std::string::npos) << gen.out;
  const double gamma = std::sqrt(300.0 * 300.0 + 139.58 * 139.58) / 139.58;
  EXPECT_CLOSE(PrintedValue(gen.out, "expected effective radii: Rout="), 3.0 * gamma, 1e-5);

  const ProgramRun run = RunProgram(dir, "femtooscar", "pars.dat");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("OSCAR file read: 4 events, na=600, nb=600\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("finished 100 percent\n"), std::string::npos);
  EXPECT_NE(run.out.find("EFFECTIVE GAUSSIAN PARAMETERS"), std::string::npos);
  EXPECT_NE(run.out.find("source written to src (table src/short.dat)\n"), std::string::npos);

  // The written source is the one computed here from the same file and parameters.
  CCHArray expected(2, 40, 1.5), written(2, 40, 1.5);
  CSourceCalc_OSCAR calc;
  calc.ReadSPars((dir / "pars.dat").c_str());
  parameter::set(calc.spars, "OSCARfilename", dir / "events.oscar");
  CAPTURE_STDOUT(calc.CalcS(&expected));
  CAPTURE_STDOUT(written.ReadAllA((dir / "src").c_str()));
  for (int ir = 0; ir < 40; ++ir)
    for (int ly = 0; ly <= 2; ++ly)
      for (int lz = 0; lz <= 2 - ly; ++lz)
        EXPECT_CLOSE_ABS(written.GetElement(0, ly, lz, ir), expected.GetElement(0, ly, lz, ir),
                         1e-9, 1e-15);
  const std::string table = ReadFile(dir / "src/short.dat");
  EXPECT_EQ(table.rfind("!", 0), 0u);
  EXPECT_NE(table.find("(1,1,0)"), std::string::npos);
}

TEST(FemtoOscarProgram, UsageAndInputErrorsExitWithStatusOne) {
  ScratchDir dir;
  ProgramRun run = RunProgram(dir, "femtooscar", "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "usage: femtooscar <parameter file>\n");
  run = RunProgram(dir, "femtooscargen", "a b");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "usage: femtooscargen <parameter file>\n");

  WriteTextFile(dir / "pars.dat", "string OSCARfilename nowhere.oscar\nint LMAX 2\n");
  run = RunProgram(dir, "femtooscar", "pars.dat");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Opening nowhere.oscar\nCannot open OSCAR file nowhere.oscar\n"),
            std::string::npos)
      << run.out;

  WriteTextFile(dir / "pars.dat", "string OSCARfilename x.oscar\nint IDa 321\n");
  run = RunProgram(dir, "femtooscar", "pars.dat");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("321 for IDa not recognized\n"), std::string::npos) << run.out;
  WriteTextFile(dir / "pars.dat", "int NEVENTS 2\n");
  run = RunProgram(dir, "femtooscargen", "pars.dat");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "femtooscargen: OSCARfilename is not given\n");
}

}  // namespace

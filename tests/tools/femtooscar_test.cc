// femtooscargen and femtooscar, run as programs: a generated event file turned into a source
// directory that matches the source computed in this process, and their usage and input errors.

#include <cstdlib>
#include <string>
#include <utility>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;

// Runs the program `name` with `args` in `dir`, after writing `pars` (when given) to pars.dat:
// the exit status and everything printed.
std::pair<int, std::string> RunProgram(const ScratchDir& dir, const std::string& name,
                                       const std::string& args, const char* pars = nullptr) {
  if (pars != nullptr) femtokit_test::WriteTextFile(dir / "pars.dat", pars);
  const femtokit_test::ProgramRun run = femtokit_test::RunProgram(dir.str(), name, args);
  return {run.status, run.out + run.err};
}

TEST(FemtoOscarProgram, GeneratedEventsToSourceDirectory) {
  ScratchDir dir;
  // Relative path: parameter-file lines stop at 100 characters.
  const auto [gen_status, gen] =
      RunProgram(dir, "femtooscargen", "pars.dat",
                 "string OSCARfilename events.oscar\nint NEVENTS 4\nint NA 150\ndouble Rout 3.0\n"
                 "double Rside 4.0\ndouble Rlong 5.0\nint SEED 5\nint LMAX 2\nint NRADIAL 40\n"
                 "double RADSTEP 1.5\nstring OUTPUTDIR src\nint SHORTLMAX 2\n");
  ASSERT_EQ(gen_status, 0) << gen;
  // Rout: gamma Rout with gamma = 2.37055 at the pion's pt of 300 MeV/c.
  EXPECT_NE(gen.find("wrote 4 events to events.oscar\n"
                     "expected effective radii: Rout=7.11165, Rside=4, Rlong=5\n"),
            std::string::npos)
      << gen;
  const auto [status, out] = RunProgram(dir, "femtooscar", "pars.dat");
  ASSERT_EQ(status, 0) << out;
  for (const char* line :
       {"OSCAR file read: 4 events, na=600, nb=600\n", "finished 100 percent\n",
        "EFFECTIVE GAUSSIAN PARAMETERS", "source written to src (table src/short.dat)\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;

  // The written source is the one computed here from the same file and parameters.
  CCHArray expected(2, 40, 1.5), written(2, 40, 1.5);
  CSourceCalc_OSCAR calc;
  calc.ReadSPars((dir / "pars.dat").c_str());
  parameter::set(calc.spars, "OSCARfilename", dir / "events.oscar");
  CAPTURE_STDOUT(calc.CalcS(&expected), written.ReadAllA((dir / "src").c_str()));
  femtokit_test::ExpectSameStored(expected, written, 1e-9, 1e-15);
  const std::string table = ReadTextFile(dir / "src/short.dat");
  EXPECT_EQ(table.rfind("!", 0), 0u);
  EXPECT_NE(table.find("(1,1,0)"), std::string::npos);
}

// --help (status 0, with the keys), usage errors (status 2), an unknown particle code (femtooscar
// takes the masses from the codes), a missing event file name and generator options that describe
// no events (status 1), each with its text.
TEST(FemtoOscarProgram, HelpUsageAndInputErrors) {
  ScratchDir dir;
  const struct {
    const char *program, *args, *pars;
    int status;
    const char* message;
  } cases[] = {
      {"femtooscar", "--help", nullptr, 0, "  SHORTLMAX 4 "},
      {"femtooscargen", "-h", nullptr, 0, "  SigmaTau 0 "},
      {"femtooscar", "", nullptr, 2, "usage: femtooscar <parameter file>\n"},
      {"femtooscargen", "a b", nullptr, 2, "usage: femtooscargen <parameter file>\n"},
      {"femtooscar", "pars.dat", "string OSCARfilename x.oscar\nint IDa 12345\n", 1,
       "12345 for IDa not recognized\n"},
      {"femtooscar", "--help", nullptr, 0, "  TCOMMON 12 "},
      {"femtomerge", "out", nullptr, 2, "usage: femtomerge OUT IN...\n"},
      {"femtomerge", "out missing.txt", nullptr, 1, "Cannot open partial sums file missing.txt"},
      // The parameter file as its own event file: six lines of text, no layout.
      {"femtooscar", "pars.dat", "string OSCARfilename pars.dat\nint A 1\nint B 2\nint C 3\nint D 4\n"
       "int E 5\n", 1,
       "none of the layouts understood: legacy"},
      {"femtooscar", "pars.dat", "string OSCARfilename x\nint NJOBS 2\n", 1,
       "NJOBS 2 without PARTIALFILE"},
      {"femtooscargen", "pars.dat", "int NEVENTS 2\n", 1,
       "femtooscargen: OSCARfilename is not given\n"},
      // Generator options that describe no events, with the key named.
      {"femtooscargen", "pars.dat", "string OSCARfilename e\nint NEVENTS 0\n", 1,
       "NEVENTS = 0 is meaningless"},
      {"femtooscargen", "pars.dat", "string OSCARfilename e\nint NA -3\n", 1,
       "NA = -3 is meaningless"},
      {"femtooscargen", "pars.dat", "string OSCARfilename e\ndouble Rside -1\n", 1,
       "Rside = -1 is meaningless"},
      {"femtooscargen", "pars.dat", "string OSCARfilename e\ndouble GENDELPT 400\n", 1,
       "GENDELPT = 400 is meaningless (the pt window must stay above 0)"},
      {"femtooscargen", "pars.dat", "string OSCARfilename e\ndouble Ma 0\n", 1,
       "Ma = 0 is meaningless"},
      {"femtooscargen", "pars.dat", "string OSCARfilename e\nstring EVENTFORMAT OSCAR2014\n", 1,
       "EVENTFORMAT OSCAR2014 is not known"},
  };
  for (const auto& c : cases) {
    const auto [status, out] = RunProgram(dir, c.program, c.args, c.pars);
    EXPECT_EQ(status, c.status) << c.message;
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
  }
}

// Keys of a small same-event run on a SMASH binary file, and the source of one serial run.
const char kShareRun[] =
    "string OSCARfilename e.smash\nstring EVENTFORMAT SMASHbinary\nint NEVENTS 6\nint NA 120\n"
    "string PAIRING event\nint LMAX 2\nint NRADIAL 30\n";

void GenerateAndRunWhole(const ScratchDir& dir) {
  ASSERT_EQ(RunProgram(dir, "femtooscargen", "pars.dat", kShareRun).first, 0);
  const std::string pars = std::string(kShareRun) + "string OUTPUTDIR whole\n";
  ASSERT_EQ(RunProgram(dir, "femtooscar", "pars.dat", pars.c_str()).first, 0);
}

// The source directory `run` equals the serial one, "whole".
void ExpectSameAsWhole(const ScratchDir& dir, const std::string& run) {
  CCHArray whole(2, 30, 1.0), other(2, 30, 1.0);
  whole.ReadAllA((dir / "whole").c_str());
  other.ReadAllA((dir / run).c_str());
  ASSERT_GT(whole.GetElement(0, 0, 0, 5), 0.0);
  SCOPED_TRACE(run);
  femtokit_test::ExpectSameStored(whole, other, 1e-9, 1e-15);
}

// Batch jobs: two shares written by femtooscar and added by femtomerge give the source of one run.
TEST(FemtoOscarProgram, MergedSharesEqualOneRun) {
  ScratchDir dir;
  GenerateAndRunWhole(dir);
  for (int job = 0; job < 2; ++job) {
    const std::string pars = std::string(kShareRun) + "string PARTIALFILE part" +
                             std::to_string(job) + "\nint JOB " + std::to_string(job) +
                             "\nint NJOBS 2\n";
    const auto [status, out] = RunProgram(dir, "femtooscar", "pars.dat", pars.c_str());
    ASSERT_EQ(status, 0) << out;
  }
  const auto [status, out] = RunProgram(dir, "femtomerge", "merged part0 part1");
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("femtomerge: 2 partial files, 42840 pairs\n"), std::string::npos) << out;
  ExpectSameAsWhole(dir, "merged");
}

#ifdef FEMTOKIT_MPIEXEC
// Built with MPI: two ranks give the serial source.
TEST(FemtoOscarProgram, TwoMpiRanksEqualOneRun) {
  ScratchDir dir;
  GenerateAndRunWhole(dir);
  femtokit_test::WriteTextFile(dir / "pars.dat", std::string(kShareRun) + "string OUTPUTDIR mpi\n");
  const std::string command = "cd '" + dir.str() + "' && " + FEMTOKIT_MPIEXEC +
                              " -np 2 --allow-run-as-root --oversubscribe '" + FEMTOKIT_BIN_DIR +
                              "/femtooscar' pars.dat >mpi.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadTextFile(dir / "mpi.txt");
  ExpectSameAsWhole(dir, "mpi");
}
#endif

}  // namespace

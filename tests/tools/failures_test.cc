// Every program under hostile input and failing writes: each case ends with its status (1 for a
// failure, 2 for a usage error) and a message naming the problem, never with success reported
// after a failure. Writes fail through a file-size limit (SIGXFSZ ignored, so the write call
// itself fails) or a full device.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_util.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// Files sizes beyond 1 KiB fail to write.
const char kSmallFiles[] = "trap '' XFSZ; ulimit -f 1; ";

struct Case {
  const char* name;
  const char* limit;    // shell commands before the program ("" or kSmallFiles)
  const char* command;  // program and arguments (may redirect its standard output)
  int status;
  const char* message;  // regular expression for standard output and error together
};

// Runs one case in `dir`: "exit status N" is appended by the shell, outside any limit.
void ExpectCase(const ScratchDir& dir, const Case& c) {
  const std::string script = std::string(c.limit) + "'" + FEMTOKIT_BIN_DIR + "'/" + c.command +
                             "; echo \\\"exit status \\$?\\\"";
  const std::string command =
      "cd '" + dir.str() + "' && sh -c \"" + script + "\" 2>&1 | cat >run.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string out = femtokit_test::ReadTextFile(dir / "run.txt");
  const std::string tail = out.substr(out.size() > 1500 ? out.size() - 1500 : 0);
  EXPECT_NE(out.find("exit status " + std::to_string(c.status) + "\n"), std::string::npos)
      << c.name << "\n"
      << tail;
  EXPECT_TRUE(::testing::internal::RE::PartialMatch(out, c.message)) << c.name << "\n" << tail;
}

TEST(ProgramFailures, EachEndsWithItsStatusAndMessage) {
  ScratchDir dir;
  // A pure-HBT kernel of 200 r points per file (3.6 kB), and a 3D kernel grid of 7.6 kB per q.
  WriteTextFile(dir / "k.dat",
                "int NQMAX 3\ndouble DELQ 20.0\nint NRMAX 200\ndouble DELR 0.1\nint KLMAX 2\n"
                "bool IDENTICAL 1\n");
  WriteTextFile(dir / "k3d.dat",
                "int NQMAX 3\ndouble DELQ 20.0\nint NRMAX 20\nint NCTHETA 20\ndouble DELR 1.0\n"
                "bool IDENTICAL 1\n");
  WriteTextFile(dir / "kfine.dat", "int NQMAX 30\ndouble DELQ 0.005\n");
  WriteTextFile(dir / "khuge.dat", "int NQMAX 2000000\nint NRMAX 2000000\n");
  WriteTextFile(dir / "wf.dat", "int NQMAX 3\ndouble DELQ 20.0\ndouble EPSILON 4.0\n");
  WriteTextFile(dir / "src.dat",
                "int LMAX 2\nint NRADIAL 200\ndouble RADSTEP 0.1\nbool IDENTICAL 1\n");
  WriteTextFile(dir / "cf.dat",
                "int LMAX 2\nint NRADIAL 3\ndouble RADSTEP 20.0\nbool IDENTICAL 1\n");
  WriteTextFile(dir / "zero.dat", "double R 0\n");
  const Case cases[] = {
      {"kernel files beyond the size limit", kSmallFiles, "femtokernel purehbt k.dat kd", 1,
       "cannot write kd/ell0_q0010.00.tmp: File too large"},
      {"3D kernel beyond the size limit", kSmallFiles,
       "femtokernel --table 3d pp wf.dat k3d.dat kd3", 1,
       "cannot write .*kd3/q0010.00.tmp: File too large"},
      {"kernel output to a full disk", "", "femtokernel purehbt k.dat kd >/dev/full", 1,
       "femtokernel: error writing standard output: No space left on device"},
      {"kernel file names that collide", "", "femtokernel purehbt kfine.dat kd", 1,
       "the same kernel file name .*use DELQ of at least 0.02 MeV/c"},
      {"kernel table beyond memory", "", "femtokernel purehbt khuge.dat kd", 1,
       "kernel table would hold 1e\\+14 values"},
      {"charge product beyond an int", "", "femtokernel --q1q2 99999999999 classcoul k.dat kd", 2,
       "--q1q2 needs an integer from -10000 to 10000"},
      {"mass not a number", "", "femtokernel --ma nan classcoul k.dat kd", 2,
       "masses must be positive finite numbers, not nan"},
      {"a whole kernel for the next cases", "", "femtokernel purehbt k.dat kd", 0, "kernel"},
      {"fake data: source of zero width", "",
       "femtofakedata --source-pars zero.dat src.dat cf.dat k.dat kd out", 1,
       "CSourceCalc_GX1D: lengths R=0 and X=10 must be positive"},
      {"fake data: infinite noise", "", "femtofakedata --noise inf src.dat cf.dat k.dat kd out", 2,
       "--noise needs a positive number, not inf"},
      {"fake data: seed beyond an int", "",
       "femtofakedata --seed 99999999999 src.dat cf.dat k.dat kd out", 2,
       "--seed needs an integer from -2147483648 to 2147483647"},
      {"fake data to a full disk", "", "femtofakedata src.dat cf.dat k.dat kd out >/dev/full", 1,
       "femtofakedata: error writing standard output"},
      {"fatal message with standard output on a full disk", "",
       "femtofakedata src.dat cf.dat k.dat nokd out >/dev/full", 1,
       "cannot open kernel file nokd/ell0_q0010.00.tmp"},
      {"phase-shift tables beyond the size limit", kSmallFiles, "femtophaseshifts tables.cc", 1,
       "cannot write tables.cc: File too large"},
      {"phase-shift summary to a full disk", "", "femtophaseshifts tables.cc >/dev/full", 1,
       "femtophaseshifts: error writing standard output"},
  };
  for (const Case& c : cases) ExpectCase(dir, c);
  // The failed writes left no partial file behind.
  EXPECT_FALSE(std::filesystem::exists(dir / "kd3/q0010.00.tmp"));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

}  // namespace

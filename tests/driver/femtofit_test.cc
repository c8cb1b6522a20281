// End-to-end runs of the femtofit program: a working directory laid out as the
// program expects, with a plane-wave kernel written by the library and data
// made from a known GX1D source through that kernel; the missing-input exit;
// the command-line options.

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel/s2cf.h"
#include "source/sourcecalc.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

const std::string kFemtofit = std::string(FEMTOKIT_BIN_DIR) + "/femtofit";

// Runs femtofit with `args` in `dir`; returns the exit status, standard output
// in *out and standard error in *err.
int RunFemtofit(const std::string& dir, const std::string& args, std::string* out,
                std::string* err) {
  const std::string errfile = dir + "/../stderr.txt";
  const std::string cmd =
      "cd '" + dir + "' && '" + kFemtofit + "' " + args + " 2>'" + errfile + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return -1;
  out->clear();
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out->append(buf, n);
  const int status = pclose(pipe);
  std::ifstream in(errfile);
  std::stringstream ss;
  ss << in.rdbuf();
  *err = ss.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One row of a printed parameter table.
struct Row {
  std::string name;
  double value, error, xmin, xmax;
  int fixed;
};

// The five rows after the last occurrence of the table header in `out`.
std::vector<Row> LastTable(const std::string& out) {
  const std::string header =
      "ipar        name     value       error       min         max     fixed\n";
  std::vector<Row> rows;
  const size_t pos = out.rfind(header);
  if (pos == std::string::npos) return rows;
  std::istringstream in(out.substr(pos + header.size()));
  std::string line;
  while (rows.size() < 5 && std::getline(in, line)) {
    Row r;
    int i;
    char name[64];
    if (std::sscanf(line.c_str(), "%d : %63s %lf %lf %lf %lf %d", &i, name, &r.value, &r.error,
                    &r.xmin, &r.xmax, &r.fixed) != 7)
      break;
    r.name = name;
    rows.push_back(r);
  }
  return rows;
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

    // Kernel and data made by the library: the non-interacting identical-pair
    // kernel, and the correlation function of a GX1D source with lambdaG 0.6,
    // R 5.5 fm through it, with errors 0.01.
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
      for (int ly = 0; ly <= 2; ly += 2)
        for (int lz = 0; ly + lz <= 2; lz += 2)
          for (int iq = 0; iq < 30; iq++) errors.SetElement(0, ly, lz, iq, 0.01);
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

  // Construction messages, fixing order and the starting table.
  EXPECT_NE(out.find("SFit Arrays Initialized\n"
                     "Fixing par[4], name=lambdaX\n"
                     "Fixing par[3], name=a\n"
                     "Fixing par[2], name=X\n"
                     "Beginning Parameters : \n"
                     "ipar        name     value       error       min         max     fixed\n"
                     " 0 :      lambdaG  5.0000e-01  2.0000e-02  0.0000e+00  1.5000e+00  0\n"
                     " 1 :            R  6.0000e+00  2.0000e-01  1.0000e+00  1.2000e+01  0\n"
                     " 2 :            X  1.0000e+01  4.0000e-01  1.0000e+00  2.5000e+01  1\n"
                     " 3 :            a  5.0000e+00  2.0000e-01  1.0000e+00  2.0000e+01  1\n"
                     " 4 :      lambdaX  0.0000e+00  2.0000e-02  0.0000e+00  1.5000e+00  1\n"),
            std::string::npos)
      << out;

  // The source normalisation of the starting model, about lambdaG = 0.5.
  const size_t norm = out.find("normalization check = ");
  ASSERT_NE(norm, std::string::npos);
  EXPECT_CLOSE(std::atof(out.c_str() + norm + 22), 0.5, 0.02);
  EXPECT_LT(norm, out.find("SFit Arrays Initialized"));

  // Newton(6) stops after two iterations; every evaluation varies only lambdaG and R.
  size_t count = 0;
  for (size_t p = out.find("SUCCESS!!!!!!!!!!!\n"); p != std::string::npos;
       p = out.find("SUCCESS!!!!!!!!!!!\n", p + 1))
    count++;
  EXPECT_EQ(count, 2u);
  EXPECT_NE(out.find("In GetChiSquare, x[] = 0.5,6,10,5,0,\n"), std::string::npos);

  // The final table closes the output and has moved towards lambdaG 0.6, R 5.5.
  const std::vector<Row> rows = LastTable(out);
  ASSERT_EQ(rows.size(), 5u) << out;
  const size_t lastline = out.rfind('\n', out.size() - 2);
  EXPECT_EQ(out.compare(lastline + 1, 17, " 4 :      lambdaX"), 0) << out.substr(lastline + 1);
  EXPECT_EQ(rows[0].name, "lambdaG");
  EXPECT_EQ(rows[1].name, "R");
  EXPECT_LT(std::fabs(rows[0].value - 0.6), 0.1 * 0.1);
  EXPECT_LT(std::fabs(rows[1].value - 5.5), 0.5 * 0.5);
  EXPECT_GT(rows[0].error, 0.0);
  EXPECT_GT(rows[1].error, 0.0);
  // Fixed parameters keep their values and, after Newton, have no error.
  for (int i = 2; i < 5; i++) {
    EXPECT_EQ(rows[i].fixed, 1);
    EXPECT_EQ(rows[i].error, 0.0);
  }
  EXPECT_EQ(rows[2].value, 10.0);
  EXPECT_EQ(rows[3].value, 5.0);
  EXPECT_EQ(rows[4].value, 0.0);
}

TEST(FemtofitTest, MissingParameterFileEndsBeforeAnyOutput) {
  ScratchDir dir;
  std::string out, err;
  std::filesystem::create_directories(dir / "work");
  EXPECT_EQ(RunFemtofit(dir / "work", "", &out, &err), 1);
  EXPECT_EQ(out,
            "attempting to read non-existent parameter file parameters/pp/aparsCH_source.dat\n");
}

TEST(FemtofitTest, CommandLineOptions) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "work");
  const std::string work = dir / "work";
  std::string out, err;

  EXPECT_EQ(RunFemtofit(work, "--version", &out, &err), 0);
  EXPECT_EQ(out, "femtofit (femtokit) 0.1.0\n");

  EXPECT_EQ(RunFemtofit(work, "--help", &out, &err), 0);
  EXPECT_NE(out.find("usage: femtofit [--help | --version]\n"), std::string::npos);
  for (const char* path :
       {"parameters/pp/aparsCH_source.dat", "parameters/pp/aparsCH_CF.dat", "fakedata/GX1d/pp/",
        "fakedata/GX1d/pp_errors/", "parameters/pp/kparameters.dat", "../kdata/pp/"})
    EXPECT_NE(out.find(path), std::string::npos) << path;

  // Anything else: the usage on standard error, status 2, no run.
  for (const char* args : {"--bogus", "fit", "--help --version", "-h"}) {
    EXPECT_EQ(RunFemtofit(work, args, &out, &err), 2) << args;
    EXPECT_EQ(out, "") << args;
    EXPECT_EQ(err, "usage: femtofit [--help | --version]\n") << args;
  }
}

}  // namespace

// Kernel directories under faults: files cut inside their last number, values that are not
// finite, grids that cannot be stored, and rewrites that fail half way.

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel_test_util.h"

namespace {

using femtokit_test::ReadTextFile;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using kernel_test::MakeKernel;

// A kernel file whose text is damaged in one way is refused with a message naming the file.
TEST(KernelFilesDeathTest, DamagedFilesAreRefused) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 2, 4.0, 3, 0.5, 0, false);
  kernel_test::FillPattern(k.get());
  const std::string data = dir / "kdata", file = data + "/ell0_q0006.00.tmp";
  CAPTURE_STDOUT(k->Write(data.c_str()));
  const std::string whole = ReadTextFile(file);
  ASSERT_EQ(whole.back(), '\n');
  const std::pair<std::string, const char*> cases[] = {
      {whole.substr(0, whole.size() - 1), "value 3 is cut at the end of the file"},
      {whole.substr(0, whole.size() - 5), "value 3 is cut at the end of the file"},
      {"3 0.5\n1\n2\nnan\n", "value 3 is not a finite number"},
      {"3 0.5\n1\n1e999\n3\n", "value 2 is not a finite number"},
      {"3 0.5\n1\n2x\n3\n", "value 2 is not a number"},
      {"3 0.5", "has no header"}};
  for (const auto& [text, message] : cases) {
    WriteTextFile(file, text);
    EXPECT_FATAL(k->Read(data.c_str()), std::string("ell0_q0006.00.tmp.*") + message) << text;
  }
}

// Sizes and spacings are checked before anything is allocated; q points whose "%07.2f" file
// names coincide are refused with the spacing that is safe.
TEST(KernelFilesDeathTest, GridsThatCannotBeStoredAreRefused) {
  ScratchDir dir;
  const std::string pars = dir / "k.dat";
  const std::pair<const char*, const char*> cases[] = {
      {"int NQMAX 2147483647\n", "NQMAX = 2.1.* must be a whole number from 1 to 100000000"},
      {"int NQMAX 100000\nint NRMAX 100000\nint KLMAX 100\n", "would hold 1.01e\\+12 values"},
      {"int NQMAX 1000\nint NRMAX 1000\nint KLMAX 2147483647\n", "KLMAX = 2.1.* from 0 to 10000"},
      {"double DELQ inf\n", "double DELQ = inf is not a finite number"},
      {"double DELQ 1e300\n", "the largest q allowed"},
      {"double DELR 1e999\n", "double DELR = 1e999 is not a finite number"},
      {"double NQMAX 2.5\n", "NQMAX = 2.5 must be a whole number"},
      {"double DELQ 0.005\n", "the same kernel file name .*DELQ of at least 0.02 MeV/c"}};
  for (const auto& [text, message] : cases) {
    WriteTextFile(pars, text);
    EXPECT_FATAL(CKernel k(pars.c_str()), message) << text;
  }
}

// A rewrite that fails half way (a directory in the way of one file) or at its first file (the
// file-size limit reached) leaves a directory that the reader refuses, although every file in it
// is whole; a complete rewrite is read again. A
// manifest that disagrees with the files is refused too, and directories from before
// manifests existed are still read.
TEST(KernelFilesDeathTest, PartialRewriteIsRefused) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 40, 4.0, 50, 0.5, 2, false);
  kernel_test::FillPattern(k.get());
  const std::string data = dir / "kdata";
  CAPTURE_STDOUT(k->Write(data.c_str(), "test"));
  EXPECT_NE(ReadTextFile(data + "/kernel.manifest").find("string PAIR test"), std::string::npos);
  std::filesystem::remove(data + "/ell2_q0006.00.tmp");
  std::filesystem::create_directory(data + "/ell2_q0006.00.tmp");
  EXPECT_FATAL(k->Write(data.c_str()), "cannot rename .*ell2_q0006.00.tmp");
  EXPECT_FATAL(k->Read(data.c_str()), "kernel directory .*kdata holds an unfinished write");
  std::filesystem::remove(data + "/ell2_q0006.00.tmp");
  EXPECT_EXIT(
      {
        femtokit_test::StdoutToStderr();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 500;
        setrlimit(RLIMIT_FSIZE, &limit);
        k->Write(data.c_str());
      },
      ::testing::ExitedWithCode(1), "cannot write .*kdata/ell0_q0002.00.tmp: File too large");
  EXPECT_FATAL(k->Read(data.c_str()), "kernel directory .*kdata holds an unfinished write");
  CAPTURE_STDOUT(k->Write(data.c_str()));
  CAPTURE_STDOUT(k->Read(data.c_str()));
  EXPECT_CLOSE(k->GetValue(2, 39, 49), kernel_test::Pattern(2, 39, 49), 1e-10);
  for (const auto& entry : std::filesystem::directory_iterator(data))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();

  // The manifest of a shorter table: the q points beyond it are left over from another one.
  auto wider = MakeKernel(dir, 45, 4.0, 50, 0.5, 2, false);
  EXPECT_FATAL(wider->Read(data.c_str()), "holds q = .* q = 162 MeV/c is not in it");
  std::filesystem::remove(data + "/kernel.manifest");
  CAPTURE_STDOUT(k->Read(data.c_str()));
}

}  // namespace

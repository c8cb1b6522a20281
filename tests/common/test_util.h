#ifndef FEMTOKIT_TESTS_COMMON_TEST_UTIL_H
#define FEMTOKIT_TESTS_COMMON_TEST_UTIL_H

// Closeness helpers and named tolerances shared by all femtokit tests, plus a
// death-test helper for the library's fatal exits (message on standard output,
// exit status 1). Tests compare through these helpers, never by hand.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace femtokit_test {

// Named tolerances.
constexpr double kRoundoff = 1e-12;      // exact formulas evaluated in double
constexpr double kSixDigits = 5e-6;      // values that passed through "%g" text
constexpr double kQuadrature = 1e-6;     // fine numerical integrals

// |a - b| <= rel * max(|a|, |b|), with abs as a floor for values near zero.
inline ::testing::AssertionResult IsClose(double a, double b, double rel, double abs = 0.0) {
  const double diff = std::fabs(a - b);
  const double scale = std::fmax(std::fabs(a), std::fabs(b));
  if (diff <= rel * scale || diff <= abs) return ::testing::AssertionSuccess();
  char buf[256];
  std::snprintf(buf, sizeof buf, "%.17g vs %.17g: difference %.3g (rel %.3g, abs %.3g allowed)",
                a, b, diff, rel, abs);
  return ::testing::AssertionFailure() << buf;
}

// Both parts of a complex value, each within rel of |b| (a relative closeness of the value).
inline ::testing::AssertionResult IsCloseComplex(std::complex<double> a, std::complex<double> b,
                                                 double rel) {
  const double abs = rel * std::abs(b);
  ::testing::AssertionResult re = IsClose(a.real(), b.real(), rel, abs);
  if (!re) return re << " (real part)";
  ::testing::AssertionResult im = IsClose(a.imag(), b.imag(), rel, abs);
  if (!im) return im << " (imaginary part)";
  return ::testing::AssertionSuccess();
}

#define EXPECT_CLOSE(a, b, rel) EXPECT_TRUE(::femtokit_test::IsClose((a), (b), (rel)))
#define EXPECT_COMPLEX_CLOSE(a, b, rel) \
  EXPECT_TRUE(::femtokit_test::IsCloseComplex((a), (b), (rel)))
#define EXPECT_CLOSE_ABS(a, b, rel, abs) \
  EXPECT_TRUE(::femtokit_test::IsClose((a), (b), (rel), (abs)))

// Every element a Cartesian-harmonic array stores (each bin, each stored (lx, ly, lz)) is the same
// in b as in a, within rel with abs as a floor.
template <typename Array>
void ExpectSameStored(const Array& a, const Array& b, double rel, double abs) {
  const int lmax = a.GetLMAX();
  for (int ir = 0; ir < a.GetNRADIAL(); ++ir)
    for (int lx = 0; lx <= lmax; lx += a.dlx)
      for (int ly = 0; lx + ly <= lmax; ly += a.dly)
        for (int lz = 0; lx + ly + lz <= lmax; lz += a.dlz)
          EXPECT_CLOSE_ABS(b.GetElement(lx, ly, lz, ir), a.GetElement(lx, ly, lz, ir), rel, abs)
              << "l=(" << lx << "," << ly << "," << lz << ") ir=" << ir;
}

// The library prints fatal messages on standard output; death tests read the
// child's standard error, so the child sends its standard output there first.
inline void StdoutToStderr() {
  std::fflush(stdout);
  dup2(2, 1);
}

// Expects `statement` to end the process with status 1 after printing text
// that matches the regular expression `regex`.
#define EXPECT_FATAL(statement, regex)                                              \
  EXPECT_EXIT(                                                                      \
      {                                                                             \
        ::femtokit_test::StdoutToStderr();                                          \
        statement;                                                                  \
      },                                                                            \
      ::testing::ExitedWithCode(1), regex)

// Captures what the statement prints on standard output (printf or iostream).
// Variadic so that statements with top-level commas need no extra parentheses.
#define CAPTURE_STDOUT(...)                                                         \
  ([&]() {                                                                          \
    std::fflush(stdout);                                                            \
    ::testing::internal::CaptureStdout();                                           \
    __VA_ARGS__;                                                                    \
    std::fflush(stdout);                                                            \
    return ::testing::internal::GetCapturedStdout();                                \
  }())

// A fresh scratch directory for one test, removed when it goes out of scope; a tag tells apart
// several live at once in one test.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag = "") {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "femtokit_" + tag;
    if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes `text` to the file `path` (creating or truncating it).
inline void WriteTextFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

// A T built quietly from parameter-file text (the file name first, then `args`); what the
// construction prints goes to *out when given.
template <typename T, typename... Args>
std::unique_ptr<T> MakeFromPars(const std::string& pars, std::string* out = nullptr,
                                Args&&... args) {
  ScratchDir dir("pars_");
  WriteTextFile(dir / "pars.dat", pars);
  const std::string path = dir / "pars.dat";
  std::unique_ptr<T> made;
  const std::string text =
      CAPTURE_STDOUT(made = std::make_unique<T>(path.c_str(), std::forward<Args>(args)...));
  if (out != nullptr) *out = text;
  return made;
}

// The whole text of a file ("" when it cannot be opened).
inline std::string ReadTextFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// Number of (non-overlapping) occurrences of `what` in `text`.
inline int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) count++;
  return count;
}

// The number printed right after `prefix` in `text`, looking from the first `after` on when
// given (NaN when either is absent).
inline double PrintedValue(const std::string& text, const std::string& prefix,
                           const std::string& after = "") {
  const size_t from = text.find(after);
  const size_t pos = from == std::string::npos ? from : text.find(prefix, from);
  return pos == std::string::npos ? NAN : std::atof(text.c_str() + pos + prefix.size());
}

// The normalisation a source calculator's NormCheck prints for array `a` (the number after its
// "= ": the expansion and the grid forms word their lines differently).
template <typename Calc, typename Array>
double PrintedNorm(Calc* calc, Array* a) {
  return PrintedValue(CAPTURE_STDOUT(calc->NormCheck(a)), "= ");
}

#ifdef FEMTOKIT_BIN_DIR
// The exit status (-1 when killed by a signal) and what a program printed.
struct ProgramRun {
  int status;
  std::string out, err;
};

// Runs the built program `name` in `dir` with `args` (shell words; a redirection in them takes
// precedence over the capture into dir/out.txt and dir/err.txt) and the environment settings
// `env` ("NAME=value ...").
inline ProgramRun RunProgram(const std::string& dir, const std::string& name,
                             const std::string& args, const std::string& env = "") {
  const std::string command = "cd '" + dir + "' && " + env + " '" + FEMTOKIT_BIN_DIR + "/" + name +
                              "' >out.txt 2>err.txt " + args;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadTextFile(dir + "/out.txt"),
          ReadTextFile(dir + "/err.txt")};
}
#endif

}  // namespace femtokit_test

#endif  // FEMTOKIT_TESTS_COMMON_TEST_UTIL_H

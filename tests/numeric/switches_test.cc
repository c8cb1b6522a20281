// Tests of the process-wide switches an embedding program sets or meets: the
// fatal handler, the output verbosity and sink, the thread count, GSL's handler.

#include <gsl/gsl_errno.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "numeric/output.h"
#include "numeric/threads.h"

namespace {

struct FatalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void Throwing(const std::string& message) { throw FatalError(message); }

TEST(FatalHandler, ThrowsTheFormattedMessageAndRestores) {
  const femtokit::FatalHandler previous = femtokit::SetFatalHandler(&Throwing);
  try {
    femtokit::Fatal("bad value %d in %s\n", 7, "file.dat");
    FAIL() << "Fatal returned";
  } catch (const FatalError& e) {
    EXPECT_EQ(std::string(e.what()), "bad value 7 in file.dat\n");
  }
  EXPECT_EQ(femtokit::SetFatalHandler(previous), &Throwing);
  // Without a handler the default prints and exits with status 1.
  EXPECT_FATAL(femtokit::Fatal("plain %s\n", "exit"), "^plain exit\n$");
}

// ParallelFor visits every index once whatever the thread count, and a Fatal in one iteration
// under a throwing handler reaches the caller after the loop instead of terminating the process.
TEST(ParallelFor, EveryIndexOnceAndFatalRethrown) {
  for (int threads : {1, 2}) {
    femtokit::SetThreadCount(threads);
    std::vector<int> visits(100, 0);
    femtokit::ParallelFor(100, [&](int i) { visits[i]++; });
    EXPECT_EQ(visits, std::vector<int>(100, 1)) << threads;
    const femtokit::FatalHandler previous = femtokit::SetFatalHandler(&Throwing);
    EXPECT_THROW(femtokit::ParallelFor(100,
                                       [](int i) {
                                         if (i == 37) femtokit::Fatal("bad bin %d\n", i);
                                       }),
                 FatalError)
        << threads;
    femtokit::SetFatalHandler(previous);
  }
  // A forked child (a death test forks) of a process whose thread pool exists runs the loop on
  // one thread instead of waiting for the parent's workers.
  femtokit::SetThreadCount(0);
  EXPECT_EXIT(
      {
        std::vector<int> visits(100, 0);
        femtokit::ParallelFor(100, [&](int i) { visits[i]++; });
        std::exit(femtokit::ThreadCount() == 1 && visits == std::vector<int>(100, 1) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

std::vector<std::string> g_seen;
void Collect(femtokit::Verbosity, const std::string& message) { g_seen.push_back(message); }

TEST(Output, VerbosityFiltersAndSinkReceives) {
  const femtokit::Verbosity level = femtokit::GetVerbosity();
  const femtokit::OutputSink previous = femtokit::SetOutputSink(&Collect);
  g_seen.clear();
  femtokit::SetVerbosity(femtokit::Verbosity::kWarning);
  femtokit::Progress("row %d\n", 1);
  femtokit::Warn("careful %g\n", 0.5);
  femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
  femtokit::Warn("dropped\n");
  femtokit::SetVerbosity(level);
  femtokit::SetOutputSink(previous);
  EXPECT_EQ(g_seen, std::vector<std::string>{"careful 0.5\n"});
}

TEST(Threads, OverrideThenEnvironment) {
  femtokit::SetThreadCount(3);
  EXPECT_EQ(femtokit::ThreadCount(), 3);
  femtokit::SetThreadCount(0);
  setenv("FEMTOKIT_THREADS", "2", 1);
  setenv("OMP_NUM_THREADS", "5", 1);
  EXPECT_EQ(femtokit::ThreadCount(), 2);
  setenv("FEMTOKIT_THREADS", "zero", 1);  // not a count: the next source decides
  EXPECT_EQ(femtokit::ThreadCount(), 5);
  unsetenv("FEMTOKIT_THREADS");
  unsetenv("OMP_NUM_THREADS");
  EXPECT_GE(femtokit::ThreadCount(), 1);
}

}  // namespace

// GSL's handler is switched off at the library's first GSL use, not before, and a handler the
// host installed stays. Run in a re-executed child so that no earlier GSL use has happened.
void HostHandler(const char*, const char*, int, int) { std::_Exit(3); }

TEST(GSLBoundaryDeathTest, DefaultAbortOffHostHandlerKept) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        femtokit::PrepareGSL();
        gsl_error("provoked", __FILE__, __LINE__, GSL_EDOM);  // would abort by default
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        gsl_set_error_handler(&HostHandler);
        femtokit::PrepareGSL();
        gsl_error("provoked", __FILE__, __LINE__, GSL_EDOM);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(3), "");
}

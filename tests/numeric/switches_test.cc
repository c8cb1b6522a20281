// Tests of the process-wide switches an embedding program sets: the fatal
// handler, the output verbosity and sink, and the thread count.

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "numeric/fatal.h"
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

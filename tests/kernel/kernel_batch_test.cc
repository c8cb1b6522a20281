// Kernels from wave functions through the all-angles-at-once path: the batched |psi|^2 against
// the scalar one, and the same tables at one and at two threads (the kernel values themselves are
// pinned in kernel_test.cc).

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "kernel/kernel.h"
#include "kernel_test_util.h"
#include "numeric/fatal.h"
#include "numeric/threads.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pp.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

// Kernel grid 4 q x 12 r (10 MeV/c, 5 fm: out to 60 fm, beyond the 30 fm Coulomb tables) on a
// wave-function grid of 8 MeV/c (the kernel's q points are interpolated). pp: EPSILON 4 fm,
// identical; pi+ pi-: EPSILON 3 fm, every ell.
const char kPPWF[] = "int NQMAX 6\ndouble DELQ 8.0\ndouble EPSILON 4.0\n";
const char kPiPiWF[] = "int NQMAX 6\ndouble DELQ 8.0\ndouble EPSILON 3.0\n";

struct Built {
  std::unique_ptr<CWaveFunction> wf;
  std::unique_ptr<CKernel> kernel;
};

Built Build(const std::string& pair, int threads) {
  ScratchDir dir;
  const bool pp = pair == "pp";
  WriteTextFile(dir / "wf.dat", pp ? kPPWF : kPiPiWF);
  Built b;
  b.kernel = kernel_test::MakeKernel(dir, 4, 10.0, 12, 5.0, 4, pp);
  femtokit::SetThreadCount(threads);
  CAPTURE_STDOUT(
      if (pp) b.wf = std::make_unique<CWaveFunction_pp>((dir / "wf.dat").c_str());
      else b.wf = std::make_unique<CWaveFunction_pipluspiminus>((dir / "wf.dat").c_str());
      b.kernel->Calc(b.wf.get()));
  femtokit::SetThreadCount(0);
  return b;
}

// One kernel per pair at one thread, built once per test suite and released after it (the
// kernel prints when deleted: nothing of it may be left for a later death test's exit).
class KernelBatch : public testing::Test {
 public:
  static void SetUpTestSuite() {
    pp_ = std::make_unique<Built>(Build("pp", 1));
    pipi_ = std::make_unique<Built>(Build("pipi", 1));
  }
  static void TearDownTestSuite() {
    CAPTURE_STDOUT(pp_.reset(); pipi_.reset());
  }
  static const Built& Cached(const std::string& pair) { return pair == "pp" ? *pp_ : *pipi_; }

 private:
  static std::unique_ptr<Built> pp_, pipi_;
};
std::unique_ptr<Built> KernelBatch::pp_, KernelBatch::pipi_;

// The q rows are independent: two threads give bit for bit the one-thread tables.
TEST_F(KernelBatch, TwoThreadsGiveTheOneThreadTables) {
  for (const std::string pair : {"pp", "pipi"}) {
    Built two = Build(pair, 2);
    const CKernel& one = *Cached(pair).kernel;
    for (int ell = 0; ell <= 4; ell++) {
      if (one.kernel[ell] == nullptr) continue;
      for (int iq = 0; iq < 4; iq++)
        for (int ir = 0; ir < 12; ir++)
          ASSERT_EQ(two.kernel->kernel[ell][iq][ir], one.kernel[ell][iq][ir])
              << pair << " ell " << ell << " iq " << iq << " ir " << ir;
    }
    CAPTURE_STDOUT(two.kernel.reset());
  }
}

// The batched |psi|^2 equals the scalar one for a symmetric list (one plane wave serves +c and
// -c), an asymmetric one and a single angle, inside epsilon, outside, and beyond the 30 fm
// tables; the interpolation in q (between grid points, on one, beyond the grid) follows.
TEST_F(KernelBatch, PsiSquaredAnglesEqualsTheScalarFormForEveryListShape) {
  const std::vector<double> symmetric = {-0.95, -0.3, -0.0625, 0.0625, 0.3, 0.95};
  const std::vector<double> asymmetric = {-1.0, -0.7, 0.0, 0.2, 0.85, 1.0};
  const std::vector<double> single = {0.4};
  for (const std::string pair : {"pp", "pipi"}) {
    CWaveFunction* wf = Cached(pair).wf.get();
    for (const std::vector<double>* list : {&symmetric, &asymmetric, &single})
      for (double r : {0.7, 2.5, 6.0, 45.0}) {
        const int n = static_cast<int>(list->size());
        std::vector<double> out(n);
        for (int iq : {0, 3}) {
          wf->CalcPsiSquaredAngles(iq, r, list->data(), n, out.data());
          for (int i = 0; i < n; i++)
            EXPECT_CLOSE(out[i], wf->CalcPsiSquared(iq, r, (*list)[i]), 1e-13)
                << pair << " iq " << iq << " r " << r << " c " << (*list)[i];
        }
        for (double q : {13.0, 20.0, 500.0}) {
          wf->GetPsiSquaredAngles(q, r, list->data(), n, out.data());
          for (int i = 0; i < n; i++)
            EXPECT_CLOSE(out[i], wf->GetPsiSquared(q, r, (*list)[i]), 1e-13)
                << pair << " q " << q << " r " << r << " c " << (*list)[i];
        }
      }
  }
}

// A wave function that fails (Fatal) at one q row.
class FailingWF : public kernel_test::FreeBosonWF {
 public:
  FailingWF() : FreeBosonWF(6, 10.0) {}
  double CalcPsiSquared(int iq, double r, double ctheta) override {
    if (iq == 4) femtokit::Fatal("row %d fails\n", iq);
    return FreeBosonWF::CalcPsiSquared(iq, r, ctheta);
  }
};

[[noreturn]] void Throwing(const std::string& message) { throw std::runtime_error(message); }

// With a throwing handler (the Python layer's) a failure inside a threaded kernel reaches the
// caller as the exception, not as a terminated process.
TEST(KernelThreads, FatalInARowReachesTheCallerAsItsException) {
  ScratchDir dir;
  auto kernel = kernel_test::MakeKernel(dir, 6, 10.0, 3, 1.0, 2, false);
  FailingWF wf;
  const femtokit::FatalHandler previous = femtokit::SetFatalHandler(&Throwing);
  for (int threads : {1, 2}) {
    femtokit::SetThreadCount(threads);
    try {
      kernel->Calc(&wf);
      ADD_FAILURE() << "no exception at " << threads << " threads";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "row 4 fails\n");
    }
  }
  femtokit::SetThreadCount(0);
  femtokit::SetFatalHandler(previous);
  CAPTURE_STDOUT(kernel.reset());
}

}  // namespace

// Three-dimensional kernel: parameters, lookups and interpolation, the table from a wave
// function, and the directory format.

#include "kernel/kernelwf.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_util.h"
#include "kernel_test_util.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using kernel_test::MakeKernelWF;

// A table linear in q, r and cos theta: every interpolation of it is exact, inside the grid
// and in the linear extrapolation below the first centres.
double Linear(double q, double r, double c) { return 0.01 * q - 0.03 * r + 0.2 * c + 0.1; }

void FillLinear(CKernelWF* k) {
  for (int iq = 0; iq < k->nqmax; iq++)
    for (int ir = 0; ir < k->nrmax; ir++)
      for (int ic = 0; ic <= k->nctheta; ic++)
        k->kernel[iq][ir][ic] =
            Linear((iq + 0.5) * k->delq, (ir + 0.5) * k->delr, 1.0 - ic * k->delctheta);
}

TEST(KernelWF, InterpolationEndColumnsAndOutOfRange) {
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 6, 4.0, 10, 0.5, 8, false);
  FillLinear(k.get());
  for (double q : {1.0, 9.99, 21.5})  // 1.0 and r = 0.1 lie below the first centres
    for (double r : {0.1, 1.3, 4.7})
      for (double c : {1.0, 0.33, -0.77, -1.0})
        EXPECT_CLOSE_ABS(k->GetPsiSquared(q, r, c), 1.0 + Linear(q, r, c), 1e-12, 1e-12);
  // A cosine rounded just outside [-1, 1] stays on the end columns.
  EXPECT_CLOSE(k->GetPsiSquared(1, 2, -1.0 - 1e-15), 1.0 + k->kernel[1][2][8], kRoundoff);
  // Past the last r centre (4.75) the missing neighbour counts as |psi|^2 = 1.
  EXPECT_CLOSE(k->GetPsiSquared(2, 5.0, 0.5), 1.0 + 0.5 * Linear(10.0, 4.75, 0.5), kRoundoff);
  for (double v : {k->GetPsiSquared(6, 0, 0), k->GetPsiSquared(0, 10, 0), k->GetPsiSquared(0, 0, 9),
                   k->GetPsiSquared(500.0, 1.0, 0.5)})
    EXPECT_EQ(v, 1.0);

  auto id = MakeKernelWF(dir, 2, 4.0, 3, 1.0, 5, true);
  FillLinear(id.get());
  for (double c : {1.0, 0.73, 0.0})
    EXPECT_EQ(id->GetPsiSquared(1, 1, c), id->GetPsiSquared(1, 1, -c));
  EXPECT_EQ(id->GetPsiSquared(1, 1, 0.0), 1.0 + id->kernel[1][1][5]);  // the table ends at c = 0
}

TEST(KernelWF, CalcFromAWaveFunction) {
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 4, 10.0, 6, 0.5, 10, true);
  kernel_test::FreeBosonWF wf(4, 10.0);
  k->Calc(&wf);
  for (int iq = 0; iq < 4; iq++)
    for (int ir = 0; ir < 6; ir++)
      for (int ic = 0; ic <= 10; ic += 5)
        EXPECT_CLOSE_ABS(k->kernel[iq][ir][ic],
                         cos(2.0 * (iq + 0.5) * 10.0 * (ir + 0.5) * 0.5 * (1.0 - 0.1 * ic) /
                             kernel_test::kHbarC),
                         1e-12, 1e-12);
  // A negative |psi|^2 is stored inside 1 fm and fatal beyond it.
  struct Negative : kernel_test::FreeBosonWF {
    using FreeBosonWF::FreeBosonWF;
    double CalcPsiSquared(int, double r, double) override { return r < 1.2 ? -0.5 : -0.25; }
  } bad(4, 10.0);
  EXPECT_FATAL(k->Calc(&bad), "^screwy, psi\\^2=-0.25, r=1.25, q=5, ctheta=1\n$");
  k->nrmax = 2;  // r = 0.25, 0.75 only
  k->Calc(&bad);
  EXPECT_EQ(k->kernel[0][1][3], -1.5);
  k->nrmax = 6;
}

TEST(KernelWF, FilesRoundTripAndRefusals) {
  ScratchDir dir;
  auto k = MakeKernelWF(dir, 3, 2.0, 4, 0.5, 3, false);
  FillLinear(k.get());
  const std::string data = dir / "sub/kdata";  // created by Write
  k->Write(data.c_str());
  std::stringstream text;
  text << std::ifstream(data + "/q0001.00.tmp").rdbuf();
  EXPECT_EQ(text.str().substr(0, 77),
            "4 3\n 3.0250000000e-01  1.6916666667e-01  3.5833333333e-02 -9.7500000000e-02 \n");
  auto back = MakeKernelWF(dir, 3, 2.0, 4, 0.5, 3, false);
  back->Read(data.c_str());
  EXPECT_CLOSE(back->kernel[2][3][1], k->kernel[2][3][1], 1e-10);

  auto other = MakeKernelWF(dir, 3, 2.0, 5, 0.5, 3, false);
  EXPECT_FATAL(other->Read(data.c_str()),
               "^CKernelWF : trying to read file with wrong dimensions\n"
               "nrmaxread=4, nrmax=5, ncthetaread=3, nctheta=3\n$");
  auto more = MakeKernelWF(dir, 4, 2.0, 4, 0.5, 3, false);  // wants q0007.00.tmp too
  EXPECT_FATAL(more->Read(data.c_str()), "^CKernelWF : cannot read file .*/q0007.00.tmp\n$");
  WriteTextFile(data + "/q0003.00.tmp", "4 3\n1 2 3\n");
  EXPECT_FATAL(k->Read(data.c_str()), "^CKernelWF : file .*/q0003.00.tmp is too short\n$");
}

}  // namespace

// The angular kernel: parameters and storage, files, lookups, |psi|^2 rebuilt
// from the projections, and the analytic kernels.

#include "kernel/kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/test_util.h"
#include "kernel_test_util.h"
#include "numeric/threads.h"
#include "wavefunctions/pairs.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using kernel_test::MakeKernel;
using kernel_test::Pattern;

using kernel_test::kHbarC;

TEST(KernelParameters, StorageByIdenticalAndBadSizes) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 2.5, 4, 0.25, 3, true);
  EXPECT_TRUE(k->kernel[0] && !k->kernel[1] && k->kernel[2] && !k->kernel[3]);
  EXPECT_EQ(k->kernel[2][2][3], 0.0);
  auto nonident = MakeKernel(dir, 3, 2.5, 4, 0.25, 3, false);
  EXPECT_NE(nonident->kernel[3], nullptr);
  const std::string bad = kernel_test::WriteKernelPars(dir, 0, 4.0, 10, 0.5, 2, false);
  EXPECT_FATAL(CKernel k0(bad.c_str()),
               "CKernel: .*kparameters.dat must give NQMAX >= 1, NRMAX >= 1, KLMAX >= 0, "
               "DELQ > 0 and DELR > 0\n$");
}

TEST(KernelFiles, WriteThenReadRoundTripsAndNamesFilesByQ) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 3, true);
  kernel_test::FillPattern(k.get());
  const std::string data = dir / "sub/kdata";  // created by Write
  CAPTURE_STDOUT(k->Write(data.c_str()));  // q = 2, 6, 10 MeV/c as 0002.00, even ell only
  std::ifstream file(data + "/ell2_q0006.00.tmp");
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str().substr(0, 24), "6 0.5\n 1.2821396407e-02\n");  // "%17.10e" of Pattern(2,1,0)

  auto back = MakeKernel(dir, 3, 4.0, 6, 0.5, 3, true);
  back->Read(data.c_str());
  for (int ell = 0; ell <= 2; ell += 2)
    for (int iq = 0; iq < 3; iq++)
      for (int ir = 0; ir < 6; ir++)
        EXPECT_CLOSE(back->GetValue(ell, iq, ir), Pattern(ell, iq, ir), 1e-10);
  // Fewer r points: the longer files are read in part.
  auto shorter = MakeKernel(dir, 3, 4.0, 4, 0.5, 2, true);
  shorter->Read(data.c_str());
  EXPECT_CLOSE(shorter->GetValue(2, 2, 3), Pattern(2, 2, 3), 1e-10);
  // "%g" would write a spacing of 1/3 fm as 0.333333, which Read (tolerance
  // 1e-8) rejects: the header carries enough digits instead.
  k->delr = back->delr = 1.0 / 3.0;
  CAPTURE_STDOUT(k->Write((dir / "third").c_str()));
  back->Read((dir / "third").c_str());
  EXPECT_CLOSE(back->GetValue(2, 1, 2), Pattern(2, 1, 2), 1e-10);
}

TEST(KernelFiles, BadDirectoriesAreFatalAndNameTheFile) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 2, 4.0, 5, 0.5, 0, false);
  const std::string data = dir / "kdata", file = data + "/ell0_q0006.00.tmp";
  CAPTURE_STDOUT(k->Write(data.c_str()));
  std::filesystem::remove(file);
  EXPECT_FATAL(k->Read(data.c_str()),
               "^CKernel::Read: cannot open kernel file .*/kdata/ell0_q0006.00.tmp\n$");
  const char* cases[][2] = {
      {"5 0.5\n1.0\n2.0\n",
       "^CKernel::Read: kernel file .*/ell0_q0006.00.tmp ends after 2 of 5 values\n$"},
      {"5 0.50001\n1\n2\n3\n4\n5\n", "^Inconsistent values for nrmax or delr in data files!\n$"}};
  for (const auto& c : cases) {
    WriteTextFile(file, c[0]);
    EXPECT_FATAL(k->Read(data.c_str()), c[1]);
  }
  WriteTextFile(dir / "plainfile", "x\n");  // a regular file in the way
  EXPECT_FATAL(k->Write((dir / "plainfile/kdata").c_str()),
               "^CKernel::Write: cannot create directory .*/plainfile/kdata\n$");
}

TEST(KernelGetValue, IndicesBilinearInQAndRFlatAtTheEdgesZeroBeyond) {
  ScratchDir dir;
  auto id = MakeKernel(dir, 3, 4.0, 4, 0.5, 2, true);
  kernel_test::FillPattern(id.get());
  EXPECT_EQ(id->GetValue(2, 1, 3), Pattern(2, 1, 3));
  // Outside the grid, odd ell of identical particles, above LMAX: 0.
  for (double v : {id->GetValue(2, 3, 0), id->GetValue(2, 0, 4), id->GetValue(0, -1, 0),
                   id->GetValue(1, 0, 0), id->GetValue(1, 2.0, 0.25), id->GetValue(4, 0, 0)})
    EXPECT_EQ(v, 0.0);
  const double dq = 4.0, dr = 0.5;
  auto k = MakeKernel(dir, 5, dq, 6, dr, 1, false);
  auto linear = [&](double q, double r) { return 0.3 + 0.02 * q - 0.1 * r; };
  for (int iq = 0; iq < 5; iq++)
    for (int ir = 0; ir < 6; ir++) k->kernel[0][iq][ir] = linear((iq + 0.5) * dq, (ir + 0.5) * dr);
  // Between points.
  EXPECT_CLOSE(k->GetValue(0, 7.3, 1.1), linear(7.3, 1.1), kRoundoff);
  // Below the first centre of each axis: the first value of that axis; from the last centre to
  // the edge (and at it) the last value; just beyond either range, 0.
  EXPECT_CLOSE(k->GetValue(0, 1.0, 1.25), k->kernel[0][0][2], kRoundoff);
  EXPECT_CLOSE(k->GetValue(0, 6.0, 0.1), k->kernel[0][1][0], kRoundoff);
  EXPECT_CLOSE(k->GetValue(0, 20.0, 3.0), k->kernel[0][4][5], kRoundoff);
  EXPECT_EQ(k->GetValue(0, 20.0001, 1.0) + k->GetValue(0, 6.0, 3.0001), 0.0);
}

TEST(KernelPsiSquared, TruncationAfterFiveSmallTerms) {
  // Five consecutive terms below 1e-4 end the sum; a larger one resets the count.
  ScratchDir dir;
  auto k = MakeKernel(dir, 1, 4.0, 1, 0.5, 12, false);
  k->kernel[0][0][0] = 0.5;
  for (int ell = 1; ell <= 10; ell++) k->kernel[ell][0][0] = 1e-6;
  k->kernel[5][0][0] = 0.01;   // fifth term large: counting restarts
  k->kernel[11][0][0] = 0.02;  // after five small terms: never reached
  double expected = 1.0 + 0.5 + 11 * 0.01;
  for (int ell = 1; ell <= 10; ell++) expected += ell == 5 ? 0.0 : (2 * ell + 1) * 1e-6;
  EXPECT_CLOSE(k->GetPsiSquared(0, 0, 1.0), expected, kRoundoff);
}

TEST(KernelPsiSquared, InterpolationInRAndQ) {
  // Linear in r between points (extrapolated below the first), 1.0 standing in
  // beyond the last; linear in q between and beyond the q points.
  ScratchDir dir;
  const double dq = 4.0, dr = 0.5;
  auto k = MakeKernel(dir, 3, dq, 4, dr, 0, false);
  EXPECT_EQ(k->GetPsiSquared(1.7, 0.9, -0.4), 1.0);  // all-zero table: no correlation
  auto k0 = [&](double q, double r) { return 0.1 * q - 0.2 * r; };
  for (int iq = 0; iq < 3; iq++)
    for (int ir = 0; ir < 4; ir++) k->kernel[0][iq][ir] = k0((iq + 0.5) * dq, (ir + 0.5) * dr);
  EXPECT_CLOSE(k->GetPsiSquared(1, 0.1, 0.2), 1.0 + k0(6.0, 0.1), kRoundoff);
  // Between the last point (r = 1.75) and the missing next one (1.0 + 0).
  EXPECT_CLOSE(k->GetPsiSquared(1, 2.0, 0.2), 0.5 * (1.0 + k0(6.0, 1.75)) + 0.5, kRoundoff);
  for (double q : {0.5, 13.0})
    EXPECT_CLOSE(k->GetPsiSquared(q, 0.9, 0.2), 1.0 + k0(q, 0.9), kRoundoff);
  EXPECT_EQ(k->GetPsiSquared(3, 0.9, 0.2), 1.0);
  // A single q point: no interpolation partner, the one point is used.
  auto k1 = MakeKernel(dir, 1, dq, 4, dr, 0, false);
  k1->kernel[0][0][1] = 0.25;
  EXPECT_CLOSE(k1->GetPsiSquared(9.0, 0.75, 0.0), 1.25, kRoundoff);
}

TEST(KernelPureHBT, ProjectionsOfTheSymmetrisedPlaneWave) {
  // Identical free bosons: K_ell = (-1)^(ell/2) j_ell(2 q r / hbar c).
  ScratchDir dir;
  auto k = MakeKernel(dir, 10, 20.0, 40, 1.0, 24, false);
  k->Calc_PureHBT();
  for (int iq = 0; iq < 10; iq++)
    for (int ir = 0; ir < 40; ir++) {
      const double x = 2.0 * (iq + 0.5) * 20.0 * (ir + 0.5) / kHbarC;
      EXPECT_CLOSE(k->GetValue(0, iq, ir), sin(x) / x, 1e-12);
      const double j2 = (3.0 / (x * x * x) - 1.0 / x) * sin(x) - 3.0 * cos(x) / (x * x);
      EXPECT_CLOSE_ABS(k->GetValue(2, iq, ir), -j2, 1e-9, 1e-15);
      for (int ell = 1; ell <= 23; ell += 2) EXPECT_EQ(k->GetValue(ell, iq, ir), 0.0);
      // High orders at small x are tiny, not blown up by an unstable recurrence.
      for (int ell = 0; ell <= 24; ell += 2) EXPECT_LE(fabs(k->GetValue(ell, iq, ir)), 1.0);
    }
}

TEST(KernelClassCoul, RepulsionBlocksSmallQRAndNoChargeGivesZero) {
  // Repulsion: K_0 = sqrt(1 - x) - 1 where the pair gets in, -1 where it cannot.
  ScratchDir dir;
  const double m = 938.271;
  auto k = MakeKernel(dir, 3, 20.0, 3, 4.0, 2, true);
  k->kernel[2][0][0] = 5.0;  // stale content is cleared first
  const std::string out = CAPTURE_STDOUT(k->Calc_ClassCoul(m, m, 1));
  int allowed = 0, forbidden = 0;
  for (int iq = 0; iq < 3; iq++)
    for (int ir = 0; ir < 3; ir++) {
      const double q = (iq + 0.5) * 20.0, r = (ir + 0.5) * 4.0;
      // Classical turning condition: e^2 / r against the kinetic energy q^2 / (2 mu) with the
      // pair's mu = E/2, e^2 = alpha hbar c = 1.439964 MeV fm (CODATA 2018, independent of the
      // rounded constants the kernel uses: agreement to 1e-5 in x is what they allow).
      const double x = 1.439964 * std::sqrt(m * m + q * q) / (r * q * q);
      if (x >= 1.0) {
        forbidden++;
        EXPECT_EQ(k->GetValue(0, iq, ir), -1.0);
        EXPECT_EQ(k->GetValue(2, iq, ir), 0.0);
      } else {
        allowed++;
        EXPECT_CLOSE_ABS(k->GetValue(0, iq, ir), sqrt(1.0 - x) - 1.0, 0.0, 2e-5);
      }
    }
  EXPECT_TRUE(allowed > 0 && forbidden > 0);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), allowed);  // one check line per point
  // No charge: flat in cos theta, so every K_ell vanishes (K_0 exactly, the
  // others to the accuracy of the 512-point sum) and the check compares 1 with 1.
  auto k0 = MakeKernel(dir, 1, 10.0, 1, 1.0, 4, false);
  EXPECT_EQ(CAPTURE_STDOUT(k0->Calc_ClassCoul(m, m, 0)), "q=5, r=0.5, kernel0=1 =? 1\n");
  for (int ell = 0; ell <= 4; ell++) EXPECT_CLOSE_ABS(k0->GetValue(ell, 0, 0), 0.0, 0.0, 1e-4);
}

// ---------------------------------------------------------------------------------------------
// Kernels of the pair wave functions against numbers recorded from the code before their radial
// tables were built on demand (provenance: this test's own output at commit fafe24a, serial
// construction and kernel). Every pair kind's path is covered: the legacy pp with its integrated
// inner waves, the exact radial waves of the physical pp, the pi+ pi- and p K+ phase-shift pairs.
// The samples lie inside EPSILON, in the 30 fm tables, beyond them, and beyond the 60 fm outer
// tables of the exact pairs; the kernel grid (q = 5, 15, 25, 35 MeV/c) interpolates between the
// wave function's points (4, 12, ..., 44 MeV/c) and reaches 80 fm. Built and run with one thread
// and with two: equal within rounding.

struct PairReference {
  const char* pair;
  const char* epsilon;  // the EPSILON line of the wave-function parameters
  bool identical;
  double psi[5];     // |psi|^2 at kPsiSamples
  double kernel[6];  // K_ell at kKernelSamples
};

struct PsiSample {
  int iq;
  double r, c;
};
constexpr PsiSample kPsiSamples[5] = {
    {1, 0.75, 0.3}, {2, 7.3, -0.6}, {4, 26.2, 0.85}, {5, 44.1, -0.2}, {3, 71.5, 0.45}};
struct KernelSample {
  int ell, iq, ir;
};
constexpr KernelSample kKernelSamples[6] = {{0, 0, 0},  {0, 1, 5},  {2, 2, 13},
                                            {0, 3, 20}, {2, 1, 33}, {1, 2, 7}};

const PairReference kPairReferences[] = {
    {"pp-legacy",
     "double EPSILON 5.0\n",
     true,
     {5.2257731077203307, 1.0135566420047992, 0.88639808124626973, 1.3819757716958614,
      1.468643043056086},
     {0.1465471634132807, -0.20640924224645865, -0.01028124197939558, -0.030830867621458768,
      -0.13903019308345202, 0}},
    {"pp",
     "",
     true,
     {5.229778957087154, 1.0109097102193774, 0.88769751278168152, 1.3819838702847234,
      1.4686115566280196},
     {0.14674196495080741, -0.20674972903065253, -0.010325659633751797, -0.030804130593643064,
      -0.13904340998649153, 0}},
    {"pipluspiminus",
     "double EPSILON 1.0\n",
     false,
     {5.9917928435836352, 1.0770016929356094, 1.0103746552856314, 1.0035397546705709,
      1.002056745558858},
     {0.93548026994960953, -0.013750221810235738, 0.0092106816306154905, 0.0023630581878588026,
      0.008288010876267328, 0}},
    {"pkplus",
     "double EPSILON 1.0\n",
     false,
     {-0.26116319359254958, 0.66956651569397818, 1.0186625426815326, 0.99037839171357744,
      0.99934226278491933},
     {-0.88490310726536547, -0.18171437880010508, -0.030084500721477551, -0.010469323251680969,
      -0.078533367809072774, 0.067386567359751126}},
};

class PairKernelReference : public ::testing::TestWithParam<PairReference> {};

TEST_P(PairKernelReference, UnchangedAndIndependentOfTheThreadCount) {
  const PairReference& ref = GetParam();
  ScratchDir dir;
  WriteTextFile(dir / "wf.dat", std::string("int NQMAX 6\ndouble DELQ 8.0\n") + ref.epsilon);
  for (const int threads : {1, 2}) {
    SCOPED_TRACE("threads=" + std::to_string(threads));
    femtokit::SetThreadCount(threads);
    std::unique_ptr<CWaveFunction> wf;
    CAPTURE_STDOUT(wf = femtokit::MakeWaveFunction(ref.pair, dir / "wf.dat"));
    std::unique_ptr<CKernel> k = MakeKernel(dir, 4, 10.0, 40, 2.0, 2, ref.identical);
    k->Calc(wf.get());
    for (int i = 0; i < 5; i++) {
      const PsiSample& s = kPsiSamples[i];
      EXPECT_CLOSE(wf->CalcPsiSquared(s.iq, s.r, s.c), ref.psi[i], 1e-12) << "psi sample " << i;
    }
    for (int i = 0; i < 6; i++) {
      const KernelSample& s = kKernelSamples[i];
      EXPECT_CLOSE_ABS(k->GetValue(s.ell, s.iq, s.ir), ref.kernel[i], 1e-12, 1e-17)
          << "kernel sample " << i;
    }
    CAPTURE_STDOUT(k.reset());
  }
  femtokit::SetThreadCount(0);
}

INSTANTIATE_TEST_SUITE_P(Pairs, PairKernelReference, ::testing::ValuesIn(kPairReferences),
                         [](const ::testing::TestParamInfo<PairReference>& info) {
                           std::string name = info.param.pair;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace

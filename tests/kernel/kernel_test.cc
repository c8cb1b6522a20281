// The angular kernel: parameters and storage, files, lookups, |psi|^2 rebuilt
// from the projections, and the analytic kernels.

#include "kernel/kernel.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/test_util.h"
#include "kernel_test_util.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using kernel_test::MakeKernel;

constexpr double kHbarC = 197.3269602;

// A smooth, sign-changing test pattern for the table.
double Pattern(int ell, int iq, int ir) {
  return 0.01 * (ell + 1) * sin(0.7 * iq + 0.3 * ir + ell);
}

void FillPattern(CKernel* k) {
  for (int ell = 0; ell <= k->LMAX; ell++)
    if (k->kernel[ell] != nullptr)
      for (int iq = 0; iq < k->nqmax; iq++)
        for (int ir = 0; ir < k->nrmax; ir++) k->kernel[ell][iq][ir] = Pattern(ell, iq, ir);
}

TEST(KernelParameters, PrintoutAndStorageByIdentical) {
  ScratchDir dir;
  const std::string pars = kernel_test::WriteKernelPars(dir, 3, 2.5, 4, 0.25, 3, true);
  CKernel* k = nullptr;
  const std::string out = CAPTURE_STDOUT(k = new CKernel(pars.c_str()));
  EXPECT_EQ(out, "reading from " + pars +
                     "\n  _________ PARAMETERS FOR KERNEL ________\n"
                     "delq set to 2.5\nnqmax set to 3\ndelr set to 0.25\nnrmax set to 4\n"
                     "KLMAX=3\nIDENTICAL set to 1\n"
                     "__________________________________________\n");
  EXPECT_NE(k->kernel[0], nullptr);
  EXPECT_EQ(k->kernel[1], nullptr);
  EXPECT_NE(k->kernel[2], nullptr);
  EXPECT_EQ(k->kernel[3], nullptr);
  EXPECT_EQ(k->kernel[2][2][3], 0.0);
  EXPECT_EQ(CAPTURE_STDOUT(delete k), "kernel object deleted\n");

  auto nonident = MakeKernel(dir, 3, 2.5, 4, 0.25, 3, false);
  for (int ell = 0; ell <= 3; ell++) EXPECT_NE(nonident->kernel[ell], nullptr);
}

TEST(KernelParameters, UnusableSizesAreFatal) {
  ScratchDir dir;
  const std::string pars = kernel_test::WriteKernelPars(dir, 0, 4.0, 10, 0.5, 2, false);
  EXPECT_FATAL(CKernel k(pars.c_str()),
               "CKernel: .*kparameters.dat must give NQMAX >= 1, NRMAX >= 1, KLMAX >= 0, "
               "DELQ > 0 and DELR > 0\n$");
}

TEST(KernelFiles, WriteThenReadRoundTripsAndNamesFilesByQ) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 6, 0.5, 3, true);
  FillPattern(k.get());
  const std::string data = dir / "sub/kdata";  // created by Write
  std::string expected;  // even ell only, ell outer; q = 2, 6, 10 MeV/c as 0002.00
  for (const char* name : {"ell0_q0002.00", "ell0_q0006.00", "ell0_q0010.00", "ell2_q0002.00",
                           "ell2_q0006.00", "ell2_q0010.00"})
    expected += "For q=" + std::to_string(atoi(name + 6)) + ", Will write to " + data + "/" + name +
                ".tmp\n";
  EXPECT_EQ(CAPTURE_STDOUT(k->Write(data.c_str())), expected);
  FILE* f = fopen((data + "/ell2_q0006.00.tmp").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[2][64];
  ASSERT_NE(fgets(line[0], 64, f), nullptr);
  ASSERT_NE(fgets(line[1], 64, f), nullptr);
  fclose(f);
  EXPECT_STREQ(line[0], "6 0.5\n");
  EXPECT_EQ(std::string(line[1]), " 1.2821396407e-02\n");  // "%17.10e" of Pattern(2, 1, 0)

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
  // 1e-8) rejects: the header carries enough digits instead. (Parameter files
  // hold six digits, so the spacing is set directly, as a kernel program may.)
  k->delr = back->delr = 1.0 / 3.0;
  CAPTURE_STDOUT(k->Write((dir / "third").c_str()));
  back->Read((dir / "third").c_str());
  EXPECT_CLOSE(back->GetValue(2, 1, 2), Pattern(2, 1, 2), 1e-10);
}

TEST(KernelFiles, BadDirectoriesAreFatalAndNameTheFile) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 2, 4.0, 5, 0.5, 0, false);
  const std::string data = dir / "kdata";
  CAPTURE_STDOUT(k->Write(data.c_str()));

  // Missing file.
  std::filesystem::remove(data + "/ell0_q0006.00.tmp");
  EXPECT_FATAL(k->Read(data.c_str()),
               "^CKernel::Read: cannot open kernel file .*/kdata/ell0_q0006.00.tmp\n$");
  // Short file.
  femtokit_test::WriteTextFile(data + "/ell0_q0006.00.tmp", "5 0.5\n1.0\n2.0\n");
  EXPECT_FATAL(k->Read(data.c_str()),
               "^CKernel::Read: kernel file .*/ell0_q0006.00.tmp ends after 2 of 5 values\n$");
  // Fewer points than nrmax, or another spacing.
  femtokit_test::WriteTextFile(data + "/ell0_q0006.00.tmp", "4 0.5\n1\n2\n3\n4\n");
  EXPECT_FATAL(k->Read(data.c_str()), "^Inconsistent values for nrmax or delr in data files!\n$");
  femtokit_test::WriteTextFile(data + "/ell0_q0006.00.tmp", "5 0.50001\n1\n2\n3\n4\n5\n");
  EXPECT_FATAL(k->Read(data.c_str()), "^Inconsistent values for nrmax or delr in data files!\n$");

  // A directory that cannot be created (a regular file is in the way).
  femtokit_test::WriteTextFile(dir / "plainfile", "x\n");
  const std::string blocked = dir / "plainfile/kdata";
  EXPECT_FATAL(k->Write(blocked.c_str()),
               "^CKernel::Write: cannot create directory .*/plainfile/kdata\n$");
}

TEST(KernelPrint, OneBlockPerQAndOneLinePerR) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 1, 4.0, 2, 0.5, 2, true);
  k->kernel[0][0][0] = -0.5;
  k->kernel[2][0][1] = 0.125;
  EXPECT_EQ(CAPTURE_STDOUT(k->Print()),
            "ellmax=2, nqmax=1, nrmax=2\n"
            "______________ q=2 MeV/c____________________\n"
            "  0.25 -5.000e-01  0.000e+00 \n"
            "  0.75  0.000e+00  1.250e-01 \n");
}

TEST(KernelGetValue, GridIndicesAndOutOfRange) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 3, 4.0, 4, 0.5, 2, true);
  FillPattern(k.get());
  EXPECT_EQ(k->GetValue(2, 1, 3), Pattern(2, 1, 3));
  EXPECT_EQ(k->GetValue(2, 3, 0), 0.0);
  EXPECT_EQ(k->GetValue(2, 0, 4), 0.0);
  EXPECT_EQ(k->GetValue(0, -1, 0), 0.0);
  // No table for odd ell of identical particles, none above LMAX.
  EXPECT_EQ(k->GetValue(1, 0, 0), 0.0);
  EXPECT_EQ(k->GetValue(1, 2.0, 0.25), 0.0);
  EXPECT_EQ(k->GetValue(4, 0, 0), 0.0);
}

// A table linear in q and r is reproduced exactly by the bilinear lookup
// between centres; below the first centre it is flat, beyond the range zero.
TEST(KernelGetValue, InterpolationInQAndR) {
  ScratchDir dir;
  const double dq = 4.0, dr = 0.5;
  auto k = MakeKernel(dir, 5, dq, 6, dr, 1, false);
  auto linear = [&](double q, double r) { return 0.3 + 0.02 * q - 0.1 * r; };
  for (int iq = 0; iq < 5; iq++)
    for (int ir = 0; ir < 6; ir++) {
      k->kernel[0][iq][ir] = linear((iq + 0.5) * dq, (ir + 0.5) * dr);
      k->kernel[1][iq][ir] = 2.0 * linear((iq + 0.5) * dq, (ir + 0.5) * dr);
    }
  // Exactly at grid points.
  EXPECT_CLOSE(k->GetValue(0, 6.0, 1.25), k->kernel[0][1][2], kRoundoff);
  EXPECT_CLOSE(k->GetValue(1, 18.0, 2.75), k->kernel[1][4][5], kRoundoff);
  // Between points, on both sides of a centre.
  EXPECT_CLOSE(k->GetValue(0, 7.3, 1.1), linear(7.3, 1.1), kRoundoff);
  EXPECT_CLOSE(k->GetValue(0, 9.9, 1.6), linear(9.9, 1.6), kRoundoff);
  EXPECT_CLOSE(k->GetValue(1, 12.5, 0.9), 2.0 * linear(12.5, 0.9), kRoundoff);
  // Below the first centre of each axis: the first value of that axis.
  EXPECT_CLOSE(k->GetValue(0, 1.0, 1.25), k->kernel[0][0][2], kRoundoff);
  EXPECT_CLOSE(k->GetValue(0, 6.0, 0.1), k->kernel[0][1][0], kRoundoff);
  // From the last centre to the edge: the last value; at the edge itself too.
  EXPECT_CLOSE(k->GetValue(0, 19.5, 2.9), k->kernel[0][4][5], kRoundoff);
  EXPECT_CLOSE(k->GetValue(0, 20.0, 3.0), k->kernel[0][4][5], kRoundoff);
  // Just beyond either range.
  EXPECT_EQ(k->GetValue(0, 20.0001, 1.0), 0.0);
  EXPECT_EQ(k->GetValue(0, 6.0, 3.0001), 0.0);
}

TEST(KernelGetValue, ReportsKernelBelowMinusOne) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 2, 4.0, 4, 0.5, 0, false);
  for (int iq = 0; iq < 2; iq++)
    for (int ir = 0; ir < 4; ir++) k->kernel[0][iq][ir] = -1.5;
  double v = 0.0;
  EXPECT_EQ(CAPTURE_STDOUT(v = k->GetValue(0, 2.0, 1.25)),
            "answer below -1, =-1.5, q=2, r=1.25, iq=0, ir=2, nrmax=4\n");
  EXPECT_CLOSE(v, -1.5, kRoundoff);
  // Only beyond 1 fm.
  EXPECT_EQ(CAPTURE_STDOUT(k->GetValue(0, 2.0, 0.75)), "");
}

TEST(KernelLegendre, RecurrenceMatchesClosedForms) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 1, 4.0, 1, 0.5, 4, false);
  for (double x : {-1.0, -0.3, 0.0, 0.5, 1.0}) {
    k->CalcP(x);
    EXPECT_CLOSE_ABS(k->P[3], 0.5 * (5 * x * x * x - 3 * x), kRoundoff, kRoundoff);
    EXPECT_CLOSE_ABS(k->P[4], (35 * pow(x, 4) - 30 * x * x + 3) / 8, kRoundoff, kRoundoff);
  }
  auto k0 = MakeKernel(dir, 1, 4.0, 1, 0.5, 0, false);  // LMAX = 0 still holds P_0, P_1
  k0->CalcP(0.25);
  EXPECT_EQ(k0->P[1], 0.25);
}

// The pure-HBT projections summed back give 1 + cos(2 q r cos theta / hbar c).
TEST(KernelPsiSquared, RebuildsThePlaneWaveFromPureHBT) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 6, 10.0, 20, 0.5, 24, true);
  k->Calc_PureHBT();
  for (int iq : {0, 2, 5})
    for (int ir : {0, 7, 19})
      for (double c : {-1.0, -0.4, 0.0, 0.6, 1.0}) {
        const double q = (iq + 0.5) * 10.0, r = (ir + 0.5) * 0.5;
        EXPECT_CLOSE_ABS(k->GetPsiSquared(iq, ir, c), 1.0 + cos(2.0 * q * r * c / kHbarC), 0.0,
                         2e-3);
      }
}

// Five consecutive terms below 1e-4 end the sum; a larger one resets the count.
TEST(KernelPsiSquared, TruncationAfterFiveSmallTerms) {
  ScratchDir dir;
  auto k = MakeKernel(dir, 1, 4.0, 1, 0.5, 12, false);
  k->kernel[0][0][0] = 0.5;
  for (int ell = 1; ell <= 4; ell++) k->kernel[ell][0][0] = 1e-6;
  k->kernel[5][0][0] = 0.01;  // fifth term large: counting restarts
  for (int ell = 6; ell <= 10; ell++) k->kernel[ell][0][0] = 1e-6;
  k->kernel[11][0][0] = 0.02;  // after five small terms: never reached
  double expected = 1.0 + 0.5 + 11 * 0.01;
  for (int ell = 1; ell <= 4; ell++) expected += (2 * ell + 1) * 1e-6;
  for (int ell = 6; ell <= 10; ell++) expected += (2 * ell + 1) * 1e-6;
  EXPECT_CLOSE(k->GetPsiSquared(0, 0, 1.0), expected, kRoundoff);
}

// Linear in r between points (extrapolated below the first), 1.0 standing in
// beyond the last; linear in q between and beyond the q points.
TEST(KernelPsiSquared, InterpolationInRAndQ) {
  ScratchDir dir;
  const double dq = 4.0, dr = 0.5;
  auto k = MakeKernel(dir, 3, dq, 4, dr, 0, false);
  EXPECT_EQ(k->GetPsiSquared(1.7, 0.9, -0.4), 1.0);  // all-zero table: no correlation
  auto k0 = [&](double q, double r) { return 0.1 * q - 0.2 * r; };
  for (int iq = 0; iq < 3; iq++)
    for (int ir = 0; ir < 4; ir++) k->kernel[0][iq][ir] = k0((iq + 0.5) * dq, (ir + 0.5) * dr);
  EXPECT_CLOSE(k->GetPsiSquared(1, 0.9, 0.2), 1.0 + k0(6.0, 0.9), kRoundoff);
  EXPECT_CLOSE(k->GetPsiSquared(1, 0.1, 0.2), 1.0 + k0(6.0, 0.1), kRoundoff);
  // Between the last point (r = 1.75) and the missing next one (1.0 + 0).
  EXPECT_CLOSE(k->GetPsiSquared(1, 2.0, 0.2), 0.5 * (1.0 + k0(6.0, 1.75)) + 0.5, kRoundoff);
  EXPECT_CLOSE(k->GetPsiSquared(7.5, 0.9, 0.2), 1.0 + k0(7.5, 0.9), kRoundoff);
  EXPECT_CLOSE(k->GetPsiSquared(0.5, 0.9, 0.2), 1.0 + k0(0.5, 0.9), kRoundoff);
  EXPECT_CLOSE(k->GetPsiSquared(13.0, 0.9, 0.2), 1.0 + k0(13.0, 0.9), kRoundoff);
  EXPECT_EQ(k->GetPsiSquared(3, 0.9, 0.2), 1.0);

  // A single q point: no interpolation partner, the one point is used.
  auto k1 = MakeKernel(dir, 1, dq, 4, dr, 0, false);
  k1->kernel[0][0][1] = 0.25;
  EXPECT_CLOSE(k1->GetPsiSquared(9.0, 0.75, 0.0), 1.25, kRoundoff);
}

// Identical free bosons: K_ell = (-1)^(ell/2) j_ell(2 q r / hbar c).
TEST(KernelPureHBT, ProjectionsOfTheSymmetrisedPlaneWave) {
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
  // K_0 -> 1 at small q r and -> 0 at large q r.
  EXPECT_CLOSE(k->GetValue(0, 0, 0), 1.0, 1e-3);
  EXPECT_LT(fabs(k->GetValue(0, 9, 39)), 0.02);
}

// Repulsion: K_0 = sqrt(1 - x) - 1 where the pair gets in, -1 where it cannot.
TEST(KernelClassCoul, RepulsionBlocksSmallQRAndNoChargeGivesZero) {
  ScratchDir dir;
  const double m = 938.271;
  auto k = MakeKernel(dir, 3, 20.0, 3, 4.0, 2, true);
  k->kernel[2][0][0] = 5.0;  // stale content is cleared first
  const std::string out = CAPTURE_STDOUT(k->Calc_ClassCoul(m, m, 1));
  int allowed = 0, forbidden = 0;
  for (int iq = 0; iq < 3; iq++)
    for (int ir = 0; ir < 3; ir++) {
      const double q = (iq + 0.5) * 20.0, r = (ir + 0.5) * 4.0;
      const double E = sqrt(m * m + q * q);
      const double x = 2.0 * E * E * 197.327 / (137.036 * r * q * q * 2.0 * E);
      if (x >= 1.0) {
        forbidden++;
        EXPECT_EQ(k->GetValue(0, iq, ir), -1.0);
        EXPECT_EQ(k->GetValue(2, iq, ir), 0.0);
      } else {
        allowed++;
        EXPECT_CLOSE(k->GetValue(0, iq, ir), sqrt(1.0 - x) - 1.0, 1e-10);
      }
    }
  EXPECT_GT(allowed, 0);
  EXPECT_GT(forbidden, 0);
  // One check line per allowed point.
  int lines = 0;
  for (char c : out) lines += (c == '\n');
  EXPECT_EQ(lines, allowed);

  // No charge: flat in cos theta, so every K_ell vanishes (K_0 exactly, the
  // others to the accuracy of the 512-point sum) and the check compares 1 with 1.
  auto k0 = MakeKernel(dir, 1, 10.0, 1, 1.0, 4, false);
  EXPECT_EQ(CAPTURE_STDOUT(k0->Calc_ClassCoul(m, m, 0)), "q=5, r=0.5, kernel0=1 =? 1\n");
  for (int ell = 0; ell <= 4; ell++) EXPECT_CLOSE_ABS(k0->GetValue(ell, 0, 0), 0.0, 0.0, 1e-4);
}

}  // namespace

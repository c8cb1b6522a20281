// Blast-wave source: parameters, the proper-time and emission-point samplers, the pair
// histogram and its normalisation, and the fatal checks of unusable parameters.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/threads.h"
#include "oscar_test_files.h"
#include "source/sourcecalc_blast.h"

namespace {

using femtokit_test::kRoundoff;
using oscar_test::ShellVolume;

// Nsample emission points (t, x, y, z) of a particle of mass m (MeV) and momentum p (MeV/c)
// along x, drawn by Get_r.
std::vector<std::vector<double>> Sample(CSourceCalc_Blast& blast, double m, double p) {
  const int n = parameter::getI(blast.spars, "Nsample", 0);
  std::vector<std::vector<double>> points(n, std::vector<double>(4));
  std::vector<double*> rows(n);
  for (int i = 0; i < n; i++) rows[i] = points[i].data();
  double P[4] = {std::sqrt(m * m + p * p), p, 0.0, 0.0};
  blast.Get_r(P, rows.data());
  return points;
}

// Moments E[tau], E[tau^2] of the density ~ tau exp(-(tau - tau0)^2 / (2 d^2)), tau > 0, in closed
// form: with tau = tau0 + d z, a = tau0 / d, J_k = int_{-a}^inf z^k phi(z) dz gives
// J0 = Phi(a), J1 = phi(a), J2 = Phi(a) - a phi(a), J3 = (a^2 + 2) phi(a).
void TauMoments(double tau0, double d, double& mean, double& second) {
  const double a = tau0 / d;
  const double phi = std::exp(-0.5 * a * a) / std::sqrt(2.0 * M_PI);
  const double Phi = 0.5 * std::erfc(-a / std::sqrt(2.0));
  const double J0 = Phi, J1 = phi, J2 = Phi - a * phi, J3 = (a * a + 2.0) * phi;
  const double I1 = tau0 * J0 + d * J1;
  const double I2 = tau0 * tau0 * J0 + 2.0 * tau0 * d * J1 + d * d * J2;
  const double I3 = tau0 * tau0 * tau0 * J0 + 3.0 * tau0 * tau0 * d * J1 + 3.0 * tau0 * d * d * J2 +
                    d * d * d * J3;
  mean = I2 / I1;
  second = I3 / I1;
}

// Both branches of the composition (the Gaussian around tau0 with its thinning below tau0 and
// rejection below 0, and the Rayleigh tail), the pure tail at tau0 = 0 and the sharp limit.
TEST(BlastTau, SamplesTheStatedDensity) {
  const double cases[][2] = {{12.0, 3.0}, {2.0, 3.0}, {0.0, 2.0}};
  CSourceCalc_Blast blast;
  EXPECT_EQ(blast.GetTau(5.0, 0.0), 5.0);
  // Only deltau^2 enters: a negative width (a fit's probe point) draws the same taus.
  CSourceCalc_Blast mirrored;
  for (int i = 0; i < 100; i++) EXPECT_EQ(mirrored.GetTau(2.0, -3.0), blast.GetTau(2.0, 3.0));
  const int n = 100000;
  for (const auto& c : cases) {
    const double tau0 = c[0], deltau = c[1];
    double s1 = 0.0, s2 = 0.0, smin = 1e300;
    for (int i = 0; i < n; i++) {
      const double tau = blast.GetTau(tau0, deltau);
      s1 += tau;
      s2 += tau * tau;
      smin = std::fmin(smin, tau);
    }
    const double mean = s1 / n, var = s2 / n - mean * mean;
    double emean, esecond;
    TauMoments(tau0, deltau, emean, esecond);
    const double evar = esecond - emean * emean;
    EXPECT_GE(smin, 0.0);
    // Five standard errors of the mean and of the variance (fourth moment bounded by 3 sigma^4
    // for these near-Gaussian shapes).
    EXPECT_NEAR(mean, emean, 5.0 * std::sqrt(evar / n)) << "tau0=" << tau0 << " deltau=" << deltau;
    EXPECT_NEAR(var, evar, 5.0 * evar * std::sqrt(2.0 / n)) << "tau0=" << tau0;
  }
}

// Without flow the transverse position is uniform on the disk of radius R (<y^2> = R^2/4 for
// any momentum), and the boost along x keeps t^2 - x^2, so t^2 - x^2 - z^2 averages to
// <tau^2> - <(R x)^2> = <tau^2> - R^2/4.
TEST(BlastGetR, NoFlowDiskAndBoostInvariant) {
  CSourceCalc_Blast blast;
  blast.SetSPars(0.5, 10.0, 8.0, 2.0, 0.0, 120.0, 600.0, 1.0, 139.58, 139.58);
  const int n = 20000;
  parameter::set(blast.spars, "Nsample", n);
  const std::vector<std::vector<double>> r = Sample(blast, 139.58, 300.0);
  double sy = 0.0, syy = 0.0, sinv = 0.0;
  for (int i = 0; i < n; i++) {
    sy += r[i][2];
    syy += r[i][2] * r[i][2];
    sinv += r[i][0] * r[i][0] - r[i][1] * r[i][1] - r[i][3] * r[i][3];
  }
  const double R2over4 = 25.0;
  // On the unit disk E[y^2] = 1/4 and E[y^4] = 1/8: Var(y^2) = R^4/16.
  EXPECT_NEAR(sy / n, 0.0, 5.0 * std::sqrt(R2over4 / n));
  EXPECT_NEAR(syy / n, R2over4, 5.0 * R2over4 / std::sqrt(n));
  double mean, second;
  TauMoments(8.0, 2.0, mean, second);
  EXPECT_NEAR(sinv / n, second - R2over4, 0.02 * second);
  // Each run of points has a generator of its own: a seed reused would repeat points.
  std::vector<double> t(n);
  for (int i = 0; i < n; i++) t[i] = r[i][0];
  std::sort(t.begin(), t.end());
  EXPECT_EQ(std::adjacent_find(t.begin(), t.end()), t.end());
}

// CalcS against the direct pair sum of the same points (a second calculator with the same seed
// draws the same points), and the exact normalisation: the integral is lambda times the fraction
// of pairs within the small array.
TEST(BlastCalcS, MatchesDirectPairSumAndNormalisation) {
  const int n = 40, nradial = 12;
  const double lambda = 0.7, dr = 2.0, pt = 600.0, ma = 938.28;
  for (const bool identical : {true, false})
    for (const bool sym : {true, false}) {
      SCOPED_TRACE(std::string(identical ? "identical" : "unequal") + (sym ? " symmetric" : ""));
      const double mb = identical ? ma : 139.58;
      CSourceCalc_Blast blast, twin;
      for (CSourceCalc_Blast* b : {&blast, &twin}) {
        b->SetSPars(lambda, 13.0, 12.0, 3.0, 0.7, 110.0, pt, 1.5, ma, mb);
        parameter::set(b->spars, "Nsample", n);
      }
      CCHArray A(3, nradial, dr, sym, sym, sym), B(3, nradial, dr, sym, sym, sym);
      A.SetElement(0, 0, 0, 3, 99.0);  // CalcS clears the array first
      blast.CalcS(&A);
      // The same points, ra first, then rb unless the species are identical.
      const auto ra = Sample(twin, ma, ma * pt / (ma + mb));
      const auto rb = identical ? ra : Sample(twin, mb, mb * pt / (ma + mb));
      int pairs = 0;
      const int inside = oscar_test::DirectPairSum(ra, rb, identical, lambda, &B, &pairs);
      EXPECT_TRUE(inside > pairs / 10 && inside < pairs);  // the small array drops some pairs
      double integral = 0.0;
      for (int ir = 0; ir < nradial; ir++)
        integral += ShellVolume(ir, dr) * A.GetElement(0, 0, 0, ir);
      EXPECT_CLOSE(integral, lambda * inside / pairs, kRoundoff * 100);
      oscar_test::ExpectSameComponents(A, B);
    }
}

// The sampling and the pair sum split over threads (2, and 3 with ranges of unequal pair
// counts) give the one-thread array up to the order of the sums: the points do not depend on
// the thread count.
TEST(BlastCalcS, ThreadsGiveTheOneThreadArray) {
  for (const double mb : {938.28, 139.58}) {
    CCHArray one(4, 30, 1.0);
    for (const int threads : {1, 2, 3}) {
      CSourceCalc_Blast blast;  // the same seed: the same points
      parameter::set(blast.spars, "Nsample", 300);
      parameter::set(blast.spars, "Mb", mb);
      femtokit::SetThreadCount(threads);
      CCHArray A(4, 30, 1.0);
      blast.CalcS(threads == 1 ? &one : &A);
      femtokit::SetThreadCount(0);
      if (threads == 1) continue;
      for (int lx = 0; lx <= 4; lx++)
        for (int ly = 0; ly <= 4 - lx; ly++)
          for (int lz = 0; lz <= 4 - lx - ly; lz++)
            for (int ir = 0; ir < 30; ir++)
              ASSERT_TRUE(femtokit_test::IsClose(A.GetElement(lx, ly, lz, ir),
                                                 one.GetElement(lx, ly, lz, ir), 1e-12,
                                                 1e-12 * one.GetElement(0, 0, 0, 0)))
                  << "mb " << mb << " threads " << threads << " l=(" << lx << "," << ly << "," << lz
                  << ") ir " << ir;
    }
  }
}

// The pair sums kept between calls follow the array: a call into an array of another layout
// after one of LMAX 4 gives what a source whose sums were built for that layout gives.
TEST(BlastCalcS, KeptPairSumsFollowTheArrayLayout) {
  femtokit::SetThreadCount(2);
  CSourceCalc_Blast changed, kept;  // the same seed: the same points call by call
  for (CSourceCalc_Blast* blast : {&changed, &kept}) parameter::set(blast->spars, "Nsample", 200);
  CCHArray first(4, 30, 1.0), firstkept(2, 20, 0.5, true, false, true);
  changed.CalcS(&first);
  kept.CalcS(&firstkept);
  CCHArray A(2, 20, 0.5, true, false, true), B(2, 20, 0.5, true, false, true);
  changed.CalcS(&A);
  kept.CalcS(&B);
  femtokit::SetThreadCount(0);
  for (int ir = 0; ir < 20; ir++)
    for (const auto& [lx, ly, lz] : {std::array<int, 3>{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 2}})
      ASSERT_DOUBLE_EQ(A.GetElement(lx, ly, lz, ir), B.GetElement(lx, ly, lz, ir)) << ir;
}

// Fresh random numbers at every call, and the blast-wave shape of the default source: the
// pair-frame boost and the emission-time spread stretch the outward direction beyond the
// sideward one, the rapidity spread the longitudinal one.
TEST(BlastCalcS, RepeatedCallsResampleAndShowTheBlastWaveShape) {
  CSourceCalc_Blast blast;
  CCHArray A(2, 80, 1.0, true, true, true), A2(2, 80, 1.0, true, true, true);
  blast.CalcS(&A);
  blast.CalcS(&A2);
  EXPECT_NE(A.GetElement(0, 0, 0, 5), A2.GetElement(0, 0, 0, 5));
  // <x_i^2> of the density: the angular average of e_i^2 F(e) is A000/3 + 2 A_ii/15 for an
  // AExp array (one call's values scatter by about 3 %).
  double r2[3] = {0.0, 0.0, 0.0};
  for (int ir = 0; ir < A.GetNRADIAL(); ir++) {
    const double w = ShellVolume(ir, 1.0) * (ir + 0.5) * (ir + 0.5);
    const double a0 = A.GetElement(0, 0, 0, ir) / 3.0;
    r2[0] += w * (a0 + 2.0 * A.GetElement(2, 0, 0, ir) / 15.0);
    r2[1] += w * (a0 + 2.0 * A.GetElement(0, 2, 0, ir) / 15.0);
    r2[2] += w * (a0 + 2.0 * A.GetElement(0, 0, 2, ir) / 15.0);
  }
  EXPECT_GT(r2[0], 1.2 * r2[1]);
  EXPECT_GT(r2[2], 1.2 * r2[0]);
}

// Parameters that cannot give a sound sample stop before any sampling (one case per message); a
// thermal weight above 1 (at a very high temperature) stops during it.
TEST(BlastFatal, MessagesOfUnusableParameters) {
  CCHArray A(2, 10, 1.0);
  const struct {
    const char* key;
    double value;
    const char* regex;
  } cases[] = {
      {"Beta", 1.0, "^CSourceCalc_Blast: Beta=1 out of range, need 0 <= Beta < 1\n$"},
      {"T", 0.0, "^CSourceCalc_Blast: temperature T=0 MeV, need T > 0\n$"},
      {"Tau", -1.0, "^CSourceCalc_Blast: Tau=-1, \\|DelTau\\|=3 fm/c, need Tau >= 0\n$"},
      {"Mb", 0.0, "^CSourceCalc_Blast: masses Ma=938.28, Mb=0 MeV, need both > 0\n$"},
      {"Pt", -5.0, "^CSourceCalc_Blast: Pt=-5 MeV/c, need Pt >= 0\n$"},
      // Species within 1 MeV count as identical and need two points: this case runs with one.
      {"Mb", 938.9, "^CSourceCalc_Blast: Nsample=1, need at least 2 points per species\n$"},
      {"T", 1e6, "^DISASTER! weight=[0-9.e+]+ which is > 1.0, eu=[0-9.e+]+, eumin=[0-9.e+]+\n$"},
      // A missing key (NaN) that only CalcS reads.
      {"lambda", NAN, "^CSourceCalc_Blast: parameter lambda is missing\n$"},
  };
  for (const auto& c : cases) {
    auto run = [&]() {
      CSourceCalc_Blast blast;
      if (c.value == 938.9) parameter::set(blast.spars, "Nsample", 1);
      if (std::isnan(c.value))
        blast.spars.erase(c.key);
      else
        parameter::set(blast.spars, c.key, c.value);
      blast.CalcS(&A);
    };
    EXPECT_FATAL(run(), c.regex);
  }
}

}  // namespace

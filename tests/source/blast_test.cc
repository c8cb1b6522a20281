// Blast-wave source: parameters, the proper-time and emission-point samplers, the pair
// histogram and its normalisation, and the fatal checks of unusable parameters.

#include <cmath>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "source/sourcecalc_blast.h"

namespace {

using femtokit_test::kRoundoff;

constexpr double kFourPiOver3 = 4.1887902047863905;

double ShellVolume(int ir, double dr) {
  return kFourPiOver3 * dr * dr * dr * ((ir + 1.0) * (ir + 1.0) * (ir + 1.0) - 1.0 * ir * ir * ir);
}

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

// sum_ir shellvolume * A000: the integral of the density over the array's range.
double Integral(const CCHArray& A) {
  double sum = 0.0;
  for (int ir = 0; ir < A.GetNRADIAL(); ir++)
    sum += ShellVolume(ir, A.GetRADSTEP()) * A.GetElement(0, 0, 0, ir);
  return sum;
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

TEST(BlastParameters, DefaultsAndBothSettersResetFirst) {
  CSourceCalc_Blast blast;
  const parameter_map defaults = {{"lambda", "0.5"}, {"R", "13"},      {"Tau", "12"},
                                  {"DelTau", "3"},   {"Beta", "0.7"},  {"T", "110"},
                                  {"Pt", "600"},     {"Phi", "0"},     {"EtaG", "1.5"},
                                  {"Ma", "938.28"},  {"Mb", "139.58"}, {"Nsample", "1000"}};
  EXPECT_EQ(blast.spars, defaults);
  auto changed = [&defaults](const parameter_map& changes) {
    parameter_map m = defaults;
    for (const auto& kv : changes) m[kv.first] = kv.second;
    return m;
  };
  parameter::set(blast.spars, "Beta", 0.3);
  parameter::set(blast.spars, "Nsample", 17);
  blast.SetSPars(0.8, 10.0, 9.0, 2.0);
  EXPECT_EQ(blast.spars, changed({{"lambda", "0.8"}, {"R", "10"}, {"Tau", "9"}, {"DelTau", "2"}}));
  parameter::set(blast.spars, "Phi", 1.0);
  blast.SetSPars(0.9, 11.0, 8.0, 1.5, 0.6, 120.0, 400.0, 2.0, 493.677, 139.58);
  EXPECT_EQ(blast.spars, changed({{"lambda", "0.9"},
                                  {"R", "11"},
                                  {"Tau", "8"},
                                  {"DelTau", "1.5"},
                                  {"Beta", "0.6"},
                                  {"T", "120"},
                                  {"Pt", "400"},
                                  {"EtaG", "2"},
                                  {"Ma", "493.677"}}));
}

// Both branches of the composition (the Gaussian around tau0 with its thinning below tau0 and
// rejection below 0, and the Rayleigh tail), the pure tail at tau0 = 0 and the sharp limit.
struct TauCase {
  double tau0, deltau;
};
class BlastTau : public ::testing::TestWithParam<TauCase> {};

TEST_P(BlastTau, SamplesTheStatedDensity) {
  const TauCase c = GetParam();
  CSourceCalc_Blast blast;
  const int n = 100000;
  double s1 = 0.0, s2 = 0.0, smin = 1e300;
  for (int i = 0; i < n; i++) {
    const double tau = blast.GetTau(c.tau0, c.deltau);
    s1 += tau;
    s2 += tau * tau;
    smin = std::fmin(smin, tau);
  }
  const double mean = s1 / n;
  const double var = s2 / n - mean * mean;
  if (c.deltau == 0.0) {
    EXPECT_EQ(mean, c.tau0);
    return;
  }
  double emean, esecond;
  TauMoments(c.tau0, c.deltau, emean, esecond);
  const double evar = esecond - emean * emean;
  EXPECT_GE(smin, 0.0);
  // Five standard errors of the mean and of the variance (fourth moment bounded by 3 sigma^4
  // for these near-Gaussian shapes).
  EXPECT_NEAR(mean, emean, 5.0 * std::sqrt(evar / n));
  EXPECT_NEAR(var, evar, 5.0 * evar * std::sqrt(2.0 / n));
}

INSTANTIATE_TEST_SUITE_P(Blast, BlastTau,
                         ::testing::Values(TauCase{12.0, 3.0}, TauCase{2.0, 3.0}, TauCase{0.0, 2.0},
                                           TauCase{5.0, 0.0}),
                         [](const ::testing::TestParamInfo<TauCase>& info) {
                           return "tau0_" + std::to_string(static_cast<int>(info.param.tau0)) +
                                  "_deltau_" + std::to_string(static_cast<int>(info.param.deltau));
                         });

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
}

// CalcS against a direct accumulation of the same points (a second calculator with the same
// seed draws the same points): every pair added with IncrementAExpArrayFromE, identical species
// with ib < ia only, then the exact normalisation. Some pairs fall beyond the small array.
struct PairCase {
  bool identical;
  bool symmetric;
};
class BlastCalcS : public ::testing::TestWithParam<PairCase> {};

TEST_P(BlastCalcS, MatchesDirectPairSumAndNormalisation) {
  const PairCase c = GetParam();
  const int n = 40;
  const double lambda = 0.7;
  const double mb = c.identical ? 938.28 : 139.58;
  CSourceCalc_Blast blast, twin;
  for (CSourceCalc_Blast* b : {&blast, &twin}) {
    b->SetSPars(lambda, 13.0, 12.0, 3.0, 0.7, 110.0, 600.0, 1.5, 938.28, mb);
    parameter::set(b->spars, "Nsample", n);
  }
  const int lmax = 3, nradial = 12;
  const double dr = 2.0;
  CCHArray A(lmax, nradial, dr, c.symmetric, c.symmetric, c.symmetric);
  A.SetElement(0, 0, 0, 3, 99.0);  // CalcS clears the array first
  blast.CalcS(&A);

  // The same points, ra first, then rb unless the species are identical.
  const double pt = 600.0, ma = 938.28;
  const auto ra = Sample(twin, ma, ma * pt / (ma + mb));
  const auto rb = c.identical ? ra : Sample(twin, mb, mb * pt / (ma + mb));

  CCHArray B(lmax, nradial, dr, c.symmetric, c.symmetric, c.symmetric);
  int inside = 0, pairs = 0;
  for (int ia = 0; ia < n; ia++)
    for (int ib = 0; ib < (c.identical ? ia : n); ib++) {
      const double dx = ra[ia][1] - rb[ib][1], dy = ra[ia][2] - rb[ib][2],
                   dz = ra[ia][3] - rb[ib][3];
      const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
      pairs++;
      const int ir = static_cast<int>(std::floor(d / dr));
      if (ir >= nradial) continue;
      inside++;
      B.IncrementAExpArrayFromE(dx / d, dy / d, dz / d, lambda, ir);
    }
  ASSERT_EQ(pairs, c.identical ? n * (n - 1) / 2 : n * n);
  ASSERT_GT(inside, pairs / 10);
  ASSERT_LT(inside, pairs);  // the small array drops some pairs
  for (int ir = 0; ir < nradial; ir++) B.ScaleArray(1.0 / (pairs * ShellVolume(ir, dr)), ir);

  EXPECT_CLOSE(Integral(A), lambda * inside / pairs, kRoundoff * 100);
  for (int ir = 0; ir < nradial; ir++) {
    const double scale = std::fabs(B.GetElement(0, 0, 0, ir)) + 1e-30;
    for (int lx = 0; lx <= lmax; lx += A.dlx)
      for (int ly = 0; ly <= lmax - lx; ly += A.dly)
        for (int lz = 0; lz <= lmax - lx - ly; lz += A.dlz)
          EXPECT_CLOSE_ABS(A.GetElement(lx, ly, lz, ir), B.GetElement(lx, ly, lz, ir), 1e-10,
                           1e-12 * scale)
              << "l=(" << lx << "," << ly << "," << lz << "), ir=" << ir;
  }
}

INSTANTIATE_TEST_SUITE_P(Blast, BlastCalcS,
                         ::testing::Values(PairCase{true, false}, PairCase{false, false},
                                           PairCase{true, true}, PairCase{false, true}),
                         [](const ::testing::TestParamInfo<PairCase>& info) {
                           return std::string(info.param.identical ? "Identical" : "Unequal") +
                                  (info.param.symmetric ? "Symmetric" : "Full");
                         });

// With every pair inside the array the density integrates to lambda exactly: N (N - 1) / 2
// pairs for identical species (no point paired with itself, no pair twice), N^2 otherwise.
TEST(BlastCalcS, WholeRangeIntegratesToLambda) {
  for (const double mb : {938.28, 938.9, 139.58}) {  // 938.9: within 1 MeV counts as identical
    CSourceCalc_Blast blast;
    blast.SetSPars(0.6, 8.0, 6.0, 2.0, 0.5, 110.0, 300.0, 1.0, 938.28, mb);
    parameter::set(blast.spars, "Nsample", 2);
    CCHArray A(2, 100, 2.0);
    blast.CalcS(&A);
    EXPECT_CLOSE(Integral(A), 0.6, kRoundoff * 10) << "Mb=" << mb;
  }
}

// Fresh random numbers at every call: different arrays, the same statistical content (the
// integral and the mean squared separation along each axis agree within their Monte-Carlo
// spread).
TEST(BlastCalcS, RepeatedCallsDifferButAgreeStatistically) {
  CSourceCalc_Blast blast;
  CCHArray A1(2, 80, 1.0, true, true, true), A2(2, 80, 1.0, true, true, true);
  blast.CalcS(&A1);
  blast.CalcS(&A2);
  EXPECT_NE(A1.GetElement(0, 0, 0, 5), A2.GetElement(0, 0, 0, 5));
  // <x^2>, <y^2>, <z^2> of the density: the angular average of e_i^2 F(e) is
  // A000/3 + 2 A_ii/15 for an AExp array.
  auto moments = [](const CCHArray& A, double& norm, double* r2) {
    norm = r2[0] = r2[1] = r2[2] = 0.0;
    for (int ir = 0; ir < A.GetNRADIAL(); ir++) {
      const double r = (ir + 0.5) * A.GetRADSTEP();
      const double v = ShellVolume(ir, A.GetRADSTEP());
      const double a0 = A.GetElement(0, 0, 0, ir);
      norm += v * a0;
      r2[0] += v * r * r * (a0 / 3.0 + 2.0 * A.GetElement(2, 0, 0, ir) / 15.0);
      r2[1] += v * r * r * (a0 / 3.0 + 2.0 * A.GetElement(0, 2, 0, ir) / 15.0);
      r2[2] += v * r * r * (a0 / 3.0 + 2.0 * A.GetElement(0, 0, 2, ir) / 15.0);
    }
  };
  double n1, n2, m1[3], m2[3];
  moments(A1, n1, m1);
  moments(A2, n2, m2);
  // One call's <x_i^2> scatters by about 3 % (1000 points per species): allow 15 %.
  EXPECT_CLOSE(n1, n2, 0.02);
  for (int i = 0; i < 3; i++) EXPECT_CLOSE(m1[i] / n1, m2[i] / n2, 0.15) << "axis " << i;
  // Both show the blast-wave shape: the pair-frame boost and the emission-time spread stretch
  // the outward direction beyond the sideward one, the rapidity spread the longitudinal one.
  for (const double* m : {m1, m2}) {
    EXPECT_GT(m[0], 1.2 * m[1]);
    EXPECT_GT(m[2], 1.2 * m[0]);
  }
}

// Parameters that cannot give a sound sample stop before any sampling; a thermal weight above 1
// (cosh(eta) outgrowing the Boltzmann factor at a very high temperature) stops during it.
TEST(BlastFatal, MessagesOfUnusableParameters) {
  CCHArray A(2, 10, 1.0);
  struct Case {
    const char* key;
    double value;
    const char* regex;
  };
  const Case cases[] = {
      {"Beta", 1.0, "^CSourceCalc_Blast: Beta=1 out of range, need 0 <= Beta < 1\n$"},
      {"Beta", -0.1, "Beta=-0.1 out of range"},
      {"T", 0.0, "^CSourceCalc_Blast: temperature T=0 MeV, need T > 0\n$"},
      {"DelTau", -1.0,
       "^CSourceCalc_Blast: Tau=12, DelTau=-1 fm/c, need Tau >= 0 and DelTau >= 0\n$"},
      {"Mb", 0.0, "masses Ma=938.28, Mb=0 MeV, need both > 0"},
      {"Pt", -5.0, "Pt=-5 MeV/c, need Pt >= 0"},
      {"Nsample", 0, "^CSourceCalc_Blast: Nsample=0, need at least 1 points per species\n$"},
      {"Mb", 938.28, "^CSourceCalc_Blast: Nsample=1, need at least 2 points per species\n$"},
      {"T", 1e6, "^DISASTER! weight=[0-9.e+]+ which is > 1.0, eu=[0-9.e+]+, eumin=[0-9.e+]+\n$"},
  };
  for (const Case& c : cases) {
    auto run = [&]() {
      CSourceCalc_Blast blast;
      // Identical species need two points: the Mb case runs with one.
      if (c.value == 938.28) parameter::set(blast.spars, "Nsample", 1);
      parameter::set(blast.spars, c.key, c.value);
      blast.CalcS(&A);
    };
    EXPECT_FATAL(run(), c.regex);
  }
  for (const char* key : {"T", "Nsample", "lambda"}) {
    auto run = [&]() {
      CSourceCalc_Blast blast;
      blast.spars.erase(key);
      blast.CalcS(&A);
    };
    EXPECT_FATAL(run(), std::string("^CSourceCalc_Blast: parameter ") + key + " is missing\n$");
  }
  // Get_r on its own checks its keys as well.
  auto get_r_without_etag = []() {
    CSourceCalc_Blast blast;
    blast.spars.erase("EtaG");
    double p[4] = {1000.0, 300.0, 0.0, 0.0};
    double point[4];
    double* r[1] = {point};
    blast.Get_r(p, r);
  };
  EXPECT_FATAL(get_r_without_etag(), "^CSourceCalc_Blast: parameter EtaG is missing\n$");
}

}  // namespace

// Tests of CRandom: reproducibility, the seed rule, deviate ranges and
// moments, and the Boltzmann sampler on both sides of its T/m switch.
// Every test is seeded, so the statistical checks are deterministic.

#include "numeric/random.h"

#include <gsl/gsl_rng.h>

#include <cmath>
#include <vector>

#include "common/test_util.h"
#include "numeric/bessel.h"

namespace {

TEST(CRandom, SameSeedSameSequenceAndResetRestarts) {
  CRandom a(-1234), b(-1234), c(77);
  std::vector<double> first;
  bool differs = false;
  for (int i = 0; i < 50; i++) {
    first.push_back(a.ran());
    EXPECT_EQ(first.back(), b.ran());
    if (c.ran() != first.back()) differs = true;
  }
  EXPECT_TRUE(differs);
  a.reset(-1234);
  for (int i = 0; i < 50; i++) EXPECT_EQ(a.ran(), first[i]);
}

TEST(CRandom, NegativeSeedIsTakenModulo2To32) {
  CRandom a(-1234);
  gsl_rng* ref = gsl_rng_alloc(gsl_rng_ranlxd1);
  gsl_rng_set(ref, 4294966062UL);
  for (int i = 0; i < 20; i++) EXPECT_EQ(a.ran(), gsl_rng_uniform(ref));
  gsl_rng_free(ref);
}

TEST(CRandom, DeviateRangesAndGaussianMoments) {
  CRandom r(11);
  const int n = 20000;
  double s2 = 0, t2 = 0, t12 = 0;
  std::vector<int> hits(7, 0);
  for (int i = 0; i < n; i++) {
    const double x = r.ran();
    ASSERT_TRUE(x >= 0.0 && x < 1.0);
    const unsigned long k = r.iran(7);
    ASSERT_LT(k, 7UL);
    hits[k]++;
    const double g = r.gauss();
    double g1, g2;
    r.gauss2(g1, g2);
    s2 += g * g;
    t2 += g1 * g1 + g2 * g2;
    t12 += g1 * g2;
  }
  for (int h : hits) EXPECT_GT(h, n / 7 - 300);  // 5 standard deviations
  EXPECT_NEAR(s2 / n, 1.0, 0.05);                // standard error 0.01
  EXPECT_NEAR(t2 / (2 * n), 1.0, 0.035);
  EXPECT_NEAR(t12 / n, 0.0, 0.035);
}

struct BoltzmannCase {
  const char* name;
  double m, T;
};

class CRandomBoltzmann : public ::testing::TestWithParam<BoltzmannCase> {};

// Mean energy of the relativistic Boltzmann distribution k^2 exp(-E/T) dk:
// <E> = 3T + m K1(m/T)/K2(m/T); for m = 0 it is 3T.
double MeanEnergy(double m, double T) {
  if (m == 0.0) return 3.0 * T;
  return 3.0 * T + m * Bessel::K1(m / T) / Bessel::Kn(2, m / T);
}

TEST_P(CRandomBoltzmann, MassShellIsotropyAndMeanEnergy) {
  const BoltzmannCase c = GetParam();
  CRandom r(-1234);
  const int n = 20000;
  double sumE = 0, sumz = 0, sumx2 = 0, sumz2 = 0;
  for (int i = 0; i < n; i++) {
    double p[4];
    r.generate_boltzmann(c.m, c.T, p);
    const double p2 = p[1] * p[1] + p[2] * p[2] + p[3] * p[3];
    ASSERT_TRUE(femtokit_test::IsClose(p[0] * p[0] - p2, c.m * c.m, 1e-10, 1e-8 * p[0] * p[0]));
    sumE += p[0];
    sumz += p[3];
    sumx2 += p[1] * p[1];
    sumz2 += p[3] * p[3];
  }
  const double meanp2 = (sumx2 + sumz2) / (2 * n);
  if (c.T / c.m <= 0.08) {
    // Maxwell sampling: each component has variance m T (the exact Boltzmann
    // <E> would differ by about 3.75 T^2/m).
    EXPECT_CLOSE(meanp2, c.m * c.T, 0.03);
  } else {
    EXPECT_CLOSE(sumE / n, MeanEnergy(c.m, c.T), 0.01);
  }
  EXPECT_NEAR(sumz / n, 0.0, 4.0 * std::sqrt(meanp2 / n));
  EXPECT_CLOSE(sumx2 / n, sumz2 / n, 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, CRandomBoltzmann,
    ::testing::Values(BoltzmannCase{"NonRelativisticProton", 938.28, 60.0},  // T/m = 0.064
                      BoltzmannCase{"RelativisticProton", 938.28, 120.0},    // T/m = 0.128
                      BoltzmannCase{"RelativisticPion", 139.58, 150.0},
                      BoltzmannCase{"Massless", 0.0, 100.0}),
    [](const ::testing::TestParamInfo<BoltzmannCase>& info) { return info.param.name; });

}  // namespace

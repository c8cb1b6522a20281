// Tests of CRandom: reproducibility, the seed rule, deviate ranges and
// moments, and the Boltzmann sampler on both sides of its T/m switch.
// Every test is seeded, so the statistical checks are deterministic.

#include "numeric/random.h"

#include <gsl/gsl_rng.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/test_util.h"
#include "numeric/bessel.h"

namespace {

TEST(CRandom, SeedModulo2To32AndResetRestarts) {
  CRandom a(-1234);
  gsl_rng* ref = gsl_rng_alloc(gsl_rng_ranlxd1);
  gsl_rng_set(ref, 4294966062UL);  // -1234 modulo 2^32
  std::vector<double> first;
  for (int i = 0; i < 20; i++) {
    first.push_back(a.ran());
    EXPECT_EQ(first.back(), gsl_rng_uniform(ref));
  }
  gsl_rng_free(ref);
  a.reset(-1234);
  for (int i = 0; i < 20; i++) EXPECT_EQ(a.ran(), first[i]);
}

TEST(CRandom, DeviateRangesAndGaussianMoments) {
  CRandom r(11);
  const int n = 20000;
  double s2 = 0, t2 = 0, t12 = 0;
  unsigned long seen = 0;  // bit k: iran(7) gave k
  for (int i = 0; i < n; i++) {
    const double x = r.ran();
    ASSERT_TRUE(x >= 0.0 && x < 1.0);
    seen |= 1UL << std::min(r.iran(7), 8UL);
    const double g = r.gauss();
    double g1, g2;
    r.gauss2(g1, g2);
    s2 += g * g;
    t2 += g1 * g1 + g2 * g2;
    t12 += g1 * g2;
  }
  EXPECT_EQ(seen, 127UL);                  // every value of 0 ... 6, nothing else
  EXPECT_CLOSE_ABS(s2 / n, 1.0, 0, 0.05);  // standard error 0.01
  EXPECT_CLOSE_ABS(t2 / (2 * n), 1.0, 0, 0.035);
  EXPECT_CLOSE_ABS(t12 / n, 0.0, 0, 0.035);
}

struct BoltzmannCase {
  const char* name;
  double m, T;
};

class CRandomBoltzmann : public ::testing::TestWithParam<BoltzmannCase> {};

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
    // Maxwell sampling: each component has variance m T.
    EXPECT_CLOSE(meanp2, c.m * c.T, 0.03);
  } else {
    // Relativistic Boltzmann: <E> = 3T + m K1(m/T)/K2(m/T), 3T for m = 0, and
    // <p^2> = 3 m T K3(m/T)/K2(m/T), 12 T^2 for m = 0 (moments of p^2 exp(-E/T)).
    const double x = c.m / c.T;
    EXPECT_CLOSE(sumE / n, 3.0 * c.T + (x > 0 ? c.m * Bessel::K1(x) / Bessel::Kn(2, x) : 0.0),
                 0.01);
    EXPECT_CLOSE(3.0 * meanp2,  // meanp2 is per component
                 x > 0 ? 3.0 * c.m * c.T * Bessel::Kn(3, x) / Bessel::Kn(2, x) : 12.0 * c.T * c.T,
                 0.02);
  }
  EXPECT_CLOSE_ABS(sumz / n, 0.0, 0, 4.0 * std::sqrt(meanp2 / n));
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

// Coefficient tables of Cartesian-harmonic algebra: combinatorics, traceless components and the
// overlap integrals with their cache.

#include "arrays/chcalc.h"

#include <gsl/gsl_integration.h>

#include <cmath>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"

namespace {

using femtokit_test::kRoundoff;

using femtokit::constants::kPi;

// Integral over the unit sphere of A_l A_l' by a product rule exact for the polynomial integrand
// (GSL's Gauss-Legendre in cos(theta), uniform points in phi): independent of the closed form.
double OverlapByQuadrature(CCHCalc& calc, int lx, int ly, int lz, int lxp, int lyp, int lzp) {
  const int L = lx + ly + lz + lxp + lyp + lzp, nphi = L + 3;
  gsl_integration_glfixed_table* table = gsl_integration_glfixed_table_alloc(L / 2 + 2);
  double sum = 0.0;
  for (size_t i = 0; i < table->n; ++i) {
    double z, w;
    gsl_integration_glfixed_point(-1.0, 1.0, i, &z, &w, table);
    for (int k = 0; k < nphi; ++k) {
      const double phi = 2.0 * kPi * (k + 0.3) / nphi, s = std::sqrt(1.0 - z * z);
      const double ex = s * std::cos(phi), ey = s * std::sin(phi);
      sum += w * (2.0 * kPi / nphi) * calc.GetAFromE(lx, ly, lz, ex, ey, z) *
             calc.GetAFromE(lxp, lyp, lzp, ex, ey, z);
    }
  }
  gsl_integration_glfixed_table_free(table);
  return sum;
}

TEST(CCHCalcTest, FactorialsBinomialsTrinomials) {
  CCHCalc calc;
  EXPECT_EQ(calc.DoubleFactorial(0) + calc.DoubleFactorial(1) + calc.DoubleFactorial(8), 386.0);
  // The top of the tables against log-gamma; Pascal's rule in three indices.
  EXPECT_CLOSE(std::log(calc.Factorial(56)), std::lgamma(57.0), 1e-13);
  EXPECT_CLOSE(calc.Binomial(28, 28), std::exp(std::lgamma(57.0) - 2 * std::lgamma(29.0)), 1e-12);
  EXPECT_EQ(calc.Trinomial(3, 4, 5),
            calc.Trinomial(2, 4, 5) + calc.Trinomial(3, 3, 5) + calc.Trinomial(3, 4, 4));
}

TEST(CCHCalcTest, LookupsBeyondTheTablesAreFatal) {
  CCHCalc calc;
  EXPECT_FATAL(calc.Factorial(57), "Factorial\\(57\\) beyond the tables");
  EXPECT_FATAL(calc.GetOverlap(57, 0, 0, 57, 0, 0), "GetOverlap: l=\\(57,0,0\\) beyond");
}

TEST(CCHCalcTest, MonomialsAndTracelessComponents) {
  CCHCalc calc;
  const double ex = 0.48, ey = -0.6, ez = std::sqrt(1.0 - 0.48 * 0.48 - 0.36);
  EXPECT_CLOSE(calc.GetMFromE(2, 1, 3, ex, ey, ez), ex * ex * ey * ez * ez * ez, kRoundoff);
  EXPECT_CLOSE(calc.GetAFromE(2, 0, 0, ex, ey, ez), ex * ex - 1.0 / 3.0, kRoundoff);
  EXPECT_CLOSE(calc.GetAFromE(1, 1, 0, ex, ey, ez), ex * ey, kRoundoff);
  // Along z the rank-L component (0,0,L) is L!/(2L-1)!! P_L(ez).
  EXPECT_CLOSE(calc.GetAFromE(0, 0, 3, ex, ey, ez), 0.4 * 0.5 * (5 * ez * ez * ez - 3 * ez),
               kRoundoff);
  EXPECT_CLOSE(calc.GetAFromThetaPhi(1, 0, 2, 0.7, 1.1),
               calc.GetAFromE(1, 0, 2, std::sin(0.7) * std::cos(1.1), std::sin(0.7) * std::sin(1.1),
                              std::cos(0.7)),
               kRoundoff);
  // Tracelessness on every axis pair, ranks 2 ... 9.
  for (int L = 2; L <= 9; ++L)
    for (int lx = 0; lx <= L - 2; ++lx)
      for (int ly = 0, lz = L - 2 - lx; lz >= 0; ++ly, --lz)
        EXPECT_CLOSE_ABS(calc.GetAFromE(lx + 2, ly, lz, ex, ey, ez) +
                             calc.GetAFromE(lx, ly + 2, lz, ex, ey, ez) +
                             calc.GetAFromE(lx, ly, lz + 2, ex, ey, ez),
                         0.0, 0, 1e-13)
            << "L=" << L << " l=" << lx << ly << lz;
}

TEST(CCHCalcTest, ClosedAndCachedOverlapsMatchQuadratureForEveryPair) {
  CCHCalc calc;
  EXPECT_CLOSE(calc.GetOverlap0(0, 0, 0, 0, 0, 0), 4 * kPi, kRoundoff);
  EXPECT_CLOSE(calc.GetOverlap0(2, 0, 0, 0, 2, 0), -8 * kPi / 45, kRoundoff);
  // Different rank or odd difference: zero without building the row (a rank-51 row nothing else
  // asks for).
  EXPECT_EQ(calc.GetOverlap(31, 17, 3, 30, 17, 3) + calc.GetOverlap(3, 17, 31, 30, 18, 3), 0.0);
  EXPECT_EQ(CCHCalc::overlap[31][17][3], nullptr);
  // Every pair of components of ranks 3 to 5: the cache serves all permutations, in either order.
  for (int L : {3, 4, 5})
    for (int lx = 0; lx <= L; ++lx)
      for (int ly = 0; ly <= L - lx; ++ly)
        for (int lxp = 0; lxp <= L; ++lxp)
          for (int lyp = 0; lyp <= L - lxp; ++lyp) {
            const int lz = L - lx - ly, lzp = L - lxp - lyp;
            const double q = OverlapByQuadrature(calc, lx, ly, lz, lxp, lyp, lzp);
            EXPECT_CLOSE_ABS(calc.GetOverlap0(lx, ly, lz, lxp, lyp, lzp), q, 0, 1e-12)
                << lx << ly << lz << " | " << lxp << lyp << lzp;
            EXPECT_CLOSE_ABS(calc.GetOverlap(lx, ly, lz, lxp, lyp, lzp), q, 0, 1e-12);
            EXPECT_CLOSE_ABS(calc.GetOverlap(lxp, lyp, lzp, lx, ly, lz), q, 0, 1e-12);
          }
  EXPECT_NE(CCHCalc::overlap[3][1][1], nullptr);
}

// When the last object goes the tables are released with the two notices; a new object rebuilds
// them. Run in a child process so the tables of the other tests stay untouched.
TEST(CCHCalcTest, LastObjectClearsTablesAndNextRebuilds) {
  EXPECT_FATAL(
      {
        CCHCalc* calc = new CCHCalc;
        calc->GetOverlap(2, 0, 0, 2, 0, 0);  // fill a cache row, released with the rest
        CCHCalc::INITIALIZED = 1;            // as if it were the only live object
        delete calc;
        if (CCHCalc::fact == nullptr && CCHCalc::overlap == nullptr) printf("released\n");
        CCHCalc again;
        printf("count %d, 6! = %g\n", CCHCalc::INITIALIZED, again.Factorial(6));
        femtokit::Fatal("end\n");
      },
      "^Clearing static data used for charray calc.s. \nDon't do this unless you are finished "
      "with charray objects\nCCHCalc static data cleared\nreleased\ncount 1, 6! = 720\nend\n");
}

}  // namespace

// Three-dimensional Gaussian source: parameters, the Cartesian-harmonic form through the
// exponential series, the grid form and the symmetry checks.

#include <cmath>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "common/test_util.h"
#include "source/sourcecalc_gaussian.h"

namespace {

using femtokit_test::kRoundoff;

struct Pars {
  const char* name;
  double lambda, R[3], off[3], euler[3];  // euler: phi, theta, psi
  bool sym[3];                            // the symmetries these parameters allow
};
void PrintTo(const Pars& p, std::ostream* os) { *os << p.name; }

void Apply(CSourceCalc_Gaussian* g, const Pars& p) {
  g->SetSPars(p.lambda, p.R[0], p.R[1], p.R[2], p.off[0], p.off[1], p.off[2], p.euler[0],
              p.euler[1], p.euler[2]);
}

// lambda (4 pi)^(-3/2)/(Rx Ry Rz) exp(-sum_k b_k^2/(4 R_k^2)), b = U^T (r - o), the columns
// of the Euler matrix U being the body axes.
double Closed(const Pars& p, const double (&x)[3]) {
  const double cf = cos(p.euler[0]), sf = sin(p.euler[0]), ct = cos(p.euler[1]),
               st = sin(p.euler[1]), cs = cos(p.euler[2]), ss = sin(p.euler[2]);
  const double U[3][3] = {{cs * ct * cf - sf * ss, cs * ct * sf + cf * ss, -cs * st},
                          {-ss * ct * cf - cs * sf, -ss * ct * sf + cf * cs, ss * st},
                          {st * cf, st * sf, ct}};
  double e = 0.0;
  for (int k = 0; k < 3; k++) {
    double b = 0.0;
    for (int i = 0; i < 3; i++) b += U[i][k] * (x[i] - p.off[i]);
    e += b * b / (4.0 * p.R[k] * p.R[k]);
  }
  return p.lambda * pow(4.0 * M_PI, -1.5) / (p.R[0] * p.R[1] * p.R[2]) * exp(-e);
}

// The expansion evaluated with AExpand against the closed form, at bin centres and directions
// spread over the sphere. LMAX 10 keeps the series to 1e-4 up to r = 8 fm for these radii.
class GaussianExpansion : public ::testing::TestWithParam<Pars> {};

TEST_P(GaussianExpansion, AgreesWithTheClosedForm) {
  const Pars& p = GetParam();
  CSourceCalc_Gaussian g;
  Apply(&g, p);
  CCHArray A(10, 16, 0.5, p.sym[0], p.sym[1], p.sym[2]);
  g.CalcS(&A);
  for (int ir = 0; ir < 16; ir += 3)
    for (int i = 0; i < 7; i++) {
      const double ct = -0.9 + 0.3 * i, st = sqrt(1.0 - ct * ct), phi = 0.9 * i - 2.5;
      const double e[3] = {st * cos(phi), st * sin(phi), ct}, r = (ir + 0.5) * 0.5;
      EXPECT_CLOSE(A.AExpand(e[0], e[1], e[2], ir), Closed(p, {r * e[0], r * e[1], r * e[2]}), 1e-4)
          << "r=" << r << " direction " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, GaussianExpansion,
    ::testing::Values(
        Pars{"RotatedOffset", 0.8, {3.0, 3.5, 4.2}, {0.5, -0.3, 0.4}, {0.3, 0.7, -0.4}, {0, 0, 0}},
        // A negative weight (a fit's probe point) gives the mirrored source.
        Pars{"YSymTiltedNegative", -0.6, {3.0, 3.4, 4.0}, {0.3, 0, -0.5}, {0, 0.6, 0}, {0, 1, 0}},
        Pars{"AllSymAligned", 1.0, {3.0, 3.6, 4.4}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}}),
    [](const ::testing::TestParamInfo<Pars>& info) { return info.param.name; });

// The (0,0,0) component carries the whole integral as far as the series keeps the angular
// content (to 1e-4 for this mildly deformed source at LMAX 10), the grid all of it.
TEST(GaussianSource, BothFormsIntegrateToLambda) {
  CSourceCalc_Gaussian g;
  CCHArray A(10, 120, 0.25, true, true, true);
  g.SetSPars(0.7, 3.0, 3.3, 3.6);
  g.CalcS(&A);
  EXPECT_CLOSE(femtokit_test::PrintedNorm(&g, &A), 0.7, 1e-4);
  C3DArray F(25, 1.0, false, false, false);
  g.SetSPars(0.7, 2.5, 3.0, 3.5, 1.0, -1.5, 0.5, 0.2, 0.3, 0.4);
  g.CalcS(&F);
  EXPECT_CLOSE(femtokit_test::PrintedNorm(&g, &F), 0.7, 1e-5);
  // Linear in lambda: -lambda flips the grid, lambda = 0 clears the expansion.
  C3DArray M(25, 1.0, false, false, false);
  g.SetSPars(-0.7, 2.5, 3.0, 3.5, 1.0, -1.5, 0.5, 0.2, 0.3, 0.4);
  g.CalcS(&M);
  EXPECT_EQ(M.GetElement(1, 3, 0, 2, 1, 4), -F.GetElement(1, 3, 0, 2, 1, 4));
  g.SetSPars(0.0, 3.0, 3.3, 3.6, 0, 0, 0, 0, 0, 0);
  g.CalcS(&A);
  EXPECT_EQ(A.GetBiggest(3), 0.0);
}

TEST(GaussianSource, GridHalvesOffsetsAndRotations) {
  CSourceCalc_Gaussian g;
  C3DArray G(6, 1.5, 5, 2.0, 4, 2.5, false, false, false),
      H(6, 1.5, 5, 2.0, 4, 2.5, false, false, false);
  g.SetSPars(0.9, 2.0, 3.0, 4.0);
  g.CalcS(&H);
  EXPECT_EQ(H.GetElement(0, 2, 0, 1, 1, 3), H.GetElement(1, 2, 0, 1, 1, 3));  // even in x
  g.SetSPars(0.9, 2.0, 3.0, 4.0, 1.5, 0, 0);  // shifted by one cell along x
  g.CalcS(&G);
  EXPECT_CLOSE(G.GetElement(0, 2, 0, 1, 1, 3), H.GetElement(0, 1, 0, 1, 1, 3), kRoundoff);
  EXPECT_CLOSE(G.GetElement(1, 0, 0, 1, 1, 3), H.GetElement(1, 1, 0, 1, 1, 3), kRoundoff);
  // theta = pi/2 turns the body x axis onto z, phi = pi/2 onto -y: the axis-aligned sources
  // with the radii exchanged (to the six digits the angle keeps in the parameter map).
  const double turns[2][6] = {{4, 3, 2, 0, M_PI / 2, 0}, {3, 2, 4, M_PI / 2, 0, 0}};
  for (const auto& t : turns) {
    C3DArray aligned(4, 1.0, true, true, true), rotated(4, 1.0, false, false, false);
    g.SetSPars(1.0, t[0], t[1], t[2], 0, 0, 0, 0, 0, 0);
    g.CalcS(&aligned);
    g.SetSPars(1.0, 2.0, 3.0, 4.0, 0, 0, 0, t[3], t[4], t[5]);
    g.CalcS(&rotated);
    for (int i = 0; i < 4; i++)
      for (int k = 0; k < 4; k++)
        EXPECT_CLOSE(rotated.GetElement(1, i, 1, 2, 0, k), aligned.GetElement(0, i, 0, 2, 0, k),
                     femtokit_test::kSixDigits);
  }
}

TEST(GaussianSource, BrokenSymmetriesAndBadRadiiAreFatal) {
  CSourceCalc_Gaussian g;
  CCHArray zsym(2, 4, 1.0, false, false, true);
  CCHArray ysym(2, 4, 1.0, false, true, false);
  g.SetSPars(1, 3, 3, 3, 0, 0, 0, 0, 0.2, 0);
  EXPECT_FATAL(g.CalcS(&zsym), "^Zsym true, but Zoff or Euler_Theta !=0\n$");
  g.SetSPars(1, 3, 3, 3, 0, 0, 0, 0.2, 0, 0);
  g.CalcS(&zsym);  // a rotation about z keeps z -> -z
  g.SetSPars(1, 3, 3, 3, 0, 1e-9, 0, 0, 0, 0);
  g.CalcS(&ysym);  // Yoff within the tolerance
  g.SetSPars(1, 3, 3, 3, 0, 0.1, 0);
  EXPECT_FATAL(g.CalcS(&ysym), "^Ysym true, but Yoff, Euler_phi, or Euler_Psi !=0\n$");
  C3DArray grid(4, 1.0, true, false, false);  // the grid form checks the grid's symmetries
  g.SetSPars(1, 3, 3, 3, 0.5, 0, 0);
  EXPECT_FATAL(g.CalcS(&grid), "^Xsym true, but Xoff, Euler_phi, Euler_Theta or Euler_Psi !=0\n$");
  g.SetSPars(1, 3, 0, 3, 0, 0, 0);
  EXPECT_FATAL(g.CalcS(&grid), "radii Rx=3, Ry=0, Rz=3 must be positive");
}

}  // namespace

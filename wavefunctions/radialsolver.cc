#include "wavefunctions/radialsolver.h"

#include <gsl/gsl_sf_psi.h>

#include <algorithm>
#include <cmath>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"
#include "wavefunctions/coulwave.h"

namespace femtokit {

using cdouble = std::complex<double>;
using constants::kAlpha;
using constants::kHbarC;
using constants::kPi;

namespace {

constexpr double kMaxMatchingRadius = 40.0;  // fm
constexpr double kMatchGap = 1.0;            // fm between the two matching points
constexpr double kTailStrength = 1e-6;       // (2mu/hbarc^2) |V| r^2 negligible beyond r_m

// First grid index at which the Numerov recursion starts: ell (ell + 1) / (12 j^2) must stay
// well below 1, or the factor 1 - h^2 g / 12 of the centrifugal term vanishes near the origin.
int StartIndex(int ell) {
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(ell * (ell + 1.0) / 0.6))));
}

// Regular solution near the origin, r^{ell+1} (1 + s r / (2 (ell + 1))), s the 1/r strength.
double SeriesStart(int ell, double s, double r) {
  return std::pow(r, ell + 1) * (1.0 + s * r / (2.0 * (ell + 1.0)));
}

double WrapHalfTurn(double delta) {
  // arg / 2 lies in (-pi/2, pi/2] already; keep it there against rounding at the edge.
  return delta <= -0.5 * kPi ? delta + kPi : delta;
}

}  // namespace

double ReducedMass(double m1, double m2) { return m1 * m2 / (m1 + m2); }

double SommerfeldEta(double mu, int z1z2, double q) { return z1z2 * kAlpha * mu / q; }

RadialWave::RadialWave(std::shared_ptr<const Potential> potential, int ell, double mu, int z1z2,
                       double rmatch, double step)
    : potential_(std::move(potential)),
      ell_(ell),
      coupled_(potential_ != nullptr && potential_->Coupled()),
      mu_(mu),
      z1z2_(z1z2),
      h_(step),
      nmatch_(0),
      singular_(0.0) {
  if (!(step > 0.0) || ell < 0 || !(mu > 0.0))
    Fatal("RadialWave: needs step > 0, ell >= 0 and mu > 0 (step=%g, ell=%d, mu=%g)\n", step,
          ell, mu);
  const double cv = 2.0 * mu / (kHbarC * kHbarC);
  if (rmatch <= 0.0) {
    // Scan inward from the largest radius for the last point where the potential still counts.
    // rlast lies within one scan step below the true edge: the inner matching point goes one
    // step beyond it.
    constexpr double kScanStep = 0.05;
    double rlast = 0.0;
    if (potential_ != nullptr) {
      for (double r = kMaxMatchingRadius; r > 0.0; r -= kScanStep) {
        double v11, v12, v22;
        potential_->Matrix(r, &v11, &v12, &v22);
        const double v = std::max({std::fabs(v11), std::fabs(v12), std::fabs(v22)});
        if (cv * v * r * r > kTailStrength) {
          rlast = r + kScanStep;
          break;
        }
      }
    }
    rmatch = std::min(std::max(rlast, 1.0) + kMatchGap, kMaxMatchingRadius + kMatchGap);
  }
  if (rmatch < kMatchGap + 2.0 * step)
    Fatal("RadialWave: matching radius %g fm too small (needs more than %g fm)\n", rmatch,
          kMatchGap);
  nmatch_ = static_cast<int>(std::ceil(rmatch / h_));
  if (potential_ == nullptr) return;
  singular_ = cv * potential_->SingularStrength();
  w11_.assign(nmatch_ + 1, 0.0);
  if (coupled_) {
    w12_.assign(nmatch_ + 1, 0.0);
    w22_.assign(nmatch_ + 1, 0.0);
  }
  for (int j = 1; j <= nmatch_; j++) {
    double v11, v12, v22;
    potential_->Matrix(j * h_, &v11, &v12, &v22);
    w11_[j] = cv * v11;
    if (coupled_) {
      w12_[j] = cv * v12;
      w22_[j] = cv * v22;
    }
  }
}

std::vector<double> RadialWave::IntegrateSingle(double k, double eta, bool reference) const {
  const int n = nmatch_;
  const double h2 = h_ * h_;
  const double s = 2.0 * eta * k + (reference ? 0.0 : singular_);
  const double cent = ell_ * (ell_ + 1.0);
  auto g = [&](int j) {
    const double r = j * h_;
    return cent / (r * r) + (reference ? 0.0 : w11_[j]) + 2.0 * eta * k / r - k * k;
  };
  std::vector<double> u(n + 1, 0.0);
  const int j0 = StartIndex(ell_);
  for (int j = 1; j <= j0; j++) u[j] = SeriesStart(ell_, s, j * h_);
  // Numerov in w = (1 - h^2 g / 12) u: w_{j+1} = 2 w_j - w_{j-1} + h^2 g_j u_j.
  // At the origin g u tends to s (ell = 0), 2 (ell = 1) or 0, with u ~ r^{ell+1}.
  double wprev;
  if (j0 == 1) {
    const double gu0 = ell_ == 0 ? s : (ell_ == 1 ? 2.0 : 0.0);
    wprev = -h2 * gu0 / 12.0;
  } else {
    wprev = (1.0 - h2 * g(j0 - 1) / 12.0) * u[j0 - 1];
  }
  double gj = g(j0);
  double wj = (1.0 - h2 * gj / 12.0) * u[j0];
  for (int j = j0; j < n; j++) {
    const double wnext = 2.0 * wj - wprev + h2 * gj * u[j];
    const double gnext = g(j + 1);
    u[j + 1] = wnext / (1.0 - h2 * gnext / 12.0);
    wprev = wj;
    wj = wnext;
    gj = gnext;
  }
  return u;
}

std::vector<double> RadialWave::IntegrateCoupled(double k, double eta) const {
  const int n = nmatch_;
  const int l1 = ell_, l2 = ell_ + 2;
  const double h2 = h_ * h_;
  const double s = 2.0 * eta * k + singular_;
  // G(r) = diag(l(l+1)/r^2) + W(r) + (2 eta k / r - k^2): symmetric 2 x 2 (g11, g12, g22).
  auto G = [&](int j, double* g11, double* g12, double* g22) {
    const double r = j * h_;
    const double common = 2.0 * eta * k / r - k * k;
    *g11 = l1 * (l1 + 1.0) / (r * r) + w11_[j] + common;
    *g12 = w12_[j];
    *g22 = l2 * (l2 + 1.0) / (r * r) + w22_[j] + common;
  };
  std::vector<double> u(4 * (n + 1), 0.0);  // per j: u11, u12, u21, u22 (row = channel)
  const int j0 = StartIndex(l2);
  for (int j = j0 - 1; j <= j0; j++) {
    u[4 * j + 0] = SeriesStart(l1, s, j * h_);  // column 1 regular in ell
    u[4 * j + 3] = SeriesStart(l2, s, j * h_);  // column 2 regular in ell + 2
  }
  // Matrix Numerov: W = (I - h^2 G / 12) U, W_{j+1} = 2 W_j - W_{j-1} + h^2 G_j U_j.
  auto Wof = [&](int j, double* w) {
    double g11, g12, g22;
    G(j, &g11, &g12, &g22);
    const double* uj = &u[4 * j];
    const double a11 = 1.0 - h2 * g11 / 12.0, a12 = -h2 * g12 / 12.0, a22 = 1.0 - h2 * g22 / 12.0;
    w[0] = a11 * uj[0] + a12 * uj[2];
    w[1] = a11 * uj[1] + a12 * uj[3];
    w[2] = a12 * uj[0] + a22 * uj[2];
    w[3] = a12 * uj[1] + a22 * uj[3];
  };
  double wprev[4], wj[4];
  Wof(j0 - 1, wprev);
  Wof(j0, wj);
  for (int j = j0; j < n; j++) {
    double g11, g12, g22;
    G(j, &g11, &g12, &g22);
    const double* uj = &u[4 * j];
    double wnext[4];
    wnext[0] = 2.0 * wj[0] - wprev[0] + h2 * (g11 * uj[0] + g12 * uj[2]);
    wnext[1] = 2.0 * wj[1] - wprev[1] + h2 * (g11 * uj[1] + g12 * uj[3]);
    wnext[2] = 2.0 * wj[2] - wprev[2] + h2 * (g12 * uj[0] + g22 * uj[2]);
    wnext[3] = 2.0 * wj[3] - wprev[3] + h2 * (g12 * uj[1] + g22 * uj[3]);
    G(j + 1, &g11, &g12, &g22);
    const double a11 = 1.0 - h2 * g11 / 12.0, a12 = -h2 * g12 / 12.0, a22 = 1.0 - h2 * g22 / 12.0;
    const double det = a11 * a22 - a12 * a12;
    double* un = &u[4 * (j + 1)];
    un[0] = (a22 * wnext[0] - a12 * wnext[2]) / det;
    un[1] = (a22 * wnext[1] - a12 * wnext[3]) / det;
    un[2] = (a11 * wnext[2] - a12 * wnext[0]) / det;
    un[3] = (a11 * wnext[3] - a12 * wnext[1]) / det;
    for (int i = 0; i < 4; i++) {
      wprev[i] = wj[i];
      wj[i] = wnext[i];
    }
  }
  return u;
}

namespace {

// Coefficients A, B of u = A F + B G from u at the outer (a) and inner (b) matching points.
struct Match {
  double A, B;
};
Match MatchFG(double ua, double ub, double Fa, double Ga, double Fb, double Gb) {
  const double det = Fa * Gb - Fb * Ga;
  return {(ua * Gb - ub * Ga) / det, (Fa * ub - Fb * ua) / det};
}

}  // namespace

WaveSolution RadialWave::Solve(double q, bool keep_correction) const {
  WaveSolution sol;
  const int na = nmatch_;
  if (keep_correction) sol.correction.assign(na + 1, 0.0);
  if (potential_ == nullptr) return sol;  // free or Coulomb wave: delta = 0, e = 1, D = 0

  const double k = q / kHbarC;
  const double eta = SommerfeldEta(mu_, z1z2_, q);
  const int nb = na - static_cast<int>(std::lround(kMatchGap / h_));
  const double xa = k * na * h_, xb = k * nb * h_;
  const double sigma = std::arg(CoulWave::cgamma(cdouble(ell_ + 1.0, eta)));
  double F1a, G1a, F1b, G1b;
  CoulWave::GetFG(ell_, xa, eta, &F1a, &G1a);
  CoulWave::GetFG(ell_, xb, eta, &F1b, &G1b);

  std::vector<double> u;
  cdouble m1, m2;  // Psi_11(r) = u11(r) m1 + u12(r) m2
  if (!coupled_) {
    u = IntegrateSingle(k, eta, false);
    const Match m = MatchFG(u[na], u[nb], F1a, G1a, F1b, G1b);
    const double K = m.B / m.A;
    sol.delta = WrapHalfTurn(std::atan(K));
    sol.e = (1.0 - cdouble(0.0, K)) / (1.0 + cdouble(0.0, K));
    m1 = 1.0 / cdouble(m.A, m.B);
  } else {
    u = IntegrateCoupled(k, eta);
    const int l2 = ell_ + 2;
    double F2a, G2a, F2b, G2b;
    CoulWave::GetFG(l2, xa, eta, &F2a, &G2a);
    CoulWave::GetFG(l2, xb, eta, &F2b, &G2b);
    const double* ua = &u[4 * na];
    const double* ub = &u[4 * nb];
    const Match m11 = MatchFG(ua[0], ub[0], F1a, G1a, F1b, G1b);
    const Match m12 = MatchFG(ua[1], ub[1], F1a, G1a, F1b, G1b);
    const Match m21 = MatchFG(ua[2], ub[2], F2a, G2a, F2b, G2b);
    const Match m22 = MatchFG(ua[3], ub[3], F2a, G2a, F2b, G2b);
    // U = F A + G B, K = B A^{-1} (real symmetric), S = (1 + iK)(1 - iK)^{-1}.
    const double detA = m11.A * m22.A - m12.A * m21.A;
    const double ai11 = m22.A / detA, ai12 = -m12.A / detA, ai21 = -m21.A / detA,
                 ai22 = m11.A / detA;
    const double K11 = m11.B * ai11 + m12.B * ai21, K12 = m11.B * ai12 + m12.B * ai22;
    const double K21 = m21.B * ai11 + m22.B * ai21, K22 = m21.B * ai12 + m22.B * ai22;
    const double k12 = 0.5 * (K12 + K21);  // symmetric up to rounding
    const cdouble i(0.0, 1.0);
    // (1 + iK)^{-1} and (1 - iK)^{-1}.
    auto inv = [&](double sign, cdouble* r11, cdouble* r12, cdouble* r22) {
      const cdouble a = 1.0 + sign * i * K11, b = sign * i * k12, d = 1.0 + sign * i * K22;
      const cdouble det = a * d - b * b;
      *r11 = d / det;
      *r12 = -b / det;
      *r22 = a / det;
    };
    cdouble p11, p12, p22, n11, n12, n22;
    inv(+1.0, &p11, &p12, &p22);
    inv(-1.0, &n11, &n12, &n22);
    const cdouble S11 = (1.0 + i * K11) * n11 + i * k12 * n12;
    const cdouble S12 = (1.0 + i * K11) * n12 + i * k12 * n22;
    const cdouble S22 = i * k12 * n12 + (1.0 + i * K22) * n22;
    sol.delta = WrapHalfTurn(0.5 * std::arg(S11));
    sol.delta2 = WrapHalfTurn(0.5 * std::arg(S22));
    sol.mixing = 0.5 * std::asin(std::clamp(
                           std::imag(S12 * std::polar(1.0, -(sol.delta + sol.delta2))), -1.0, 1.0));
    sol.e = std::conj(S11);
    // Psi = U A^{-1} (1 + iK)^{-1}: its (1, 1) element is u11 M11 + u12 M21.
    m1 = ai11 * p11 + ai12 * p12;
    m2 = ai21 * p11 + ai22 * p12;
  }
  if (!keep_correction) return sol;

  // The Coulomb-only reference on the same grid, normalised the same way.
  const std::vector<double> uref = [&] {
    const RadialWave free(nullptr, ell_, mu_, z1z2_, na * h_, h_);
    return free.IntegrateSingle(k, eta, true);
  }();
  const Match mref = MatchFG(uref[na], uref[nb], F1a, G1a, F1b, G1b);
  const cdouble mr = 1.0 / cdouble(mref.A, mref.B);
  const cdouble phase = 2.0 * std::polar(1.0, -sigma);
  const int stride = coupled_ ? 4 : 1;
  for (int j = 1; j <= na; j++) {
    const cdouble psi = coupled_ ? u[4 * j] * m1 + u[4 * j + 1] * m2 : u[stride * j] * m1;
    sol.correction[j] = phase * (psi - uref[j] * mr) / (k * j * h_);
  }
  // At r = 0: D/x has the limit of its first points for ell = 0 and vanishes for ell > 0.
  sol.correction[0] = ell_ == 0 ? 2.0 * sol.correction[1] - sol.correction[2] : 0.0;
  return sol;
}

EffectiveRange EffectiveRangeParameters(const RadialWave& wave) {
  if (wave.Ell() != 0) Fatal("EffectiveRangeParameters: needs an s wave, has ell=%d\n", wave.Ell());
  femtokit::PrepareGSL();
  const double q[2] = {2.0, 4.0};
  double y[2], k2[2];
  for (int i = 0; i < 2; i++) {
    const double k = q[i] / kHbarC;
    const double eta = SommerfeldEta(wave.Mu(), wave.Z1Z2(), q[i]);
    const double delta = wave.Solve(q[i], false).delta;
    double value = k / std::tan(delta);
    if (eta != 0.0) {
      // Coulomb-modified expansion; Re psi(i eta) = Re psi(1 + i eta).
      const double c2 = 2.0 * kPi * eta / std::expm1(2.0 * kPi * eta);
      const double h = gsl_sf_psi_1piy(eta) - std::log(std::fabs(eta));
      value = c2 * value + 2.0 * k * eta * h;
    }
    y[i] = value;
    k2[i] = k * k;
  }
  const double slope = (y[1] - y[0]) / (k2[1] - k2[0]);
  EffectiveRange er;
  er.r0 = 2.0 * slope;
  er.a = -1.0 / (y[0] - slope * k2[0]);
  return er;
}

}  // namespace femtokit

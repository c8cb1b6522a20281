// femtophaseshifts: generates the compiled-in phase-shift tables of the proton-K+, proton-pi+ and
// neutron-neutron wave functions (wavefunctions/phaseshift_tables.cc).
//
// Usage: femtophaseshifts OUTPUT.cc
//   Writes the table source to OUTPUT.cc (the checked-in file is
//   wavefunctions/phaseshift_tables.cc) and a summary of every fit on standard output.
//   Usage errors exit with status 2. Exit status 1 when a fit fails one of its own checks (an
//   anchor row missed, a pole of the parametrisation inside the table range, the Delta not passing
//   PI/2 where it must) or when OUTPUT.cc or standard output cannot be written (OUTPUT.cc is
//   then left as it was).
//
// Every table holds, per channel, ntab phase shifts delta (radians) at q = i/2 MeV/c,
// i = 0..ntab-1 (q is the momentum of either particle in the pair rest frame), and beside it a
// table of d delta / dq (radians per MeV/c). Each channel follows one closed-form curve; the
// derivative table is the analytic q-derivative of that curve. At the anchor rows (the values
// the library's tables have always held at those momenta) the tables hold exactly the anchor
// numbers; the curves are fitted to pass through them (value and slope), and the summary prints
// how closely they do. Where fitting an anchor slope would force a wiggle on the curve (the 0 at
// the last neutron-neutron point of the P waves: an expansion through it turns twice inside the
// table) the anchor is stored as a documented exception and the curve keeps its own slope
// everywhere else.
//
// Parametrisations (k = q / HBARC in fm^-1, x = k^2, n = 2 ell + 1):
//
//  1. Effective-range expansion (H.A. Bethe, Phys. Rev. 76 (1949) 38) for the nuclear phase
//     shift delta_N:  k^n cot(delta_N) = P(x) / Q(x),  P(x) = c_0 + c_1 x + ..., Q(x) = 1 + b x.
//     c_0 = -1/a (a the scattering length (volume for ell = 1), nuclear sign convention: a > 0
//     repulsive), c_1 = r/2 (effective range), higher c_j the shape terms. Q = 1 is the plain
//     expansion; a Q with b > 0 resums it with a pole at k^2 = -1/b, in the unphysical region,
//     the way the left-hand cut of t-channel exchanges limits the expansion's reach at the
//     higher momenta of the proton-pi+ table.
//  2. Relativistic Breit-Wigner for the P33 (Delta(1232)) channel of proton-pi+:
//     tan(delta_N) = M Gamma(q) / (M^2 - s),  s = (sqrt(mp^2 + q^2) + sqrt(mpi^2 + q^2))^2,
//     Gamma(q) = M k^3 / R(x) with R(x) = d_0 + d_1 x + ... + d_5 x^5 (fm^-3): the p-wave
//     threshold factor k^3 over a smooth barrier/background polynomial (J.D. Jackson, Nuovo
//     Cimento 34 (1964) 1644 for the energy-dependent width). M is fixed by putting the pole
//     where the phase must pass PI/2 (q_r = 226.75 MeV/c, inside the required 226.5..227); the
//     width at q_r comes out near the published 117 MeV (Particle Data Group, Delta(1232):
//     M = 1232 MeV, Gamma = 117 MeV; the pion-nucleon momentum of the 90-degree point is about
//     227 MeV/c).
//  3. Coulomb correction for the charged meson-proton pairs (charge product +1): the tables hold
//     the strong phase shift in the presence of Coulomb, which the wave functions use as is,
//     tan(delta) = A_ell(eta) tan(delta_N),  A_0 = 2 PI eta / (e^(2 PI eta) - 1) (the Gamow
//     factor, A. Sommerfeld 1931; J.D. Jackson and J.M. Blatt, Rev. Mod. Phys. 22 (1950) 77),
//     A_ell = A_0 prod_{i=1..ell} (eta^2 + i^2), with the relativistic Sommerfeld parameter of
//     the wave-function base, eta = (E1 E2 / (E1 + E2)) / (137.036 q). This is the correction
//     CoulWave::phaseshift_CoulombCorrect applies; it makes every Coulomb channel start with zero
//     slope at q = 0 and explains the low-q rows of the proton-K+ table (without it no smooth
//     expansion passes through them).
//
// Fits: all conditions (phase and slope at every anchor row, the q = 0 slope of the nn 1S0
// channel) are linear in the coefficients once the Coulomb factor is divided out, so each fit is
// one small linear system with as many coefficients as conditions, solved exactly. Published
// values for orientation: K+p s wave a = -0.31 fm in the particle-physics sign convention
// (J.S. Hyslop et al., Phys. Rev. D 46 (1992) 961); pi+p S31 a = -0.1 fm (G. Hoehler, Pion-
// nucleon scattering, Landolt-Boernstein I/9b2 (1983)).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "numeric/checked_io.h"
#include "numeric/constants.h"
#include "wavefunctions/phaseshift_anchors.h"

namespace {

namespace c = femtokit::constants;
constexpr double kPi = c::kPi;
constexpr double kHbarc = c::kHbarC;  // MeV fm
constexpr double kMPi = c::kMassPionCharged;
constexpr double kMKaon = c::kMassKaonCharged;
constexpr double kMProton = c::kMassProton;
constexpr double kMNeutron = c::kMassNeutron;

// One anchor row of one channel: the numbers the table must hold at q.
struct Anchor {
  double q;
  double delta;
  double ddeltadq;
  bool slope_on_curve;  // false: the anchor slope is kept as an exception, not fitted
};

struct Channel {
  const char* name;
  int ell;
  int np;            // degree of P (or of the Breit-Wigner polynomial R)
  int nq;            // 0: plain expansion, 1: Q(x) = 1 + b x
  bool breitwigner;  // Breit-Wigner form (2) instead of (1)
  double qres;       // Breit-Wigner: momentum where delta = PI/2, MeV/c
  bool fix_slope0;   // fit the q = 0 slope (uncharged s wave: 1/(c_0 HBARC))
  double slope0;
  std::vector<Anchor> anchors;

  Channel(const char* name_, int ell_, int np_, int nq_, bool bw, double qres_, bool fix,
          double slope0_, std::vector<Anchor> anchors_)
      : name(name_),
        ell(ell_),
        np(np_),
        nq(nq_),
        breitwigner(bw),
        qres(qres_),
        fix_slope0(fix),
        slope0(slope0_),
        anchors(std::move(anchors_)) {}

  // Filled by the fit.
  std::vector<double> c;  // P or R coefficients
  double b = 0.0;
  double mres = 0.0;
};

struct Table {
  const char* name;  // used in the array names
  const char* pair;  // description
  double m1, m2;
  int q1q2;
  int ntab;
  std::vector<Channel> channels;
};

// ---------------------------------------------------------------------------------------------
// Coulomb factor A_ell(eta(q)) and its q derivative.

double ReducedEnergy(double m1, double m2, double q, double* dmu_dq) {
  const double e1 = std::sqrt(m1 * m1 + q * q), e2 = std::sqrt(m2 * m2 + q * q);
  const double mu = e1 * e2 / (e1 + e2);
  // d ln(mu)/dq = q/E1^2 + q/E2^2 - (q/E1 + q/E2)/(E1 + E2)
  *dmu_dq = mu * (q / (e1 * e1) + q / (e2 * e2) - (q / e1 + q / e2) / (e1 + e2));
  return mu;
}

// A_ell and dA_ell/dq at q > 0 for charge product q1q2 (1 when q1q2 = 0).
void CoulombFactor(const Table& t, int ell, double q, double* a, double* dadq) {
  if (t.q1q2 == 0) {
    *a = 1.0;
    *dadq = 0.0;
    return;
  }
  double dmu;
  const double mu = ReducedEnergy(t.m1, t.m2, q, &dmu);
  const double eta = t.q1q2 * mu / (c::kAlphaInverse * q);
  const double deta = t.q1q2 * (dmu / q - mu / (q * q)) / c::kAlphaInverse;
  const double u = 2.0 * kPi * eta;
  // u e^u / (e^u - 1) written with expm1 of -u: stays finite for the large u of small q.
  const double a0 = u / std::expm1(u);
  const double a0_eu = u / (-std::expm1(-u));
  double ai = a0;
  double dai = (a0 / eta) * (1.0 - a0_eu) * deta;  // dA_0/deta = (A_0/eta)(1 - A_0 e^u)
  for (int i = 1; i <= ell; ++i) {
    const double f = eta * eta + i * i;
    dai = 2.0 * eta * deta * ai + f * dai;
    ai = f * ai;
  }
  *a = ai;
  *dadq = dai;
}

// ---------------------------------------------------------------------------------------------
// The curves.

double Poly(const std::vector<double>& c, double x) {
  double s = 0.0;
  for (int j = static_cast<int>(c.size()) - 1; j >= 0; --j) s = s * x + c[j];
  return s;
}

double DPoly(const std::vector<double>& c, double x) {
  double s = 0.0;
  for (int j = static_cast<int>(c.size()) - 1; j >= 1; --j) s = s * x + j * c[j];
  return s;
}

// s and ds/dx (x = k^2) of the pair at momentum q.
void Mandelstam(const Table& t, double q, double* s, double* dsdx) {
  const double e1 = std::sqrt(t.m1 * t.m1 + q * q), e2 = std::sqrt(t.m2 * t.m2 + q * q);
  *s = (e1 + e2) * (e1 + e2);
  const double dsdq = 2.0 * (e1 + e2) * (q / e1 + q / e2);
  *dsdx = dsdq * kHbarc * kHbarc / (2.0 * q);  // dq/dx = HBARC^2 / (2 q)
}

// F(x) = k^n cot(delta_N) and dF/dx of a fitted channel.
void EvalF(const Table& t, const Channel& ch, double q, double* f, double* dfdx) {
  const double k = q / kHbarc, x = k * k;
  if (ch.breitwigner) {
    double s, dsdx;
    Mandelstam(t, q, &s, &dsdx);
    const double m2 = ch.mres * ch.mres;
    *f = (1.0 - s / m2) * Poly(ch.c, x);
    *dfdx = -dsdx / m2 * Poly(ch.c, x) + (1.0 - s / m2) * DPoly(ch.c, x);
    return;
  }
  const double p = Poly(ch.c, x), dp = DPoly(ch.c, x);
  const double qq = 1.0 + ch.b * x;
  *f = p / qq;
  *dfdx = (dp * qq - p * ch.b) / (qq * qq);
}

// Phase shift and q derivative of a fitted channel at q >= 0.
void Curve(const Table& t, const Channel& ch, double q, double* delta, double* ddeltadq) {
  const int n = 2 * ch.ell + 1;
  if (q <= 0.0) {
    // At threshold every phase shift vanishes; only an uncharged s wave has a slope there,
    // -a/HBARC = 1/(c_0 HBARC) (the Gamow factor kills it for charged pairs).
    *delta = 0.0;
    *ddeltadq = (n == 1 && t.q1q2 == 0) ? 1.0 / (ch.c[0] * kHbarc) : 0.0;
    return;
  }
  double a, dadq;
  CoulombFactor(t, ch.ell, q, &a, &dadq);
  const double k = q / kHbarc;
  double f, dfdx;
  EvalF(t, ch, q, &f, &dfdx);
  const double kn = std::pow(k, n);
  // tan(delta) = A k^n / F; the two-argument form keeps the resonance continuous through PI/2.
  const double num = a * kn;
  *delta = ch.breitwigner ? std::atan2(num, f) : std::atan(num / f);
  // d/dk of atan(num/F) = (num' F - num F') / (F^2 + num^2), finite where F = 0.
  const double dnum_dk = dadq * kHbarc * kn + a * n * std::pow(k, n - 1);
  const double df_dk = dfdx * 2.0 * k;
  *ddeltadq = (dnum_dk * f - num * df_dk) / (f * f + num * num) / kHbarc;
}

// ---------------------------------------------------------------------------------------------
// Fitting.

// Gaussian elimination with partial pivoting; false when the system is singular.
bool Solve(std::vector<std::vector<double>> a, std::vector<double> b, std::vector<double>* x) {
  const int n = static_cast<int>(b.size());
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    if (a[p][c] == 0.0) return false;
    std::swap(a[p], a[c]);
    std::swap(b[p], b[c]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (int j = c; j < n; ++j) a[r][j] -= f * a[c][j];
      b[r] -= f * b[c];
    }
  }
  x->assign(n, 0.0);
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int j = r + 1; j < n; ++j) s -= a[r][j] * (*x)[j];
    (*x)[r] = s / a[r][r];
  }
  return true;
}

[[noreturn]] void Fail(const std::string& what) {
  std::printf("femtophaseshifts: %s\n", what.c_str());
  std::exit(1);
}

// F = k^n cot(delta_N) and dF/dx at an anchor, the Coulomb factor divided out.
void AnchorF(const Table& t, const Channel& ch, const Anchor& an, double* f, double* dfdx) {
  const int n = 2 * ch.ell + 1;
  const double k = an.q / kHbarc;
  double a, dadq;
  CoulombFactor(t, ch.ell, an.q, &a, &dadq);
  const double tt = std::tan(an.delta), dtt = an.ddeltadq * (1.0 + tt * tt);
  const double tn = tt / a, dtn_dq = (dtt * a - tt * dadq) / (a * a);  // tan(delta_N), d/dq
  const double kn = std::pow(k, n);
  *f = kn / tn;
  const double df_dk = (n * std::pow(k, n - 1) * tn - kn * dtn_dq * kHbarc) / (tn * tn);
  *dfdx = df_dk / (2.0 * k);
}

void Fit(const Table& t, Channel* ch) {
  std::vector<std::vector<double>> rows;
  std::vector<double> rhs;
  const int ncoef = ch->np + 1;
  const int nunk = ncoef + ch->nq;
  if (ch->breitwigner) {
    const double qr = ch->qres;
    ch->mres = std::sqrt(t.m1 * t.m1 + qr * qr) + std::sqrt(t.m2 * t.m2 + qr * qr);
  }
  if (ch->fix_slope0) {
    std::vector<double> r(nunk, 0.0);
    r[0] = 1.0;
    rows.push_back(r);
    rhs.push_back(1.0 / (ch->slope0 * kHbarc));
  }
  for (const Anchor& an : ch->anchors) {
    double f, fx;
    AnchorF(t, *ch, an, &f, &fx);
    const double x = (an.q / kHbarc) * (an.q / kHbarc);
    std::vector<double> rv(nunk, 0.0), rd(nunk, 0.0);
    if (ch->breitwigner) {
      double s, dsdx;
      Mandelstam(t, an.q, &s, &dsdx);
      const double m2 = ch->mres * ch->mres;
      for (int j = 0; j < ncoef; ++j) {
        rv[j] = (1.0 - s / m2) * std::pow(x, j);
        rd[j] = -dsdx / m2 * std::pow(x, j) + (1.0 - s / m2) * (j ? j * std::pow(x, j - 1) : 0.0);
      }
    } else {
      // P(x) - b x F = F  and  P'(x) - b (x F' + F) = F'
      for (int j = 0; j < ncoef; ++j) {
        rv[j] = std::pow(x, j);
        rd[j] = j ? j * std::pow(x, j - 1) : 0.0;
      }
      if (ch->nq == 1) {
        rv[ncoef] = -x * f;
        rd[ncoef] = -(x * fx + f);
      }
    }
    rows.push_back(rv);
    rhs.push_back(f);
    if (an.slope_on_curve) {
      rows.push_back(rd);
      rhs.push_back(fx);
    }
  }
  if (static_cast<int>(rows.size()) != nunk)
    Fail(std::string("channel ") + ch->name + ": conditions and coefficients do not match");
  std::vector<double> sol;
  if (!Solve(rows, rhs, &sol)) Fail(std::string("channel ") + ch->name + ": singular fit");
  ch->c.assign(sol.begin(), sol.begin() + ncoef);
  ch->b = ch->nq ? sol[ncoef] : 0.0;
}

// ---------------------------------------------------------------------------------------------
// The form chosen for every channel, through its anchor rows.

// The anchor rows of one channel (wavefunctions/phaseshift_anchors.h); fit_last_slope false keeps
// the slope of the last row as an exception instead of fitting it.
template <size_t N>
std::vector<Anchor> Anchors(const PhaseShiftTables::AnchorRow (&rows)[N], bool fit_last_slope = true) {
  std::vector<Anchor> anchors;
  for (size_t i = 0; i < N; ++i)
    anchors.push_back({rows[i].q, rows[i].delta, rows[i].ddeltadq, fit_last_slope || i + 1 < N});
  return anchors;
}

std::vector<Table> Tables() {
  using namespace PhaseShiftTables;
  std::vector<Table> tabs;
  {
    Table t{"PKplus", "proton-K+", kMProton, kMKaon, 1, 701, {}};
    // Plain expansion with two shape terms: four conditions, four coefficients.
    t.channels.push_back(
        Channel("S01 (ell 0)", 0, 3, 0, false, 0, false, 0, Anchors(kAnchorsPKplus[0])));
    t.channels.push_back(
        Channel("P01 (ell 1, J 1/2)", 1, 3, 0, false, 0, false, 0, Anchors(kAnchorsPKplus[1])));
    t.channels.push_back(
        Channel("P03 (ell 1, J 3/2)", 1, 3, 0, false, 0, false, 0, Anchors(kAnchorsPKplus[2])));
    tabs.push_back(t);
  }
  {
    Table t{"PPiplus", "proton-pi+", kMProton, kMPi, 1, 781, {}};
    // Six conditions: the resummed expansion (P of degree 4, Q = 1 + b x).
    t.channels.push_back(
        Channel("S31 (ell 0)", 0, 4, 1, false, 0, false, 0, Anchors(kAnchorsPPiplus[0])));
    t.channels.push_back(
        Channel("P31 (ell 1, J 1/2)", 1, 4, 1, false, 0, false, 0, Anchors(kAnchorsPPiplus[1])));
    t.channels.push_back(Channel("P33 (ell 1, J 3/2), Delta(1232)", 1, 5, 0, true, 226.75, false, 0,
                                 Anchors(kAnchorsPPiplus[2])));
    tabs.push_back(t);
  }
  {
    Table t{"NN", "neutron-neutron", kMNeutron, kMNeutron, 0, 401, {}};
    // 1S0: five conditions (with the threshold slope, i.e. a = -6.417 fm).
    t.channels.push_back(
        Channel("1S0", 0, 4, 0, false, 0, true, kSlope0NN1S0, Anchors(kAnchorsNN[0])));
    // P waves: scattering volume, effective range and one shape term through the phase and slope
    // at 50 MeV/c and the phase at 200 MeV/c. The anchor slope 0 at 200 MeV/c (the last table
    // point) is kept as an exception: a fourth coefficient fitted to it makes every P wave peak
    // in mid-table and turn back to a flat end.
    t.channels.push_back(Channel("3P0", 1, 2, 0, false, 0, false, 0, Anchors(kAnchorsNN[1], false)));
    t.channels.push_back(Channel("3P1", 1, 2, 0, false, 0, false, 0, Anchors(kAnchorsNN[2], false)));
    t.channels.push_back(Channel("3P2", 1, 2, 0, false, 0, false, 0, Anchors(kAnchorsNN[3], false)));
    tabs.push_back(t);
  }
  return tabs;
}

// ---------------------------------------------------------------------------------------------
// Checks and output.

// The fit's own sanity: no pole of Q and no zero of F (a jump of delta by PI) in the table range
// for the plain forms; for the Breit-Wigner, PI/2 crossed between 226.5 and 227 MeV/c.
void CheckCurve(const Table& t, const Channel& ch) {
  double fprev = 0.0;
  for (int i = 1; i < t.ntab; ++i) {
    const double q = 0.5 * i, x = (q / kHbarc) * (q / kHbarc);
    double f, fx;
    EvalF(t, ch, q, &f, &fx);
    if (!ch.breitwigner) {
      if (1.0 + ch.b * x <= 0.0) Fail(std::string(ch.name) + ": pole of Q inside the table");
      if (i > 1 && f * fprev <= 0.0) Fail(std::string(ch.name) + ": delta jumps by PI");
    }
    fprev = f;
  }
  if (ch.breitwigner) {
    double d1, d2, dd;
    Curve(t, ch, 226.5, &d1, &dd);
    Curve(t, ch, 227.0, &d2, &dd);
    if (!(d1 < kPi / 2 && d2 > kPi / 2)) Fail("the Delta does not pass PI/2 in 226.5..227 MeV/c");
  }
}

std::string Format(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

void WriteArray(FILE* out, const char* type, const Table& t,
                const std::vector<std::vector<double>>& values) {
  std::fprintf(out, "const double k%s%s[kNChan%s * kNTab%s] = {\n", type, t.name, t.name, t.name);
  for (size_t c = 0; c < values.size(); ++c) {
    std::fprintf(out, "    // channel %zu: %s\n", c, t.channels[c].name);
    for (int i = 0; i < t.ntab; ++i) {
      std::fprintf(out, "%s%s,", (i % 5 == 0) ? "    " : " ", Format(values[c][i]).c_str());
      if (i % 5 == 4 || i == t.ntab - 1) std::fprintf(out, "\n");
    }
  }
  std::fprintf(out, "};\n\n");
}

// The summary lines of one fitted channel: its form, coefficients and, for the effective-range
// forms, scattering length (volume) and effective range.
std::string DescribeFit(const Channel& ch) {
  std::string notes;
  char line[512];
  if (ch.breitwigner) {
    const double kr = ch.qres / kHbarc, m = ch.mres;
    const double gamma0 = m * kr * kr * kr / Poly(ch.c, kr * kr);
    std::snprintf(line, sizeof line,
                  "  %s: Breit-Wigner\n      M = %.3f MeV (q_r = %g MeV/c),"
                  " Gamma(q_r) = %.1f MeV\n      R = {%s",
                  ch.name, m, ch.qres, gamma0, Format(ch.c[0]).c_str());
  } else {
    std::snprintf(line, sizeof line, "  %s: k%s cot(delta_N) = P(k^2)%s\n      P = {%s", ch.name,
                  ch.ell ? "^3" : "", ch.nq ? " / Q(k^2)" : "", Format(ch.c[0]).c_str());
  }
  notes += line;
  for (size_t j = 1; j < ch.c.size(); ++j) notes += ", " + Format(ch.c[j]);
  notes += ch.breitwigner ? "} fm^-3" : "}";
  if (ch.nq) notes += "\n      Q = 1 + " + Format(ch.b) + " k^2";
  notes += "\n";
  if (!ch.breitwigner) {
    // Scattering length (volume) and effective range, nuclear sign: k^n cot(delta_N) ->
    // -1/a, a > 0 repulsive (the particle-physics sign, used for K+p and pi+p, is -a).
    const double a = -1.0 / ch.c[0];
    const double r = 2.0 * (ch.c[1] - ch.c[0] * ch.b);
    std::snprintf(line, sizeof line, "      a = %.4g fm%s, r = %.4g fm%s\n", a, ch.ell ? "^3" : "",
                  r, ch.ell ? "^-1" : "");
    notes += line;
  }
  return notes;
}

// Checks that the curve d, dd (phases and slopes at q = i/2 MeV/c) meets the channel's anchor
// rows (fatal otherwise), then puts the anchor numbers (and a fixed slope at q = 0) into the
// table exactly. Returns the summary lines of the anchors.
std::string PinAnchors(const Channel& ch, std::vector<double>* d, std::vector<double>* dd) {
  std::string notes;
  char line[512];
  for (const Anchor& an : ch.anchors) {
    const int i = static_cast<int>(std::lround(2.0 * an.q));
    const double off_d = std::fabs((*d)[i] - an.delta) / std::fabs(an.delta);
    if (off_d > 1e-9) Fail(std::string(ch.name) + ": curve misses an anchor phase");
    if (an.slope_on_curve) {
      const double off_s = std::fabs((*dd)[i] - an.ddeltadq) / std::fabs(an.ddeltadq);
      if (off_s > 1e-9) Fail(std::string(ch.name) + ": curve misses an anchor slope");
      std::snprintf(line, sizeof line,
                    "      q = %g: delta %s (curve off by %.0e),"
                    " slope %s (curve off by %.0e)\n",
                    an.q, Format(an.delta).c_str(), off_d, Format(an.ddeltadq).c_str(), off_s);
    } else {
      std::snprintf(line, sizeof line,
                    "      q = %g: delta %s (curve off by %.0e), slope %s kept (curve %.6g)\n",
                    an.q, Format(an.delta).c_str(), off_d, Format(an.ddeltadq).c_str(), (*dd)[i]);
    }
    notes += line;
    (*d)[i] = an.delta;  // the table holds the anchor numbers exactly
    (*dd)[i] = an.ddeltadq;
  }
  if (ch.fix_slope0) {
    std::snprintf(line, sizeof line, "      q = 0: slope %s (curve off by %.0e)\n",
                  Format(ch.slope0).c_str(), std::fabs((*dd)[0] - ch.slope0) / ch.slope0);
    notes += line;
    (*dd)[0] = ch.slope0;
  }
  return notes;
}

// The tables' source file: header comment with the notes, then per pair the phase and slope
// arrays. Written under a temporary name and renamed into place once complete: a failed write
// (a full disk) is reported and leaves the old file as it was.
void WriteTablesFile(const char* path, const std::string& notes, const std::vector<Table>& tabs,
                     const std::vector<std::vector<std::vector<double>>>& deltas,
                     const std::vector<std::vector<std::vector<double>>>& slopes) {
  femtokit::AtomicFile file(path);
  FILE* out = file.get();
  std::fprintf(out,
               "// Built-in phase-shift tables of the proton-K+, proton-pi+ and neutron-neutron\n"
               "// wave functions. GENERATED by tools/femtophaseshifts.cc (see there for the\n"
               "// parametrisations and their sources); regenerate with\n"
               "//   femtophaseshifts wavefunctions/phaseshift_tables.cc\n"
               "// instead of editing. Phases in radians, slopes in radians per MeV/c, at\n"
               "// q = i/2 MeV/c, channel after channel.\n"
               "//\n"
               "// Fitted curves (k in fm^-1; coefficients in powers of fm) and anchor rows:\n");
  std::string line;
  for (char ch : notes) {
    if (ch == '\n') {
      std::fprintf(out, "//%s%s\n", line.empty() ? "" : " ", line.c_str());
      line.clear();
    } else {
      line += ch;
    }
  }
  std::fprintf(out, "\n#include \"wavefunctions/phaseshift_tables.h\"\n\n");
  std::fprintf(out, "namespace PhaseShiftTables {\n\n");
  for (size_t it = 0; it < tabs.size(); ++it) {
    WriteArray(out, "Delta", tabs[it], deltas[it]);
    WriteArray(out, "DDeltaDq", tabs[it], slopes[it]);
  }
  std::fprintf(out, "}  // namespace PhaseShiftTables\n");
  file.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "usage: femtophaseshifts OUTPUT.cc\n"
      "Fits the phase-shift parametrisations through their anchor rows and writes the\n"
      "compiled-in tables to OUTPUT.cc (the library's copy is "
      "wavefunctions/phaseshift_tables.cc);\n"
      "prints a summary of every fit.\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  std::vector<Table> tabs = Tables();
  std::string notes;  // per-channel summary, printed and written into the file header
  std::vector<std::vector<std::vector<double>>> deltas(tabs.size()), slopes(tabs.size());
  for (size_t it = 0; it < tabs.size(); ++it) {
    Table& t = tabs[it];
    notes += std::string("\n") + t.pair + " (" + std::to_string(t.ntab) +
             " points per channel, q = 0.." + Format(0.5 * (t.ntab - 1)) + " MeV/c):\n";
    for (Channel& ch : t.channels) {
      Fit(t, &ch);
      CheckCurve(t, ch);
      std::vector<double> d(t.ntab), dd(t.ntab);
      for (int i = 0; i < t.ntab; ++i) Curve(t, ch, 0.5 * i, &d[i], &dd[i]);
      notes += DescribeFit(ch);
      notes += PinAnchors(ch, &d, &dd);
      deltas[it].push_back(d);
      slopes[it].push_back(dd);
    }
  }
  std::printf("%s", notes.c_str());
  WriteTablesFile(argv[1], notes, tabs, deltas, slopes);
  return femtokit::StdoutWritten("femtophaseshifts") ? 0 : 1;
}

#include "wavefunctions/wavefunction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/parameter.h"
#include "numeric/bessel.h"
#include "numeric/checked_io.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/misc.h"
#include "numeric/output.h"
#include "numeric/threads.h"
#include "wavefunctions/coulwave.h"

namespace {

// Highest q a wave-function grid may reach (100 GeV/c, far beyond femtoscopy): the plane
// and partial waves tabulate out to 30 fm in steps that shrink as 1/q.
constexpr double kMaxGridQ = 1.0e5;  // MeV/c

}  // namespace

CWaveFunction::CWaveFunction()
    : wepsilon(nullptr),
      delta(nullptr),
      ddeltadq(nullptr),
      eta(nullptr),
      channelweight(nullptr),
      planewave(nullptr),
      partwave(nullptr),
      PI(femtokit::constants::kPi),
      ci(0.0, 1.0),
      HBARC(femtokit::constants::kHbarC),
      MPI(femtokit::constants::kMassPionCharged),
      MKAON(femtokit::constants::kMassKaonCharged),
      MPROTON(femtokit::constants::kMassProton),
      MLAMBDA(femtokit::constants::kMassLambdaWaveFunction),
      MNEUTRON(femtokit::constants::kMassNeutron),
      channelell(nullptr),
      nchannels(0),
      q1q2(0),
      m1(0.0),
      m2(0.0),
      epsilon(0.0),
      STRONG(true),
      COULOMB(true),
      ellmax(0),
      nqmax(0),
      delq(0.0),
      qarray(nullptr) {}

CWaveFunction::~CWaveFunction() {
  FreeArrays();
  delete[] qarray;
}

double CWaveFunction::CalcPsiSquared(int /*iq*/, double /*r*/, double /*ctheta*/) { return 1.0; }

// ---------------------------------------------------------------------------
// Grid and switches

void CWaveFunction::ReadQArray(const char* filename) {
  std::error_code ec;
  std::ifstream in;
  if (!std::filesystem::is_directory(filename, ec)) in.open(filename);
  if (!in.is_open()) femtokit::Fatal("cannot open q-array file %s\n", filename);
  int count = 0;
  if (!(in >> count)) femtokit::Fatal("q-array file %s: cannot read the point count\n", filename);
  // Interpolation needs two points; one point (or none) is no grid.
  if (count < 2) {
    femtokit::Fatal("q-array file %s: a q grid needs at least two points, the file announces %d\n",
                    filename, count);
  }
  std::vector<double> values;
  double v;
  while (static_cast<int>(values.size()) < count && in >> v) values.push_back(v);
  if (static_cast<int>(values.size()) < count) {
    femtokit::Fatal("q-array file %s announces %d q values but holds only %d\n", filename, count,
                    static_cast<int>(values.size()));
  }
  // eta ~ 1/q and the partial waves x h*(x) diverge at q = 0; the grid
  // search assumes increasing values.
  if (!(values[0] > 0.0)) {
    femtokit::Fatal("q-array file %s: q values must be positive, the first is %g\n", filename,
                    values[0]);
  }
  for (int i = 1; i < count; i++) {
    if (!(values[i] > values[i - 1])) {
      femtokit::Fatal(
          "q-array file %s: q values must increase strictly, point %d (%g) follows %g\n", filename,
          i, values[i], values[i - 1]);
    }
  }
  if (!(values[count - 1] <= kMaxGridQ))
    femtokit::Fatal("q-array file %s: the last q value %g is beyond %g MeV/c\n", filename,
                    values[count - 1], kMaxGridQ);
  nqmax = count;
  delete[] qarray;
  qarray = new double[nqmax];
  std::copy(values.begin(), values.end(), qarray);
}

void CWaveFunction::ParsInit(const char* parsfilename) {
  parameter_map parmap;
  parameter::set(parmap, "NQMAX", 15);
  parameter::set(parmap, "DELQ", 5.0);
  parameter::set(parmap, "EPSILON", 1.0);
  parameter::set(parmap, "COULOMB", true);
  parameter::set(parmap, "STRONG", true);
  parameter::set(parmap, "QARRAYFILENAME", "no_qarray_file");
  parameter::set(parmap, "NRMAX", 200);
  parameter::set(parmap, "DELR", 0.2);
  parameter::ReadParsFromFile(parmap, parsfilename);
  for (const auto& [key, value] : parmap) femtokit::Progress("%s = %s\n", key.c_str(), value.c_str());

  const std::string qarrayfilename = parameter::getS(parmap, "QARRAYFILENAME", "no_qarray_file");
  femtokit::Progress("qarrayfilename set to %s\n", qarrayfilename.c_str());
  delq = parameter::getD(parmap, "DELQ", -999.0);
  nqmax = parameter::getI(parmap, "NQMAX", -999);
  epsilon = parameter::getD(parmap, "EPSILON", -999.0);
  COULOMB = parameter::getB(parmap, "COULOMB", true);
  STRONG = parameter::getB(parmap, "STRONG", true);
  // The matching radius, where given, is a length; 0 would match at the origin.
  const std::string where = std::string("wave-function parameters ") + parsfilename;
  if (parmap.count("EPSILON") != 0) femtokit::CheckPositive(epsilon, "EPSILON", where);

  if (delq < 0.0) {
    femtokit::Progress("will read qarray from %s\n", qarrayfilename.c_str());
    ReadQArray(qarrayfilename.c_str());
  } else {
    // A uniform grid needs a point and a non-zero spacing (DELQ = 0 would put
    // every point at q = 0 and divide by zero in the interpolation).
    if (nqmax < 1 || delq == 0.0) {
      femtokit::Fatal(
          "wave-function parameters: a uniform q grid needs NQMAX >= 1 and DELQ > 0 "
          "(NQMAX=%d, DELQ=%g)\n",
          nqmax, delq);
    }
    // Sizes and spacings checked before the allocation.
    femtokit::CheckCount(parameter::getD(parmap, "NQMAX", nqmax), "NQMAX", where, 1, 10000000);
    femtokit::CheckPositive(delq, "DELQ", where);
    if ((nqmax - 0.5) * delq > kMaxGridQ)
      femtokit::Fatal("%s: the q grid reaches %g MeV/c; the largest q allowed is %g MeV/c\n",
                      where.c_str(), (nqmax - 0.5) * delq, kMaxGridQ);
    delete[] qarray;
    qarray = new double[nqmax];
    for (int i = 0; i < nqmax; i++) qarray[i] = (i + 0.5) * delq;
  }
  femtokit::Progress("__ WFPARAMETERS __\n");
  femtokit::Progress("delq set to %g\n", delq);
  femtokit::Progress("nqmax set to %d\n", nqmax);
  femtokit::Progress("epsilon set to %g\n", epsilon);
  femtokit::Progress("STRONG set to %d\n", STRONG ? 1 : 0);
  femtokit::Progress("COULOMB set to %d\n", COULOMB ? 1 : 0);
  femtokit::Progress("____________________\n");
}

// ---------------------------------------------------------------------------
// Tables and waves

void CWaveFunction::FreeArrays() {
  if (planewave != nullptr) {
    for (int iq = 0; iq < alloc_nqmax_; iq++) delete planewave[iq];
    delete[] planewave;
    planewave = nullptr;
  }
  if (partwave != nullptr) {
    // Channels of equal ell share the one object in their (ell, iq) slot, so
    // deleting every non-null slot releases each partial wave exactly once.
    for (int ell = 0; ell <= alloc_ellmax_; ell++) {
      for (int iq = 0; iq < alloc_nqmax_; iq++) delete partwave[ell][iq];
      delete[] partwave[ell];
    }
    delete[] partwave;
    partwave = nullptr;
  }
  for (double*** table : {&delta, &ddeltadq, &wepsilon}) {
    double**& rows = *table;
    if (rows != nullptr) {
      delete[] rows[0];  // the block all rows point into
      delete[] rows;
      rows = nullptr;
    }
  }
  delete[] eta;
  eta = nullptr;
  delete[] channelell;
  channelell = nullptr;
  delete[] channelweight;
  channelweight = nullptr;
}

void CWaveFunction::InitArrays() {
  if (nqmax < 0 || nchannels < 0 || ellmax < 0) {
    femtokit::Fatal("CWaveFunction::InitArrays: bad sizes nqmax=%d, nchannels=%d, ellmax=%d\n",
                    nqmax, nchannels, ellmax);
  }
  FreeArrays();  // a second call starts afresh instead of leaking
  alloc_nqmax_ = nqmax;
  alloc_ellmax_ = ellmax;
  eta = new double[nqmax]();
  planewave = new CPlaneWave*[nqmax]();
  partwave = new CPartWave**[ellmax + 1];
  for (int ell = 0; ell <= ellmax; ell++) partwave[ell] = new CPartWave*[nqmax]();
  // One block per table, rows pointing into it.
  for (double*** table : {&delta, &ddeltadq, &wepsilon}) {
    double**& rows = *table;
    rows = new double*[nchannels > 0 ? nchannels : 1];
    double* block = new double[static_cast<size_t>(nchannels) * nqmax + 1]();
    rows[0] = block;
    for (int c = 1; c < nchannels; c++) rows[c] = block + static_cast<size_t>(c) * nqmax;
  }
  channelell = new int[nchannels]();
  channelweight = new double[nchannels]();
}

void CWaveFunction::InitChannels(std::initializer_list<int> ells,
                                 std::initializer_list<double> weights, bool announce) {
  if (weights.size() != 0 && weights.size() != ells.size()) {
    femtokit::Fatal("CWaveFunction::InitChannels: %zu weights for %zu channels\n", weights.size(),
                    ells.size());
  }
  nchannels = static_cast<int>(ells.size());
  InitArrays();
  if (announce) femtokit::Progress("Arrays Initialized\n");
  std::copy(ells.begin(), ells.end(), channelell);
  InitWaves();
  if (announce) femtokit::Progress("Partial Waves Initialized\n");
  std::copy(weights.begin(), weights.end(), channelweight);
}

void CWaveFunction::InitWaves() {
  for (int c = 0; c < nchannels; c++) {
    if (channelell[c] < 0 || channelell[c] > alloc_ellmax_) {
      femtokit::Fatal("CWaveFunction::InitWaves: channel %d has ell=%d outside 0..ellmax=%d\n", c,
                      channelell[c], alloc_ellmax_);
    }
  }
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = qarray[iq];
    const double e1 = std::sqrt(m1 * m1 + q * q);
    const double e2 = std::sqrt(m2 * m2 + q * q);
    const double s = (e1 + e2) * (e1 + e2);
    const double dm2 = m1 * m1 - m2 * m2;
    // q1q2 alpha E1 E2 / ((E1 + E2) q): the relativistic reduced energy in
    // place of the reduced mass.
    eta[iq] = q1q2 * (s * s - dm2 * dm2) / (femtokit::constants::kAlphaInverse * 4.0 * std::pow(s, 1.5) * q);
  }
  std::vector<bool> needed(alloc_ellmax_ + 1, false);
  for (int c = 0; c < nchannels; c++) needed[channelell[c]] = true;
  // The waves of one grid point (their tables cost one Coulomb-function evaluation per point)
  // are independent of the others': the grid points run on femtokit::ThreadCount() threads. A
  // fatal error (a throwing handler) is kept and rethrown after the loop; whatever was built is
  // in the arrays and released with them.
  const int nthreads = femtokit::ThreadCount();
  std::exception_ptr failure;
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
  for (int iq = 0; iq < nqmax; iq++) {
    try {
      delete planewave[iq];
      planewave[iq] = nullptr;
      planewave[iq] = new CPlaneWave(eta[iq], q1q2, qarray[iq]);
      for (int ell = 0; ell <= alloc_ellmax_; ell++) {
        if (needed[ell] && partwave[ell][iq] == nullptr)
          partwave[ell][iq] =
              new CPartWave(eta[iq], q1q2, qarray[iq], ell, epsilon, CPartWave::OnDemand{});
      }
    } catch (...) {
#pragma omp critical(femtokit_initwaves_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------
// Interpolation in q

CWaveFunction::QStencil CWaveFunction::StencilAt(double q) const {
  QStencil st;
  const int n = nqmax;
  int iqlow, iqhigh;
  if (delq >= 0.0) {
    // Bin k = floor(q / delq) holds grid point k at its centre; pair it with
    // the point below, so the upper half of a bin extrapolates from (k-1, k).
    double k = std::floor(q / delq);
    if (!(k < n + 1.0)) k = n + 1.0;  // far above the grid (or q not a number)
    if (k < 0.0) k = 0.0;             // q < 0: as q in the first bin
    iqlow = std::max(static_cast<int>(k) - 1, 0);
    iqhigh = iqlow + 1;
  } else {
    if (qarray[0] + 1.0e-5 >= q) {
      st.single = 0;
      st.check = false;
      return st;
    }
    const double* first = std::lower_bound(qarray + 1, qarray + n, q,
                                           [](double qa, double qq) { return qa + 1.0e-5 < qq; });
    iqhigh = static_cast<int>(first - qarray);
    iqlow = iqhigh - 1;
  }
  // Just above the last point: extrapolate linearly over at most half a spacing.
  if (iqhigh == n && n > 1 && q - qarray[n - 1] < 0.5 * (qarray[n - 1] - qarray[n - 2])) {
    iqlow = n - 2;
    iqhigh = n - 1;
  }
  // Beyond the grid psi is taken as uncorrelated.
  if (iqhigh >= n) {
    st.beyond = true;
    return st;
  }
  st.iqlow = iqlow;
  st.iqhigh = iqhigh;
  st.wlow = (qarray[iqhigh] - q) / (qarray[iqhigh] - qarray[iqlow]);
  st.whigh = 1.0 - st.wlow;
  if (std::fabs(st.wlow) < 1.0e-5) {
    st.single = iqhigh;
  } else if (std::fabs(st.whigh) < 1.0e-5) {
    st.single = iqlow;
  }
  return st;
}

void CWaveFunction::CheckInterpolated(const QStencil& st, double q, double r, double ctheta,
                                      double result) {
  if (!(st.check && r > 1.0 && q > 0.5 * delq && result < -0.01)) return;
  femtokit::Warn("interpolate=%g, qscaled=%g, qlow=%g, qhigh=%g, rscaled=%g\n", result, q,
                 qarray[st.iqlow], qarray[st.iqhigh], r);
  femtokit::Warn("wlow=%g, whigh=%g\n", st.wlow, st.whigh);
  femtokit::Warn("iqlow=%d,  %g\n", st.iqlow, CalcPsiSquared(st.iqlow, r, ctheta));
  femtokit::Fatal("iqhigh=%d, %g\n", st.iqhigh, CalcPsiSquared(st.iqhigh, r, ctheta));
}

double CWaveFunction::GetPsiSquared(double q, double r, double ctheta) {
  const QStencil st = StencilAt(q);
  if (st.beyond) return 1.0;
  double result;
  if (st.single >= 0) {
    result = CalcPsiSquared(st.single, r, ctheta);
  } else {
    const double psilow = CalcPsiSquared(st.iqlow, r, ctheta);
    const double psihigh = CalcPsiSquared(st.iqhigh, r, ctheta);
    result = st.wlow * psilow + st.whigh * psihigh;
  }
  CheckInterpolated(st, q, r, ctheta, result);
  return result;
}

void CWaveFunction::CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                                         double* psisquared) {
  for (int i = 0; i < n; i++) psisquared[i] = CalcPsiSquared(iq, r, ctheta[i]);
}

void CWaveFunction::PlaneWavesPlusMinus(int iq, double r, const double* ctheta, int n,
                                        const std::complex<double>** plus,
                                        const std::complex<double>** minus) {
  thread_local std::vector<std::complex<double>> pplus, pminus;
  pplus.resize(n);
  pminus.resize(n);
  bool symmetric = n > 1;
  for (int i = 0; i < n && symmetric; i++) symmetric = ctheta[n - 1 - i] == -ctheta[i];
  CPlaneWave* wave = planewave[iq];
  for (int i = 0; i < n; i++) pplus[i] = wave->planewave(r, ctheta[i]);
  for (int i = 0; i < n; i++)
    pminus[i] = symmetric ? pplus[n - 1 - i] : wave->planewave(r, -ctheta[i]);
  *plus = pplus.data();
  *minus = pminus.data();
}

void CWaveFunction::GetPsiSquaredAngles(double q, double r, const double* ctheta, int n,
                                        double* psisquared) {
  const QStencil st = StencilAt(q);
  if (st.beyond) {
    std::fill(psisquared, psisquared + n, 1.0);
    return;
  }
  if (st.single >= 0) {
    CalcPsiSquaredAngles(st.single, r, ctheta, n, psisquared);
  } else {
    std::vector<double> high(n);
    CalcPsiSquaredAngles(st.iqlow, r, ctheta, n, psisquared);
    CalcPsiSquaredAngles(st.iqhigh, r, ctheta, n, high.data());
    for (int i = 0; i < n; i++) psisquared[i] = st.wlow * psisquared[i] + st.whigh * high[i];
  }
  // Only a value below -0.01 can fail the check: look at the rest no further.
  for (int i = 0; i < n; i++)
    if (psisquared[i] < -0.01) CheckInterpolated(st, q, r, ctheta[i], psisquared[i]);
}

double CWaveFunction::GetPsiSquared(const double* pa, const double* xa, const double* pb,
                                    const double* xb) {
  double q, r, ctheta;
  getqrctheta(pa, xa, pb, xb, &q, &r, &ctheta);
  return GetPsiSquared(q, r, ctheta);
}

// ---------------------------------------------------------------------------
// Pair kinematics

void CWaveFunction::getqrctheta(const double* pa, const double* xa, const double* pb,
                                const double* xb, double* q, double* r, double* ctheta) {
  const double g[4] = {1.0, -1.0, -1.0, -1.0};
  double P[4], k[4], d[4];
  for (int a = 0; a < 4; a++) {
    P[a] = pa[a] + pb[a];
    k[a] = 0.5 * (pa[a] - pb[a]);
    d[a] = xa[a] - xb[a];
  }
  double P2 = 0.0, Pk = 0.0, Pd = 0.0;
  for (int a = 0; a < 4; a++) {
    P2 += g[a] * P[a] * P[a];
    Pk += g[a] * P[a] * k[a];
    Pd += g[a] * P[a] * d[a];
  }
  const double M = std::sqrt(P2);
  double dp[4], kp[4], usq = 0.0, dsq = 0.0, ksq = 0.0;
  for (int a = 0; a < 4; a++) {
    const double u = P[a] / M;
    dp[a] = d[a] - (Pd / M) * u;
    kp[a] = k[a] - (Pk / M) * u;
    usq += u * u;
    dsq += d[a] * d[a];
    ksq += k[a] * k[a];
  }
  double r2 = 0.0, q2 = 0.0, kd = 0.0;
  for (int a = 0; a < 4; a++) {
    r2 -= g[a] * dp[a] * dp[a];
    q2 -= g[a] * kp[a] * kp[a];
    kd -= g[a] * kp[a] * dp[a];
  }
  // d' and k' are orthogonal to the time-like P, hence space-like, and obey
  // Cauchy-Schwarz; only rounding can violate that, on the scale of the
  // terms of the projection (|d|^2 |u|^2, Euclidean). Beyond such rounding,
  // or with a P that is not time-like (which makes everything NaN), the
  // four-vectors are unphysical.
  const double dscale = dsq * usq, kscale = ksq * usq;
  const double tol = 1.0e-10;
  if (!(r2 >= -tol * dscale) || !(q2 >= -tol * kscale) ||
      !(std::fabs(kd) <=
        std::sqrt(std::max(r2, 0.0) * std::max(q2, 0.0)) + tol * std::sqrt(dscale * kscale))) {
    femtokit::Fatal("Disaster, r^2=%g, q^2=%g, ctheta=%g\n", r2, q2, kd / std::sqrt(r2 * q2));
  }
  *r = std::sqrt(std::max(r2, 0.0));
  *q = std::sqrt(std::max(q2, 0.0));
  // A q or r that vanishes (to rounding) has no direction: take ctheta = 1
  // (|psi|^2 does not depend on the angle there).
  const double zero = 1.0e-14;
  if (q2 > zero * kscale && r2 > zero * dscale) {
    *ctheta = std::clamp(kd / (*q * *r), -1.0, 1.0);
  } else {
    *ctheta = 1.0;
  }
}

// ---------------------------------------------------------------------------
// Phase-shift helpers

double CWaveFunction::GetIW(int ell, double epsilon_r, double q, int q1q2_set, double eta_set,
                            double delta_set) {
  const double x = q * epsilon_r / HBARC;
  const std::complex<double> E = Misc::ceiphi(2.0 * delta_set);
  if (q1q2_set == 0) {
    auto d = [&](int L) { return 0.5 * x * (E * Bessel::hn(L, x) + Bessel::hstarn(L, x)); };
    const int partner = (ell == 0) ? 1 : ell - 1;
    const std::complex<double> dl = d(ell), dp = d(partner);
    const double mix = (ell == 0) ? 1.0 : 2.0 * ell + 1.0;
    return -(x * (std::norm(dl) + std::norm(dp)) - mix * std::real(dl * std::conj(dp))) / q;
  }
  const double deta = 0.002 * eta_set;
  auto Phi = [&](int L, double et) {
    const std::complex<double> H = CoulWave::CWoutgoing(L, x, et);
    return E * H + std::conj(H);
  };
  auto D = [&](int L) {
    return (Phi(L, eta_set + 0.5 * deta) - Phi(L, eta_set - 0.5 * deta)) / deta;
  };
  const double eta2 = eta_set * eta_set;
  double Z;
  if (ell == 0) {
    const std::complex<double> phi0 = Phi(0, eta_set), phi1 = Phi(1, eta_set);
    const std::complex<double> d0 = D(0), d1 = D(1);
    const double A = 1.0 + eta2;
    Z = x * A * (std::norm(phi0) + std::norm(phi1)) -
        std::real(phi0 * std::conj(phi1)) * (eta2 + A * (1.0 + 2.0 * x * eta_set)) / std::sqrt(A) +
        eta_set * std::sqrt(A) * std::real(d0 * std::conj(phi1) - d1 * std::conj(phi0));
  } else {
    const std::complex<double> phil = Phi(ell, eta_set), phim = Phi(ell - 1, eta_set);
    const std::complex<double> dl = D(ell), dm = D(ell - 1);
    const double l2 = double(ell) * ell;
    const double A = l2 + eta2;
    const double B = ell * (2.0 * ell + 1.0) * A + 2.0 * x * eta_set * A - ell * eta2;
    Z = x * A * (std::norm(phil) + std::norm(phim)) / l2 -
        std::real(phil * std::conj(phim)) * B / (l2 * std::sqrt(A)) +
        (eta_set * std::sqrt(A) / ell) * std::real(phil * std::conj(dm) - phim * std::conj(dl));
  }
  return -Z / (4.0 * q);
}

void CWaveFunction::EffectiveRange(int ichannel, double scattlength, double Reff) {
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = qarray[iq];
    const double c = -HBARC / (scattlength * q) + 0.5 * q * Reff / HBARC;  // cot(delta)
    const double t = 1.0 / c;
    delta[ichannel][iq] = std::atan(t);
    ddeltadq[ichannel][iq] =
        (t * t / (1.0 + t * t)) * (-HBARC / (scattlength * q * q) - 0.5 * Reff / HBARC);
  }
}

void CWaveFunction::PrintCdelta(double Rx, double Ry, double Rz) {
  std::printf("! Qinv  C(Q)_estimated ~ ddelta/dq\n");
  for (int iq = 0; iq < nqmax; iq++) {
    const double q = qarray[iq];
    double C = 1.0;
    for (int c = 0; c < nchannels; c++) {
      C += channelweight[c] * 2.0 * PI * HBARC * HBARC * HBARC * ddeltadq[c][iq] /
           (std::pow(4.0 * PI, 1.5) * Rx * Ry * Rz * q * q);
    }
    std::printf("%6.2f  %8.4f  %g\n", q, C, 4.0 * q * q * (C - 1.0));
  }
  std::printf("_________________________________\n");
}

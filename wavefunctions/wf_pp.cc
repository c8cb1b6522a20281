#include "wavefunctions/wf_pp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/misc.h"
#include "numeric/output.h"
#include "numeric/threads.h"
#include "wavefunctions/coulwave.h"
#include "wavefunctions/reid93.h"
#include "wavefunctions/spinsum.h"

namespace {

using cdouble = std::complex<double>;

cdouble* NewZeroed(int n) { return new cdouble[n](); }

// e^{-2i delta} for the phase beta of an integrated wave, delta = beta - PI/2.
using femtokit::constants::kPi;

cdouble EMinus2iDelta(double beta) { return Misc::ceiphi(-2.0 * (beta - 0.5 * kPi)); }

cdouble** NewTable(int rows, int cols) {
  cdouble** table = new cdouble*[rows > 0 ? rows : 1]();
  // The rows (4 MB at a kernel's 50 grid points) zeroed on the threads: on one, this was 5 % of
  // the construction on two threads.
  femtokit::ParallelFor(rows, [&](int i) { table[i] = NewZeroed(cols); });
  return table;
}

void DeleteTable(cdouble** table, int rows) {
  if (table == nullptr) return;
  for (int i = 0; i < rows; i++) delete[] table[i];
  delete[] table;
}

}  // namespace

CWaveFunction_pp::CWaveFunction_pp(const char* parsfilename) : CWaveFunction() {
  ParsInit(parsfilename);
  nrmax = 1000;
  q1q2 = 1;  // always with Coulomb: COULOMB is not consulted
  ellmax = 1;
  strongpotential = STRONG;
  nchannels = 4;
  m1 = m2 = MPROTON;
  rmax = 10.0;
  // The inner form reads the radial tables at floor(r nrmax / rmax) for r < epsilon: beyond
  // rmax there is no table.
  if (epsilon >= rmax)
    femtokit::Fatal("CWaveFunction_pp: EPSILON=%g fm must lie below rmax=%g fm\n", epsilon, rmax);
  InitChannels({0, 1, 1, 1}, {}, true);
  std::strcpy(pottype, "PP");
  std::strcpy(pname, "");

  const int nr = nrmax + 1;
  alloc_nqmax_ = nqmax;
  psi3P0 = NewZeroed(nr);
  psi3P1 = NewZeroed(nr);
  psi1S0 = NewZeroed(nr);
  psi3C2 = NewZeroed(nr);
  phase1S0 = new double[nqmax]();
  phase3P0 = new double[nqmax]();
  phase3P1 = new double[nqmax]();
  phaseNS = new double[nqmax]();
  phase3C2 = new double[nqmax]();
  psiNS = NewZeroed(nr);
  innerpsi0 = NewTable(nqmax, nr);
  innerpsi1 = NewTable(nqmax, nr);
  innerpsi2 = NewTable(nqmax, nr);
  innerpsi3 = NewTable(nqmax, nr);
  innerpsi4 = NewTable(nqmax, nr);
  work = NewZeroed(nr);
  psiNS0_ = NewZeroed(nr);
  e1S0_ = NewZeroed(nqmax);
  e3P0_ = NewZeroed(nqmax);
  e3P1_ = NewZeroed(nqmax);
  e3C2_ = NewZeroed(nqmax);
  TabulatePotentials();
  Initialize();
}

CWaveFunction_pp::~CWaveFunction_pp() {
  delete[] psi3P0;
  delete[] psi3P1;
  delete[] psi1S0;
  delete[] psi3C2;
  delete[] psiNS;
  delete[] phase1S0;
  delete[] phase3P0;
  delete[] phase3P1;
  delete[] phaseNS;
  delete[] phase3C2;
  DeleteTable(innerpsi0, alloc_nqmax_);
  DeleteTable(innerpsi1, alloc_nqmax_);
  DeleteTable(innerpsi2, alloc_nqmax_);
  DeleteTable(innerpsi3, alloc_nqmax_);
  DeleteTable(innerpsi4, alloc_nqmax_);
  delete[] work;
  delete[] psiNS0_;
  delete[] e1S0_;
  delete[] e3P0_;
  delete[] e3P1_;
  delete[] e3C2_;
}

void CWaveFunction_pp::Initialize() {
  // Every grid point is integrated on its own (its waves, phases and inner tables depend on its q
  // only), into buffers of its own: the grid points run on femtokit::ThreadCount() threads and
  // give the serial numbers exactly. A fatal error (a throwing handler) is kept and rethrown
  // after the loop: exceptions must not leave the parallel region.
  const int nthreads = femtokit::ThreadCount();
  std::exception_ptr failure;
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
  for (int iq = 0; iq < nqmax; iq++) {
    try {
      InitializePoint(iq);
    } catch (...) {
#pragma omp critical(femtokit_pp_initialize_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void CWaveFunction_pp::TabulatePotentials() {
  const double delr = rmax / nrmax;
  for (int k = 0; k < kNStrongWaves; k++) potential_[k].resize(nrmax + 1);
  // Every table entry is its own Reid93 evaluation: the waves run on the threads.
  femtokit::ParallelFor(kNStrongWaves, [&](int k) {
    double v12, v22;
    for (int j = 0; j <= nrmax; j++) {
      const double r = (j + 1) * delr;
      creid93(&r, kStrongWaves[k], pottype, &potential_[k][j], &v12, &v22);
    }
  });
}

const double* CWaveFunction_pp::PotentialTable(const char* wave) const {
  for (int k = 0; k < kNStrongWaves; k++)
    if (std::strcmp(wave, kStrongWaves[k]) == 0 && !potential_[k].empty())
      return potential_[k].data();
  return nullptr;
}

void CWaveFunction_pp::InitializePoint(int iq) {
  const double delr = rmax / nrmax;
  const int nr = nrmax + 1;
  std::vector<cdouble> u1S0(nr), u3P0(nr), u3P1(nr), u3C2(nr), uNS(nr), uNS0(nr);
  phase1S0[iq] = Integrate(iq, 0, "1S0", strongpotential, u1S0.data());
  phase3P0[iq] = Integrate(iq, 1, "3P0", strongpotential, u3P0.data());
  phase3P1[iq] = Integrate(iq, 1, "3P1", strongpotential, u3P1.data());
  phase3C2[iq] = Integrate(iq, 1, "3C2", strongpotential, u3C2.data());
  phaseNS[iq] = Integrate(iq, 1, "NS", false, uNS.data());
  // The singlet needs its own Coulomb-only reference of ell = 0.
  const double betaNS0 = Integrate(iq, 0, "NS", false, uNS0.data());

  // e^{-2i delta} with delta = beta - PI/2: the outer form multiplies the Coulomb partial
  // waves by e - 1; the inner form turns each standing wave psi = e^{2i delta} u into u.
  e1S0_[iq] = EMinus2iDelta(phase1S0[iq]);
  e3P0_[iq] = EMinus2iDelta(phase3P0[iq]);
  e3P1_[iq] = EMinus2iDelta(phase3P1[iq]);
  e3C2_[iq] = EMinus2iDelta(phase3C2[iq]);
  const cdouble eNS1 = EMinus2iDelta(phaseNS[iq]);
  const cdouble eNS0 = EMinus2iDelta(betaNS0);

  // Inner radial corrections D_X(r) = 2 e^{-i sigma_ell} (u_X(r) - u_Coulomb(r)) / x. Outside
  // the potential u_X = (H e_X + conj H)/2 and u_Coulomb = F with H = F + iG, so D_X equals
  // the outer form's R_ell (e_X - 1), R_ell = e^{-i sigma} H / x, and |psi|^2 is continuous
  // at epsilon. The combinations are the Clebsch-Gordan ones of the outer form.
  const double q = qarray[iq];
  const cdouble phase0 = 2.0 * Misc::ceiphi(-partwave[0][iq]->sigma);
  const cdouble phase1 = 2.0 * Misc::ceiphi(-partwave[1][iq]->sigma);
  for (int j = nrmax; j >= 1; j--) {
    const double x = q * j * delr / HBARC;
    const cdouble d1S0 = phase0 * (e1S0_[iq] * u1S0[j] - eNS0 * uNS0[j]) / x;
    const cdouble d3P0 = phase1 * (e3P0_[iq] * u3P0[j] - eNS1 * uNS[j]) / x;
    const cdouble d3P1 = phase1 * (e3P1_[iq] * u3P1[j] - eNS1 * uNS[j]) / x;
    const cdouble d3C2 = phase1 * (e3C2_[iq] * u3C2[j] - eNS1 * uNS[j]) / x;
    innerpsi0[iq][j] = (d3C2 - d3P1) / 2.0;
    innerpsi1[iq][j] = (d3C2 + d3P1) / 2.0;
    innerpsi2[iq][j] = (d3C2 - d3P0) / 3.0;
    innerpsi3[iq][j] = (2.0 * d3C2 + d3P0) / 3.0;
    innerpsi4[iq][j] = d1S0;
  }
  // At r = 0, u / x tends to a constant for ell = 0 and to zero for ell = 1.
  innerpsi0[iq][0] = innerpsi1[iq][0] = innerpsi2[iq][0] = innerpsi3[iq][0] = 0.0;
  innerpsi4[iq][0] = innerpsi4[iq][1];

  // The public buffers keep the standing waves of the last grid point, as a serial pass leaves
  // them (work: its last integration, the ell = 0 Coulomb reference).
  if (iq == nqmax - 1) {
    std::copy(u1S0.begin(), u1S0.end(), psi1S0);
    std::copy(u3P0.begin(), u3P0.end(), psi3P0);
    std::copy(u3P1.begin(), u3P1.end(), psi3P1);
    std::copy(u3C2.begin(), u3C2.end(), psi3C2);
    std::copy(uNS.begin(), uNS.end(), psiNS);
    std::copy(uNS0.begin(), uNS0.end(), psiNS0_);
    std::copy(uNS0.begin(), uNS0.end(), work);
    std::snprintf(pname, sizeof pname, "%s", "NS");
  }
}

void CWaveFunction_pp::InwardPass(int ell, const char* wave, bool strong, double q, double E,
                                  cdouble psi_far, cdouble psi_near, cdouble* out) const {
  const double delr = rmax / nrmax;
  const double hbarc2 = HBARC * HBARC;
  const double centrifugal = ell * (ell + 1) * hbarc2 / (2.0 * E);
  double v11, v12, v22;
  // The potential depends on r only: the waves of the pair read it from their tables (the same
  // numbers at every q and in both passes).
  const double* table = strong ? PotentialTable(wave) : nullptr;
  // Three-point recursion psi_j = 2 psi_{j+1} - psi_{j+2} + delr^2 (2E U - q^2) psi_{j+1} /
  // HBARC^2, U evaluated at r = (j + 1) delr, the point of the newest known value.
  for (int j = nrmax; j >= 0; j--) {
    const double r = (j + 1) * delr;
    double u = HBARC / (femtokit::constants::kAlphaInverse * r) + centrifugal / (r * r);
    if (strong) {
      if (table != nullptr) {
        v11 = table[j];
      } else {
        creid93(&r, wave, pottype, &v11, &v12, &v22);
      }
      u += v11;  // diagonal element only: the 3P2-3F2 coupling of "3C2" is left out
    }
    const cdouble psi =
        2.0 * psi_near - psi_far + delr * delr * (2.0 * E * u - q * q) * psi_near / hbarc2;
    out[j] = psi;
    psi_far = psi_near;
    psi_near = psi;
  }
}

double CWaveFunction_pp::Integrate(long iq, int ell, const char* wave, bool strong,
                                   cdouble* out) const {
  const double q = qarray[iq];
  const double mu = 0.5 * MPROTON;
  const double E = std::sqrt(mu * mu + q * q);
  const double etapp = mu / (femtokit::constants::kAlphaInverse * q);
  const double delr = rmax / nrmax;
  const double x_far = q * (rmax + 2.0 * delr) / HBARC;
  const double x_near = q * (rmax + delr) / HBARC;

  // First pass from the incoming Coulomb wave: its phase near the origin fixes the standing wave.
  const cdouble far = CoulWave::CWincoming(ell, x_far, etapp);
  const cdouble near = CoulWave::CWincoming(ell, x_near, etapp);
  InwardPass(ell, wave, strong, q, E, far, near, out);
  const double beta = 2.0 * std::arg(out[0]) - std::arg(out[1]);

  // Second pass from the standing wave (psi - e^{2i beta} conj(psi))/2 = i e^{i beta} x (real),
  // which is regular at the origin.
  const cdouble e2ibeta = Misc::ceiphi(2.0 * beta);
  InwardPass(ell, wave, strong, q, E, 0.5 * (far - e2ibeta * std::conj(far)),
             0.5 * (near - e2ibeta * std::conj(near)), out);
  return beta;
}

void CWaveFunction_pp::GetPsiNoneCoupledState(long iq, short ell, const char* wave, short slot,
                                              bool strong) {
  std::snprintf(pname, sizeof pname, "%s", wave);
  const double beta = Integrate(iq, ell, wave, strong, work);
  cdouble* psi = nullptr;
  double* phase = nullptr;
  switch (slot) {
    case 1:
      psi = psi3P0;
      phase = phase3P0;
      break;
    case 2:
      psi = psi3P1;
      phase = phase3P1;
      break;
    case 3:
      psi = psi1S0;
      phase = phase1S0;
      break;
    case 4:
      psi = psiNS;
      phase = phaseNS;
      break;
    case 5:
      psi = psi3C2;
      phase = phase3C2;
      break;
    default:
      return;  // slot 0: nothing kept
  }
  for (int j = 0; j <= nrmax; j++) psi[j] = work[j];
  phase[iq] = beta;
}

double CWaveFunction_pp::CalcPsiSquared(int iq, double r, double ctheta) {
  double psisquared;
  CalcPsiSquaredAngles(iq, r, &ctheta, 1, &psisquared);
  return psisquared;
}

SpinSum::Corrections CWaveFunction_pp::CorrectionsAt(int iq, double r) {
  SpinSum::Corrections d;
  if (r < epsilon) {
    // Inside epsilon the asymptotic partial waves do not hold: use the integrated radial waves,
    // linear in r between the grid points around r (epsilon < rmax keeps j + 1 in the table).
    const double t = r * nrmax / rmax;
    const int j = static_cast<int>(t);
    const double w = t - j;
    auto at = [&](std::complex<double>** table) {
      return (1.0 - w) * table[iq][j] + w * table[iq][j + 1];
    };
    d.d0 = at(innerpsi4);
    d.d1 = at(innerpsi1);
    d.d2 = at(innerpsi0);
    d.d3 = at(innerpsi3);
    d.d4 = at(innerpsi2);
  } else {
    const double x = qarray[iq] * r / HBARC;
    const cdouble R0 = partwave[0][iq]->GetPhiIncoming(r) / x;
    const cdouble R1 = partwave[1][iq]->GetPhiIncoming(r) / x;
    d = SpinSum::OuterCorrections(R0, R1, e1S0_[iq], e3P0_[iq], e3P1_[iq], e3C2_[iq]);
  }
  return d;
}

void CWaveFunction_pp::CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                                            double* psisquared) {
  const cdouble *pplus, *pminus;
  PlaneWavesPlusMinus(iq, r, ctheta, n, &pplus, &pminus);
  const double root2 = std::sqrt(2.0);
  if (!STRONG) {
    for (int i = 0; i < n; i++) {
      const cdouble S = (pplus[i] + pminus[i]) / root2;  // spatially symmetric: spin singlet
      const cdouble A = (pplus[i] - pminus[i]) / root2;  // antisymmetric: spin triplet
      psisquared[i] = 0.25 * std::norm(S) + 0.75 * std::norm(A);
    }
    return;
  }
  // Strong corrections to the singlet and to the three triplet projections (radial parts; the
  // spherical harmonics and the spin weights are applied by SpinSum::PsiSquared): they depend
  // on (q, r) only.
  const SpinSum::Corrections d = CorrectionsAt(iq, r);
  for (int i = 0; i < n; i++) {
    const cdouble S = (pplus[i] + pminus[i]) / root2;
    const cdouble A = (pplus[i] - pminus[i]) / root2;
    // Singlet 1/4; triplet 3/4 over its projections with the weights of 3P0, 3P1 and 3P2.
    const double result = SpinSum::PsiSquared(S, A, d, ctheta[i]);
    if (r > epsilon && result < -0.001)
      femtokit::Fatal("in CalcPsiSquared psisquared=%g,q=%g,r=%g\n", result, qarray[iq], r);
    psisquared[i] = result;
  }
}

#include "wavefunctions/wf_pipluspiminus.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/misc.h"
#include "numeric/output.h"
#include "numeric/threads.h"
#include "wavefunctions/coulwave.h"
#include "wavefunctions/phaseshift_wf.h"

namespace {

using femtokit::constants::kPi;
using femtokit::constants::kHbarC;

// Phase of the rho(770) Breit-Wigner with p-wave width Gamma (q/q_r)^3 M / sqrt(s).
double RhoPhase(double q) {
  const double s = 4.0 * (q * q + 19482.5764);  // 19482.5764 = MPI^2
  const double qr = q / 359.39703128990925;
  return std::atan2(115048.12 * qr * qr * qr * 771.1 / std::sqrt(s), 594595.2100000001 - s);
}

}  // namespace

void getphaseshift_pipi(int I, int ell, double q, double* delta, double* ddeltadq) {
  if ((I + ell) % 2 != 0)
    femtokit::Fatal("pipi phase shift: bad (ell,I) comb, ell=%d, I=%d\n", ell, I);
  if (I < 0 || I > 2) return;
  // tq = t/q, written so that q = 0 needs no division.
  if (I == 0 && ell == 0) {
    const double d = 1.0 - q / 290.0 + (q / 625.0) * (q / 625.0);
    const double tq = 0.0014615274394612406 / d;
    const double t = tq * q;
    *delta = std::atan(t);
    if (*delta < 0.0) *delta += kPi;  // past the zero of d the phase continues above PI/2
    const double c = std::cos(*delta);
    *ddeltadq = c * c * tq * (1.0 - q * q / 390625.0) / d;
  } else if (I == 0 && ell == 2) {
    const double f = 1.0 + q * q / 1000000.0;
    const double u = q / f;
    const double tq = 6.164724745553792e-15 * u * u * u * u / f;
    *delta = std::atan(tq * q);
    const double c = std::cos(*delta);
    *ddeltadq = c * c * tq * 5.0 * (1.0 - q * q / 1000000.0) / f;
  } else if (I == 1 && ell == 1) {
    if (q <= 0.0) {
      // The phase rises as q^3: the average and the difference quotient are both 0 here.
      *delta = 0.0;
      *ddeltadq = 0.0;
      return;
    }
    // Centred average and difference over dq: 1 MeV/c, shrunk to q/20 near threshold so that
    // q - dq/2 stays positive.
    const double dq = (q < 20.0) ? q / 20.0 : 1.0;
    const double lo = RhoPhase(q - 0.5 * dq), hi = RhoPhase(q + 0.5 * dq);
    *delta = 0.5 * (lo + hi);
    *ddeltadq = (hi - lo) / dq;
  } else if (I == 2 && ell == 0) {
    const double b = 0.25495097567963926 * q / kHbarC;
    const double y = b * b;
    const double tq = -0.0006588050607389837 / (1.0 + y);
    *delta = std::atan(tq * q);
    const double c = std::cos(*delta);
    *ddeltadq = c * c * tq * (1.0 - y) / (1.0 + y);
  } else if (I == 2 && ell == 2) {
    const double b = 0.5 * q / kHbarC;
    const double y = b * b;
    const double u = 1.0 / (1.0 + y);
    const double tq = -8.400000000000001e-15 * q * q * q * q * u * u * u * u * u;
    *delta = std::atan(tq * q);
    const double c = std::cos(*delta);
    *ddeltadq = c * c * tq * 5.0 * (1.0 - y) / (1.0 + y);
  } else {
    // Higher partial waves are taken as free.
    *delta = 0.0;
    *ddeltadq = 0.0;
  }
}

CWaveFunction_pipluspiminus::CWaveFunction_pipluspiminus(const char* parsfilename)
    : CWaveFunction() {
  ParsInit(parsfilename);
  q1q2 = -1;
  ellmax = 2;
  m1 = m2 = MPI;
  InitChannels({0, 2, 1, 0, 2}, {2.0 / 3.0, 10.0 / 3.0, 3.0, 1.0 / 3.0, 5.0 / 3.0}, false);
  const int isospin[5] = {0, 0, 1, 2, 2};
  // Each grid point's phase shifts (Coulomb-corrected) and short-range weights are its own: the
  // points run on the threads.
  femtokit::ParallelFor(nqmax, [&](int iq) {
    const double q = qarray[iq];
    for (int c = 0; c < nchannels; c++) {
      getphaseshift_pipi(isospin[c], channelell[c], q, &delta[c][iq], &ddeltadq[c][iq]);
      CoulWave::phaseshift_CoulombCorrect(channelell[c], q, eta[iq], delta[c][iq],
                                          ddeltadq[c][iq]);
      PhaseShiftWF::SetShortRangeWeight(this, c, iq);
    }
  });
  femtokit::Progress("pipluspiminus wf initialized\n");
}

double CWaveFunction_pipluspiminus::CalcPsiSquared(int iq, double r, double ctheta) {
  double psisquared;
  CalcPsiSquaredAngles(iq, r, &ctheta, 1, &psisquared);
  return psisquared;
}

void CWaveFunction_pipluspiminus::CalcPsiSquaredAngles(int iq, double r, const double* ctheta,
                                                       int n, double* psisquared) {
  using cdouble = std::complex<double>;
  if (iq >= nqmax) {
    std::fill(psisquared, psisquared + n, 1.0);
    return;
  }
  if (r < epsilon) {
    const double shortrange = STRONG ? PhaseShiftWF::ShortRangeSum(this, iq) : 0.0;
    for (int i = 0; i < n; i++) {
      double value = std::norm(planewave[iq]->planewave(r, ctheta[i]));
      if (STRONG) value += shortrange;
      psisquared[i] = value;
    }
    return;
  }
  const cdouble *pplus, *pminus;
  PlaneWavesPlusMinus(iq, r, ctheta, n, &pplus, &pminus);
  const double root2 = std::sqrt(2.0);
  // The partial-wave corrections of each channel, c0 .. c4 = R_ell (e_c - 1), depend on (q, r)
  // only.
  cdouble c[5];
  if (STRONG) {
    const double x = qarray[iq] * r / HBARC;
    const cdouble r0 = partwave[0][iq]->GetPhiIncoming(r) / x;
    const cdouble r1 = partwave[1][iq]->GetPhiIncoming(r) / x;
    const cdouble r2 = partwave[2][iq]->GetPhiIncoming(r) / x;
    const cdouble radial[5] = {r0, r2, r1, r0, r2};
    for (int k = 0; k < 5; k++) c[k] = radial[k] * (Misc::ceiphi(-2.0 * delta[k][iq]) - 1.0);
  }
  for (int i = 0; i < n; i++) {
    const cdouble s = (pplus[i] + pminus[i]) / root2;
    const cdouble a = (pplus[i] - pminus[i]) / root2;
    cdouble t0 = s, t1 = a, t2 = s;
    if (STRONG) {
      // P_1 and P_2 written out (GSL's own formulas; a library call per angle costs more than
      // the rest of the sum).
      const double p1 = ctheta[i];
      const double p2 = 0.5 * (3.0 * ctheta[i] * ctheta[i] - 1.0);
      t0 = s + (c[0] - 5.0 * p2 * c[1]) / root2;
      t1 = a + (3.0 * ci / root2) * p1 * c[2];
      t2 = s + (c[3] - 5.0 * p2 * c[4]) / root2;
    }
    psisquared[i] = std::norm(t0) / 3.0 + std::norm(t1) / 2.0 + std::norm(t2) / 6.0;
  }
}

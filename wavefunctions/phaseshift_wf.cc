#include "wavefunctions/phaseshift_wf.h"

#include <cmath>

#include "numeric/misc.h"
#include "numeric/threads.h"

namespace PhaseShiftWF {

void ReadTable(CWaveFunction* wf, const double* delta_table, const double* slope_table, int ntab,
               int iqstart) {
  for (int c = 0; c < wf->nchannels; c++) {
    const double* d = delta_table + c * ntab;
    const double* dd = slope_table + c * ntab;
    for (int iq = iqstart; iq < wf->nqmax; iq++) {
      const double q = wf->qarray[iq];
      const int k = 2 * static_cast<int>(std::floor(q));
      if (k + 1 > ntab - 1) {
        // Beyond the table: the pair is taken as free of strong interaction.
        wf->delta[c][iq] = 0.0;
        wf->ddeltadq[c][iq] = 0.0;
        continue;
      }
      const double wlow = k + 1 - 2.0 * q, whigh = 2.0 * q - k;
      wf->delta[c][iq] = wlow * d[k] + whigh * d[k + 1];
      wf->ddeltadq[c][iq] = wlow * dd[k] + whigh * dd[k + 1];
    }
  }
}

void SetShortRangeWeight(CWaveFunction* wf, int c, int iq) {
  const int ell = wf->channelell[c];
  const double q = wf->qarray[iq];
  const double eps = wf->epsilon;
  double w = wf->ddeltadq[c][iq] - wf->GetIW(ell, eps, q, wf->q1q2, wf->eta[iq], wf->delta[c][iq]) +
             wf->GetIW(ell, eps, q, wf->q1q2, wf->eta[iq], 0.0);
  wf->wepsilon[c][iq] = 3.0 * w / (4.0 * wf->PI * eps * eps * eps);
}

void SetShortRangeWeights(CWaveFunction* wf) {
  // Independent per grid point (Coulomb functions each): the points run on the threads.
  femtokit::ParallelFor(wf->nqmax, [wf](int iq) {
    for (int c = 0; c < wf->nchannels; c++) SetShortRangeWeight(wf, c, iq);
  });
}

void InitMesonProtonChannels(CWaveFunction* wf, double meson_mass, bool announce) {
  wf->m1 = wf->MPROTON;
  wf->m2 = meson_mass;
  wf->q1q2 = wf->COULOMB ? 1 : 0;
  wf->ellmax = 1;
  wf->InitChannels({0, 1, 1}, {1.0, 1.0, 2.0}, announce);
}

double ShortRangeSum(const CWaveFunction* wf, int iq) {
  const double q = wf->qarray[iq];
  const double hbarc3 = wf->HBARC * wf->HBARC * wf->HBARC;
  double sum = 0.0;
  for (int c = 0; c < wf->nchannels; c++)
    sum += 2.0 * wf->PI * wf->channelweight[c] * wf->wepsilon[c][iq] * hbarc3 / (q * q);
  return sum;
}

double MesonProtonPsiSquared(CWaveFunction* wf, int iq, double r, double ctheta,
                             MesonProtonParts* parts) {
  using cdouble = std::complex<double>;
  const cdouble ci(0.0, 1.0);
  parts->r0 = parts->r1 = parts->tb = 0.0;
  const cdouble p = wf->planewave[iq]->planewave(r, ctheta);
  if (!wf->STRONG) {
    if (r >= wf->epsilon) parts->tb = p;
    return std::norm(p);
  }
  if (r < wf->epsilon) return std::norm(p) + ShortRangeSum(wf, iq);
  const double q = wf->qarray[iq];
  const double x = q * r / wf->HBARC;
  const cdouble r0 = wf->partwave[0][iq]->GetPhiIncoming(r) / x;
  const cdouble r1 = wf->partwave[1][iq]->GetPhiIncoming(r) / x;
  const cdouble e0 = Misc::ceiphi(-2.0 * wf->delta[0][iq]);
  const cdouble e1 = Misc::ceiphi(-2.0 * wf->delta[1][iq]);
  const cdouble e2 = Misc::ceiphi(-2.0 * wf->delta[2][iq]);
  const double s = std::sqrt(std::fmax(0.0, 1.0 - ctheta * ctheta));
  const cdouble ta =
      p + 0.5 * r0 * (e0 - 1.0) + 3.0 * ci * ctheta * 0.5 * r1 * (2.0 * e2 / 3.0 + e1 / 3.0 - 1.0);
  const cdouble tb = ci * 0.5 * r1 * (e2 - e1) * s;
  parts->r0 = r0;
  parts->r1 = r1;
  parts->tb = tb;
  return std::norm(ta) + std::norm(tb);
}

}  // namespace PhaseShiftWF

#include "wavefunctions/tripletsum.h"

#include <gsl/gsl_sf_coupling.h>

#include <algorithm>
#include <cmath>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace femtokit {

namespace {

// <l1 m1 l2 m2|J M> for integer angular momenta, from GSL's 3j symbol.
double ClebschGordan(int l1, int m1, int l2, int m2, int j, int m) {
  if (m1 + m2 != m || std::abs(m) > j || std::abs(m1) > l1 || std::abs(m2) > l2) return 0.0;
  const double threej = gsl_sf_coupling_3j(2 * l1, 2 * l2, 2 * j, 2 * m1, 2 * m2, -2 * m);
  const double sign = ((l1 - l2 + m) % 2 == 0) ? 1.0 : -1.0;
  return sign * std::sqrt(2.0 * j + 1.0) * threej;
}

// Y_{ell,M}(theta, 0) for M = 0 .. min(ell, 2) and ell = 0 .. ellmax into y[ell * 3 + M]
// (associated Legendre recurrence in ell at fixed M, Condon-Shortley phase).
void Harmonics(int ellmax, double c, double* y) {
  c = std::clamp(c, -1.0, 1.0);
  const double s = std::sqrt(std::fmax(0.0, 1.0 - c * c));
  for (int m = 0; m <= std::min(ellmax, 2); m++) {
    double pmm = 1.0;  // P_m^m = (-1)^m (2m - 1)!! s^m
    for (int i = 1; i <= m; i++) pmm *= -(2.0 * i - 1.0) * s;
    double lower = 0.0, current = pmm;
    double ratio = 1.0;  // (ell - m)! / (ell + m)!
    for (int i = 1; i <= 2 * m; i++) ratio /= i;
    for (int ell = m; ell <= ellmax; ell++) {
      if (ell > m) {
        const double next = ell == m + 1 ? c * (2.0 * m + 1.0) * current
                                         : (c * (2.0 * ell - 1.0) * current -
                                            (ell + m - 1.0) * lower) / (ell - m);
        lower = current;
        current = next;
        ratio *= (ell - m) / static_cast<double>(ell + m);
      }
      y[ell * 3 + m] = std::sqrt((2.0 * ell + 1.0) / (4.0 * constants::kPi) * ratio) * current;
    }
  }
}

}  // namespace

TripletSpinSum::TripletSpinSum(const std::vector<Wave>& waves) {
  PrepareGSL();
  static const std::complex<double> ipow[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (size_t w = 0; w < waves.size(); w++) {
    const Wave& wave = waves[w];
    if (wave.ell < 0 || wave.j < std::abs(wave.ell - 1) || wave.j > wave.ell + 1)
      Fatal("triplet spin sum: no total J=%d for ell=%d and spin 1\n", wave.j, wave.ell);
    for (size_t v = 0; v < w; v++)
      if (waves[v].ell == wave.ell && waves[v].j == wave.j)
        Fatal("triplet spin sum: wave ell=%d J=%d given twice\n", wave.ell, wave.j);
    ellmax_ = std::max(ellmax_, wave.ell);
    const double norm = std::sqrt(4.0 * constants::kPi * (2.0 * wave.ell + 1.0)) / 2.0;
    // Row m = -1 mirrors row m = +1 (see PsiSquared): not stored.
    for (int m = 0; m <= 1; m++)
      for (int mp = -1; mp <= 1; mp++) {
        const int big_m = m - mp;
        const double cg = ClebschGordan(wave.ell, 0, 1, m, wave.j, m) *
                          ClebschGordan(wave.ell, big_m, 1, mp, wave.j, m);
        if (cg == 0.0) continue;
        const double y_sign = (big_m < 0 && big_m % 2 != 0) ? -1.0 : 1.0;
        terms_[m][mp + 1].push_back({static_cast<int>(w), wave.ell, std::abs(big_m), y_sign,
                                         ipow[wave.ell % 4] * norm * cg});
      }
  }
}

double TripletSpinSum::PsiSquared(std::complex<double> p, const std::complex<double>* d,
                                  double ctheta) const {
  double y[3 * 8];
  std::vector<double> heap;
  double* table = y;
  if (ellmax_ >= 8) {
    heap.resize(3 * (ellmax_ + 1));
    table = heap.data();
  }
  Harmonics(ellmax_, ctheta, table);
  // psi_{-m',-m} = psi_{m'm} up to the sign (-1)^M of its non-diagonal terms (both
  // Clebsch-Gordan coefficients change by (-1)^(ell + 1 - J), Y_{ell,-M} by (-1)^M): the row
  // m = -1 adds what the row m = +1 does.
  double sum = 0.0;
  for (int m = 0; m <= 1; m++) {
    double row = 0.0;
    for (int mp = -1; mp <= 1; mp++) {
      std::complex<double> psi = m == mp ? p : 0.0;
      for (const Term& t : terms_[m][mp + 1])
        psi += t.a * (t.y_sign * table[t.ell * 3 + t.absm]) * d[t.wave];
      row += std::norm(psi);
    }
    sum += m == 0 ? row : 2.0 * row;
  }
  return sum / 3.0;
}

}  // namespace femtokit

#include "wavefunctions/partwave.h"

#include <cmath>

#include "numeric/bessel.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "wavefunctions/coulwave.h"

namespace {
using femtokit::constants::kHbarC;
}  // namespace

CPartWave::CPartWave(double eta_set, int q1q2_set, double q_set, int ell_set, double epsilon_set)
    : CPartWave(eta_set, q1q2_set, q_set, ell_set, epsilon_set, 3000, 0.01) {}

CPartWave::CPartWave(double eta_set, int q1q2_set, double q_set, int ell_set, double epsilon_set,
                     int nrmax_set, double delr_set)
    : CPartWave(eta_set, q1q2_set, q_set, ell_set, epsilon_set, nrmax_set, delr_set, Unfilled{}) {
  phi_init();
}

CPartWave::CPartWave(double eta_set, int q1q2_set, double q_set, int ell_set, double epsilon_set,
                     OnDemand)
    : CPartWave(eta_set, q1q2_set, q_set, ell_set, epsilon_set, 3000, 0.01, Unfilled{}) {
  ondemand_ = std::make_unique<femtokit::OnDemandFlags>(nrmax + 1);
  phi = new std::complex<double>[nrmax + 1]();
}

CPartWave::CPartWave(double eta_set, int q1q2_set, double q_set, int ell_set, double epsilon_set,
                     int nrmax_set, double delr_set, Unfilled)
    : sigma(0.0),
      ci(0.0, 1.0),
      epsilon(epsilon_set),
      PI(femtokit::constants::kPi),
      ell(ell_set),
      q1q2(q1q2_set),
      q(q_set),
      eta(eta_set),
      phi(nullptr),
      nrmax(nrmax_set),
      delr(delr_set) {
  Setup();
}

void CPartWave::Setup() {
  // The interpolation needs two table points and a positive step.
  if (nrmax < 1 || !(delr > 0.0)) {
    femtokit::Fatal("CPartWave: the table needs nrmax >= 1 and delr > 0 (nrmax=%d, delr=%g)\n",
                    nrmax, delr);
  }
  if (q1q2 != 0) {
    const std::complex<double> g = CoulWave::cgamma(std::complex<double>(ell + 1.0, eta));
    sigma = std::atan2(g.imag(), g.real());
  }
}

CPartWave::~CPartWave() { delete[] phi; }

std::complex<double> CPartWave::PhiDirect(double r) const {
  const double x = q * r / kHbarC;
  if (q1q2 != 0) {
    return CoulWave::CWincoming(ell, x, eta) * std::polar(1.0, -sigma);
  }
  return x * Bessel::hstarn(ell, x);
}

void CPartWave::phi_init() {
  delete[] phi;
  phi = new std::complex<double>[nrmax + 1]();
  for (int i = 0; i <= nrmax; i++) phi[i] = PhiDirect((i + 0.5) * delr);
  ondemand_.reset();
}

std::complex<double> CPartWave::Point(int i) {
  if (ondemand_ == nullptr) return phi[i];
  return ondemand_->Get(phi, i, [this](int j) { return PhiDirect((j + 0.5) * delr); });
}

std::complex<double> CPartWave::GetPhiIncoming(double r) {
  const double u = r / delr;
  // Beyond the table (and for a non-finite r) evaluate the wave itself.
  if (!(u < nrmax)) return PhiDirect(r);
  // r < 0 has no wave; extrapolate from the first two points as below r_0.
  const int ir = u < 0.0 ? 0 : static_cast<int>(std::floor(u));
  const double w = (r - (ir + 0.5) * delr) / delr;
  if (w > 0.0 || ir == 0) return (1.0 - w) * Point(ir) + w * Point(ir + 1);
  return (1.0 + w) * Point(ir) - w * Point(ir - 1);
}

std::complex<double> CPartWave::GetPhiOutgoing(double r) {
  std::complex<double> out = std::conj(GetPhiIncoming(r));
  if (q1q2 != 0) out *= std::polar(1.0, -2.0 * sigma);
  return out;
}

#include "wavefunctions/reid93.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "numeric/constants.h"
#include "numeric/fatal.h"

namespace {

// Constants of the publication (Stoks et al., Phys. Rev. C 49, 2950).
constexpr double kF2 = 0.075;                // pion-nucleon coupling f^2
constexpr double kMPi0 = femtokit::constants::kMassPionNeutralReid93;
constexpr double kMPiC = femtokit::constants::kMassPionChargedReid93;
constexpr double kMScale = kMPiC;            // scaling mass of the coupling (= charged pion)
constexpr double kMPiAverage = 138.0363;     // (m0 + 2 mc)/3, scale of the phenomenological part
constexpr double kMu0 = 0.6840111274554939;  // m0 / hbar c, 1/fm
constexpr double kMuC = 0.7072902467154364;  // mc / hbar c, 1/fm
constexpr double kMuAverage = 0.6995305402954555;  // average pion mass / hbar c, 1/fm

// Below this x the closed forms of Y, P, W, Z cancel to noise; the Taylor forms take over.
constexpr double kSmallX = 1.0e-4;

// Phenomenological coefficients a(i, j): isospin-1 waves of every pair type.
constexpr double kA[5][5] = {{0.1756084, -14.14234, 151.8489, -686.8230, 1104.157},
                             {-42.24976, 207.2246, -335.4364, -1.989250, -61.78469},
                             {29.12845, 151.1690, 8.151964, 58.32103, -20.74743},
                             {-0.5840566, -10.29310, 22.63391, 23.16915, -1.959172},
                             {-2.608488, 10.90858, -0.4374212, -21.48862, -0.6584788}};

// b(i, j): isospin-0 waves of neutron-proton, and the np 1S0.
constexpr double kB[5][5] = {{-22.34989, 255.1761, -1063.549, 1609.196, -3.505968},
                             {-4.248612, -5.352001, 182.7642, -392.7086, 58.12273},
                             {-2.904577, 38.02497, 0.3395927, 0.8318097, 1.923895},
                             {0.0913746, -12.74773, 145.8600, -643.2461, 1022.217},
                             {-0.0461640, 7.950192, -1.925573, 50.66234, 8.359896}};

// One-based access, as the coefficients are numbered in the publication.
inline double a(int i, int j) { return kA[i - 1][j - 1]; }
inline double b(int i, int j) { return kB[i - 1][j - 1]; }

// The radial functions with the regulator m = 8 used everywhere in the potential.
constexpr double kRegulator = 8.0;
double Y(double n, double x) { return r93_y(&n, &kRegulator, &x); }
double P(double n, double x) { return r93_p(&n, &kRegulator, &x); }
double W(double n, double x) { return r93_w(&n, &kRegulator, &x); }
double Z(double n, double x) { return r93_z(&n, &kRegulator, &x); }

// Central and tensor parts of the isospin-1 (3C2 form) or isospin-0 (3C1 form) coupled
// channels, before scaling; the spin-orbit part depends on the wave and is added by the caller.
void TripletCentralTensor(int isospin, double x, double* vc, double* vt) {
  if (isospin == 1) {
    *vc = a(4, 1) * Y(3, x) + a(4, 2) * Y(4, x) + a(4, 3) * Y(5, x) + a(4, 4) * Y(6, x);
    *vt = (a(5, 1) * Z(4, x) + a(5, 2) * Z(6, x)) / 3.0;
  } else {
    *vc = b(4, 1) * Y(2, x) + b(4, 2) * Y(3, x) + b(4, 3) * Y(4, x) + b(4, 4) * Y(5, x) +
          b(4, 5) * Y(6, x);
    *vt = (b(3, 5) * Z(4, x) + b(5, 5) * Z(6, x)) / 3.0;
  }
}

// Singlet forms used by 1S0 (pp, nn) and the higher isospin-1 singlets (a row 1), and by 1P1 and
// the higher isospin-0 singlets (b row 2).
double SingletIsospin1(double x) {
  return a(1, 1) * Y(2, x) + a(1, 2) * Y(3, x) + a(1, 3) * Y(4, x) + a(1, 4) * Y(5, x) +
         a(1, 5) * Y(6, x);
}
double SingletIsospin0(double x) {
  return b(2, 1) * Y(3, x) + b(2, 2) * Y(4, x) + b(2, 3) * Y(5, x) + b(2, 4) * Y(6, x);
}

// Coupled-channel combination of central, tensor and spin-orbit parts for total J:
// tensor operator S12 = -2(J-1)/(2J+1), -2(J+2)/(2J+1) on the diagonal, 6 sqrt(J(J+1))/(2J+1)
// off it; L.S = J-1 for ell = J-1 and -(J+2) for ell = J+1.
void Coupled(int j, double vc, double vt, double vls, double* v11, double* v12, double* v22) {
  const double jj = j;
  *v11 = vc + (jj - 1.0) * vls - 2.0 * (jj - 1.0) / (2.0 * jj + 1.0) * vt;
  *v22 = vc - (jj + 2.0) * vls - 2.0 * (jj + 2.0) / (2.0 * jj + 1.0) * vt;
  *v12 = 6.0 * std::sqrt(jj * (jj + 1.0)) / (2.0 * jj + 1.0) * vt;
}

bool Is(const char* pname, const char* wave) { return std::strcmp(pname, wave) == 0; }

}  // namespace

double r93_y(const double* n, const double* m, const double* x) {
  const double nn = *n, mm = *m, xx = *x;
  if (xx < kSmallX) {
    // Taylor form; the linear term vanishes identically.
    return -nn + 0.5 * mm + nn * nn / (2.0 * mm);
  }
  return std::exp(-nn * xx) / xx -
         std::exp(-mm * xx) / xx * (1.0 + (mm * mm - nn * nn) * xx / (2.0 * mm));
}

double r93_p(const double* n, const double* m, const double* x) {
  const double nn = *n, mm = *m, xx = *x;
  const double n2 = nn * nn, m2 = mm * mm;
  if (xx < kSmallX) {
    // Taylor form P = (-n + m - d) + x (m^2 - n^2)^2 / (2 n^2) + O(x^2), d = m (m^2 - n^2)/(2n^2).
    const double d = mm * (m2 - n2) / (2.0 * n2);
    return -nn + mm - d + xx * (m2 - n2) * (m2 - n2) / (2.0 * n2);
  }
  return std::exp(-nn * xx) / xx -
         std::exp(-mm * xx) / xx * (1.0 + (m2 - n2) * mm * xx / (2.0 * n2));
}

double r93_w(const double* n, const double* m, const double* x) {
  const double nn = *n, mm = *m, xx = *x;
  const double n2 = nn * nn, m2 = mm * mm;
  if (xx < kSmallX) {
    // Taylor form W = (2n - 3m + m^3/n^2)/6 - x (m^2 - n^2)^2 / (8 n^2) + O(x^2).
    return (2.0 * nn - 3.0 * mm + mm * m2 / n2) / 6.0 - xx * (m2 - n2) * (m2 - n2) / (8.0 * n2);
  }
  const double en = std::exp(-nn * xx) / xx;
  const double em = std::exp(-mm * xx) / xx;
  return en * (1.0 / (nn * xx) + 1.0 / (n2 * xx * xx)) -
         em * (1.0 / (mm * xx) + 1.0 / (m2 * xx * xx)) * m2 / n2 - em * (m2 - n2) / (2.0 * n2);
}

double r93_z(const double* n, const double* m, const double* x) {
  const double nn = *n, mm = *m, xx = *x;
  const double n2 = nn * nn, m2 = mm * mm;
  if (xx < kSmallX) {
    // Taylor form Z = x (m^2 - n^2)^2 / (8 n^2) + O(x^2): the constant term vanishes.
    return xx * (m2 - n2) * (m2 - n2) / (8.0 * n2);
  }
  const double en = std::exp(-nn * xx) / xx;
  const double em = std::exp(-mm * xx) / xx;
  return en * (1.0 + 3.0 / (nn * xx) + 3.0 / (n2 * xx * xx)) -
         em * (1.0 + 3.0 / (mm * xx) + 3.0 / (m2 * xx * xx)) * m2 / n2 -
         std::exp(-mm * xx) * (1.0 + 1.0 / (mm * xx)) * mm * (m2 - n2) / (2.0 * n2);
}

void creid93(const double* r, const char* pname, const char* type, double* vpot11, double* vpot12,
             double* vpot22) {
  *vpot11 = 0.0;
  *vpot12 = 0.0;
  *vpot22 = 0.0;

  const bool neutral = Is(type, "PP") || Is(type, "NN");
  const bool np = Is(type, "NP") || Is(type, "PN");
  if (!neutral && !np) femtokit::Fatal("creid93: unknown pair type %s\n", type);

  // Quantum numbers from the name: spin digit, orbital letter (C: coupled), J.
  if (std::strlen(pname) < 3 || !std::isdigit(static_cast<unsigned char>(pname[2])))
    femtokit::Fatal("creid93: unknown partial wave %s\n", pname);
  const int spin = pname[0] == '1' ? 0 : 1;
  const bool coupled = pname[1] == 'C' || pname[1] == 'c';
  if (coupled && spin == 0) femtokit::Fatal("creid93: unknown partial wave %s\n", pname);
  const int j = std::atoi(pname + 2);
  int ell = j;
  if (Is(pname, "3P0")) ell = 1;
  if (coupled) ell = j - 1;
  const int isospin = (spin + ell + 1) % 2;
  // "3C1" .. "3C4" (either case of the C) are the named coupled channels.
  const bool named_coupled = coupled && pname[0] == '3' && std::strlen(pname) == 3;

  // One-pion exchange: central (P for S waves, Y otherwise) and tensor (Z) parts.
  const double x0 = kMu0 * (*r);
  const double f0 = kF2 * (kMPi0 / kMScale) * (kMPi0 / kMScale) * kMPi0 / 3.0;
  double vsp = f0 * P(1, x0);
  double vs = f0 * Y(1, x0);
  double vt = f0 * Z(1, x0);
  if (np) {
    // np: charged-pion exchange with the isospin factor tau1.tau2 - like (4I - 2).
    const double xc = kMuC * (*r);
    const double fc =
        (4.0 * isospin - 2.0) * kF2 * (kMPiC / kMScale) * (kMPiC / kMScale) * kMPiC / 3.0;
    vsp = fc * P(1, xc) - vsp;
    vs = fc * Y(1, xc) - vs;
    vt = fc * Z(1, xc) - vt;
  }

  // Phenomenological part in units of the average pion mass.
  const double x = kMuAverage * (*r);
  double v11 = 0.0, v12 = 0.0, v22 = 0.0;
  double vc = 0.0, vten = 0.0;
  if (Is(pname, "1S0")) {
    v11 = neutral ? SingletIsospin1(x)
                  : b(1, 1) * Y(3, x) + b(1, 2) * Y(4, x) + b(1, 3) * Y(5, x) + b(1, 4) * Y(6, x);
  } else if (Is(pname, "1D2")) {
    v11 = a(2, 1) * Y(4, x) + a(2, 2) * Y(5, x) + a(2, 3) * Y(6, x);
  } else if (Is(pname, "1G4")) {
    v11 = a(2, 4) * Y(3, x);
  } else if (Is(pname, "3P0")) {
    v11 = a(3, 1) * Y(3, x) + a(3, 2) * Y(5, x) + a(2, 5) * Z(3, x) / 3.0;
  } else if (Is(pname, "3P1")) {
    v11 = a(3, 3) * Y(3, x) + a(3, 4) * Y(5, x) + a(3, 5) * Z(3, x) / 3.0;
  } else if (Is(pname, "3F3")) {
    v11 = a(4, 5) * Y(3, x);
  } else if (Is(pname, "1P1")) {
    v11 = SingletIsospin0(x);
  } else if (Is(pname, "1F3")) {
    v11 = b(1, 5) * Y(3, x) + b(2, 5) * Y(5, x);
  } else if (Is(pname, "3D2")) {
    v11 = b(3, 1) * Y(3, x) + b(3, 2) * Y(5, x) + b(3, 3) * Z(3, x) / 3.0;
  } else if (Is(pname, "3G4")) {
    v11 = b(3, 4) * Y(3, x);
  } else if (named_coupled && (j == 2 || j == 4)) {
    TripletCentralTensor(1, x, &vc, &vten);
    const double vls = j == 2 ? a(5, 3) * W(3, x) + a(5, 4) * W(5, x) : a(5, 5) * W(3, x);
    Coupled(j, vc, vten, vls, &v11, &v12, &v22);
  } else if (named_coupled && (j == 1 || j == 3)) {
    TripletCentralTensor(0, x, &vc, &vten);
    const double vls =
        j == 1 ? b(5, 1) * W(3, x) + b(5, 2) * W(5, x) : b(5, 3) * W(3, x) + b(5, 4) * W(5, x);
    Coupled(j, vc, vten, vls, &v11, &v12, &v22);
  } else if (j > 4) {
    // Higher waves: the generic singlet form of the wave's isospin, or the 3C2 / 3C1 central and
    // tensor parts without spin-orbit term.
    if (spin == 0) {
      v11 = isospin == 1 ? SingletIsospin1(x) : SingletIsospin0(x);
    } else {
      TripletCentralTensor(isospin, x, &vc, &vten);
      if (coupled)
        Coupled(j, vc, vten, 0.0, &v11, &v12, &v22);
      else
        v11 = vc + 2.0 * vten;
    }
  } else {
    femtokit::Fatal("creid93: unknown partial wave %s\n", pname);
  }
  v11 *= kMPiAverage;
  v12 *= kMPiAverage;
  v22 *= kMPiAverage;

  // One-pion exchange with the spin (sigma1.sigma2 = -3 or 1) and tensor (S12) factors.
  const double jj = j;
  if (coupled) {
    v11 += (ell == 0 ? vsp : vs) - 2.0 * (jj - 1.0) / (2.0 * jj + 1.0) * vt;
    v22 += vs - 2.0 * (jj + 2.0) / (2.0 * jj + 1.0) * vt;
    v12 += 6.0 * std::sqrt(jj * (jj + 1.0)) / (2.0 * jj + 1.0) * vt;
  } else if (spin == 0) {
    v11 -= 3.0 * (ell == 0 ? vsp : vs);
  } else if (Is(pname, "3P0")) {
    v11 += vs - 2.0 * (jj + 2.0) / (2.0 * jj + 1.0) * vt;
  } else {
    v11 += vs + 2.0 * vt;
  }
  *vpot11 = v11;
  *vpot12 = v12;
  *vpot22 = v22;
}

#include "source/sourcecalc.h"

#include <cmath>
#include <cstdio>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "arrays/gridcells.h"
#include "numeric/constants.h"
#include "numeric/output.h"

using femtokit::constants::kPi;

CSourceCalc::CSourceCalc() = default;

void CSourceCalc::CalcS(CCHArray* /*A*/) { femtokit::Warn("i'm a dummyCalcS(CCHArray)\n"); }

void CSourceCalc::CalcS(int /*lx*/, int /*ly*/, int /*lz*/, CCHArray* /*A*/) {
  femtokit::Warn("i'm a dummy CalcS(int,int,int,CCHArray *)\n");
}

void CSourceCalc::ReadSPars(const char* filename) { parameter::ReadParsFromFile(spars, filename); }

void CSourceCalc::SetSParValues(std::initializer_list<std::pair<const char*, double>> values) {
  for (const auto& [key, value] : values) parameter::set(spars, key, value);
}

void CSourceCalc::NormCheck(CCHArray* A) {
  const double dr = A->GetRADSTEP();
  const int nr = A->GetNRADIAL();
  double norm = 0.0;
  for (int ir = 0; ir < nr; ir++) {
    const double r = (ir + 0.5) * dr;
    norm += 4.0 * kPi * r * r * dr * A->GetElement(0, 0, 0, ir);
  }
  femtokit::Progress("normalization check = %g\n", norm);
}

void CSourceCalc::NormCheck(C3DArray* A) {
  // A symmetric axis stores the non-negative half only: each stored cell stands
  // for its mirror image too.
  double volume = A->GetDELX() * A->GetDELY() * A->GetDELZ();
  if (A->GetXSYM()) volume *= 2.0;
  if (A->GetYSYM()) volume *= 2.0;
  if (A->GetZSYM()) volume *= 2.0;
  double norm = 0.0;
  femtokit::ForEachCell(femtokit::GridCells(*A), [&](const femtokit::GridCell& c) {
    norm += volume * A->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
  });
  femtokit::Progress("Norm Check of 3DArray = %g\n", norm);
}

void CSourceCalc::CalcEffGaussPars(CCHArray* A) {
  double Rx, Ry, Rz, Xoff, Yoff, Zoff;
  CalcEffGaussPars(A, Rx, Ry, Rz, Xoff, Yoff, Zoff);
}

// Moments of the source from its AExp components: with S(r) = sum_L ... the
// angular integrals give <r^2> = 4 pi dr sum r^4 A000, <x> = (4 pi/3) dr sum
// r^3 A100, <x^2> = 4 pi dr sum r^4 (A000/3 + 2 A200/15). The one-particle
// radius is half the relative variance: R_x^2 = (<x^2> - <x>^2)/2.
void CSourceCalc::CalcEffGaussPars(CCHArray* A, double& Rx, double& Ry, double& Rz, double& Xoff,
                                   double& Yoff, double& Zoff) {
  const double dr = A->GetRADSTEP();
  const int nr = A->GetNRADIAL();
  double S0 = 0.0, Sxx = 0.0, Syy = 0.0, Szz = 0.0, Sx = 0.0, Sy = 0.0, Sz = 0.0;
  for (int ir = 0; ir < nr; ir++) {
    const double r = (ir + 0.5) * dr;
    const double r3 = r * r * r;
    const double r4 = r3 * r;
    S0 += r4 * A->GetElement(0, 0, 0, ir);
    Sxx += r4 * A->GetElement(2, 0, 0, ir);
    Syy += r4 * A->GetElement(0, 2, 0, ir);
    Szz += r4 * A->GetElement(0, 0, 2, ir);
    if (!A->GetXSYM()) Sx += r3 * A->GetElement(1, 0, 0, ir);
    if (!A->GetYSYM()) Sy += r3 * A->GetElement(0, 1, 0, ir);
    if (!A->GetZSYM()) Sz += r3 * A->GetElement(0, 0, 1, ir);
  }
  const double Rinv = sqrt(2.0 * kPi * dr * S0 / 3.0);
  Xoff = (4.0 * kPi * dr / 3.0) * Sx;
  Yoff = (4.0 * kPi * dr / 3.0) * Sy;
  Zoff = (4.0 * kPi * dr / 3.0) * Sz;
  Rx = sqrt(fabs(0.5 * (4.0 * kPi * dr * (S0 / 3.0 + 2.0 * Sxx / 15.0) - Xoff * Xoff)));
  Ry = sqrt(fabs(0.5 * (4.0 * kPi * dr * (S0 / 3.0 + 2.0 * Syy / 15.0) - Yoff * Yoff)));
  Rz = sqrt(fabs(0.5 * (4.0 * kPi * dr * (S0 / 3.0 + 2.0 * Szz / 15.0) - Zoff * Zoff)));
  femtokit::Progress("__________  EFFECTIVE GAUSSIAN PARAMETERS ____________\n");
  femtokit::Progress("Rinv=%g\n", Rinv);
  femtokit::Progress("Gassian distribution with same offsets and 1-part. radii\n");
  femtokit::Progress("offset_xyz=(%g,%g,%g), R_xyz=(%g,%g,%g)\n", Xoff, Yoff, Zoff, Rx, Ry, Rz);
  femtokit::Progress("______________________________________________________\n");
}

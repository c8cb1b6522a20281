#ifndef FEMTOKIT_KERNEL_CFCALC_H
#define FEMTOKIT_KERNEL_CFCALC_H

// Chi-square between a measured correlation function (with its errors) and a
// computed one.

class CCHArray;
class C3DArray;

namespace CFCalc {

// chi^2 = sum_{ir < n} (cfexp - cftheory)^2 / cferror^2 over the radial bins of
// component (lx, ly, lz), n = NRADIAL of cfexp. Returns chi^2 (not divided by
// n) and prints "chi^2/Ndof=%g\n" with chi^2 / n. A bin whose error is below
// 1e-8 prints "CFCalc::GetChiSquared : \nSuspiciously small or negative error
// = %g, l=(%d,%d,%d)\n" and still adds its term (a zero error makes chi^2
// infinite).
double GetChiSquared(int lx, int ly, int lz, CCHArray* cfexp, CCHArray* cferror,
                     CCHArray* cftheory);

// ---- Three-dimensional grid chi-square (C3DArray) ----
// Body in kernel/cfcalc_grid.cc.
//
// chi^2 = sum over every cell (all sign halves) of (cfexp - cftheory)^2 / cferror^2.
// The three grids must agree (ArrayCalc::CompareArrayParameters prints the
// mismatch; then exit status 1). Returns chi^2 (not divided by the number of
// cells) and prints "chi^2/Ndof=%g\n" with chi^2 / Ndof, Ndof the number of
// cells visited (cells times sign halves). A cell whose error is below 1e-8
// prints "CFCalc::GetChiSquared : \nSuspiciously small or negative error = %g,
// isx=%d,ix=%d, isy=%d,iy=%d, isz=%d,iz=%d\n" and still adds its term.
double GetChiSquared(C3DArray* cfexp, C3DArray* cferror, C3DArray* cftheory);

}  // namespace CFCalc

#endif  // FEMTOKIT_KERNEL_CFCALC_H

// Chi-square between a measured correlation grid, its errors and a computed grid.

#include <cstdio>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/gridcells.h"
#include "kernel/cfcalc.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

namespace CFCalc {

double GetChiSquared(C3DArray* cfexp, C3DArray* cferror, C3DArray* cftheory) {
  // The comparison prints what differs; the cell loops below would otherwise
  // read outside the smaller grid.
  if (!ArrayCalc::CompareArrayParameters(cfexp, cferror) ||
      !ArrayCalc::CompareArrayParameters(cfexp, cftheory))
    femtokit::Fatal("%s", "");
  double chisquared = 0.0;
  long ndof = 0;
  femtokit::ForEachCell(femtokit::GridCells(*cfexp), [&](const femtokit::GridCell& c) {
    const double error = cferror->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    // Such an error dominates (or, at zero, makes infinite) the sum:
    // say so, but keep the term so that the caller sees its effect.
    if (error < 1e-8)
      femtokit::Warn(
          "CFCalc::GetChiSquared : \nSuspiciously small or negative error = %g, "
          "isx=%d,ix=%d, isy=%d,iy=%d, isz=%d,iz=%d\n",
          error, c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    const double diff = cfexp->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz) -
                        cftheory->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    chisquared += diff * diff / (error * error);
    ndof++;
  });
  femtokit::Progress("chi^2/Ndof=%g\n", chisquared / ndof);
  return chisquared;
}

}  // namespace CFCalc

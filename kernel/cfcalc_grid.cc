// Chi-square between a measured correlation grid, its errors and a computed grid.

#include <cstdio>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
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
  const int nsx = cfexp->GetXSYM() ? 1 : 2;
  const int nsy = cfexp->GetYSYM() ? 1 : 2;
  const int nsz = cfexp->GetZSYM() ? 1 : 2;
  const int nxmax = cfexp->GetNXMAX(), nymax = cfexp->GetNYMAX(), nzmax = cfexp->GetNZMAX();
  double chisquared = 0.0;
  long ndof = 0;
  for (int isx = 0; isx < nsx; isx++)
    for (int ix = 0; ix < nxmax; ix++)
      for (int isy = 0; isy < nsy; isy++)
        for (int iy = 0; iy < nymax; iy++)
          for (int isz = 0; isz < nsz; isz++)
            for (int iz = 0; iz < nzmax; iz++) {
              const double error = cferror->GetElement(isx, ix, isy, iy, isz, iz);
              // Such an error dominates (or, at zero, makes infinite) the sum:
              // say so, but keep the term so that the caller sees its effect.
              if (error < 1e-8)
                femtokit::Warn(
                    "CFCalc::GetChiSquared : \nSuspiciously small or negative error = %g, "
                    "isx=%d,ix=%d, isy=%d,iy=%d, isz=%d,iz=%d\n",
                    error, isx, ix, isy, iy, isz, iz);
              const double diff = cfexp->GetElement(isx, ix, isy, iy, isz, iz) -
                                  cftheory->GetElement(isx, ix, isy, iy, isz, iz);
              chisquared += diff * diff / (error * error);
              ndof++;
            }
  femtokit::Progress("chi^2/Ndof=%g\n", chisquared / ndof);
  return chisquared;
}

}  // namespace CFCalc

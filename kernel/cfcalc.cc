#include "kernel/cfcalc.h"

#include <cstdio>

#include "arrays/charray.h"
#include "numeric/output.h"

namespace CFCalc {

double GetChiSquared(int lx, int ly, int lz, CCHArray* cfexp, CCHArray* cferror,
                     CCHArray* cftheory) {
  const int n = cfexp->GetNRADIAL();
  double chisquared = 0.0;
  for (int ir = 0; ir < n; ir++) {
    const double error = cferror->GetElement(lx, ly, lz, ir);
    // Such an error dominates (or, at zero, makes infinite) the sum: say so,
    // but keep the term so that the caller sees its effect.
    if (error < 1e-8)
      femtokit::Warn("CFCalc::GetChiSquared : \nSuspiciously small or negative error = %g, l=(%d,%d,%d)\n",
             error, lx, ly, lz);
    const double diff = cfexp->GetElement(lx, ly, lz, ir) - cftheory->GetElement(lx, ly, lz, ir);
    chisquared += diff * diff / (error * error);
  }
  femtokit::Progress("chi^2/Ndof=%g\n", chisquared / n);
  return chisquared;
}

}  // namespace CFCalc

#include "kernel/kernelgrid.h"

#include "numeric/checked_io.h"
#include "numeric/fatal.h"

namespace femtokit {

void CheckKernelGrid(const std::string& where, int nqmax, double delq, double delr, double values,
                     const std::function<std::string(double)>& file_name) {
  CheckPositive(delq, "DELQ", where);
  CheckPositive(delr, "DELR", where);
  CheckTableSize(values, "the kernel table", where);
  if ((nqmax - 0.5) * delq > kKernelMaxQ)
    Fatal("%s: the q grid reaches %g MeV/c; the largest q allowed is %g MeV/c\n", where.c_str(),
          (nqmax - 0.5) * delq, kKernelMaxQ);
  for (int iq = 1; iq < nqmax; iq++) {
    const double q0 = (iq - 0.5) * delq, q1 = (iq + 0.5) * delq;
    if (file_name(q0) == file_name(q1))
      Fatal(
          "%s: DELQ = %g MeV/c gives q = %g and %g MeV/c the same kernel file name "
          "(%s); use DELQ of at least %g MeV/c\n",
          where.c_str(), delq, q0, q1, file_name(q1).c_str() + 1, kKernelSafeDelq);
  }
}

}  // namespace femtokit

#include "kernel/kernelgrid.h"

#include "numeric/checked_io.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

namespace femtokit {

KernelGridPars ReadKernelGridPars(const char* parsfilename, const char* extra_key,
                                  int extra_default) {
  KernelGridPars g;
  parameter::ReadParsFromFile(g.pars, parsfilename);
  g.nqmax = parameter::getI(g.pars, "NQMAX", 25);
  g.nrmax = parameter::getI(g.pars, "NRMAX", 120);
  g.extra = parameter::getI(g.pars, extra_key, extra_default);
  g.delq = parameter::getD(g.pars, "DELQ", 4.0);
  g.delr = parameter::getD(g.pars, "DELR", 0.5);
  g.identical = parameter::getB(g.pars, "IDENTICAL", false);
  return g;
}

void ReportKernelGrid(const char* parsfilename, const char* table, const KernelGridPars& grid,
                      const std::string& extra_line) {
  Progress("reading from %s\n", parsfilename);
  Progress("  _________ PARAMETERS FOR %s ________\n", table);
  Progress("delq set to %g\n", grid.delq);
  Progress("nqmax set to %d\n", grid.nqmax);
  Progress("delr set to %g\n", grid.delr);
  Progress("nrmax set to %d\n", grid.nrmax);
  Progress("%s", extra_line.c_str());
  Progress("IDENTICAL set to %d\n", grid.identical ? 1 : 0);
  Progress("__________________________________________\n");
}

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

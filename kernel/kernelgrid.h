#ifndef FEMTOKIT_KERNEL_KERNELGRID_H
#define FEMTOKIT_KERNEL_KERNELGRID_H

// The checks every kernel table makes on its q-r grid before allocating it.

#include <functional>
#include <string>

#include "config/parameter.h"

namespace femtokit {

// q beyond 1 TeV/c is no femtoscopic relative momentum (and its file name would grow
// without bound).
inline constexpr double kKernelMaxQ = 1.0e6;  // MeV/c
// A spacing of this size or more never gives two q points the same "%07.2f" name.
inline constexpr double kKernelSafeDelq = 0.02;  // MeV/c

// The grid keys of a kernel parameter file, with their defaults: NQMAX (25), NRMAX (120),
// DELQ (4.0 MeV/c), DELR (0.5 fm), IDENTICAL (false), and the table's own third size
// (`extra_key`, e.g. KLMAX or NCTHETA), read in the order NQMAX, NRMAX, extra, DELQ, DELR,
// IDENTICAL. The parameter map is kept for further checks. A missing file is fatal.
struct KernelGridPars {
  parameter_map pars;
  int nqmax, nrmax, extra;
  double delq, delr;
  bool identical;
};
KernelGridPars ReadKernelGridPars(const char* parsfilename, const char* extra_key,
                                  int extra_default);

// The progress report of the grid read from parsfilename: a banner naming `table`, the
// spacings and sizes, extra_line (the table's own size) and IDENTICAL.
void ReportKernelGrid(const char* parsfilename, const char* table, const KernelGridPars& grid,
                      const std::string& extra_line);

// Fatal (messages begin with `where`) unless DELQ and DELR (MeV/c, fm) are finite and
// positive, `values` (the table's entry count) is within the library's table limit, the
// last grid point (nqmax - 0.5) delq stays below kKernelMaxQ, and the q points
// (iq + 0.5) delq get pairwise different names from file_name(q).
void CheckKernelGrid(const std::string& where, int nqmax, double delq, double delr, double values,
                     const std::function<std::string(double)>& file_name);

}  // namespace femtokit

#endif  // FEMTOKIT_KERNEL_KERNELGRID_H

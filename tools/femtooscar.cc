// femtooscar: the source function of particle pairs from a transport-model event file (OSCAR
// format).
//
// Usage: femtooscar <parameter file>
//
// The parameter file holds, in the "type key value" lines of every femtokit parameter file:
//  - the event-file source keys: Pt, DELPT, PHIMIN_DEG, PHIMAX_DEG, YMIN, YMAX, IDa, IDb, Ma, Mb,
//    AEQUALB, NMAX, OSCARfilename, NEVENTSMAX (defaults as in source/sourcecalc_oscar.h). The
//    masses follow the codes (211: 139.58 MeV, 2212: 938.28 MeV, other codes are fatal) unless the
//    file gives both Ma and Mb, which are then used as given for any codes;
//  - the source array keys: LMAX, NRADIAL, RADSTEP (fm), XSYM, YSYM, ZSYM, IDENTICAL;
//  - OUTPUTDIR (default "oscarsource"): the directory receiving every component of the source
//    (one file "lx%d_ly%d_lz%d.tmp" each) and the table "short.dat" of the lx in {0, 1}
//    components up to rank SHORTLMAX (default 4).
//
// Prints the parameters, the reading summary, progress lines on long runs, the mean separation,
// the effective radii, the normalisation and the effective Gaussian parameters of the array.
// Exit status 0 on success, 1 on any fatal condition (message on standard output).

#include <cstdio>
#include <string>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "numeric/fatal.h"
#include "source/sourcecalc_oscar.h"

int main(int argc, char** argv) {
  if (argc != 2) femtokit::Fatal("usage: femtooscar <parameter file>\n");
  const char* parsfile = argv[1];

  parameter_map filepars;
  parameter::ReadParsFromFile(filepars, parsfile);

  CSourceCalc_OSCAR calc;
  calc.ReadSPars(parsfile);
  const bool masses_given = filepars.count("Ma") > 0 && filepars.count("Mb") > 0;
  if (!masses_given)
    calc.SetIDs(parameter::getI(calc.spars, "IDa", 211), parameter::getI(calc.spars, "IDb", 211));
  printf("femtooscar: source parameters\n");
  parameter::PrintPars(calc.spars);

  CCHArray source(parsfile);
  source.PrintPars();
  calc.CalcS(&source);
  calc.NormCheck(&source);
  if (source.GetLMAX() >= 2) calc.CalcEffGaussPars(&source);

  const std::string outdir = parameter::getS(filepars, "OUTPUTDIR", "oscarsource");
  const int shortlmax = parameter::getI(filepars, "SHORTLMAX", 4);
  source.WriteAllA(outdir.c_str());
  const std::string shortfile = outdir + "/short.dat";
  source.WriteShort(shortfile.c_str(), shortlmax);
  printf("source written to %s (table %s)\n", outdir.c_str(), shortfile.c_str());
  return 0;
}

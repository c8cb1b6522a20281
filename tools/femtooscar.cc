// femtooscar: the source function of particle pairs from a transport-model event file (OSCAR
// format).
//
// Usage: femtooscar <parameter file>
//        femtooscar -h | --help     (prints the text of PrintHelp below)
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
// Exit status 0 on success, 2 on a usage error (usage on standard error), 1 on any fatal
// condition (message on standard output).

#include <cstdio>
#include <cstring>
#include <string>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "source/sourcecalc_oscar.h"

namespace {

const char kUsage[] = "usage: femtooscar <parameter file>\n";

void PrintHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "Histograms the pair separations of an OSCAR event file into the source function S(r)\n"
      "of a Cartesian-harmonic array and writes it out.\n"
      "Reads the parameter file (\"type key value\" lines) and the event file it names.\n"
      "Event-file source keys (default):\n"
      "  Pt 600           pair transverse momentum, MeV/c; particle a is kept near\n"
      "                   Pt Ma/(Ma+Mb), b near Pt Mb/(Ma+Mb)\n"
      "  DELPT 20         half-width of a particle's pt window, MeV/c\n"
      "  PHIMIN_DEG 0     azimuth window, degrees\n"
      "  PHIMAX_DEG 360\n"
      "  YMIN -3          rapidity window\n"
      "  YMAX 3\n"
      "  IDa 211          particle codes of a and b (211 pion, 2212 proton)\n"
      "  IDb 211\n"
      "  Ma 139.58        masses, MeV; used only when both are given, else taken from the\n"
      "  Mb 139.58        codes (other codes are then fatal)\n"
      "  AEQUALB 0        1: a and b are one species (set when IDa = IDb)\n"
      "  NMAX 20000       capacity of each particle list\n"
      "  OSCARfilename UNDEFINED  the event file\n"
      "  NEVENTSMAX 10000 events read at most\n"
      "Source array keys (default):\n"
      "  LMAX 4           highest rank of the Cartesian harmonics\n"
      "  NRADIAL 25       radial bins\n"
      "  RADSTEP 1.0      bin width, fm\n"
      "  XSYM, YSYM, ZSYM false  reflection symmetries\n"
      "  IDENTICAL false  true switches on all three symmetries\n"
      "Output keys (default):\n"
      "  OUTPUTDIR oscarsource  directory of the source components\n"
      "  SHORTLMAX 4      highest rank in the table short.dat\n"
      "Writes OUTPUTDIR/lx%d_ly%d_lz%d.tmp (every component of S, fm^-3) and the table\n"
      "OUTPUTDIR/short.dat (the lx in {0, 1} components up to SHORTLMAX); prints the\n"
      "parameters, the reading summary, the effective radii, the normalisation and the\n"
      "effective Gaussian parameters.\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    PrintHelp();
    return 0;
  }
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
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

// femtooscar: the source function of particle pairs from a transport-model event file (legacy,
// OSC1997A, OSC1999A, OSCAR2013 [Extended] or SMASH binary layout).
//
// Usage: femtooscar <parameter file>
//        femtooscar -h | --help     (prints the text of PrintHelp below)
//        mpirun -np N femtooscar <parameter file>   (when built with MPI: ranks share the pairs)
//
// The parameter file holds, in the "type key value" lines of every femtokit parameter file:
//  - the event-file source keys: Pt, DELPT, PHIMIN_DEG, PHIMAX_DEG, YMIN, YMAX, IDa, IDb, Ma, Mb,
//    AEQUALB, OSCARfilename, NEVENTSMAX, EVENTFORMAT, PAIRING, TCOMMON and the optional cap NMAX
//    (defaults as in source/sourcecalc_oscar.h, CSourceCalc_Events). The masses follow the codes
//    (species table, source/species.h; unknown codes are fatal) unless the file gives both Ma and
//    Mb, which are then used as given for any codes;
//  - the source array keys: LMAX, NRADIAL, RADSTEP (fm), XSYM, YSYM, ZSYM, IDENTICAL;
//  - OUTPUTDIR (default "oscarsource"): the directory receiving every component of the source
//    (one file "lx%d_ly%d_lz%d.tmp" each) and the table "short.dat" of the lx in {0, 1}
//    components up to rank SHORTLMAX (default 4);
//  - batch jobs: PARTIALFILE (when given, the unnormalised share JOB (default 0) of NJOBS
//    (default 1) of the pair work is written there for femtomerge instead of the source).
//
// Prints the parameters, the reading summary, progress lines on long runs, the mean separation,
// the effective radii, the normalisation and the effective Gaussian parameters of the array.
// Exit status 0 on success, 2 on a usage error (usage on standard error), 1 on any fatal
// condition (message on standard output).

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "config/parameter.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "source/sourcecalc_oscar.h"
#include "tools/program_args.h"

#ifdef FEMTOKIT_WITH_MPI
#include <mpi.h>
#endif

namespace {

const char kUsage[] = "usage: femtooscar <parameter file>\n";

void PrintHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "Histograms the pair separations of a transport-model event file into the source\n"
      "function S(r) of a Cartesian-harmonic array and writes it out.\n"
      "Reads the parameter file (\"type key value\" lines) and the event file it names.\n"
      "Event-file source keys (default):\n"
      "  Pt 600           pair transverse momentum, MeV/c; particle a is kept near\n"
      "                   Pt Ma/(Ma+Mb), b near Pt Mb/(Ma+Mb)\n"
      "  DELPT 20         half-width of a particle's pt window, MeV/c\n"
      "  PHIMIN_DEG 0     azimuth window, degrees\n"
      "  PHIMAX_DEG 360\n"
      "  YMIN -3          rapidity window\n"
      "  YMAX 3\n"
      "  IDa 211          PDG codes of a and b (pions, kaons, nucleons, hyperons, d, t,\n"
      "  IDb 211          3He, 4He and their antiparticles)\n"
      "  Ma 139.58        masses, MeV; used only when both are given, else taken from the\n"
      "  Mb 139.58        codes (unknown codes are then fatal)\n"
      "  AEQUALB 0        1: a and b are one species (set when IDa = IDb)\n"
      "  OSCARfilename UNDEFINED  the event file\n"
      "  EVENTFORMAT auto layout: auto (from the first lines), legacy, OSC1997A, OSC1999A,\n"
      "                   OSCAR2013, OSCAR2013Extended, SMASHbinary (version 10)\n"
      "  NEVENTSMAX 10000 events read at most\n"
      "  PAIRING all      all: every a with every b of the file; event: same event only\n"
      "  TCOMMON 12       common time, fm/c, in each particle's longitudinal frame to which\n"
      "                   every particle is moved along its transverse velocity: it changes\n"
      "                   the separations (the physics), not only the bookkeeping\n"
      "  NMAX             optional cap: at most NMAX - 1 particles per list (lists grow)\n"
      "Source array keys (default):\n"
      "  LMAX 4           highest rank of the Cartesian harmonics\n"
      "  NRADIAL 25       radial bins\n"
      "  RADSTEP 1.0      bin width, fm\n"
      "  XSYM, YSYM, ZSYM false  reflection symmetries\n"
      "  IDENTICAL false  true switches on all three symmetries\n"
      "Output keys (default):\n"
      "  OUTPUTDIR oscarsource  directory of the source components\n"
      "  SHORTLMAX 4      highest rank in the table short.dat\n"
      "Batch jobs (add their partial files with femtomerge OUT IN...):\n"
      "  PARTIALFILE      when given: write the unnormalised share of this job there\n"
      "  JOB 0            this job's share, 0 .. NJOBS-1, of the pair work\n"
      "  NJOBS 1\n"
      "Threads: FEMTOKIT_THREADS or OMP_NUM_THREADS (default: every core). Built with MPI,\n"
      "mpirun -np N femtooscar shares the pairs over the ranks; rank 0 writes.\n"
      "Writes OUTPUTDIR/lx%d_ly%d_lz%d.tmp (every component of S, fm^-3) and the table\n"
      "OUTPUTDIR/short.dat (the lx in {0, 1} components up to SHORTLMAX); prints the\n"
      "parameters, the reading summary, the effective radii, the normalisation and the\n"
      "effective Gaussian parameters.\n",
      stdout);
}

// Sums `values` of every rank into rank 0 (a no-op without MPI).
void ReduceToRoot(std::vector<double>* values, int nranks) {
#ifdef FEMTOKIT_WITH_MPI
  if (nranks > 1) {
    std::vector<double> total(values->size());
    MPI_Reduce(values->data(), total.data(), static_cast<int>(values->size()), MPI_DOUBLE,
               MPI_SUM, 0, MPI_COMM_WORLD);
    *values = total;
  }
#else
  (void)values;
  (void)nranks;
#endif
}

int Run(const char* parsfile, int rank, int nranks) {
  parameter_map filepars;
  parameter::ReadParsFromFile(filepars, parsfile);

  CSourceCalc_Events calc;
  calc.ReadSPars(parsfile);
  const bool masses_given = filepars.count("Ma") > 0 && filepars.count("Mb") > 0;
  if (!masses_given)
    calc.SetIDs(parameter::getI(calc.spars, "IDa", 211), parameter::getI(calc.spars, "IDb", 211));
  printf("femtooscar: source parameters\n");
  parameter::PrintPars(calc.spars);

  CCHArray source(parsfile);
  source.PrintPars();
  const std::string partialfile = parameter::getS(filepars, "PARTIALFILE", "");
  const int job = parameter::getI(filepars, "JOB", 0);
  const int njobs = parameter::getI(filepars, "NJOBS", 1);
  if (njobs < 1 || job < 0 || job >= njobs)
    femtokit::Fatal("femtooscar: JOB %d of NJOBS %d does not exist (0 <= JOB < NJOBS)\n", job,
                    njobs);
  if (partialfile.empty() && njobs > 1)
    femtokit::Fatal("femtooscar: NJOBS %d without PARTIALFILE: a share alone is not a source\n",
                    njobs);

  if (partialfile.empty() && nranks == 1) {
    calc.CalcS(&source);
  } else {
    OSCARPairTotals totals;
    calc.AccumulateS(&source, &totals, job * nranks + rank, njobs * nranks);
    std::vector<double> values = FlattenArray(source);
    values.insert(values.end(), {totals.npairs, totals.sumx, totals.sumy, totals.sumz,
                                 totals.sumxx, totals.sumyy, totals.sumzz});
    ReduceToRoot(&values, nranks);
    if (rank != 0) return 0;
    const double* t = values.data() + values.size() - 7;
    totals = OSCARPairTotals{t[0], t[1], t[2], t[3], t[4], t[5], t[6]};
    values.resize(values.size() - 7);
    source.ZeroArray();
    AddFlattened(values, &source);
    if (!partialfile.empty()) {
      if (!WriteOSCARPartial(partialfile, source, totals))
        femtokit::Fatal("femtooscar: cannot write %s\n", partialfile.c_str());
      printf("partial sums (share %d of %d, %.17g pairs) written to %s\n", job, njobs,
             totals.npairs, partialfile.c_str());
      return 0;
    }
    if (!(totals.npairs > 0.0)) printf("femtooscar: no pairs, source left zero\n");
    CSourceCalc_OSCAR::NormaliseS(&source, totals);
  }
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

}  // namespace

int main(int argc, char** argv) {
  const int prologue = femtokit::HelpOrUsage(argc, argv, 1, 1, PrintHelp,
                                             [] { std::fputs(kUsage, stderr); });
  if (prologue != femtokit::kCarryOn) return prologue;
  int rank = 0, nranks = 1;
#ifdef FEMTOKIT_WITH_MPI
  MPI_Init(&argc, &argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &nranks);
  // Only rank 0 reports; every rank still stops on a fatal condition (exit status 1).
  if (rank != 0) femtokit::SetVerbosity(femtokit::Verbosity::kQuiet);
  if (nranks > 1 && rank != 0) std::freopen("/dev/null", "w", stdout);
#endif
  const int status = Run(argv[1], rank, nranks);
#ifdef FEMTOKIT_WITH_MPI
  MPI_Finalize();
#endif
  return status;
}

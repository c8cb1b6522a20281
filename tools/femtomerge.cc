// femtomerge: adds the partial pair sums that femtooscar batch jobs wrote (key PARTIALFILE) and
// writes the source they make together.
//
// Usage: femtomerge OUT IN...
//        femtomerge -h | --help
//
// Each IN holds an unnormalised histogram with its pair count and separation sums (see
// WriteOSCARPartial, source/sourcecalc_oscar.h); they must share the array parameters (LMAX,
// NRADIAL, RADSTEP, symmetries). The sums add, and the source is normalised once, by the total
// pair count: merging normalised sources would weight the jobs wrongly. Writes OUT/lx%d_ly%d_lz%d.tmp
// and OUT/short.dat (ranks up to 4) as femtooscar does, and prints the effective radii and the
// normalisation. Exit status 0 on success, 2 on a usage error, 1 on an unreadable or mismatched
// input (the message names the file).

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "arrays/charray.h"
#include "numeric/fatal.h"
#include "source/sourcecalc_oscar.h"
#include "tools/program_args.h"

namespace {

const char kUsage[] = "usage: femtomerge OUT IN...\n";

void PrintHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "Adds the partial pair sums written by femtooscar batch jobs (PARTIALFILE, JOB, NJOBS)\n"
      "and writes the source they make together, normalised once by the total pair count.\n"
      "Every IN must have the same LMAX, NRADIAL, RADSTEP and symmetries.\n"
      "Writes OUT/lx%d_ly%d_lz%d.tmp (every component of S, fm^-3) and OUT/short.dat\n"
      "(the lx in {0, 1} components up to rank 4); prints the effective radii, the\n"
      "normalisation and the effective Gaussian parameters.\n",
      stdout);
}

bool SameParameters(const CCHArray& a, const CCHArray& b) {
  return a.GetLMAX() == b.GetLMAX() && a.GetNRADIAL() == b.GetNRADIAL() &&
         a.GetRADSTEP() == b.GetRADSTEP() && a.GetXSYM() == b.GetXSYM() &&
         a.GetYSYM() == b.GetYSYM() && a.GetZSYM() == b.GetZSYM();
}

}  // namespace

int main(int argc, char** argv) {
  const int status = femtokit::HelpOrUsage(argc, argv, 2, INT_MAX, PrintHelp,
                                           [] { std::fputs(kUsage, stderr); });
  if (status != femtokit::kCarryOn) return status;
  OSCARPairTotals totals;
  std::unique_ptr<CCHArray> sum = ReadOSCARPartial(argv[2], &totals);
  for (int i = 3; i < argc; ++i) {
    OSCARPairTotals part;
    const std::unique_ptr<CCHArray> A = ReadOSCARPartial(argv[i], &part);
    if (!SameParameters(*sum, *A))
      femtokit::Fatal("femtomerge: %s has other array parameters than %s\n", argv[i], argv[2]);
    AddFlattened(FlattenArray(*A), sum.get());
    totals.Add(part);
  }
  printf("femtomerge: %d partial files, %.17g pairs\n", argc - 2, totals.npairs);
  if (!(totals.npairs > 0.0)) printf("femtomerge: no pairs, source left zero\n");
  CSourceCalc_OSCAR::NormaliseS(sum.get(), totals);
  CSourceCalc_OSCAR calc;
  calc.NormCheck(sum.get());
  if (sum->GetLMAX() >= 2) calc.CalcEffGaussPars(sum.get());
  const std::string outdir = argv[1];
  sum->WriteAllA(outdir.c_str());
  const std::string shortfile = outdir + "/short.dat";
  sum->WriteShort(shortfile.c_str(), sum->GetLMAX() < 4 ? sum->GetLMAX() : 4);
  printf("source written to %s (table %s)\n", outdir.c_str(), shortfile.c_str());
  return 0;
}

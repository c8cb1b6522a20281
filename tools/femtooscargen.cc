// femtooscargen: writes an event file (any layout femtooscar reads) from a known Gaussian
// emission model, to check the event-file source (femtooscar) against known radii without a
// transport model.
//
// Usage: femtooscargen <parameter file>
//        femtooscargen -h | --help     (prints the text of PrintHelp below)
//
// Keys ("type key value" lines; the same file can drive femtooscar):
//   OSCARfilename  file to write (required)
//   EVENTFORMAT    layout (legacy; auto means legacy): legacy, OSC1997A, OSC1999A, OSCAR2013,
//                  OSCAR2013Extended, SMASHbinary
//   NEVENTS        number of events (default 10, at least 1)
//   IDa, IDb       PDG codes (211); Ma, Mb masses in MeV (from the species table,
//                  source/species.h; required for other codes)
//   NA, NB         particles of a and of b per event (100, 100; NB is ignored when IDa = IDb)
//   Pt             pair transverse momentum, MeV/c (600): species a is generated with pt uniform
//                  around pa = Pt Ma/(Ma+Mb), b around pb = Pt Mb/(Ma+Mb),
//   GENDELPT       with half-width GENDELPT (default: the key DELPT, else 20 MeV/c),
//   GENYMAX        and rapidity uniform in (-GENYMAX, GENYMAX) (1.0)
//   T              when > 0: Boltzmann momenta of temperature T (MeV) instead of that window
//   Rout, Rside, Rlong  one-particle Gaussian radii in fm in each particle's frame (4, 4, 4)
//   Tau, SigmaTau  emission time and its Gaussian spread in that frame, fm/c (12, 0)
//   EventShift     spread (fm) of a common shift of each event along the beam (0)
//   SEED           random seed (1234)
// Meaningless values (NEVENTS < 1, negative counts, radii or spreads, non-positive masses, a pt
// window reaching below 0, GENYMAX <= 0, an unknown layout) are refused (status 1).
//
// Prints the expected effective radii of the event-file source for pairs at the window centre:
// gamma sqrt(Rout^2 + (v SigmaTau)^2), Rside, Rlong (v, gamma: pair velocity). Exit status 2 on a
// usage error (usage on standard error), 1 with a message on a missing key or an unwritable file.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/parameter.h"
#include "numeric/fatal.h"
#include "numeric/random.h"
#include "source/oscargen.h"
#include "source/species.h"
#include "tools/program_args.h"

namespace {

double MassOf(const parameter_map& pars, const char* key, int code) {
  if (pars.count(key) > 0) return parameter::getD(pars, key, 0.0);
  femtokit::SpeciesInfo info;
  if (femtokit::FindSpecies(code, &info)) return info.mass;
  femtokit::Fatal("femtooscargen: no mass known for code %d, give %s (known codes: %s)\n", code,
                  key, femtokit::KnownSpeciesList().c_str());
}

// Stops with a message naming the key when `ok` is false.
void Require(bool ok, const char* key, double value, const char* rule) {
  if (!ok) femtokit::Fatal("femtooscargen: %s = %g is meaningless (%s)\n", key, value, rule);
}

const char kUsage[] = "usage: femtooscargen <parameter file>\n";

void PrintHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "Writes an OSCAR event file from a Gaussian emission model with known radii, to check\n"
      "femtooscar without a transport model (the same parameter file can drive both).\n"
      "Reads the parameter file (\"type key value\" lines); keys (default):\n"
      "  OSCARfilename    file to write (required)\n"
      "  EVENTFORMAT      layout: legacy (the default; also for auto), OSC1997A, OSC1999A,\n"
      "                   OSCAR2013, OSCAR2013Extended, SMASHbinary\n"
      "  NEVENTS 10       number of events (at least 1)\n"
      "  IDa 211          PDG codes of a and b\n"
      "  IDb 211\n"
      "  Ma, Mb           masses, MeV (from the species table for the common hadrons and\n"
      "                   light nuclei; required for other codes)\n"
      "  NA 100           particles of a per event\n"
      "  NB 100           particles of b per event (ignored when IDa = IDb)\n"
      "  Pt 600           pair transverse momentum, MeV/c: a is generated around\n"
      "                   pa = Pt Ma/(Ma+Mb), b around pb = Pt Mb/(Ma+Mb)\n"
      "  GENDELPT         half-width of the uniform pt window, MeV/c (default DELPT, else 20)\n"
      "  GENYMAX 1.0      rapidity uniform in (-GENYMAX, GENYMAX)\n"
      "  T 0              when > 0: Boltzmann momenta of temperature T (MeV) instead\n"
      "  Rout 4           one-particle Gaussian radii in each particle's frame, fm\n"
      "  Rside 4\n"
      "  Rlong 4\n"
      "  Tau 12           emission time in that frame, fm/c\n"
      "  SigmaTau 0       its Gaussian spread, fm/c\n"
      "  EventShift 0     spread of a common shift of each event along the beam, fm\n"
      "                   (positions correlated event by event)\n"
      "  SEED 1234        random seed\n"
      "Writes OSCARfilename; prints \"wrote N events to FILE\" and the effective radii the\n"
      "event-file source should find for pairs at the window centre:\n"
      "gamma sqrt(Rout^2 + (v SigmaTau)^2), Rside, Rlong (v, gamma of the pair velocity).\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int status = femtokit::HelpOrUsage(argc, argv, 1, 1, PrintHelp,
                                           [] { std::fputs(kUsage, stderr); });
  if (status != femtokit::kCarryOn) return status;
  parameter_map pars;
  parameter::ReadParsFromFile(pars, argv[1]);

  const std::string filename = parameter::getS(pars, "OSCARfilename", "");
  if (filename.empty()) femtokit::Fatal("femtooscargen: OSCARfilename is not given\n");
  std::string format = parameter::getS(pars, "EVENTFORMAT", "legacy");
  if (format == "auto") format = "legacy";
  const int nevents = parameter::getI(pars, "NEVENTS", 10);
  Require(nevents >= 1, "NEVENTS", nevents, "at least one event");
  const int IDa = parameter::getI(pars, "IDa", 211);
  const int IDb = parameter::getI(pars, "IDb", 211);
  const double Ma = MassOf(pars, "Ma", IDa);
  const double Mb = MassOf(pars, "Mb", IDb);
  const double Pt = parameter::getD(pars, "Pt", 600.0);
  const double delpt = parameter::getD(pars, "GENDELPT", parameter::getD(pars, "DELPT", 20.0));
  const double ymax = parameter::getD(pars, "GENYMAX", 1.0);
  const double T = parameter::getD(pars, "T", 0.0);

  OSCARGen::Species a;
  a.code = IDa;
  a.mass = Ma;
  a.count = parameter::getI(pars, "NA", 100);
  a.ptcentre = Pt * Ma / (Ma + Mb);
  a.ptwidth = delpt;
  a.ymax = ymax;
  a.T = T;
  std::vector<OSCARGen::Species> species{a};
  if (IDb != IDa) {
    OSCARGen::Species b = a;
    b.code = IDb;
    b.mass = Mb;
    b.count = parameter::getI(pars, "NB", 100);
    b.ptcentre = Pt * Mb / (Ma + Mb);
    species.push_back(b);
  }
  OSCARGen::Geometry geometry;
  geometry.Rout = parameter::getD(pars, "Rout", 4.0);
  geometry.Rside = parameter::getD(pars, "Rside", 4.0);
  geometry.Rlong = parameter::getD(pars, "Rlong", 4.0);
  geometry.tau = parameter::getD(pars, "Tau", 12.0);
  geometry.sigmatau = parameter::getD(pars, "SigmaTau", 0.0);
  geometry.eventshift = parameter::getD(pars, "EventShift", 0.0);
  for (const OSCARGen::Species& s : species) {
    Require(s.count >= 0, s.code == IDa ? "NA" : "NB", s.count, "a count is not negative");
    Require(s.mass > 0.0, s.code == IDa ? "Ma" : "Mb", s.mass, "a mass is positive");
  }
  Require(delpt >= 0.0, "GENDELPT", delpt, "a half-width is not negative");
  Require(T > 0.0 || (species.back().ptcentre - delpt > 0.0 && a.ptcentre - delpt > 0.0), "GENDELPT",
          delpt, "the pt window must stay above 0");
  Require(ymax > 0.0, "GENYMAX", ymax, "a rapidity range is positive");
  Require(T >= 0.0, "T", T, "a temperature is not negative");
  const double lengths[] = {geometry.Rout, geometry.Rside, geometry.Rlong, geometry.sigmatau,
                            geometry.eventshift};
  const char* names[] = {"Rout", "Rside", "Rlong", "SigmaTau", "EventShift"};
  for (int k = 0; k < 5; ++k)
    Require(lengths[k] >= 0.0 && lengths[k] < 1e6, names[k], lengths[k], "0 <= value < 1e6 fm");
  Require(std::fabs(geometry.tau) < 1e6, "Tau", geometry.tau, "|Tau| < 1e6 fm/c");

  CRandom random(parameter::getI(pars, "SEED", 1234));
  const std::string names_known = femtokit::EventFormatNames();
  if ((" " + names_known + " ").find(" " + format + " ") == std::string::npos)
    femtokit::Fatal("femtooscargen: EVENTFORMAT %s is not known; the layouts are %s\n",
                    format.c_str(), names_known.c_str());
  if (!OSCARGen::WriteFormat(filename, format, nevents, species, geometry, &random))
    femtokit::Fatal("femtooscargen: cannot write %s\n", filename.c_str());
  printf("wrote %d events to %s\n", nevents, filename.c_str());

  // Pair velocity as the event-file source computes it.
  const double pa = a.ptcentre, pb = Pt * Mb / (Ma + Mb);
  const double v = Pt / (std::sqrt(Ma * Ma + pa * pa) + std::sqrt(Mb * Mb + pb * pb));
  const double gamma = 1.0 / std::sqrt(1.0 - v * v);
  const double rout = gamma * std::sqrt(geometry.Rout * geometry.Rout +
                                        v * v * geometry.sigmatau * geometry.sigmatau);
  printf("expected effective radii: Rout=%g, Rside=%g, Rlong=%g\n", rout, geometry.Rside,
         geometry.Rlong);
  return 0;
}

#ifndef FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H
#define FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H

// Event-file source: the source function S(r) of particle pairs built from the final-state
// particles (emission points and momenta) of a transport-model simulation.
//
// Event files: every layout of source/eventreader.h (legacy five-line header, OSC1997A,
// OSC1999A, OSCAR2013, OSCAR2013Extended, SMASH binary), detected from the file's first lines or
// chosen with the key EVENTFORMAT. The legacy layout (read by CSourceCalc_OSCAR::ReadR as always):
//   five header lines, each shorter than 80 characters (printed, otherwise not used);
//   per event: two integers, the number n of particle records and an unused one; n records of
//   three integers (unused, particle code, unused) and nine reals
//     px py pz E m (GeV/c, GeV) x y z t (fm, fm/c);
//   the rest of the last line and up to three further lines, skipped.
//
// Selection: a particle of species a (code IDa) or b (code IDb) is kept when, with the pair
// momentum Pt shared in proportion to the masses, pa = Pt Ma/(Ma+Mb), pb = Pt Mb/(Ma+Mb),
//   |pt - pa| < DELPT (resp. pb),  PHIMIN < phi < PHIMAX,  YMIN < y < YMAX   (strict),
// with pt = sqrt(px^2 + py^2), phi = atan2(px, py) in [0, 2 pi) and y = atanh(pz/E).
//
// Frame: a kept particle's point is expressed along its own transverse momentum (out = x), across
// it (side = y) and along the beam (long = z); it is boosted longitudinally to the particle's own
// rapidity, moved along its transverse velocity pt/mT to the common time TCOMMON (default
// 12 fm/c) of that frame, and boosted along out with the pair velocity v = Pt/(Ea + Eb) (E with
// the masses Ma, Mb). mT uses Ma, Mb for the legacy layout (as it always has) and the record's
// own mass, when positive, for the other layouts. Particles moving with the pair velocity are then
// at rest, so separations are those of the pair rest frame. TCOMMON matters: a pair whose
// particles move apart is followed to that time.
//
// Pairing (key PAIRING): "all" (default) pairs every kept a with every kept b of the whole file;
// "event" pairs only particles of the same event (the physical choice for correlated emission).
//
// Result: S(r) in fm^-3 for the separation r = r_a - r_b of every a-b pair (every unordered pair
// once for identical species), histogrammed in the radial bins of the array and normalised so
// that the integral over all r of the (0,0,0) component is 1 (the pairs beyond the last bin make
// up the difference). CalcS also prints the mean separation and the effective one-particle radii
//   Rout = sqrt((<dx^2> - <dx>^2)/2),  Rside, Rlong alike with dy, dz   (fm).

#include <memory>
#include <string>
#include <vector>

#include "source/sourcecalc.h"

class CCHArray;

// The additive part of an event-file source: besides the unnormalised histogram (an array as
// CPairSeparationSum::Store fills it), the pair count and the separation sums. Partial results of
// independent pair sets (threads, MPI ranks, batch jobs) add; the source is normalised once.
struct OSCARPairTotals {
  double npairs = 0.0;                           // pairs summed, binned or not
  double sumx = 0.0, sumy = 0.0, sumz = 0.0;     // sums of dx, dy, dz (fm)
  double sumxx = 0.0, sumyy = 0.0, sumzz = 0.0;  // sums of dx^2, dy^2, dz^2 (fm^2)
  void Add(const OSCARPairTotals& other);
};

// Source from an OSCAR event file.
//
// Parameters (keys of `spars`, in the order InitSPars stores them, with their defaults):
//   "Pt" 600 (MeV/c, pair transverse momentum), "DELPT" 20 (MeV/c, half-width of a particle's
//   pt window), "PHIMIN_DEG" 0, "PHIMAX_DEG" 360 (azimuth window, degrees), "YMIN" -3, "YMAX" 3
//   (rapidity window), "IDa" 211, "IDb" 211 (particle codes), "Ma" 139.58, "Mb" 139.58 (MeV),
//   "AEQUALB" 0 (1: a and b are one species, one list), "NMAX" 20000 (capacity of each particle
//   list; a list holds at most NMAX - 1), "OSCARfilename" "UNDEFINED", "NEVENTSMAX" 10000.
//
// Further keys read with defaults (not stored by InitSPars): "EVENTFORMAT" "auto" (or a layout
// name of source/eventreader.h), "PAIRING" "all" (or "event"), "TCOMMON" 12 (fm/c). CalcS keeps
// its lists in growing vectors; NMAX, when present and positive, caps each list at NMAX - 1.
// The pair loop runs on femtokit::ThreadCount() threads (per-thread sums merged in thread order:
// the result equals the one-thread one within rounding).
//
// Fatal (message on standard output, exit status 1): an unknown code in SetIDs; more than NMAX - 1
// kept particles of one species; memory for the kept particles that cannot be had; an unknown
// PAIRING; any fault of the event file (source/eventreader.h: the message names the file, the
// event and the line), and for the legacy layout, as always, an event file that cannot be opened,
// a header line of 80 or more characters, a file ending inside its header, an event header or
// particle record that is truncated or does not parse (the message names the file, the line, the
// event and the record).
class CSourceCalc_OSCAR : public CSourceCalc {
 public:
  CSourceCalc_OSCAR();

  // Stores the defaults listed above (Pt, DELPT, PHIMIN_DEG, IDa, IDb, AEQUALB, NMAX and
  // NEVENTSMAX in integer form, OSCARfilename as text, the rest as doubles).
  void InitSPars();
  // Stores the six values under "Pt", "DELPT", "PHIMIN_DEG", "PHIMAX_DEG", "YMIN", "YMAX".
  void SetSPars(double Pt, double DELPT, double PHIMIN_DEG, double PHIMAX_DEG, double YMIN,
                double YMAX);
  // Stores the two codes and their masses from the species table (source/species.h: 139.58 MeV
  // for |code| = 211, 938.28 MeV for |code| = 2212, PDG masses of the other common hadrons and
  // light nuclei). A code not in the table prints "%d for IDa not recognized\n" (IDa is tested
  // first) or "%d for IDb not recognized\n" and ends the process with status 1. IDa = IDb also
  // stores "AEQUALB" = 1; otherwise AEQUALB keeps its value.
  void SetIDs(int IDa, int IDb);

  // Reads the event file (any layout; EVENTFORMAT) into the point lists: ra[i], rb[i] each point to four doubles
  // (t, x, y, z) in fm of the pair frame (x out, y side, z long); both lists must hold NMAX
  // points. Sets na, nb to the number of kept particles; with AEQUALB every kept particle goes to
  // list a and nb = na on return. Reads at most NEVENTSMAX events (at least the first), stops
  // earlier at the end of the file; a file that ends right after its header has no events.
  // Prints "Pt=%g, gammav=%g, gamma=%g\n", "Opening %s\n", for the legacy layout the five
  // header lines as "dummy line=%s\n", for the others "event file format: %s\n", and
  // "OSCAR file read: %d events, na=%d, nb=%d\n".
  void ReadR(double** ra, double** rb, int& na, int& nb);

  // Computes the source into A (an AExp array; its LMAX, radial bins and symmetries are used):
  // zeroes A, reads the file, histograms every pair separation (PAIRING), prints
  // "delr=%g, nrmax=%d\n", progress lines "finished %g percent\n" when there are at least ten
  // outer particles (events with PAIRING "event"), "xbar=%g, ybar=%g, zbar=%g\n" and
  // "Effective radii: Rout=%g, Rside=%g, Rlong=%g\n", and divides bin ir by the number of pairs
  // and the shell volume (4 pi/3) RADSTEP^3 ((ir+1)^3 - ir^3). With IDa = IDb it stores
  // "AEQUALB" = 1; AEQUALB makes a and b one species. Without any pair it prints
  // "CSourceCalc_OSCAR: no pairs (na=%d, nb=%d), source left zero\n" and leaves A zero.
  void CalcS(CCHArray* A) override;
  using CSourceCalc::CalcS;  // the per-component form stays the base's

  // The additive part of CalcS for the share `part` (0 .. nparts-1) of the pair work (contiguous
  // blocks of outer particles, or of events with PAIRING "event", of about equal pair counts):
  // stores "AEQUALB" = 1 when IDa = IDb, zeroes A, reads the file, fills A with the unnormalised histogram and `totals` with this
  // share's pairs and sums. The shares of all parts add up to the whole.
  void AccumulateS(CCHArray* A, OSCARPairTotals* totals, int part = 0, int nparts = 1);
  // Turns an unnormalised histogram into the source: prints "xbar=..." and "Effective radii:
  // ..." and divides bin ir by npairs and the shell volume. Nothing is done without pairs.
  static void NormaliseS(CCHArray* A, const OSCARPairTotals& totals);

 private:
  struct Kept;
  void ReadKept(Kept* kept);
  size_t kept_a_ = 0, kept_b_ = 0;  // list sizes of the last reading, for messages
};

// The event-file source with lists that grow as needed: no NMAX in its parameters (a file may
// give one as a cap), and the keys EVENTFORMAT "auto", PAIRING "all", TCOMMON 12 stored with the
// others. Otherwise CSourceCalc_OSCAR.
class CSourceCalc_Events : public CSourceCalc_OSCAR {
 public:
  CSourceCalc_Events();
};

// Partial results on disk, for batch jobs: a text file holding the array parameters, the totals
// and every stored component of the unnormalised histogram (17 digits). Write: false when the
// file cannot be written. Read: the array it holds (fatal on a missing or malformed file, naming
// it and the line).
bool WriteOSCARPartial(const std::string& filename, const CCHArray& A,
                       const OSCARPairTotals& totals);
std::unique_ptr<CCHArray> ReadOSCARPartial(const std::string& filename, OSCARPairTotals* totals);
// Every stored component of A (bins outermost, then lx, ly, lz) as one vector, and its inverse
// that adds such a vector to an array of the same parameters (for MPI reductions and merges).
std::vector<double> FlattenArray(const CCHArray& A);
void AddFlattened(const std::vector<double>& values, CCHArray* A);

#endif  // FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H

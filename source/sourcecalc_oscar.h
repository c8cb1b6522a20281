#ifndef FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H
#define FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H

// Event-file source: the source function S(r) of particle pairs built from the final-state
// particles (emission points and momenta) of a transport-model simulation written in the OSCAR
// text format.
//
// Event file layout (read by CSourceCalc_OSCAR::ReadR):
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
// rapidity, moved along its transverse velocity pt/mT to the time 12 fm/c of that frame, and
// boosted along out with the pair velocity v = Pt/(Ea + Eb) (mT and E with the masses Ma, Mb, not
// the file's mass). Particles moving with the pair velocity are then at rest, so separations are
// those of the pair rest frame.
//
// Result: S(r) in fm^-3 for the separation r = r_a - r_b of every a-b pair (every unordered pair
// once for identical species), histogrammed in the radial bins of the array and normalised so
// that the integral over all r of the (0,0,0) component is 1 (the pairs beyond the last bin make
// up the difference). CalcS also prints the mean separation and the effective one-particle radii
//   Rout = sqrt((<dx^2> - <dx>^2)/2),  Rside, Rlong alike with dy, dz   (fm).

#include "source/sourcecalc.h"

class CCHArray;

// Source from an OSCAR event file.
//
// Parameters (keys of `spars`, in the order InitSPars stores them, with their defaults):
//   "Pt" 600 (MeV/c, pair transverse momentum), "DELPT" 20 (MeV/c, half-width of a particle's
//   pt window), "PHIMIN_DEG" 0, "PHIMAX_DEG" 360 (azimuth window, degrees), "YMIN" -3, "YMAX" 3
//   (rapidity window), "IDa" 211, "IDb" 211 (particle codes), "Ma" 139.58, "Mb" 139.58 (MeV),
//   "AEQUALB" 0 (1: a and b are one species, one list), "NMAX" 20000 (capacity of each particle
//   list; a list holds at most NMAX - 1), "OSCARfilename" "UNDEFINED", "NEVENTSMAX" 10000.
//
// Fatal (message on standard output, exit status 1): an unknown code in SetIDs; more than NMAX - 1
// kept particles of one species; an event file that cannot be opened, a header line of 80 or more
// characters, a file ending inside its header, an event header or particle record that is
// truncated or does not parse (the message names the file, the event and the record).
class CSourceCalc_OSCAR : public CSourceCalc {
 public:
  CSourceCalc_OSCAR();

  // Stores the defaults listed above (Pt, DELPT, PHIMIN_DEG, IDa, IDb, AEQUALB, NMAX and
  // NEVENTSMAX in integer form, OSCARfilename as text, the rest as doubles).
  void InitSPars();
  // Stores the six values under "Pt", "DELPT", "PHIMIN_DEG", "PHIMAX_DEG", "YMIN", "YMAX".
  void SetSPars(double Pt, double DELPT, double PHIMIN_DEG, double PHIMAX_DEG, double YMIN,
                double YMAX);
  // Stores the two codes and their masses: 139.58 MeV for |code| = 211 (charged pions), 938.28 MeV
  // for |code| = 2212 (protons). Any other code prints "%d for IDa not recognized\n" (IDa is tested
  // first) or "%d for IDb not recognized\n" and ends the process with status 1. IDa = IDb also
  // stores "AEQUALB" = 1; otherwise AEQUALB keeps its value.
  void SetIDs(int IDa, int IDb);

  // Reads the event file into the point lists: ra[i], rb[i] each point to four doubles
  // (t, x, y, z) in fm of the pair frame (x out, y side, z long); both lists must hold NMAX
  // points. Sets na, nb to the number of kept particles; with AEQUALB every kept particle goes to
  // list a and nb = na on return. Reads at most NEVENTSMAX events (at least the first), stops
  // earlier at the end of the file; a file that ends right after its header has no events.
  // Prints "Pt=%g, gammav=%g, gamma=%g\n", "Opening %s\n", the five header lines as
  // "dummy line=%s\n" and "OSCAR file read: %d events, na=%d, nb=%d\n".
  void ReadR(double** ra, double** rb, int& na, int& nb);

  // Computes the source into A (an AExp array; its LMAX, radial bins and symmetries are used):
  // zeroes A, reads the file, histograms every pair separation, prints "delr=%g, nrmax=%d\n",
  // progress lines "finished %g percent\n" when na >= 10, "xbar=%g, ybar=%g, zbar=%g\n" and
  // "Effective radii: Rout=%g, Rside=%g, Rlong=%g\n", and divides bin ir by the number of pairs
  // and the shell volume (4 pi/3) RADSTEP^3 ((ir+1)^3 - ir^3). With IDa = IDb it stores
  // "AEQUALB" = 1; AEQUALB makes a and b one species. Without any pair it prints
  // "CSourceCalc_OSCAR: no pairs (na=%d, nb=%d), source left zero\n" and leaves A zero.
  void CalcS(CCHArray* A) override;
  using CSourceCalc::CalcS;  // the per-component form stays the base's
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_OSCAR_H

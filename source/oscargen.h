#ifndef FEMTOKIT_SOURCE_OSCARGEN_H
#define FEMTOKIT_SOURCE_OSCARGEN_H

// Writer of OSCAR event files from a known emission model, for checking the event-file source
// (source/sourcecalc_oscar.h) without a transport model.
//
// File layouts written: the legacy one (WriteFile; five header lines; per event a line
// "n ievent", n records "index code 0 px py pz E m x y z t" (GeV/c, GeV, fm, fm/c), and three
// trailer lines "0 0"), and with WriteFormat every layout of source/eventreader.h from the same
// events: the random numbers are drawn in the same order whatever the layout, so one seed gives
// the same particles in every file. The text layouts write 17 digits (every value read back
// exactly). Where a layout holds more than the final state, the generator writes it too, so that
// readers are seen to pick the final state: OSC1999A an initial block, OSCAR2013 an "in" block
// and an earlier "out" block, SMASH binary an earlier 'p' block and an 'i' block, all with the
// particles at the origin.
//
// Emission model: each particle has a momentum drawn per species (below) and is emitted, in its
// own longitudinal rest frame (the frame moving along the beam with the particle's rapidity y), at
//   out  ~ N(0, Rout^2)  along its transverse momentum,
//   side ~ N(0, Rside^2) across it,
//   long ~ N(0, Rlong^2) along the beam,
//   time = tau + sigmatau N(0, 1).
// Lab coordinates: z = cosh(y) long + sinh(y) time, t = cosh(y) time + sinh(y) long.
// With eventshift > 0 every event is moved along the beam by its own dz ~ N(0, eventshift^2):
// positions correlated event by event (pairs of one event do not see it, pairs of two do).
//
// What the event-file source then measures, for pairs with pt near the pair-momentum share of each
// species and tau = 12 fm/c: separations of width sqrt(2) Rout gamma (out, gamma of the pair
// velocity), sqrt(2) Rside, sqrt(2) Rlong, i.e. effective radii gamma Rout, Rside, Rlong; a time
// spread adds (v sigmatau)^2 to Rout^2 before the factor gamma^2 (v = pt/mT).

#include <cstdio>
#include <string>
#include <vector>

#include "numeric/constants.h"
#include "source/eventreader.h"

class CRandom;

namespace OSCARGen {

// One particle species of the generated events.
struct Species {
  int code = 211;         // particle code written in the records
  double mass = femtokit::constants::kMassPionCharged;   // MeV
  int count = 100;        // particles per event
  double ptcentre = 300;  // MeV/c: pt uniform in (ptcentre - ptwidth, ptcentre + ptwidth),
  double ptwidth = 10;    //   azimuth uniform, rapidity uniform in (-ymax, ymax)
  double ymax = 1.0;
  double T = 0.0;  // MeV: when > 0, momenta from the Boltzmann distribution d^3p exp(-E/T) instead
};

// Emission geometry (fm, fm/c), in each particle's longitudinal rest frame.
struct Geometry {
  double Rout = 4.0, Rside = 4.0, Rlong = 4.0;
  double tau = 12.0, sigmatau = 0.0;
  double eventshift = 0.0;  // fm: spread of each event's common shift along the beam
};

// Writes the five header lines (title cut to 70 characters).
void WriteHeader(FILE* f, const std::string& title);
// Writes one record: momentum p = (E, px, py, pz) in MeV, mass in MeV, point r = (t, x, y, z) fm.
void WriteRecord(FILE* f, int index, int code, const double* p, double mass, const double* r);
// The lab point r = (t, x, y, z) of a particle of momentum p = (E, px, py, pz) (pt > 0) emitted at
// (out, side, long, time) of its longitudinal rest frame.
void EmissionPoint(const double* p, double out, double side, double longi, double time, double* r);
// Writes one event of the model: every species in turn, `count` particles each.
void WriteEvent(FILE* f, int ievent, const std::vector<Species>& species, const Geometry& geometry,
                CRandom* random);
// Writes a whole file of nevents events; false (nothing fatal) when the file cannot be written.
bool WriteFile(const std::string& filename, int nevents, const std::vector<Species>& species,
               const Geometry& geometry, CRandom* random);

// The particles of one event of the model (GeV, fm: as a file holds them), species in turn.
std::vector<femtokit::EventParticle> GenerateEvent(const std::vector<Species>& species,
                                                   const Geometry& geometry, CRandom* random);
// Writes nevents events of the model in `format` (a layout name of source/eventreader.h:
// legacy, OSC1997A, OSC1999A, OSCAR2013, OSCAR2013Extended, SMASHbinary; SMASHbinary writes
// variant 0). False when the file cannot be written or the format is unknown (nothing fatal).
bool WriteFormat(const std::string& filename, const std::string& format, int nevents,
                 const std::vector<Species>& species, const Geometry& geometry, CRandom* random);

}  // namespace OSCARGen

#endif  // FEMTOKIT_SOURCE_OSCARGEN_H

#ifndef FEMTOKIT_SOURCE_SPECIES_H
#define FEMTOKIT_SOURCE_SPECIES_H

// Particle species of transport-model event files, by PDG Monte Carlo code: mass (MeV) and
// electric charge (units of e) of the common hadrons and light nuclei.
//
// Covered: pi+-, pi0, K+-, K0, K0S, K0L, p, n, Lambda, Sigma+, Sigma0, Sigma-, Xi0, Xi-,
// Omega-, and the nuclei d, t, 3He, 4He (codes 100ZZZAAA0: 1000010020 d, 1000010030 t,
// 1000020030 3He, 1000020040 4He). A negative code is the antiparticle: same mass, opposite
// charge. Masses come from numeric/constants.h; the charged pion and the proton carry the values
// the event-file source has always used (139.58, 938.28 MeV), so that its results do not shift.

#include <string>

namespace femtokit {

struct SpeciesInfo {
  int code = 0;        // PDG code as asked for (sign included)
  double mass = 0.0;   // MeV
  int charge = 0;      // e
  const char* name = "";  // of the particle (the same for its antiparticle)
};

// True and the species of `code` when the table knows it; false otherwise (`info` untouched).
bool FindSpecies(int code, SpeciesInfo* info);

// Every code the table knows (particles only, positive codes), as "211 pi+, 111 pi0, ...": for
// messages naming what is understood.
std::string KnownSpeciesList();

}  // namespace femtokit

#endif  // FEMTOKIT_SOURCE_SPECIES_H

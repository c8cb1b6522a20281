#ifndef FEMTOKIT_WAVEFUNCTIONS_PAIRS_H
#define FEMTOKIT_WAVEFUNCTIONS_PAIRS_H

// The pair wave functions by name: the one list that femtokernel, the analysis
// layer and the Python package consult, so that a new pair is added in one
// place (pairs.cc) and becomes available everywhere.

#include <memory>
#include <string>
#include <vector>

#include "wavefunctions/wavefunction.h"

namespace femtokit {

struct PairInfo {
  std::string name;         // e.g. "pkplus"
  std::string description;  // one line: the particles and the interaction model
  // Builds the wave function from its parameter file (q grid, EPSILON, STRONG, COULOMB).
  std::unique_ptr<CWaveFunction> (*make)(const std::string& parsfilename);
};

// Every pair, in the order programs list them.
const std::vector<PairInfo>& Pairs();

// The pair called name, or nullptr when there is none.
const PairInfo* FindPair(const std::string& name);

// A new wave function of the pair; an unknown name is fatal
// ("unknown pair NAME; known: ...").
std::unique_ptr<CWaveFunction> MakeWaveFunction(const std::string& name,
                                                const std::string& parsfilename);

}  // namespace femtokit

#endif  // FEMTOKIT_WAVEFUNCTIONS_PAIRS_H

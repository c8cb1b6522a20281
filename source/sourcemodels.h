#ifndef FEMTOKIT_SOURCE_SOURCEMODELS_H
#define FEMTOKIT_SOURCE_SOURCEMODELS_H

// The source models by name: the one list that programs, the analysis layer and
// the Python package consult, so that a new model is added in one place
// (sourcemodels.cc) and becomes available everywhere.

#include <memory>
#include <string>
#include <vector>

#include "source/sourcecalc.h"

namespace femtokit {

struct SourceModelInfo {
  std::string name;         // e.g. "gx1d"
  std::string description;  // one line: the density and its parameters
  std::unique_ptr<CSourceCalc> (*make)();
};

// Every model, in the order programs list them.
const std::vector<SourceModelInfo>& SourceModels();

// The model called name, or nullptr when there is none.
const SourceModelInfo* FindSourceModel(const std::string& name);

// A new model with its default parameters; an unknown name is fatal
// ("unknown source model NAME; known: ..."). "mtscaled:NAME" gives model NAME
// wrapped in transverse-mass scaling of its lengths (source/sourcecalc_mtscaled.h).
std::unique_ptr<CSourceCalc> MakeSourceCalc(const std::string& name);

}  // namespace femtokit

#endif  // FEMTOKIT_SOURCE_SOURCEMODELS_H

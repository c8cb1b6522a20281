#include "wavefunctions/pairs.h"

#include <filesystem>

#include "config/parameter.h"
#include "numeric/fatal.h"
#include "wavefunctions/wf_nn.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pkplus.h"
#include "wavefunctions/wf_pp.h"
#include "wavefunctions/wf_ppiplus.h"
#include "wavefunctions/wf_solved.h"

namespace femtokit {

namespace {
template <class WaveFunction>
std::unique_ptr<CWaveFunction> Make(const std::string& parsfilename) {
  return std::make_unique<WaveFunction>(parsfilename.c_str());
}

template <SolvedPair (*Describe)()>
std::unique_ptr<CWaveFunction> MakeSolved(const std::string& parsfilename) {
  return std::make_unique<CWaveFunction_solved>(parsfilename.c_str(), Describe());
}

// The pair described by the potential file named under POTENTIALFILE in the parameter file
// (wavefunctions/wf_solved.h, ReadSolvedPair).
std::unique_ptr<CWaveFunction> MakeFromPotentialFile(const std::string& parsfilename) {
  parameter_map pars;
  parameter::ReadParsFromFile(pars, parsfilename);
  std::filesystem::path file = parameter::getS(pars, "POTENTIALFILE", "");
  if (file.empty()) Fatal("pair potential: %s names no POTENTIALFILE\n", parsfilename.c_str());
  // A relative name is taken from the parameter file's directory (files travel together).
  if (file.is_relative()) file = std::filesystem::path(parsfilename).parent_path() / file;
  return std::make_unique<CWaveFunction_solved>(parsfilename.c_str(),
                                                ReadSolvedPair(file.string()));
}
}  // namespace

const std::vector<PairInfo>& Pairs() {
  static const std::vector<PairInfo> pairs = {
      {"pp", "proton-proton: Reid93 (1S0, 3P0, 3P1, 3P2-3F2) and Coulomb, exact radial waves",
       MakeSolved<ReidProtonProton>},
      {"nn", "neutron-neutron: Reid93 (1S0, 3P0, 3P1, 3P2-3F2), exact radial waves",
       MakeSolved<ReidNeutronNeutron>},
      {"np", "neutron-proton: Reid93, every wave up to J = 2 (3S1-3D1, 3P2-3F2 coupled)",
       MakeSolved<ReidNeutronProton>},
      {"plambda", "proton-Lambda: Usmani-type potential, s waves", MakeSolved<UsmaniProtonLambda>},
      {"pomega", "proton-Omega-: HAL QCD N-Omega 5S2 potential and Coulomb",
       MakeSolved<HalProtonOmega>},
      {"potential", "any pair from the potential file named by POTENTIALFILE",
       MakeFromPotentialFile},
      {"pp-legacy", "proton-proton: Reid93 and Coulomb, inner tables joined at EPSILON",
       Make<CWaveFunction_pp>},
      {"pkplus", "proton-K+: phase shifts and Coulomb", Make<CWaveFunction_pkplus>},
      {"ppiplus", "proton-pi+: phase shifts (Delta(1232)) and Coulomb",
       Make<CWaveFunction_ppiplus>},
      {"nn-legacy", "neutron-neutron: phase shifts", Make<CWaveFunction_nn>},
      {"pipluspiminus", "pi+ pi-: pion-pion phase shifts and Coulomb",
       Make<CWaveFunction_pipluspiminus>},
  };
  return pairs;
}

const PairInfo* FindPair(const std::string& name) {
  for (const PairInfo& pair : Pairs())
    if (pair.name == name) return &pair;
  return nullptr;
}

std::unique_ptr<CWaveFunction> MakeWaveFunction(const std::string& name,
                                                const std::string& parsfilename) {
  if (const PairInfo* pair = FindPair(name)) return pair->make(parsfilename);
  std::string known;
  for (const PairInfo& pair : Pairs()) known += " " + pair.name;
  Fatal("unknown pair %s; known:%s\n", name.c_str(), known.c_str());
}

}  // namespace femtokit

#include "wavefunctions/pairs.h"

#include "numeric/fatal.h"
#include "wavefunctions/wf_nn.h"
#include "wavefunctions/wf_pipluspiminus.h"
#include "wavefunctions/wf_pkplus.h"
#include "wavefunctions/wf_pp.h"
#include "wavefunctions/wf_ppiplus.h"

namespace femtokit {

namespace {
template <class WaveFunction>
std::unique_ptr<CWaveFunction> Make(const std::string& parsfilename) {
  return std::make_unique<WaveFunction>(parsfilename.c_str());
}
}  // namespace

const std::vector<PairInfo>& Pairs() {
  static const std::vector<PairInfo> pairs = {
      {"pp", "proton-proton: Reid93 potential and Coulomb", Make<CWaveFunction_pp>},
      {"pkplus", "proton-K+: phase shifts and Coulomb", Make<CWaveFunction_pkplus>},
      {"ppiplus", "proton-pi+: phase shifts (Delta(1232)) and Coulomb",
       Make<CWaveFunction_ppiplus>},
      {"nn", "neutron-neutron: phase shifts", Make<CWaveFunction_nn>},
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

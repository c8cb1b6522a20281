#include "source/species.h"

#include <cstdlib>

#include "numeric/constants.h"

namespace femtokit {
namespace {

namespace c = constants;

struct Entry {
  int code;
  double mass;
  int charge;
  const char* name;
};

// Particles only; antiparticles follow from the sign of the code.
constexpr Entry kTable[] = {
    {211, c::kMassPionCharged, 1, "pi+"},
    {111, c::kMassPionNeutral, 0, "pi0"},
    {321, c::kMassKaonCharged, 1, "K+"},
    {311, c::kMassKaonNeutral, 0, "K0"},
    {310, c::kMassKaonNeutral, 0, "K0S"},
    {130, c::kMassKaonNeutral, 0, "K0L"},
    {2212, c::kMassProtonSourceModels, 1, "p"},
    {2112, c::kMassNeutron, 0, "n"},
    {3122, c::kMassLambda, 0, "Lambda"},
    {3222, c::kMassSigmaPlus, 1, "Sigma+"},
    {3212, c::kMassSigmaZero, 0, "Sigma0"},
    {3112, c::kMassSigmaMinus, -1, "Sigma-"},
    {3322, c::kMassXiZero, 0, "Xi0"},
    {3312, c::kMassXiMinus, -1, "Xi-"},
    {3334, c::kMassOmegaMinus, -1, "Omega-"},
    {1000010020, c::kMassDeuteron, 1, "d"},
    {1000010030, c::kMassTriton, 1, "t"},
    {1000020030, c::kMassHelium3, 2, "3He"},
    {1000020040, c::kMassHelium4, 2, "4He"},
};

}  // namespace

bool FindSpecies(int code, SpeciesInfo* info) {
  if (code == 0 || code == -2147483647 - 1) return false;
  const int absolute = std::abs(code);
  for (const Entry& e : kTable) {
    if (e.code != absolute) continue;
    info->code = code;
    info->mass = e.mass;
    info->charge = code > 0 ? e.charge : -e.charge;
    info->name = e.name;
    return true;
  }
  return false;
}

std::string KnownSpeciesList() {
  std::string list;
  for (const Entry& e : kTable) {
    if (!list.empty()) list += ", ";
    list += std::to_string(e.code) + " " + e.name;
  }
  return list;
}

}  // namespace femtokit

#include "config/checked_pars.h"

#include "numeric/checked_io.h"

namespace parameter {

int getCount(const parameter_map& pars, const std::string& key, int def, int min, int max,
             const std::string& where) {
  return femtokit::CheckCount(getD(pars, key, def), key.c_str(), where, min, max);
}

double getFinite(const parameter_map& pars, const std::string& key, double def,
                 const std::string& where) {
  return femtokit::CheckFinite(getD(pars, key, def), key.c_str(), where);
}

double getPositive(const parameter_map& pars, const std::string& key, double def,
                   const std::string& where) {
  return femtokit::CheckPositive(getD(pars, key, def), key.c_str(), where);
}

}  // namespace parameter

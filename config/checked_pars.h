#ifndef FEMTOKIT_CONFIG_CHECKED_PARS_H
#define FEMTOKIT_CONFIG_CHECKED_PARS_H

// Getters of parameter-map values that must mean something: a count within stated
// bounds, a finite number, a positive finite width. A value that does not is fatal,
// with a message naming `where` (the parameter file), the key and the value. Absent
// keys give the default, which is checked the same way.

#include <string>

#include "config/parameter.h"

namespace parameter {

// A whole number in [min, max] (read as a double, so "1e9" or 2147483648 is refused
// rather than wrapped).
int getCount(const parameter_map& pars, const std::string& key, int def, int min, int max,
             const std::string& where);
double getFinite(const parameter_map& pars, const std::string& key, double def,
                 const std::string& where);
double getPositive(const parameter_map& pars, const std::string& key, double def,
                   const std::string& where);

}  // namespace parameter

#endif  // FEMTOKIT_CONFIG_CHECKED_PARS_H

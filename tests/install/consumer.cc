// Uses the installed headers and libraries: reads a value back from a parameter map.
#include <cstdio>

#include "config/parameter.h"

int main() {
  parameter_map pars;
  parameter::set(pars, "R", 6.0);
  const double r = parameter::getD(pars, "R", 0.0);
  std::printf("R=%g\n", r);
  return r == 6.0 ? 0 : 1;
}

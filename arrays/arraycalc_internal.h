#ifndef FEMTOKIT_ARRAYS_ARRAYCALC_INTERNAL_H
#define FEMTOKIT_ARRAYS_ARRAYCALC_INTERNAL_H

// Small helpers shared by the ArrayCalc sources (not part of the public interface).

#include "arrays/charray.h"

namespace ArrayCalc {
namespace internal {

// The value of a component, 0.0 when the array does not store it (rank above LMAX
// or an index removed by a symmetry: the function has no such component). Unlike
// CCHArray::GetElement this does not warn, so loops may range over the union of two
// arrays' components.
inline double ValueOrZero(const CCHArray *a, int lx, int ly, int lz, int ir) {
  return a->IsStored(lx, ly, lz, ir) ? a->A[lx][ly][lz][ir] : 0.0;
}

// n! in double precision for any n >= 0 (the coefficient tables stop at 56, but the
// spherical-harmonic normalisations need (L+m)! up to (2 LMAX)!).
inline double FactorialD(int n) {
  double f = 1.0;
  for (int i = 2; i <= n; i++) f *= i;
  return f;
}

}  // namespace internal
}  // namespace ArrayCalc

#endif  // FEMTOKIT_ARRAYS_ARRAYCALC_INTERNAL_H

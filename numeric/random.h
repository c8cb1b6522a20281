#ifndef FEMTOKIT_NUMERIC_RANDOM_H
#define FEMTOKIT_NUMERIC_RANDOM_H

// Random numbers for arrays, sources and fits: GSL's RANLUX generator in
// double precision at luxury level 1 (gsl_rng_ranlxd1, Luescher 1994).
// Two objects seeded alike produce the same sequence.

#include <gsl/gsl_rng.h>

class CRandom {
 public:
  // Seeds with gsl_rng_set; the int seed is taken modulo 2^32 as an unsigned
  // long, so -1234 becomes 4294966062 (the seed every fit and the blast-wave
  // source use).
  explicit CRandom(int seed);
  ~CRandom();
  CRandom(const CRandom&) = delete;
  CRandom& operator=(const CRandom&) = delete;

  // Reseeds the same generator: the sequence restarts as for CRandom(seed).
  void reset(int seed);

  // Uniform deviate on [0, 1).
  double ran();
  // Uniform integer in 0 ... n-1 (n >= 1).
  unsigned long iran(unsigned long n);
  // Standard normal deviate (GSL gsl_ran_ugaussian).
  double gauss();
  // Two independent standard normal deviates by the Marsaglia polar method.
  void gauss2(double& g1, double& g2);

  // A four-momentum p (p[0] = E) of mass m drawn from the Boltzmann
  // distribution d^3p exp(-E/T); m, T in MeV, p in MeV/c, p0^2 - |p|^2 = m^2.
  // For T/m <= 0.08 the non-relativistic Maxwell distribution (Gaussian
  // components of width sqrt(m T)); above, exact: the kinetic energy from a
  // mixture of four Gamma densities that bounds p E exp(-K/T), accepted with
  // probability >= 1/sqrt(2) (so the cost per sample is bounded for any T/m),
  // and an isotropic direction.
  void generate_boltzmann(double m, double T, double* p);

  gsl_rng* randy;  // the generator, owned
};

#endif  // FEMTOKIT_NUMERIC_RANDOM_H

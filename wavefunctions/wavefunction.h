#ifndef FEMTOKIT_WAVEFUNCTIONS_WAVEFUNCTION_H
#define FEMTOKIT_WAVEFUNCTIONS_WAVEFUNCTION_H

// Base of the two-particle relative wave functions.
// Conventions (q, units, cos theta, spin weights, symmetrisation): docs/conventions.md.
//
// Owns the relative-momentum grid (q, MeV/c, half the momentum difference in
// the pair rest frame), one Coulomb plane wave per grid point, one Coulomb
// partial wave per (ell, grid point) that a channel needs (channels of equal
// ell share it), the per-channel strong phase shifts delta (radians), their
// derivatives ddeltadq (per MeV/c) and short-range weights wepsilon, and the
// physical constants. A pair class sets masses, charge product and channels
// in its constructor and implements CalcPsiSquared(iq, r, ctheta) = |psi|^2 at
// grid point iq; 1.0 means no correlation. r is the separation in fm in the
// pair rest frame, ctheta the cosine between the relative momentum and the
// separation.
//
// Calling order in a pair constructor: CWaveFunction(), ParsInit, then q1q2,
// m1, m2, ellmax, nchannels, then InitArrays, channelell[], InitWaves,
// channelweight[], then phase shifts and weights.
//
// The object owns every array and wave it points to and releases each
// exactly once; it is not copyable. After construction it is read-only.

#include <complex>

#include "wavefunctions/partwave.h"
#include "wavefunctions/planewave.h"

class CWaveFunction {
 public:
  // Sets the constants; every pointer starts null.
  CWaveFunction();
  // Virtual so that a pair object may also be deleted through a base pointer.
  virtual ~CWaveFunction();
  CWaveFunction(const CWaveFunction&) = delete;
  CWaveFunction& operator=(const CWaveFunction&) = delete;

  // |psi|^2 at grid point iq; the base returns 1.0 (no correlation).
  virtual double CalcPsiSquared(int iq, double r, double ctheta);

  // Reads the grid and switches from a parameter file. Keys (defaults):
  // NQMAX (15), DELQ (5.0 MeV/c), EPSILON (1.0 fm), COULOMB (true),
  // STRONG (true), QARRAYFILENAME ("no_qarray_file"); NRMAX (200) and DELR
  // (0.2) are stored in the map only. DELQ >= 0: uniform grid of bin centres
  // q_i = (i + 0.5) DELQ. DELQ < 0: the grid is read from QARRAYFILENAME (a
  // count N, then N values in MeV/c) and delq stays negative. Fatal (status
  // 1, message naming the file) when that file is missing or unreadable,
  // holds fewer numbers than announced, fewer than two points, a point not
  // above zero, or points not strictly increasing; fatal too for a uniform
  // grid with NQMAX < 1 or DELQ = 0.
  void ParsInit(const char* parsfilename);

  // Allocates eta, planewave, partwave (all null), delta, ddeltadq, wepsilon,
  // channelell and channelweight from nqmax, nchannels and ellmax.
  void InitArrays();

  // eta[iq] = q1q2 (E1 E2 / (E1 + E2)) / (137.036 q), one CPlaneWave per grid
  // point and one CPartWave per (channelell, grid point), shared by channels
  // of equal ell.
  void InitWaves();

  int GetNQMAX() { return nqmax; }
  double GetDELQ() { return delq; }
  double GetQ(int iq) { return qarray[iq]; }

  // |psi|^2 at any q (MeV/c) by linear interpolation between grid points;
  // 1.0 beyond the grid (more than half a spacing above the last point).
  // Fatal with diagnostic lines when the result is below -0.01 at r > 1 fm.
  double GetPsiSquared(double q, double r, double ctheta);

  // |psi|^2 for particles with four-momenta pa, pb (E, px, py, pz in MeV)
  // emitted at xa, xb (t, x, y, z in fm).
  double GetPsiSquared(const double* pa, const double* xa, const double* pb, const double* xb);

  // Pair-rest-frame q = |(pa - pb)/2|, r = |xa - xb| (the components along
  // the pair velocity removed) and ctheta = q.r / (q r). When q or r is 0,
  // ctheta = 1. Fatal ("Disaster, r^2=%g, q^2=%g, ctheta=%g\n") for
  // unphysical four-vectors (space-like separation or momentum squared
  // negative beyond roundoff, |ctheta| > 1 beyond roundoff, non-finite).
  static void getqrctheta(const double* pa, const double* xa, const double* pb, const double* xb,
                          double* q, double* r, double* ctheta);

  // Closed form of the radial integral of the partial wave of phase shift
  // delta (radians) up to r = epsilon (fm), at momentum q (MeV/c) and
  // Sommerfeld parameter eta. Free s wave: -(x - sin(2x + 2 delta)/2)/q with
  // x = q epsilon / HBARC. Used as
  //   wepsilon = 3 (ddeltadq - GetIW(.., delta) + GetIW(.., 0)) / (4 PI epsilon^3).
  double GetIW(int ell, double epsilon, double q, int q1q2, double eta, double delta);

  // delta and ddeltadq of one channel from the effective-range expansion
  // q cot(delta) = -HBARC/scattlength + Reff q^2 / (2 HBARC); lengths in fm.
  void EffectiveRange(int ichannel, double scattlength, double Reff);

  // Prints the correlation function the phase-shift derivatives predict for
  // a Gaussian source of radii Rx, Ry, Rz (fm).
  void PrintCdelta(double Rx, double Ry, double Rz);

  double** wepsilon;        // [nchannels][nqmax] short-range weights
  double** delta;           // [nchannels][nqmax] strong phase shifts, radians
  double** ddeltadq;        // [nchannels][nqmax] d delta / dq, per MeV/c
  double* eta;              // [nqmax] Sommerfeld parameter
  double* channelweight;    // [nchannels] spin or isospin weight
  CPlaneWave** planewave;   // [nqmax]
  CPartWave*** partwave;    // [ellmax + 1][nqmax], null where no channel needs it
  double PI;                // 3.141592653589793
  std::complex<double> ci;  // (0, 1)
  double HBARC;             // 197.3269602 MeV fm
  double MPI;               // 139.58 MeV
  double MKAON;             // 493.677 MeV
  double MPROTON;           // 938.271 MeV
  double MLAMBDA;           // 1115.7 MeV
  double MNEUTRON;          // 939.565 MeV
  int* channelell;          // [nchannels]
  int nchannels;
  int q1q2;        // charge product; 0 switches Coulomb off
  double m1, m2;   // MeV
  double epsilon;  // fm
  bool STRONG;
  bool COULOMB;
  int ellmax;
  int nqmax;
  double delq;     // MeV/c; negative for a grid read from a file
  double* qarray;  // [nqmax] MeV/c

 private:
  // Sizes the arrays were allocated with (released with the same sizes even
  // if a caller changes nqmax, nchannels or ellmax afterwards).
  int alloc_nqmax_ = 0;
  int alloc_ellmax_ = -1;

  void FreeArrays();
  void ReadQArray(const char* filename);
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WAVEFUNCTION_H

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
// channelweight[] (InitChannels does these four steps), then phase shifts and weights.
//
// The object owns every array and wave it points to and releases each
// exactly once; it is not copyable. After construction it is read-only.

#include <complex>
#include <initializer_list>

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

  // |psi|^2 at grid point iq and one separation r (fm) for n cosines: psisquared[i] =
  // CalcPsiSquared(iq, r, ctheta[i]), i < n. The base loops over CalcPsiSquared; a pair class
  // overrides it to compute what depends on (q, r) only (radial waves, phase factors) once for
  // all angles, and to reuse one plane-wave value for +c and -c when the list holds both
  // (ctheta[n - 1 - i] == -ctheta[i]). An override must give the scalar form's values up to
  // rounding and may be called from several threads at once (no shared scratch space).
  virtual void CalcPsiSquaredAngles(int iq, double r, const double* ctheta, int n,
                                    double* psisquared);

  // Whether |psi|^2 is even in ctheta at every (q, r) (identical particles whose symmetrised
  // sum is even by construction); a kernel of identical particles then needs only ctheta >= 0.
  // The base answers false.
  virtual bool PsiSquaredIsEven() const { return false; }

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
  // of equal ell. The grid points are built on femtokit::ThreadCount() threads.
  // The partial waves are built on demand (CPartWave::OnDemand): a table point
  // costs its Coulomb functions only once an evaluation reaches it, so grid
  // points and radii that nobody asks for (a kernel's q and r) cost nothing.
  void InitWaves();

  // The channel set-up of a pair constructor, after ellmax is set: nchannels = ells.size(),
  // InitArrays, channelell[c] = ells[c], InitWaves, then channelweight[c] = weights[c] (an
  // empty weight list leaves the weights to the caller; any other length is fatal). With
  // announce, "Arrays Initialized" and "Partial Waves Initialized" are reported after the
  // two steps.
  void InitChannels(std::initializer_list<int> ells, std::initializer_list<double> weights,
                    bool announce);

  int GetNQMAX() { return nqmax; }
  double GetDELQ() { return delq; }
  double GetQ(int iq) { return qarray[iq]; }

  // |psi|^2 at any q (MeV/c) by linear interpolation between grid points;
  // 1.0 beyond the grid (more than half a spacing above the last point).
  // Fatal with diagnostic lines when the result is below -0.01 at r > 1 fm.
  double GetPsiSquared(double q, double r, double ctheta);

  // The same interpolation in q for n cosines at one r, through CalcPsiSquaredAngles:
  // psisquared[i] = GetPsiSquared(q, r, ctheta[i]) up to rounding (the same grid points and
  // weights, and the same fatal check).
  void GetPsiSquaredAngles(double q, double r, const double* ctheta, int n, double* psisquared);

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

 protected:
  // The plane wave of grid point iq at r (fm) for +ctheta[i] and for -ctheta[i], i < n, in
  // per-thread scratch (valid until this thread's next call). A list of more than one value
  // that is symmetric (ctheta[n - 1 - i] == -ctheta[i]) costs one evaluation per angle.
  void PlaneWavesPlusMinus(int iq, double r, const double* ctheta, int n,
                           const std::complex<double>** plus, const std::complex<double>** minus);

 private:
  // Sizes the arrays were allocated with (released with the same sizes even
  // if a caller changes nqmax, nchannels or ellmax afterwards).
  int alloc_nqmax_ = 0;
  int alloc_ellmax_ = -1;

  // Grid points and weights of the interpolation in q: beyond the grid (|psi|^2 = 1), one point
  // (single >= 0), or wlow psi(iqlow) + whigh psi(iqhigh); check: apply the fatal check.
  struct QStencil {
    bool beyond = false;
    bool check = true;
    int single = -1;
    int iqlow = 0, iqhigh = 0;
    double wlow = 0.0, whigh = 0.0;
  };
  QStencil StencilAt(double q) const;
  // Fatal (with diagnostic lines) for an interpolated result below -0.01 at r > 1 fm.
  void CheckInterpolated(const QStencil& st, double q, double r, double ctheta, double result);

  void FreeArrays();
  void ReadQArray(const char* filename);
};

#endif  // FEMTOKIT_WAVEFUNCTIONS_WAVEFUNCTION_H

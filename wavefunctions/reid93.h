#ifndef FEMTOKIT_WAVEFUNCTIONS_REID93_H
#define FEMTOKIT_WAVEFUNCTIONS_REID93_H

// The regularised Reid93 nucleon-nucleon potential,
// V. G. J. Stoks, R. A. M. Klomp, C. P. F. Terheggen and J. J. de Swart,
// "Construction of high-quality NN potential models", Phys. Rev. C 49, 2950 (1994).
//
// The potential of one partial wave is a one-pion-exchange tail (neutral pion for pp and nn,
// neutral and charged pions for np) plus a phenomenological sum of regularised Yukawa-type
// functions of multiples of the average pion mass, with the 2 x 25 coefficients of the
// publication. It contains no electromagnetic part. Stateless; safe to call from anywhere.

// Regularised radial functions of the publication, of the dimensionless distance x = (mass/hbar c)
// r and the mass multipliers n, m (small integers, passed as doubles; m = 8 throughout the
// potential is the regulator). All are finite at x = 0: the 1/x^k singularities of the bare
// Yukawa terms cancel between the n and m terms. Below x = 1e-4 each uses its small-x Taylor
// form, because the closed forms lose all digits to cancellation there (W and Z subtract terms
// of size 1/x^3).
//
//   Y(n,m,x) = e^{-nx}/x - e^{-mx}/x [1 + (m^2 - n^2) x / (2m)]          (central)
//   P(n,m,x) = e^{-nx}/x - e^{-mx}/x [1 + (m^2 - n^2) m x / (2n^2)]      (central, S waves)
//   W(n,m,x) = e^{-nx}/x [1/(nx) + 1/(nx)^2]
//              - e^{-mx}/x [1/(mx) + 1/(mx)^2] m^2/n^2 - e^{-mx}/x (m^2 - n^2)/(2n^2) (spin-orbit)
//   Z(n,m,x) = e^{-nx}/x [1 + 3/(nx) + 3/(nx)^2]
//              - e^{-mx}/x [1 + 3/(mx) + 3/(mx)^2] m^2/n^2
//              - e^{-mx} [1 + 1/(mx)] m (m^2 - n^2)/(2n^2)                  (tensor)
double r93_y(const double* n, const double* m, const double* x);
double r93_p(const double* n, const double* m, const double* x);
double r93_w(const double* n, const double* m, const double* x);
double r93_z(const double* n, const double* m, const double* x);

// Reid93 potential in MeV of one partial wave at the separation *r (fm, r >= 0).
//
// pname: spin multiplicity digit, orbital letter, total angular momentum J, e.g. "1S0", "3P0",
// "3P1", "1D2", "3F3", "1G4"; the coupled triplet channels (ell = J - 1 and J + 1) are "3C1" ..
// "3C4" (letter C or c). A leading '1' means spin 0, any other digit spin 1. Named waves are
// recognised by exact comparison: 1S0 1P1 1D2 1F3 1G4 3P0 3P1 3D2 3F3 3G4 3C1 3C2 3C3 3C4.
// Waves with J > 4 take the publication's generic forms (the isospin follows from
// (S + ell + I) odd). An unknown name with J <= 4, a name shorter than three characters or
// without a J, is fatal ("creid93: unknown partial wave %s\n").
//
// type: "PP", "NN" (neutral-pion exchange only) or "NP", "PN" (neutral and charged pion; the
// np 1S0 takes its own coefficients). Anything else is fatal ("creid93: unknown pair type %s\n").
//
// All three outputs are set to 0 first. An uncoupled wave sets *vpot11 only; a coupled channel
// sets *vpot11 (ell = J - 1), *vpot22 (ell = J + 1) and *vpot12 (the tensor mixing).
// The potential has no Coulomb part: callers add it themselves.
void creid93(const double* r, const char* pname, const char* type, double* vpot11, double* vpot12,
             double* vpot22);

#endif  // FEMTOKIT_WAVEFUNCTIONS_REID93_H

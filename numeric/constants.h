#ifndef FEMTOKIT_NUMERIC_CONSTANTS_H
#define FEMTOKIT_NUMERIC_CONSTANTS_H

// Physical constants and particle masses, in one place, with their provenance.
//
// Units: MeV, MeV/c, fm. Code that needs one of these includes this header;
// it never writes the number again. Where the classes of the library have
// always used a rounded or older value (kernel and wave-function tables
// stored on disk were computed with it), that value is kept under its own
// name below and says why, so that stored results do not shift.

namespace femtokit::constants {

inline constexpr double kPi = 3.14159265358979323846;

// hbar c in MeV fm (CODATA 1998, the value every stored kernel was computed with;
// CODATA 2018 gives 197.3269804, a 1e-7 relative difference).
inline constexpr double kHbarC = 197.3269602;

// hbar c rounded to 197.327 MeV fm: the classical Coulomb kernel has always used
// this rounding, and its stored kernels were computed with it.
inline constexpr double kHbarCClassicalCoulomb = 197.327;

// Inverse fine-structure constant, as used by the Coulomb wave functions
// (137.035999 in CODATA 2018; the rounded value is kept for stored tables).
inline constexpr double kAlphaInverse = 137.036;
inline constexpr double kAlpha = 1.0 / kAlphaInverse;

// Masses in MeV (PDG; the wave-function classes' values).
inline constexpr double kMassPionCharged = 139.58;   // wave functions, event files
inline constexpr double kMassPionNeutral = 134.9768;  // PDG 2022
inline constexpr double kMassKaonCharged = 493.677;
inline constexpr double kMassKaonNeutral = 497.611;
inline constexpr double kMassProton = 938.271;
inline constexpr double kMassNeutron = 939.565;
inline constexpr double kMassLambda = 1115.683;       // PDG (the legacy MLAMBDA member is 1115.7)
inline constexpr double kMassSigmaPlus = 1189.37;
inline constexpr double kMassSigmaZero = 1192.642;
inline constexpr double kMassSigmaMinus = 1197.449;
inline constexpr double kMassXiZero = 1314.86;
inline constexpr double kMassXiMinus = 1321.71;
inline constexpr double kMassOmegaMinus = 1672.45;
inline constexpr double kMassDeuteron = 1875.613;
inline constexpr double kMassTriton = 2808.921;    // PDG 2022 (nuclear mass)
inline constexpr double kMassHelium3 = 2808.391;   // PDG 2022 (nuclear mass)
inline constexpr double kMassHelium4 = 3727.379;   // PDG 2022 (nuclear mass)

// The Lambda mass of the wave-function base (its MLAMBDA member, 1115.7 MeV):
// pair wave functions and their stored tables were computed with it.
inline constexpr double kMassLambdaWaveFunction = 1115.7;

// The proton mass of the source models and the event-file source (938.28 MeV):
// their default parameter maps have always carried it, and callers compare
// against those maps.
inline constexpr double kMassProtonSourceModels = 938.28;

// Masses of the Reid93 potential's one-pion-exchange terms (its published values).
inline constexpr double kMassPionNeutralReid93 = 134.9739;
inline constexpr double kMassPionChargedReid93 = 139.5675;

}  // namespace femtokit::constants

#endif  // FEMTOKIT_NUMERIC_CONSTANTS_H

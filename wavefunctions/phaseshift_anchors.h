#ifndef FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_ANCHORS_H
#define FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_ANCHORS_H

// The published phase-shift rows the built-in tables (phaseshift_tables.h) pass through: phase
// (radians) and its q derivative (radians per MeV/c) at a momentum q (MeV/c), per channel in the
// channel order of the tables. They are kept here, once: the generator (tools/femtophaseshifts)
// fits its curves through them and the tests compare the stored tables with them.

namespace PhaseShiftTables {

struct AnchorRow {
  double q, delta, ddeltadq;
};

// proton-K+: S01, P01, P03 (Coulomb-corrected strong phases).
inline constexpr AnchorRow kAnchorsPKplus[3][2] = {
    {{50, -0.0708759, -0.00162901}, {350, -0.500599, -0.00130287}},
    {{50, -0.0021411, -0.000121982}, {350, -0.218875, -0.000785771}},
    {{50, 0.000946544, 4.90663e-05}, {350, 0.127361, 0.000603575}}};

// proton-pi+: S31, P31, P33 (the Delta(1232)).
inline constexpr AnchorRow kAnchorsPPiplus[3][3] = {
    {{100, -0.0785383, -0.00110795}, {200, -0.214173, -0.00148456}, {390, -0.471329, -0.000760909}},
    {{100, -0.011381, -0.000300629}, {200, -0.0622221, -0.000697835}, {390, -0.247273, -0.00134065}},
    {{100, 0.0781373, 0.00231675}, {200, 1.01294, 0.020556}, {390, 2.71557, 0.00304364}}};

// neutron-neutron: 1S0, 3P0, 3P1, 3P2. The P-wave slopes 0 at 200 MeV/c (the last table point)
// are stored as given but not fitted (see the generator).
inline constexpr AnchorRow kAnchorsNN[4][2] = {
    {{50, 0.928847, 0.00474858}, {200, 0.501214, -0.00387338}},
    {{50, 0.0306934, 0.00151352}, {200, 0.0951437, 0.0}},
    {{50, -0.0176518, -0.000843524}, {200, -0.0540706, 0.0}},
    {{50, 0.00482179, 0.000293275}, {200, 0.0222191, 0.0}}};

// The nn 1S0 slope at q = 0 (radians per MeV/c; a = -6.417 fm).
inline constexpr double kSlope0NN1S0 = 0.0325178;

}  // namespace PhaseShiftTables

#endif  // FEMTOKIT_WAVEFUNCTIONS_PHASESHIFT_ANCHORS_H

#ifndef FEMTOKIT_ARRAYS_ARRAYCALC_H
#define FEMTOKIT_ARRAYS_ARRAYCALC_H

// ArrayCalc: conversions between the representations of a function of a
// three-vector, and the arithmetic of arrays.
//
// Representations (all but the grid and the Ylm array live in a CCHArray):
//  - AExp: traceless Cartesian coefficients A_l, F(e) = sum_l [L!/l!] A_l e^l;
//  - symmetric: the same evaluation rule without tracelessness (products and
//    series are formed in it; Detrace reduces it to AExp);
//  - M: Cartesian moments M_l = sum_samples w e^l;
//  - XExp: the AExp array of log F;
//  - C3DArray: values on a Cartesian grid;
//  - CYlmArray: complex Y_lm coefficients, m >= 0.
// Notation: l = (lx, ly, lz), L = lx+ly+lz, l! = lx! ly! lz!, e a unit vector.
//
// Per-bin forms take (array, bin) pairs. Array forms check the parameters of
// their arrays with CompareArrayParameters and, on a mismatch, print the
// comparison's line and then their own "fatal error, parameters mismatch in
// ArrayCalc::<name>" (exit status 1); otherwise they apply the per-bin form to
// every bin ir = 0 ... NRADIAL-1, the same ir on every side.
//
// Every fatal path prints on standard output and ends the process with status 1.

class CCHArray;
class C3DArray;
class CYlmArray;

namespace ArrayCalc {

// ---------------------------------------------------------------------------
// Parameter comparison. Each returns true when the parameters agree; on the
// first disagreement it prints one line and returns false.
// ---------------------------------------------------------------------------

// Symmetries ("Symmetry mismatch between CHArrays!!!"), NRADIAL ("NRADIAL mismatch
// between CCHArrays!!!"), RADSTEP within 1e-10 ("RADSTEP mismatch between
// CCHArrays!!!"), LMAX ("LMAX mismatch metween CCHArrays!!!").
bool CompareArrayParameters(CCHArray *a, CCHArray *b);
// Symmetries only; prints "X: %d=?%d, Y: %d=?%d Z: %d=?%d" (the Cartesian-harmonic
// array's flag, then the grid's, per axis) before "Symmetry mismatch between
// CHArray and 3DArray!!!".
bool CompareArrayParameters(C3DArray *g, CCHArray *a);
// Symmetries only; "Symmetry mismatch between CHArray and 3DArray!!!".
bool CompareArrayParameters(CCHArray *a, C3DArray *g);
// Symmetries ("Symmetry mismatch between 3DArrays!!!"), cell counts ("NXYZMAX
// mismatch between 3DArrays!!!"), widths within 1e-10 ("DELXYZ mismatch between
// 3DArrays!!!").
bool CompareArrayParameters(C3DArray *g, C3DArray *h);

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

// Moments -> AExp: A_l = [(2L+1)!!/L!] sum_n (-1/2)^n [(2(L-n)-1)!!/(2L-1)!!]
// prod_i [l_i!/((l_i-2n_i)! n_i!)] M_{l-2n}, for the lx in {0,1} components, the
// rest by the trace condition. Reproduces what IncrementAExpArrayFromE accumulates
// from the samples that built the moments. Requires equal LMAX ("LMAX from M does
// not match LMAX from A").
void CalcAExpArrayFromMArray(CCHArray *M, int irM, CCHArray *A, int irA);
void CalcAExpArrayFromMArray(CCHArray *M, CCHArray *A);
// AExp -> moments (every stored component of M; no trace fill). Inverse of the
// above. Requires equal LMAX.
void CalcMArrayFromAExpArray(CCHArray *A, int irA, CCHArray *M, int irM);
void CalcMArrayFromAExpArray(CCHArray *A, CCHArray *M);

// Symmetric expansion B -> AExp array A of the same angular function, up to A's
// LMAX (trace reduction, then projection on the traceless tensors through the
// overlap integrals). Loops step by B's symmetries. Bin irA of A is overwritten.
void Detrace(CCHArray *B, int irB, CCHArray *A, int irA);
void Detrace(CCHArray *B, CCHArray *A);

// AExp -> XExp: the AExp array of log F, F the angular function of bin irA.
// Writes F = a0 (1 + D) with a0 = A(0,0,0) and sums log a0 + sum_n (-1)^(n+1)
// D^n/n (n <= 49, stopping once the largest term component of a block of six
// terms falls to 1e-8); prints "nmax was %d" with the number of terms + 1.
// Needs a0 > 0 and converges only where |D| < 1 over the sphere. a0 <= 0 is fatal:
// "FATAL: A(0,0,0)=%g <= 0 in ArrayCalc::CalcXExpArrayFromAExpArray, no logarithm\n".
void CalcXExpArrayFromAExpArray(CCHArray *A, int irA, CCHArray *X, int irX);
void CalcXExpArrayFromAExpArray(CCHArray *A, CCHArray *X);
// XExp -> AExp: exp F = exp(x0) sum_n D^n/n!, D = F - x0 (n <= 47, same stopping
// rule, no message).
// Both series are summed in the symmetric representation with every power
// truncated at rank max(LMAX of the two arrays) and reduced by Detrace at the end,
// so the traces of the dropped higher-rank parts are lost: log then exp returns a
// bin exactly only up to third order in the anisotropy D (about 2e-7 of A(0,0,0)
// for |D| ~ 0.01 at LMAX 4); exp(x0 + b ez) comes out with the error of its
// Taylor series cut at rank LMAX (b^(LMAX+1)/(LMAX+1)!).
void CalcAExpArrayFromXExpArray(CCHArray *X, int irX, CCHArray *A, int irA);
void CalcAExpArrayFromXExpArray(CCHArray *X, CCHArray *A);

// AExp -> grid: every cell centre gets the radial interpolation (between bin
// centres; through the origin to the opposite direction below the first centre;
// held from the last centre to the outer edge) of AExpand; 0.0 at r >=
// NRADIAL*RADSTEP. Symmetries must agree (fatal otherwise).
void Calc3DArrayFromAExpArray(CCHArray *A, C3DArray *G);
// Grid -> AExp: each bin ir of A gets the angular average over a midpoint grid in
// cos(theta) and phi at r = (ir+0.5) RADSTEP of the interpolated grid value, added
// sample by sample with IncrementAExpArrayFromE (the bin is not zeroed first;
// directions outside the grid are skipped). Only the directions not implied by
// the symmetries are sampled: cos(theta) in [0,1] with ZSYM, else [-1,1]; phi in
// [-pi,pi], [-pi/2,pi/2] with XSYM, [0,pi] with YSYM, [0,pi/2] with both. The point
// counts grow with A's LMAX (see the source) so that an AExp -> grid -> AExp round
// trip of a smooth function keeps its low components to 1e-3 relative. A symmetry
// mismatch prints the comparison's message and goes on.
void CalcAExpArrayFrom3DArray(C3DArray *G, CCHArray *A);

// Spherical harmonics: Y(l, m) = (4 pi)^(-1/2) integral dOmega F(e) Y_lm(e), so
// F(e) = sqrt(4 pi) sum_{l, |m| <= l} Y(l, m) conj(Y_lm(e)), with orthonormal Y_lm
// (Condon-Shortley phase) and Y(l, -m) = (-1)^m conj Y(l, m) for a real F. (The
// projection is on Y_lm itself, not on its conjugate: hence i^ly below where the
// conjugate convention would have (-i)^ly.)
// AExp -> Ylm (m >= 0; Y's LMAX sets the highest l): bin irY of Y is zeroed, then
// Y(0,0) = A(0,0,0) and, for L <= LMAX of A,
// Y(L,m) = (-1)^m sqrt(4pi) m! L! / sqrt(4pi (2L+1) (L+m)! (L-m)!)
//          * sum_{lx+ly=m} i^ly/(lx! ly!) A(lx, ly, L-m).
// Example: only A(0,0,1) = a gives Y(1,0) = a/sqrt(3); only A(1,0,0) = a gives
// Y(1,1) = -a/sqrt(6).
void CalcYlmExpArrayFromAExpArray(CCHArray *A, int irA, CYlmArray *Y, int irY);
// Ylm -> AExp (inverse of the above for real functions): the lx in {0,1}
// components by the overlap integrals, the rest by the trace condition. Reads Y up
// to A's LMAX; ranks above Y's LMAX count as 0.
void CalcAExpArrayFromYlmExpArray(CYlmArray *Y, int irY, CCHArray *A, int irA);

// ---------------------------------------------------------------------------
// Arithmetic of Cartesian-harmonic arrays
// ---------------------------------------------------------------------------

// B(l, irB) = A(l, irA) for every component B stores (B's steps and LMAX); a
// component A does not hold (rank above A's LMAX, or removed by a symmetry of A)
// gets 0.0, so no stale value of B survives. Components of A that B cannot hold
// (a symmetry of B that A lacks) are not copied; the array form rules that out.
void CopyArray(CCHArray *A, int irA, CCHArray *B, int irB);
void CopyArray(CCHArray *A, CCHArray *B);
// C = A + B for the components of C (C's steps) up to min(LMAX of A, LMAX of B);
// a component one of A, B does not hold counts as 0. Higher components of C are
// left as they are. C may be A or B.
void AddArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC);
void AddArrays(CCHArray *A, CCHArray *B, CCHArray *C);
// Symmetric-representation product of the ranks <= lmaxA of A and <= lmaxB of B
// into bin irC of C (zeroed first), truncated at min(lmaxA+lmaxB, lmaxC, LMAX of
// C): C(la+lb) += t(la) t(lb) A(la) B(lb) / t(la+lb), t(l) = L!/l!. C must store
// every sum la+lb (symmetries no stronger than those common to A and B).
void MultiplyArrays_Partial(int lmaxA, CCHArray *A, int irA, int lmaxB, CCHArray *B, int irB,
                            int lmaxC, CCHArray *C, int irC);
// AExp array of the product of two AExp arrays (product up to C's LMAX, then
// Detrace). Example: e_z * e_z gives C000 = 1/3, C002 = 2/3, C200 = C020 = -1/3.
void MultiplyArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC);
void MultiplyArrays(CCHArray *A, CCHArray *B, CCHArray *C);
// AExp array of A/B by the rank series T = A/b0 - (B - b0) T / b0 (ranks up to 55,
// until two successive ranks change by less than 1e-6 of sum|A|/b0), then Detrace.
// Prints "INFO: Sum in DivideAExpArrays satisfied convergence criteria at L=%d".
// B(0,0,0) = 0 is fatal: "FATAL: B(0,0,0)=0 in ArrayCalc::DivideArrays, cannot
// divide\n". A symmetry of C not common to A and B is fatal.
void DivideArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC);
void DivideArrays(CCHArray *A, CCHArray *B, CCHArray *C);
// AExp array of 1/A (DivideArrays of the constant 1 by A). A and B must have the
// same symmetries.
void InvertArray(CCHArray *A, int irA, CCHArray *B, int irB);
void InvertArray(CCHArray *A, CCHArray *B);

// ---------------------------------------------------------------------------
// Arithmetic of grids, cell by cell. A failed parameter comparison is fatal
// after the comparison's own message.
// ---------------------------------------------------------------------------

void CopyArray(C3DArray *A, C3DArray *B);                    // B = A
void AddArrays(C3DArray *A, C3DArray *B, C3DArray *C);       // C = A + B
void MultiplyArrays(C3DArray *A, C3DArray *B, C3DArray *C);  // C = A * B
// C = A / B. A cell where B is exactly 0.0 gets 0.0 (no information there rather
// than an infinity that would poison later sums), and one line reports how many:
// "WARNING: %d cells with zero divisor in ArrayCalc::DivideArrays set to 0\n".
void DivideArrays(C3DArray *A, C3DArray *B, C3DArray *C);
// B = 1/A, with the same rule for zero cells:
// "WARNING: %d zero cells in ArrayCalc::InvertArray set to 0\n".
void InvertArray(C3DArray *A, C3DArray *B);

}  // namespace ArrayCalc

#endif  // FEMTOKIT_ARRAYS_ARRAYCALC_H

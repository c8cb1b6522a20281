// Arithmetic of arrays: parameter comparison, copy, sum, product, quotient and
// inverse for Cartesian-harmonic arrays (acting on the angular functions their
// coefficients represent) and, cell by cell, for grids.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/arraycalc_internal.h"
#include "arrays/charray.h"
#include "arrays/chcalc.h"
#include "arrays/gridcells.h"
#include "numeric/fatal.h"
#include "numeric/output.h"

using ArrayCalc::internal::ValueOrZero;

namespace ArrayCalc {

// ---------------------------------------------------------------------------
// Parameter comparison
// ---------------------------------------------------------------------------

bool CompareArrayParameters(CCHArray *a, CCHArray *b) {
  if (a->XSYM != b->XSYM || a->YSYM != b->YSYM || a->ZSYM != b->ZSYM) {
    femtokit::Warn("Symmetry mismatch between CHArrays!!!\n");
    return false;
  }
  if (a->NRADIAL != b->NRADIAL) {
    femtokit::Warn("NRADIAL mismatch between CCHArrays!!!\n");
    return false;
  }
  if (std::fabs(a->RADSTEP - b->RADSTEP) > 1e-10) {
    femtokit::Warn("RADSTEP mismatch between CCHArrays!!!\n");
    return false;
  }
  if (a->LMAX != b->LMAX) {
    femtokit::Warn("LMAX mismatch metween CCHArrays!!!\n");
    return false;
  }
  return true;
}

bool CompareArrayParameters(C3DArray *g, CCHArray *a) {
  if (a->XSYM != g->XSYM || a->YSYM != g->YSYM || a->ZSYM != g->ZSYM) {
    femtokit::Warn("X: %d=?%d, Y: %d=?%d Z: %d=?%d\n", int(a->XSYM), int(g->XSYM), int(a->YSYM),
           int(g->YSYM), int(a->ZSYM), int(g->ZSYM));
    femtokit::Warn("Symmetry mismatch between CHArray and 3DArray!!!\n");
    return false;
  }
  return true;
}

bool CompareArrayParameters(CCHArray *a, C3DArray *g) {
  if (a->XSYM != g->XSYM || a->YSYM != g->YSYM || a->ZSYM != g->ZSYM) {
    femtokit::Warn("Symmetry mismatch between CHArray and 3DArray!!!\n");
    return false;
  }
  return true;
}

bool CompareArrayParameters(C3DArray *g, C3DArray *h) {
  if (g->XSYM != h->XSYM || g->YSYM != h->YSYM || g->ZSYM != h->ZSYM) {
    femtokit::Warn("Symmetry mismatch between 3DArrays!!!\n");
    return false;
  }
  if (g->NXMAX != h->NXMAX || g->NYMAX != h->NYMAX || g->NZMAX != h->NZMAX) {
    femtokit::Warn("NXYZMAX mismatch between 3DArrays!!!\n");
    return false;
  }
  if (std::fabs(g->DELX - h->DELX) > 1e-10 || std::fabs(g->DELY - h->DELY) > 1e-10 ||
      std::fabs(g->DELZ - h->DELZ) > 1e-10) {
    femtokit::Warn("DELXYZ mismatch between 3DArrays!!!\n");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Copy and sum
// ---------------------------------------------------------------------------

void CopyArray(CCHArray *A, int irA, CCHArray *B, int irB) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  // Every component B stores is written: a component A does not hold (a rank above
  // A's LMAX, or one A's symmetries remove) is 0 in the function A represents.
  for (int lx = 0; lx <= B->LMAX; lx += B->dlx)
    for (int ly = 0; lx + ly <= B->LMAX; ly += B->dly)
      for (int lz = 0; lx + ly + lz <= B->LMAX; lz += B->dlz)
        B->A[lx][ly][lz][irB] = ValueOrZero(A, lx, ly, lz, irA);
}

void CopyArray(CCHArray *A, CCHArray *B) {
  if (!CompareArrayParameters(A, B))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::CopyArray\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) CopyArray(A, ir, B, ir);
}

void AddArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  C->CheckBin(irC);
  const int lmax = std::min({A->LMAX, B->LMAX, C->LMAX});
  for (int lx = 0; lx <= lmax; lx += C->dlx)
    for (int ly = 0; lx + ly <= lmax; ly += C->dly)
      for (int lz = 0; lx + ly + lz <= lmax; lz += C->dlz)
        C->A[lx][ly][lz][irC] = ValueOrZero(A, lx, ly, lz, irA) + ValueOrZero(B, lx, ly, lz, irB);
}

void AddArrays(CCHArray *A, CCHArray *B, CCHArray *C) {
  if (!CompareArrayParameters(A, B) || !CompareArrayParameters(B, C))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::AddArrays\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) AddArrays(A, ir, B, ir, C, ir);
}

// ---------------------------------------------------------------------------
// Product
// ---------------------------------------------------------------------------

// In the symmetric representation F = sum_l t(l) S_l e^l, t(l) = L!/l!, the product
// of two expansions is the product of polynomials in (ex, ey, ez):
// t(la+lb) C_{la+lb} = sum t(la) A_la t(lb) B_lb.
void MultiplyArrays_Partial(int lmaxA, CCHArray *A, int irA, int lmaxB, CCHArray *B, int irB,
                            int lmaxC, CCHArray *C, int irC) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  C->CheckBin(irC);
  CCHCalc& calc = femtokit::SharedCHCalc();
  const int Lc = std::min({lmaxA + lmaxB, lmaxC, C->LMAX});
  lmaxA = std::min({lmaxA, Lc, A->LMAX});
  lmaxB = std::min({lmaxB, Lc, B->LMAX});
  C->ZeroArray(irC);
  for (int ax = 0; ax <= lmaxA; ax += A->dlx) {
    for (int ay = 0; ax + ay <= lmaxA; ay += A->dly) {
      for (int az = 0; ax + ay + az <= lmaxA; az += A->dlz) {
        const double a = A->A[ax][ay][az][irA];
        if (a == 0.0) continue;  // an exact zero contributes nothing
        const double ta = calc.Trinomial(ax, ay, az) * a;
        const int lbmax = std::min(Lc - (ax + ay + az), lmaxB);
        for (int bx = 0; bx <= lbmax; bx += B->dlx) {
          for (int by = 0; bx + by <= lbmax; by += B->dly) {
            for (int bz = 0; bx + by + bz <= lbmax; bz += B->dlz) {
              const double b = B->A[bx][by][bz][irB];
              C->IncrementElement(
                  ax + bx, ay + by, az + bz, irC,
                  ta * calc.Trinomial(bx, by, bz) * b / calc.Trinomial(ax + bx, ay + by, az + bz));
            }
          }
        }
      }
    }
  }
}

void MultiplyArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  C->CheckBin(irC);
  CCHArray T(C->LMAX, 1, 1.0, A->XSYM && B->XSYM, A->YSYM && B->YSYM, A->ZSYM && B->ZSYM);
  MultiplyArrays_Partial(A->LMAX, A, irA, B->LMAX, B, irB, C->LMAX, &T, 0);
  Detrace(&T, 0, C, irC);
}

void MultiplyArrays(CCHArray *A, CCHArray *B, CCHArray *C) {
  if (!CompareArrayParameters(A, B) || !CompareArrayParameters(B, C))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::MultiplyArrays\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) MultiplyArrays(A, ir, B, ir, C, ir);
}

// ---------------------------------------------------------------------------
// Quotient and inverse
// ---------------------------------------------------------------------------

namespace {

// Highest rank of the quotient series (the coefficient tables serve 56).
constexpr int kDivideLmax = 55;
// Relative size of the corrections of two successive ranks at convergence.
constexpr double kDivideTolerance = 1e-6;

}  // namespace

// T = A/B in the symmetric representation, rank by rank from B T = A:
//   T_l = A_l/b0 - sum_{l' of lower rank} B_{l-l'} T_l' t(l-l') t(l') / (b0 t(l)),
// b0 = B_000, i.e. the expansion of A/b0 (1 + (B-b0)/b0)^(-1); then Detrace.
void DivideArrays(CCHArray *A, int irA, CCHArray *B, int irB, CCHArray *C, int irC) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  C->CheckBin(irC);
  if ((C->XSYM && !(A->XSYM && B->XSYM)) || (C->YSYM && !(A->YSYM && B->YSYM)) ||
      (C->ZSYM && !(A->ZSYM && B->ZSYM)))
    femtokit::Fatal("FATAL: Symmetry mismatch in ArrayCalc::DivdeArrays\n");
  const double b0 = B->GetElement(0, 0, 0, irB);
  // The series divides by b0 at every rank: a divisor without an L = 0 part would
  // give infinities silently.
  if (b0 == 0.0) femtokit::Fatal("FATAL: B(0,0,0)=0 in ArrayCalc::DivideArrays, cannot divide\n");

  CCHCalc& calc = femtokit::SharedCHCalc();
  const bool sx = A->XSYM && B->XSYM, sy = A->YSYM && B->YSYM, sz = A->ZSYM && B->ZSYM;
  CCHArray T(kDivideLmax, 1, 1.0, sx, sy, sz);
  const int tdx = T.dlx, tdy = T.dly, tdz = T.dlz;
  const int dL = (A->XSYM && A->YSYM && A->ZSYM && B->XSYM && B->YSYM && B->ZSYM) ? 2 : 1;

  double sA = 0.0, cur = 0.0, prev = 1.0;
  int L = 0;
  for (;;) {
    for (int lx = 0; lx <= L; lx += tdx) {
      for (int ly = 0; lx + ly <= L; ly += tdy) {
        const int lz = L - lx - ly;
        if (lz % tdz != 0) continue;
        double t = 0.0;
        if (A->IsStored(lx, ly, lz, irA)) {
          const double a = A->A[lx][ly][lz][irA];
          t = a / b0;
          sA += std::fabs(a);
        }
        if (L > 0) {
          // Only l' with rank >= L - LMAX of B can pair with a stored B_{l-l'}.
          const int Lp0 = std::max(0, L - B->LMAX);
          const int Lpstart = ((Lp0 + dL - 1) / dL) * dL;
          double k = 0.0;
          for (int Lp = Lpstart; Lp < L; Lp += dL) {
            for (int px = 0; px <= std::min(lx, Lp); px += tdx) {
              for (int py = 0; py <= std::min(ly, Lp - px); py += tdy) {
                const int pz = Lp - px - py;
                if (pz > lz || pz % tdz != 0) continue;
                const int qx = lx - px, qy = ly - py, qz = lz - pz;
                if (!B->IsStored(qx, qy, qz, irB)) continue;
                k -= B->A[qx][qy][qz][irB] * T.A[px][py][pz][0] * calc.Trinomial(qx, qy, qz) *
                     calc.Trinomial(px, py, pz);
              }
            }
          }
          k /= b0 * calc.Trinomial(lx, ly, lz);
          t += k;
          cur += std::fabs(k);
        }
        T.A[lx][ly][lz][0] = t;
      }
    }
    // Converged when the corrections of this rank and of the one before are both
    // below 1e-6 of the series' scale. |b0| keeps the scale positive for a negative
    // divisor, and <= lets an all-zero numerator (scale 0) converge at once instead
    // of running the full 55 ranks.
    const double threshold = sA * kDivideTolerance / std::fabs(b0);
    const bool converged = prev <= threshold && cur <= threshold;
    L += dL;
    if ((converged && L > A->LMAX) || L > kDivideLmax) break;
    prev = cur;
    cur = 0.0;
  }
  femtokit::Progress("INFO: Sum in DivideAExpArrays satisfied convergence criteria at L=%d\n", L - 1);
  T.SetLMAX(L - 1);
  Detrace(&T, 0, C, irC);
}

void DivideArrays(CCHArray *A, CCHArray *B, CCHArray *C) {
  if (A->NRADIAL != B->NRADIAL || B->NRADIAL != C->NRADIAL)
    femtokit::Fatal("FATAL: NRADIAL mismatch in ArrayCalc::DivideArrays\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) DivideArrays(A, ir, B, ir, C, ir);
}

void InvertArray(CCHArray *A, int irA, CCHArray *B, int irB) {
  A->CheckBin(irA);
  B->CheckBin(irB);
  if (A->XSYM != B->XSYM || A->YSYM != B->YSYM || A->ZSYM != B->ZSYM)
    femtokit::Fatal("FATAL: Symmetry mismatch in ArrayCalc::InvertArray\n");
  CCHArray T(A->LMAX, 1, 1.0, A->XSYM, A->YSYM, A->ZSYM);
  T.SetElement(0, 0, 0, 0, 1.0);
  DivideArrays(&T, 0, A, irA, B, irB);
}

void InvertArray(CCHArray *A, CCHArray *B) {
  if (A->NRADIAL != B->NRADIAL)
    femtokit::Fatal("FATAL: NRADIAL mismatch in ArrayCalc::InvertArrays\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) InvertArray(A, ir, B, ir);
}

// ---------------------------------------------------------------------------
// Grids, cell by cell
// ---------------------------------------------------------------------------

namespace {

// Applies op(c, a, b) to every cell, storage order; the grids share one shape.
template <typename Op>
void ForEachCell3(C3DArray *A, C3DArray *B, C3DArray *C, Op op) {
  femtokit::ForEachCell(femtokit::GridCells(*A), [&](const femtokit::GridCell &c) {
    op(C->F[c.isx][c.ix][c.isy][c.iy][c.isz][c.iz], A->F[c.isx][c.ix][c.isy][c.iy][c.isz][c.iz],
       B->F[c.isx][c.ix][c.isy][c.iy][c.isz][c.iz]);
  });
}

// The comparison prints its own line; the grid operations add nothing to it.
void RequireSame(C3DArray *a, C3DArray *b) {
  if (!CompareArrayParameters(a, b)) femtokit::Fatal("%s", "");
}

}  // namespace

void CopyArray(C3DArray *A, C3DArray *B) {
  RequireSame(A, B);
  ForEachCell3(A, A, B, [](double &b, double a, double) { b = a; });
}

void AddArrays(C3DArray *A, C3DArray *B, C3DArray *C) {
  RequireSame(A, B);
  RequireSame(B, C);
  ForEachCell3(A, B, C, [](double &c, double a, double b) { c = a + b; });
}

void MultiplyArrays(C3DArray *A, C3DArray *B, C3DArray *C) {
  RequireSame(A, B);
  RequireSame(B, C);
  ForEachCell3(A, B, C, [](double &c, double a, double b) { c = a * b; });
}

void DivideArrays(C3DArray *A, C3DArray *B, C3DArray *C) {
  RequireSame(A, B);
  RequireSame(B, C);
  int nzero = 0;
  ForEachCell3(A, B, C, [&nzero](double &c, double a, double b) {
    if (b == 0.0) {
      // No information in this cell: 0 rather than an infinity or NaN that would
      // spread through later sums and chi-squares.
      c = 0.0;
      nzero++;
    } else {
      c = a / b;
    }
  });
  if (nzero > 0)
    femtokit::Warn("WARNING: %d cells with zero divisor in ArrayCalc::DivideArrays set to 0\n", nzero);
}

void InvertArray(C3DArray *A, C3DArray *B) {
  RequireSame(A, B);
  int nzero = 0;
  ForEachCell3(A, A, B, [&nzero](double &b, double a, double) {
    if (a == 0.0) {
      b = 0.0;  // same rule as DivideArrays
      nzero++;
    } else {
      b = 1.0 / a;
    }
  });
  if (nzero > 0) femtokit::Warn("WARNING: %d zero cells in ArrayCalc::InvertArray set to 0\n", nzero);
}

}  // namespace ArrayCalc

// Conversions between the representations of a function of a three-vector:
// AExp (traceless Cartesian), M (moments), symmetric (via Detrace), XExp (log),
// grids and spherical harmonics. Also the CCHArray members that belong to them.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/arraycalc_internal.h"
#include "arrays/charray.h"
#include "arrays/chcalc.h"
#include "arrays/gridcells.h"
#include "arrays/ylmarray.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "numeric/threads.h"

using ArrayCalc::internal::FactorialD;
using ArrayCalc::internal::ValueOrZero;

namespace {

using femtokit::constants::kPi;
constexpr double kFourPi = 4.0 * kPi;
constexpr double kSqrtFourPi = 3.5449077018110318;  // sqrt(4 pi); std::sqrt is not constexpr

// Highest lx visited by the conversions that fill lx in {0, 1} and leave the rest
// to the trace condition.
int LxTop(const CCHArray *a) { return std::min(1, a->LMAX); }

// Product over the three axes of l_i! / ((l_i - 2 n_i)! n_i!).
double AxisFactor(CCHCalc &calc, int lx, int ly, int lz, int nx, int ny, int nz) {
  return calc.Factorial(lx) / (calc.Factorial(lx - 2 * nx) * calc.Factorial(nx)) *
         calc.Factorial(ly) / (calc.Factorial(ly - 2 * ny) * calc.Factorial(ny)) *
         calc.Factorial(lz) / (calc.Factorial(lz - 2 * nz) * calc.Factorial(nz));
}

}  // namespace

// ---------------------------------------------------------------------------
// Moments <-> AExp
// ---------------------------------------------------------------------------

// A_l = [(2L+1)!!/L!] sum_n (-1/2)^n [(2(L-n)-1)!!/(2L-1)!!]
//       prod_i [l_i!/((l_i-2n_i)! n_i!)] M_{l-2n}:
// the traceless projection of the moment tensor, normalised like the sample
// increment (IncrementAExpArrayFromE) so that both fills agree.
double CCHArray::GetAExpElementFromMArray(int lx, int ly, int lz, int ir) {
  CCHCalc &calc = *chcalc;
  const int L = lx + ly + lz;
  double sum = 0.0;
  for (int nx = 0; 2 * nx <= lx; nx++) {
    for (int ny = 0; 2 * ny <= ly; ny++) {
      for (int nz = 0; 2 * nz <= lz; nz++) {
        const int n = nx + ny + nz;
        double term = std::pow(-0.5, n) * AxisFactor(calc, lx, ly, lz, nx, ny, nz) *
                      GetElement(lx - 2 * nx, ly - 2 * ny, lz - 2 * nz, ir);
        // (2(L-n)-1)!! exists only for n < L; (2L-1)!! only for L > 0 (A_000 = M_000).
        if (n < L) term *= calc.DoubleFactorial(2 * (L - n) - 1);
        if (L > 0) term /= calc.DoubleFactorial(2 * L - 1);
        sum += term;
      }
    }
  }
  return sum * calc.DoubleFactorial(2 * L + 1) / calc.Factorial(L);
}

// M_l = sum_n (1/2)^n [(2(L-2n)+1)!!/(2(L-n)+1)!!] prod_i [l_i!/((l_i-2n_i)! n_i!)]
//       c_{L-2n} A_{l-2n},  c_k = k!/(2k+1)!!:
// the angular average of F e^l, using that e^l = sum of traceless parts of ranks
// L, L-2, ... times powers of |e|^2 = 1.
double CCHArray::GetMElementFromAExpArray(int lx, int ly, int lz, int ir) {
  CCHCalc &calc = *chcalc;
  const int L = lx + ly + lz;
  std::vector<double> c(L + 1);
  c[0] = 1.0;
  for (int k = 1; k <= L; k++) c[k] = c[k - 1] * k / (2.0 * k + 1.0);
  double sum = 0.0;
  for (int nx = 0; 2 * nx <= lx; nx++) {
    for (int ny = 0; 2 * ny <= ly; ny++) {
      for (int nz = 0; 2 * nz <= lz; nz++) {
        const int n = nx + ny + nz;
        sum += std::pow(0.5, n) * calc.DoubleFactorial(2 * (L - 2 * n) + 1) /
               calc.DoubleFactorial(2 * (L - n) + 1) * AxisFactor(calc, lx, ly, lz, nx, ny, nz) *
               c[L - 2 * n] * GetElement(lx - 2 * nx, ly - 2 * ny, lz - 2 * nz, ir);
      }
    }
  }
  return sum;
}

namespace ArrayCalc {

void CalcAExpArrayFromMArray(CCHArray *M, int irM, CCHArray *A, int irA) {
  M->CheckBin(irM);
  A->CheckBin(irA);
  if (M->LMAX != A->LMAX) femtokit::Fatal("LMAX from M does not match LMAX from A\n");
  A->SetElement(0, 0, 0, irA, M->GetElement(0, 0, 0, irM));
  for (int lx = 0; lx <= LxTop(A); lx += A->dlx) {
    for (int ly = 0; lx + ly <= A->LMAX; ly += A->dly) {
      for (int lz = 0; lx + ly + lz <= A->LMAX; lz += A->dlz) {
        if (lx + ly + lz == 0) continue;
        A->SetElement(lx, ly, lz, irA, M->GetAExpElementFromMArray(lx, ly, lz, irM));
      }
    }
  }
  A->FillRemainderX(irA);
}

void CalcAExpArrayFromMArray(CCHArray *M, CCHArray *A) {
  if (!CompareArrayParameters(M, A))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::CalcAExpArrayFromMArray\n");
  for (int ir = 0; ir < M->NRADIAL; ir++) CalcAExpArrayFromMArray(M, ir, A, ir);
}

void CalcMArrayFromAExpArray(CCHArray *A, int irA, CCHArray *M, int irM) {
  A->CheckBin(irA);
  M->CheckBin(irM);
  if (M->LMAX != A->LMAX) femtokit::Fatal("LMAX from M does not match LMAX from A\n");
  M->SetElement(0, 0, 0, irM, A->GetElement(0, 0, 0, irA));
  for (int lx = 0; lx <= M->LMAX; lx += M->dlx) {
    for (int ly = 0; lx + ly <= M->LMAX; ly += M->dly) {
      for (int lz = 0; lx + ly + lz <= M->LMAX; lz += M->dlz) {
        if (lx + ly + lz == 0) continue;
        M->SetElement(lx, ly, lz, irM, A->GetMElementFromAExpArray(lx, ly, lz, irA));
      }
    }
  }
}

void CalcMArrayFromAExpArray(CCHArray *A, CCHArray *M) {
  if (!CompareArrayParameters(A, M))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::CalcMArrayFromAExpArray\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) CalcMArrayFromAExpArray(A, ir, M, ir);
}

// ---------------------------------------------------------------------------
// Detracing: symmetric expansion -> AExp
// ---------------------------------------------------------------------------

void Detrace(CCHArray *B, int irB, CCHArray *A, int irA) {
  B->CheckBin(irB);
  A->CheckBin(irA);
  CCHCalc& calc = femtokit::SharedCHCalc();
  A->ZeroArray(irA);
  CCHArray T(A->LMAX, 1, 1.0, B->XSYM, B->YSYM, B->ZSYM);
  const int dlx = B->dlx, dly = B->dly, dlz = B->dlz;

  // Trace reduction: T_l collects the rank-L part of every higher symmetric
  // coefficient B_{l+2(k,j,i)}, whose full traces |e|^{2m} = 1 feed rank L.
  for (int lx = 0; lx <= T.LMAX; lx += dlx) {
    for (int ly = 0; lx + ly <= T.LMAX; ly += dly) {
      for (int lz = 0; lx + ly + lz <= T.LMAX; lz += dlz) {
        const int L = lx + ly + lz;
        double sum = 0.0;
        for (int k = 0; 2 * k <= B->LMAX - L; k++) {
          for (int j = 0; 2 * (k + j) <= B->LMAX - L; j++) {
            for (int i = 0; 2 * (k + j + i) <= B->LMAX - L; i++) {
              const int m = k + j + i;
              sum += std::pow(0.5, m) * calc.Factorial(L + 2 * m) *
                     calc.DoubleFactorial(2 * L + 1) /
                     (calc.Factorial(L) * calc.Factorial(k) * calc.Factorial(j) *
                      calc.Factorial(i) * calc.DoubleFactorial(2 * (L + m) + 1)) *
                     B->GetElement(lx + 2 * k, ly + 2 * j, lz + 2 * i, irB);
            }
          }
        }
        T.IncrementElement(lx, ly, lz, 0, sum);
      }
    }
  }

  // Projection of each rank on the traceless tensors, through the overlap
  // integrals of the traceless components.
  for (int lx = 0; lx <= std::min(1, A->LMAX); lx += dlx) {
    for (int ly = 0; lx + ly <= A->LMAX; ly += dly) {
      for (int lz = 0; lx + ly + lz <= A->LMAX; lz += dlz) {
        const int L = lx + ly + lz;
        const double pref = calc.DoubleFactorial(2 * L + 1) / (4.0 * kPi * calc.Factorial(L));
        double sum = 0.0;
        for (int lxp = lx; lxp <= L; lxp += 2) {
          for (int lyp = ly % 2; lxp + lyp <= L; lyp += 2) {
            const int lzp = L - lxp - lyp;
            sum += pref * calc.GetOverlap(lx, ly, lz, lxp, lyp, lzp) *
                   T.GetElement(lxp, lyp, lzp, 0) * calc.Trinomial(lxp, lyp, lzp);
          }
        }
        A->IncrementElement(lx, ly, lz, irA, sum);
      }
    }
  }
  A->FillRemainderX(irA);
}

void Detrace(CCHArray *B, CCHArray *A) {
  if (!CompareArrayParameters(B, A))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::Detrace\n");
  for (int ir = 0; ir < B->NRADIAL; ir++) Detrace(B, ir, A, ir);
}

}  // namespace ArrayCalc

void CCHArray::Detrace(int ir) {
  CCHArray temp(LMAX, 1, RADSTEP, XSYM, YSYM, ZSYM);
  ArrayCalc::Detrace(this, ir, &temp, 0);
  ArrayCalc::CopyArray(&temp, 0, this, ir);
}

void CCHArray::Detrace() {
  for (int ir = 0; ir < NRADIAL; ir++) Detrace(ir);
}

// ---------------------------------------------------------------------------
// Logarithm and exponential (XExp)
// ---------------------------------------------------------------------------

namespace ArrayCalc {

namespace {

// The power series of log and exp are summed in the symmetric representation,
// each power truncated at rank lmax, and stopped once a block of terms is small.
constexpr double kSeriesTolerance = 1e-8;
constexpr int kLogTerms = 49;
constexpr int kExpTerms = 47;

}  // namespace

void CalcXExpArrayFromAExpArray(CCHArray *A, int irA, CCHArray *X, int irX) {
  A->CheckBin(irA);
  X->CheckBin(irX);
  const int lmax = std::max(A->LMAX, X->LMAX);
  CCHArray D(lmax, 1, 1.0, A->XSYM, A->YSYM, A->ZSYM);
  CCHArray S(lmax, 1, 1.0, A->XSYM, A->YSYM, A->ZSYM);
  CCHArray P(lmax, 1, 1.0, A->XSYM, A->YSYM, A->ZSYM);
  CCHArray Q(lmax, 1, 1.0, A->XSYM, A->YSYM, A->ZSYM);

  // F = a0 (1 + D) with D free of an L = 0 part.
  CopyArray(A, irA, &D, 0);
  const double a0 = D.GetElement(0, 0, 0, 0);
  // log of a function whose average is not positive has no real expansion here.
  if (!(a0 > 0.0))
    femtokit::Fatal(
        "FATAL: A(0,0,0)=%g <= 0 in ArrayCalc::CalcXExpArrayFromAExpArray, no logarithm\n", a0);
  D.ScaleArray(1.0 / a0, 0);
  D.SetElement(0, 0, 0, 0, 0.0);
  S.SetElement(0, 0, 0, 0, std::log(a0));
  P.SetElement(0, 0, 0, 0, 1.0);

  // log(1 + D) = sum_n (-1)^(n+1) D^n / n. The largest term component g is
  // tracked over blocks of six terms (reset at multiples of 6), so that a series
  // whose terms vanish only for parity reasons is not stopped too early.
  double g = 1.0;
  int n = 1;
  for (;; n++) {
    if (n % 6 == 0) g = 0.0;
    MultiplyArrays_Partial(lmax, &D, 0, lmax * (n - 1), &P, 0, lmax * n, &Q, 0);
    if (n > 1) Q.ScaleArray(-(n - 1.0) / n, 0);
    g = std::max(g, std::fabs(Q.GetBiggest(0)));
    AddArrays(&S, 0, &Q, 0, &S, 0);
    CopyArray(&Q, 0, &P, 0);
    if (n >= kLogTerms || g <= kSeriesTolerance) break;
  }
  femtokit::Progress("nmax was %d\n", n + 1);
  Detrace(&S, 0, X, irX);
}

void CalcXExpArrayFromAExpArray(CCHArray *A, CCHArray *X) {
  if (!CompareArrayParameters(A, X))
    femtokit::Fatal("fatal error, parameters mismatch in ArrayCalc::CalcXExpArrayFromAExpArray\n");
  for (int ir = 0; ir < A->NRADIAL; ir++) CalcXExpArrayFromAExpArray(A, ir, X, ir);
}

void CalcAExpArrayFromXExpArray(CCHArray *X, int irX, CCHArray *A, int irA) {
  X->CheckBin(irX);
  A->CheckBin(irA);
  const int lmax = std::max(A->LMAX, X->LMAX);
  CCHArray D(lmax, 1, 1.0, X->XSYM, X->YSYM, X->ZSYM);
  CCHArray S(lmax, 1, 1.0, X->XSYM, X->YSYM, X->ZSYM);
  CCHArray P(lmax, 1, 1.0, X->XSYM, X->YSYM, X->ZSYM);
  CCHArray Q(lmax, 1, 1.0, X->XSYM, X->YSYM, X->ZSYM);

  // exp F = exp(x0) exp(D), D = F - x0.
  CopyArray(X, irX, &D, 0);
  const double x0 = D.GetElement(0, 0, 0, 0);
  D.SetElement(0, 0, 0, 0, 0.0);
  S.SetElement(0, 0, 0, 0, 1.0);
  P.SetElement(0, 0, 0, 0, 1.0);

  // exp(D) = sum_n D^n / n!, with the same block-of-six stopping rule as the log.
  double g = 1.0;
  for (int n = 1;; n++) {
    if (n % 6 == 0) g = 0.0;
    MultiplyArrays_Partial(lmax, &D, 0, lmax * (n - 1), &P, 0, lmax * n, &Q, 0);
    Q.ScaleArray(1.0 / n, 0);
    g = std::max(g, std::fabs(Q.GetBiggest(0)));
    AddArrays(&S, 0, &Q, 0, &S, 0);
    CopyArray(&Q, 0, &P, 0);
    if (n >= kExpTerms || g <= kSeriesTolerance) break;
  }
  Detrace(&S, 0, A, irA);
  A->ScaleArray(std::exp(x0), irA);
}

void CalcAExpArrayFromXExpArray(CCHArray *X, CCHArray *A) {
  if (!CompareArrayParameters(X, A))
    femtokit::Fatal("fatal error, parameters mismatch in  ArrayCalc::CalcAExpArrayFromXExpArray\n");
  for (int ir = 0; ir < X->NRADIAL; ir++) CalcAExpArrayFromXExpArray(X, ir, A, ir);
}

// ---------------------------------------------------------------------------
// Grids
// ---------------------------------------------------------------------------

namespace {

// The expansion at the point (x, y, z), interpolated linearly in r between bin
// centres; zero at and beyond rmax, the outer edge of the radial grid.
double AExpAt(CCHArray *A, double x, double y, double z, double rmax) {
  const double r = std::sqrt(x * x + y * y + z * z);
  if (!(r < rmax)) return 0.0;
  const double ex = x / r, ey = y / r, ez = z / r;
  const int iu = static_cast<int>(std::floor(r / A->RADSTEP + 0.5));
  const int il = iu - 1;
  const double w = ((iu + 0.5) * A->RADSTEP - r) / A->RADSTEP;
  double lower, upper;
  if (il < 0) {
    // Below the first bin centre: interpolate through the origin to
    // the opposite direction, so the function stays continuous at r = 0.
    lower = A->AExpand(-ex, -ey, -ez, 0);
    upper = A->AExpand(ex, ey, ez, 0);
  } else if (iu < A->NRADIAL) {
    lower = A->AExpand(ex, ey, ez, il);
    upper = A->AExpand(ex, ey, ez, iu);
  } else {
    // Between the last bin centre and the outer edge: hold the last bin.
    lower = upper = A->AExpand(ex, ey, ez, A->NRADIAL - 1);
  }
  return lower * w + upper * (1.0 - w);
}

}  // namespace

void Calc3DArrayFromAExpArray(CCHArray *A, C3DArray *G) {
  if (!CompareArrayParameters(G, A)) femtokit::Fatal("%s", "");
  const double rmax = A->NRADIAL * A->RADSTEP;
  const femtokit::GridCells cells(*G);
  // Every cell is its own evaluation: the rows (isx, ix) go to the threads as they come.
  const int nrows = cells.Rows();
  const int nthreads = femtokit::ThreadCount();
#pragma omp parallel for num_threads(nthreads) if (nthreads > 1) schedule(dynamic)
  for (int row = 0; row < nrows; row++) {
    femtokit::ForEachCellInRows(cells, row, row + 1, [&](const femtokit::GridCell &c) {
      G->SetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz, AExpAt(A, c.x, c.y, c.z, rmax));
    });
  }
}

// The angular quadrature is a midpoint rule in cos(theta) and phi over the part
// of the sphere the symmetries leave free. Mirrored, the half ranges give the
// midpoint rule of twice as many points over the full range, which is exact in phi
// for Fourier modes below the point count and has an error ~ L^4/(6 N^2) in
// cos(theta) for a rank-L projection. With N = max(64, 16 LMAX^2) the spurious
// rank-L components of a constant stay below 6e-4 of it (2e-4 for LMAX >= 4),
// inside the 1e-3 that an AExp -> grid -> AExp round trip is meant to keep.
void CalcAExpArrayFrom3DArray(C3DArray *G, CCHArray *A) {
  CompareArrayParameters(G, A);  // a mismatch is reported, not fatal
  const int lm = std::max(A->LMAX, 1);
  const int ncos_full = std::max(64, 16 * lm * lm);
  const int nphi_full = 4 * (lm + 2);
  const int ncos = A->ZSYM ? ncos_full / 2 : ncos_full;
  const double cmin = A->ZSYM ? 0.0 : -1.0;
  double phimin, phimax;
  int nphi;
  if (A->XSYM && A->YSYM) {
    phimin = 0.0, phimax = 0.5 * kPi, nphi = nphi_full / 4;
  } else if (A->XSYM) {
    phimin = -0.5 * kPi, phimax = 0.5 * kPi, nphi = nphi_full / 2;
  } else if (A->YSYM) {
    phimin = 0.0, phimax = kPi, nphi = nphi_full / 2;
  } else {
    phimin = -kPi, phimax = kPi, nphi = nphi_full;
  }
  const double dcos = (1.0 - cmin) / ncos, dphi = (phimax - phimin) / nphi;
  const double weight = 1.0 / (double(ncos) * nphi);
  const double xmax = G->NXMAX * G->DELX, ymax = G->NYMAX * G->DELY, zmax = G->NZMAX * G->DELZ;

  for (int ir = 0; ir < A->NRADIAL; ir++) {
    const double r = (ir + 0.5) * A->RADSTEP;
    for (int ic = 0; ic < ncos; ic++) {
      const double ez = cmin + (ic + 0.5) * dcos;
      const double st = std::sqrt(std::max(0.0, 1.0 - ez * ez));
      for (int ip = 0; ip < nphi; ip++) {
        const double phi = phimin + (ip + 0.5) * dphi;
        const double ex = st * std::cos(phi), ey = st * std::sin(phi);
        const double x = r * ex, y = r * ey, z = r * ez;
        if (std::fabs(x) >= xmax || std::fabs(y) >= ymax || std::fabs(z) >= zmax) continue;
        A->IncrementAExpArrayFromE(ex, ey, ez, G->GetElement_Interpolate(x, y, z) * weight, ir);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Spherical harmonics
// ---------------------------------------------------------------------------

// With F(e) = sqrt(4 pi) sum Y(l,m) Y_lm(e): the monomials of rank L with
// lx + ly = m carry the (ex + i ey)^m ez^(L-m) content that Y_{L,m} projects out;
// the traceless AExp coefficients make the projection exact rank by rank.
void CalcYlmExpArrayFromAExpArray(CCHArray *A, int irA, CYlmArray *Y, int irY) {
  A->CheckBin(irA);
  // Every coefficient of the bin is written: those that the symmetries force to
  // zero, and ranks beyond A's LMAX, are set to 0 rather than left stale.
  Y->ZeroArray(irY);
  Y->SetElement(0, 0, irY, std::complex<double>(A->GetElement(0, 0, 0, irA), 0.0));
  const int dL = (A->XSYM && A->YSYM && A->ZSYM) ? 2 : 1;
  const int Lmax = std::min(Y->LMAX, A->LMAX);
  const std::complex<double> ipow[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (int L = dL; L <= Lmax; L += dL) {
    for (int m = (A->ZSYM ? L % 2 : 0); m <= L; m += A->dlz) {
      std::complex<double> sum = 0.0;
      if (!A->ZSYM || (L - m) % 2 == 0) {
        const double pref =
            ((m % 2 == 0) ? 1.0 : -1.0) * kSqrtFourPi * FactorialD(m) * FactorialD(L) /
            std::sqrt((8.0 * L + 4.0) * kPi * FactorialD(L + m) * FactorialD(L - m));
        for (int lx = 0; lx <= m; lx += A->dlx) {
          const int ly = m - lx, lz = L - m;
          if (A->YSYM && ly % 2 != 0) continue;
          sum += pref * ipow[ly % 4] / (FactorialD(lx) * FactorialD(ly)) *
                 A->GetElement(lx, ly, lz, irA);
        }
      }
      Y->SetElement(L, m, irY, sum);
    }
  }
}

void CalcAExpArrayFromYlmExpArray(CYlmArray *Y, int irY, CCHArray *A, int irA) {
  A->CheckBin(irA);
  CCHCalc& calc = femtokit::SharedCHCalc();
  A->SetElement(0, 0, 0, irA, Y->GetElement(0, 0, irY).real());
  const std::complex<double> minus_i_pow[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int lx = 0; lx <= LxTop(A); lx += A->dlx) {
    for (int ly = 0; lx + ly <= A->LMAX; ly += A->dly) {
      for (int lz = 0; lx + ly + lz <= A->LMAX; lz += A->dlz) {
        const int L = lx + ly + lz;
        if (L == 0) continue;
        double value = 0.0;
        // Ranks the Y array does not hold have no coefficients: they contribute 0.
        if (L <= Y->LMAX) {
          for (int m = 0; m <= L; m++) {
            std::complex<double> s = 0.0;
            for (int k = 0; k <= m; k++)
              s += FactorialD(m) / (FactorialD(k) * FactorialD(m - k)) * minus_i_pow[(m - k) % 4] *
                   calc.GetOverlap(lx, ly, lz, k, m - k, L - m);
            const double norm =
                ((m % 2 == 0) ? 1.0 : -1.0) * calc.DoubleFactorial(2 * L + 1) *
                calc.DoubleFactorial(2 * L - 1) / (FactorialD(L) * kSqrtFourPi) *
                std::sqrt((2.0 * L + 1.0) / (kFourPi * FactorialD(L + m) * FactorialD(L - m)));
            const std::complex<double> c = norm * s;
            if (m == 0)
              value += (Y->GetElement(L, 0, irY) * c).real();
            else
              value += 2.0 * (Y->GetElement(L, m, irY) * c).real();
          }
        }
        A->SetElement(lx, ly, lz, irA, value);
      }
    }
  }
  A->FillRemainderX(irA);
}

}  // namespace ArrayCalc

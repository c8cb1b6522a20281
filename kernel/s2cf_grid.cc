// Grid transform: C(q) = int d^3r S(r) |psi(q, r)|^2 on Cartesian grids, through
// the three-dimensional kernel CKernelWF.
//
// The double loop (source cells x correlation cells) runs at every evaluation of
// a three-dimensional fit, so everything that depends on one cell only is
// hoisted out of the inner loop: per source cell |r|, its mirror-image unit
// vectors, S times the cell volume and the r interpolation, folded into one
// (q, cos theta) table; per correlation cell its unit vector and its q
// interpolation. The inner loop is then a dot product per image, the cos-theta
// column position and four table reads. The sums run in the order of the
// straightforward loop (source cells outer), so the result equals calling
// kernel->GetPsiSquared(|q|, |r|, cos theta) pair by pair up to rounding.
//
// Threads split the correlation cells, sorted by q row, into contiguous slices; each walks every
// source cell and adds to its own cells only, so no sums are shared and every cell receives its
// terms in the serial order: any thread count gives the same result, bit for bit. A slice reads
// only the q rows of its own |q| range, and fills only those rows of its tables: the threads
// share the table filling without waiting for each other (filling whole tables in every
// thread cost each of them the whole serial fill).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/gridcells.h"
#include "kernel/kernelwf.h"
#include "kernel/s2cf.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "numeric/threads.h"

namespace {

// Correlation-grid cells in loop order (isqx, iqx, isqy, iqy, isqz, iqz), one
// array per quantity so the inner loop streams through them.
struct CFCells {
  std::vector<double> ex, ey, ez;  // unit vector of the cell centre
  std::vector<double> wq;          // weight of the upper q row
  std::vector<int> offa, offb;     // offsets of the lower and upper q rows in the folded table
  std::vector<int> loopindex;      // position of the cell in loop order
};

// The cells of grid, sorted by their lower q row (cells of one row in loop order): a contiguous
// run of them reads only the table rows between its first and its last cell's.
CFCells SortedCells(const C3DArray& grid, const CKernelWF& kernel, int ncol) {
  struct Cell {
    double ex, ey, ez, wq;
    int offa, offb, loopindex;
  };
  const int nqk = kernel.GetNQMAX();
  std::vector<Cell> list;
  femtokit::ForEachCell(femtokit::GridCells(grid), [&](const femtokit::GridCell& c) {
    const double q = sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
    int iq;
    double wq;
    kernel.QPosition(q, iq, wq);
    list.push_back({c.x / q, c.y / q, c.z / q, wq, (iq < nqk ? iq : nqk) * ncol,
                    (iq + 1 < nqk ? iq + 1 : nqk) * ncol, static_cast<int>(list.size())});
  });
  std::stable_sort(list.begin(), list.end(),
                   [](const Cell& a, const Cell& b) { return a.offa < b.offa; });
  CFCells cells;
  for (const Cell& c : list) {
    cells.ex.push_back(c.ex);
    cells.ey.push_back(c.ey);
    cells.ez.push_back(c.ez);
    cells.wq.push_back(c.wq);
    cells.offa.push_back(c.offa);
    cells.offb.push_back(c.offb);
    cells.loopindex.push_back(c.loopindex);
  }
  return cells;
}

// Interpolated |psi|^2 - 1 of one image, given u = (1 - cos theta)/delctheta,
// the column position: rows a and b are the lower and upper q rows of the
// table already interpolated in r, wq the weight of row b.
inline double FoldedValue(double u, double top, const double* rowa, const double* rowb, double wq) {
  // Keep the column pair (ic, ic + 1) inside the table: u < 0 (a cosine rounded
  // above 1) uses the first pair, u >= nctheta - 1 the last one (w reaches 1 at
  // the lower end of the table). The comparisons also send a NaN to column 0.
  double uc = u > 0.0 ? u : 0.0;
  uc = uc < top ? uc : top;
  const int ic = static_cast<int>(uc);
  const double w = u - ic;
  const double a = rowa[ic] + w * (rowa[ic + 1] - rowa[ic]);
  const double b = rowb[ic] + w * (rowb[ic + 1] - rowb[ic]);
  return a + wq * (b - a);
}

// Adds factor * (ones + sum over the images of the table value) to every
// correlation cell; ones counts the |psi|^2 = 1 + (|psi|^2 - 1) of every image
// the sum stands for. (ax, ay, az) is the source direction divided by
// delctheta; the images flip the x (MX), y (MY), z (MZ) component. FOLD: the
// table is even in cos theta and read at |cos theta|. The image loops have
// constant bounds and unroll.
// Only the cells jbegin <= j < jend are visited.
template <bool MX, bool MY, bool MZ, bool FOLD>
void AddSourceCell(double ax, double ay, double az, const CFCells& cells, const double* table,
                   double invdel, double top, double ones, double factor, double* acc, int jbegin,
                   int jend) {
  const double* ex = cells.ex.data();
  const double* ey = cells.ey.data();
  const double* ez = cells.ez.data();
  const double* wq = cells.wq.data();
  const int* offa = cells.offa.data();
  const int* offb = cells.offb.data();
  for (int j = jbegin; j < jend; j++) {
    const double* rowa = table + offa[j];
    const double* rowb = table + offb[j];
    const double px = ax * ex[j], py = ay * ey[j], pz = az * ez[j];
    double sum = ones;
    for (int mx = 0; mx < (MX ? 2 : 1); mx++)
      for (int my = 0; my < (MY ? 2 : 1); my++)
        for (int mz = 0; mz < (MZ ? 2 : 1); mz++) {
          double c = (mx ? -px : px) + (my ? -py : py) + (mz ? -pz : pz);  // cos theta / del
          if (FOLD) c = fabs(c);
          sum += FoldedValue(invdel - c, top, rowa, rowb, wq[j]);
        }
    acc[j] += factor * sum;
  }
}

using AddFunction = void (*)(double, double, double, const CFCells&, const double*, double, double,
                             double, double, double*, int, int);

template <bool FOLD>
AddFunction SelectAdd(bool mx, bool my, bool mz) {
  const int key = (mx ? 4 : 0) + (my ? 2 : 0) + (mz ? 1 : 0);
  switch (key) {
    case 0:
      return AddSourceCell<false, false, false, FOLD>;
    case 1:
      return AddSourceCell<false, false, true, FOLD>;
    case 2:
      return AddSourceCell<false, true, false, FOLD>;
    case 3:
      return AddSourceCell<false, true, true, FOLD>;
    case 4:
      return AddSourceCell<true, false, false, FOLD>;
    case 5:
      return AddSourceCell<true, false, true, FOLD>;
    case 6:
      return AddSourceCell<true, true, false, FOLD>;
    default:
      return AddSourceCell<true, true, true, FOLD>;
  }
}

// A contributing source cell: its direction divided by delctheta, its weight (S times the
// cell volume times the image weight) and its position in the kernel's r grid.
struct SourceCell {
  double ax, ay, az, factor;
  int ir;
  double wr;
};

// The folded table of one source cell: row iq (0 ... nqmax) holds
// (1 - wr) t[iq][ir][.] + wr t[iq][ir+1][.], the |psi|^2 - 1 of the kernel interpolated to |r|;
// points outside the kernel's grid (|psi|^2 = 1) are 0, and row nqmax, all zeros, stands for
// every q row past the grid (Fill never writes it: the buffer starts zeroed). fold stores the
// even part t(c) + t(-c) (see s2c).
struct FoldedTable {
  const CKernelWF* kernel;
  int nqk, nrk, nct;
  bool fold;

  size_t Size() const { return static_cast<size_t>(nqk + 1) * (nct + 1); }

  // Fills the rows rowbegin <= iq < rowend (rowend <= nqmax) for cell.
  void Fill(const SourceCell& cell, double* table, int rowbegin, int rowend) const {
    const int ncol = nct + 1, ir = cell.ir;
    const double wr = cell.wr;
    for (int iq = rowbegin; iq < rowend; iq++) {
      const double* t0 = ir < nrk ? kernel->kernel[iq][ir] : nullptr;
      const double* t1 = ir + 1 < nrk ? kernel->kernel[iq][ir + 1] : nullptr;
      double* row = table + static_cast<size_t>(iq) * ncol;
      for (int ic = 0; ic < ncol; ic++)
        row[ic] = (1.0 - wr) * (t0 ? t0[ic] : 0.0) + wr * (t1 ? t1[ic] : 0.0);
      if (fold) {
        for (int ic = 0; ic < ncol - 1 - ic; ic++) row[ic] += row[ncol - 1 - ic];
        if (nct % 2 == 0) row[nct / 2] *= 2.0;
        for (int ic = 0; ic < ncol - 1 - ic; ic++) row[ncol - 1 - ic] = row[ic];
      }
    }
  }
};

}  // namespace

namespace S2CF {

void s2c(C3DArray* S, CKernelWF* kernel, C3DArray* CF) {
  const bool xsym = S->GetXSYM(), ysym = S->GetYSYM(), zsym = S->GetZSYM();
  // The cell loops take their sign halves from one grid; the grids do not test
  // their indices, so differing symmetries would read or write outside one.
  if (xsym != CF->GetXSYM() || ysym != CF->GetYSYM() || zsym != CF->GetZSYM()) {
    femtokit::Fatal(
        "S2CF::s2c : source grid has XYZSYM=(%d,%d,%d) but correlation-function grid has "
        "XYZSYM=(%d,%d,%d)\n",
        xsym, ysym, zsym, CF->GetXSYM(), CF->GetYSYM(), CF->GetZSYM());
  }
  const int nxmax = S->GetNXMAX(), nymax = S->GetNYMAX(), nzmax = S->GetNZMAX();
  const double delx = S->GetDELX(), dely = S->GetDELY(), delz = S->GetDELZ();
  const int nqxmax = CF->GetNXMAX(), nqymax = CF->GetNYMAX(), nqzmax = CF->GetNZMAX();
  const int nsx = xsym ? 1 : 2, nsy = ysym ? 1 : 2, nsz = zsym ? 1 : 2;
  // Plain cell volume: a symmetric axis is accounted for by the mirror images.
  const double volume = delx * dely * delz;

  CF->ZeroArray();
  femtokit::Progress("beginning big loop in s2c\n");
  femtokit::Progress("nsxyz=(%d,%d,%d), nxyzmax=(%d,%d,%d), nqxyzmax=(%d,%d,%d)\n", nsx, nsy, nsz, nxmax, nymax,
         nzmax, nqxmax, nqymax, nqzmax);

  // Each contributing source cell gets a folded table (FoldedTable above).
  const int nqk = kernel->GetNQMAX(), nrk = kernel->GetNRMAX(), nct = kernel->GetNCTHETA();
  const int ncol = nct + 1;
  const double invdel = 1.0 / kernel->GetDELCTHETA();
  const double top = nct - 1;

  const CFCells cells = SortedCells(*CF, *kernel, ncol);
  const int ncells = static_cast<int>(cells.wq.size());
  std::vector<double> acc(ncells, 0.0);

  // Mirror images of a source direction: one sign per symmetric axis. With all
  // three axes symmetric the images come in pairs r, -r, which see cos theta
  // and -cos theta: the x flips are dropped and the table folded to its even
  // part, read at |cos theta| -- for identical particles the table is already
  // even (weight 2), for distinct ones t(c) + t(-c) is stored (the columns
  // c_ic and c_(nctheta-ic) mirror each other, so the folded interpolation
  // equals the sum of the two). Four lookups instead of eight.
  const bool ident = kernel->GetIDENTICAL();
  const bool paired = xsym && ysym && zsym;
  const bool fold = ident || paired;
  const AddFunction add =
      fold ? SelectAdd<true>(xsym && !paired, ysym, zsym) : SelectAdd<false>(xsym, ysym, zsym);
  const int nimages = (xsym ? 2 : 1) * (ysym ? 2 : 1) * (zsym ? 2 : 1);
  const double imageweight = paired && ident ? 2.0 : 1.0;
  const double ones = nimages / imageweight;  // per unit of factor
  const bool foldtable = paired && !ident;

  // The source cells that contribute (S != 0), in loop order.
  std::vector<SourceCell> sources;
  femtokit::ForEachCell(femtokit::GridCells(*S), [&](const femtokit::GridCell& c) {
    const double s = S->GetElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz);
    if (s == 0.0) return;  // contributes nothing
    const double r = sqrt(c.x * c.x + c.y * c.y + c.z * c.z);
    SourceCell cell;
    kernel->RPosition(r, cell.ir, cell.wr);
    const double scale = invdel / r;
    cell.ax = c.x * scale;
    cell.ay = c.y * scale;
    cell.az = c.z * scale;
    cell.factor = imageweight * volume * s;
    sources.push_back(cell);
  });
  const FoldedTable folded{kernel, nqk, nrk, nct, foldtable};
  // Every source cell for the sorted correlation cells jbegin <= j < jend, with a table of its
  // own that holds only the q rows those cells read.
  const auto slice = [&](int jbegin, int jend) {
    if (jbegin >= jend) return;
    const int rowbegin = cells.offa[jbegin] / ncol;
    const int rowend = std::min(nqk, cells.offb[jend - 1] / ncol + 1);
    std::vector<double> table(folded.Size(), 0.0);
    for (const SourceCell& sc : sources) {
      folded.Fill(sc, table.data(), rowbegin, rowend);
      add(sc.ax, sc.ay, sc.az, cells, table.data(), invdel, top, ones, sc.factor, acc.data(),
          jbegin, jend);
    }
  };
  const int nthreads = femtokit::ThreadCount();
  if (nthreads <= 1) {
    slice(0, ncells);
  } else {
#pragma omp parallel for num_threads(nthreads) schedule(static, 1)
    for (int t = 0; t < nthreads; t++)
      slice(static_cast<int>(static_cast<long long>(ncells) * t / nthreads),
            static_cast<int>(static_cast<long long>(ncells) * (t + 1) / nthreads));
  }

  std::vector<double> inloop(ncells);
  for (int j = 0; j < ncells; j++) inloop[cells.loopindex[j]] = acc[j];
  size_t j = 0;
  femtokit::ForEachCell(femtokit::GridCells(*CF), [&](const femtokit::GridCell& c) {
    CF->IncrementElement(c.isx, c.ix, c.isy, c.iy, c.isz, c.iz, inloop[j++]);
  });
  femtokit::Progress("ending big loop in s2c\n");
}

}  // namespace S2CF

#ifndef FEMTOKIT_ARRAYS_GRIDCELLS_H
#define FEMTOKIT_ARRAYS_GRIDCELLS_H

// Visiting the stored cells of a three-dimensional grid (C3DArray).
//
// Per axis a grid stores one half (the axis is symmetric, f(-x) = f(x): sign
// index 0 only) or both halves (sign index 0 for x > 0, 1 for x < 0) of NMAX
// cells each. Cell (is, i) of an axis with step d is centred at
//   x = (is == 0 ? +1 : -1) (i + 0.5) d      (the grid's unit: fm or MeV/c).
// ForEachCell visits every stored cell exactly once in storage order
// (isx, ix, isy, iy, isz, iz; iz fastest), the order in which callers keep
// per-cell vectors. A "row" is one (isx, ix) pair, row = isx NX + ix; visiting
// a range of rows lets each thread own a slice of the cells.

#include "arrays/array3d.h"

namespace femtokit {

// One stored cell: its sign halves and indices, and its signed centre.
struct GridCell {
  int isx, ix, isy, iy, isz, iz;
  double x, y, z;
};

// The cell layout of a grid: halves, cells and steps per axis.
struct GridCells {
  explicit GridCells(const C3DArray& grid)
      : nsx(grid.GetXSYM() ? 1 : 2),
        nsy(grid.GetYSYM() ? 1 : 2),
        nsz(grid.GetZSYM() ? 1 : 2),
        nx(grid.GetNXMAX()),
        ny(grid.GetNYMAX()),
        nz(grid.GetNZMAX()),
        dx(grid.GetDELX()),
        dy(grid.GetDELY()),
        dz(grid.GetDELZ()) {}

  int Rows() const { return nsx * nx; }
  long Count() const { return static_cast<long>(Rows()) * nsy * ny * nsz * nz; }

  int nsx, nsy, nsz;
  int nx, ny, nz;
  double dx, dy, dz;
};

// Centre of cell i in half is of an axis with step d.
inline double CellCentre(int is, int i, double d) { return (is == 0 ? 1.0 : -1.0) * (i + 0.5) * d; }

// Calls visit(const GridCell&) for every cell of the rows row_begin <= row < row_end,
// in storage order.
template <class Visit>
void ForEachCellInRows(const GridCells& g, int row_begin, int row_end, Visit&& visit) {
  GridCell c{};
  for (int row = row_begin; row < row_end; row++) {
    c.isx = row / g.nx;
    c.ix = row % g.nx;
    c.x = CellCentre(c.isx, c.ix, g.dx);
    for (c.isy = 0; c.isy < g.nsy; c.isy++)
      for (c.iy = 0; c.iy < g.ny; c.iy++) {
        c.y = CellCentre(c.isy, c.iy, g.dy);
        for (c.isz = 0; c.isz < g.nsz; c.isz++)
          for (c.iz = 0; c.iz < g.nz; c.iz++) {
            c.z = CellCentre(c.isz, c.iz, g.dz);
            visit(static_cast<const GridCell&>(c));
          }
      }
  }
}

// Calls visit(const GridCell&) for every stored cell of the grid, in storage order.
template <class Visit>
void ForEachCell(const GridCells& g, Visit&& visit) {
  ForEachCellInRows(g, 0, g.Rows(), visit);
}

}  // namespace femtokit

#endif  // FEMTOKIT_ARRAYS_GRIDCELLS_H

#ifndef FEMTOKIT_ANALYSIS_TABLES_H
#define FEMTOKIT_ANALYSIS_TABLES_H

// Tabulated inputs of an analysis model: curves C(k) (residual correlations,
// baselines) and bin-to-bin matrices (momentum resolution, decay kinematics).
// k in MeV/c throughout.

#include <string>
#include <vector>

namespace femtokit::analysis {

// A curve given at increasing k, linear between its points.
struct CurveTable {
  std::string origin;  // for messages
  std::vector<double> k, value;

  // Linear interpolation; fatal for k outside [k.front(), k.back()] (beyond a
  // table there is nothing to stand on, and a silent constant would bias a fit).
  double At(double k) const;
};

// Two columns "k value" ('#' comments, an optional header line); k strictly increasing.
CurveTable ReadCurveTable(const std::string& path);

// A matrix M(k_row, k_col) on two sets of bin centres, rows normalised to sum 1
// (so that a flat curve stays flat). Applied to a curve f given at the column
// bins: (M f)(k_row) = sum_col M(k_row, k_col) f(k_col).
struct BinMatrix {
  std::string origin;
  std::vector<double> row_k, col_k;  // both strictly increasing
  std::vector<double> weight;        // row-major, row_k.size() x col_k.size()

  double at(std::size_t row, std::size_t col) const { return weight[row * col_k.size() + col]; }
  // Row index of bin centre k (within 1e-3 MeV/c); fatal when the matrix has no such row.
  std::size_t RowOf(double k) const;
  // Divides each row by its sum; a row summing to zero or less is fatal.
  void NormaliseRows();
};

// A text file of lines "k_row k_col weight" ('#' comments); pairs absent from the
// file have weight 0. Rows are normalised on reading. Fatal for a missing file,
// unreadable lines, negative or non-finite weights and empty rows.
BinMatrix ReadBinMatrix(const std::string& path);

// The identity on bins k.
BinMatrix IdentityMatrix(const std::vector<double>& k);

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_TABLES_H

#ifndef FEMTOKIT_ANALYSIS_MEASUREDDATA_H
#define FEMTOKIT_ANALYSIS_MEASUREDDATA_H

// A measured correlation function C(k) with its errors, as the analysis fits it.
//
// k is k* (MeV/c, half the relative momentum in the pair rest frame) at the bin
// centres, strictly increasing; k_low, k_high are the bin edges (equal to k when the
// file gives none); value is C(k), error its one-sigma uncertainty (> 0, finite).
//
// Files are text tables: '#' starts a comment, columns are separated by commas or
// white space, fields may be quoted. The first non-comment line that is not all
// numbers names the columns; a file without such a line needs the names from the
// caller (DataColumns::header). Two layouts are understood:
//  - named columns: k, value and error are picked by name (DataColumns), defaults
//    k: "k", "kstar", "k*", "q"; value: "C", "CF", "value"; error: "error", "err",
//    "sigma", "dC";
//  - HEPData's CSV export: x, "x LOW", "x HIGH", y, then "+"/"-" error pairs (stat,
//    then sys). The error is the stat pair's mean magnitude; with add_systematic the
//    sys pairs are added in quadrature.
// Every problem (missing file, unknown or missing column, a short or non-numeric row,
// non-increasing or duplicate k, an error that is zero, negative or not finite, an
// empty fit range) is fatal with a message naming the file and the line or column.

#include <string>
#include <vector>

namespace femtokit::analysis {

struct DataColumns {
  std::string k;      // empty: the default names
  std::string value;
  std::string error;
  std::vector<std::string> header;  // names for a file without a header line
  bool add_systematic = false;      // HEPData: add the sys errors in quadrature
};

struct MeasuredData {
  std::string origin;  // file (or directory) the values came from, for messages
  std::vector<double> k, k_low, k_high, value, error;

  std::size_t size() const { return k.size(); }
  // The bins with kmin <= k <= kmax; fatal when none is left.
  MeasuredData InRange(double kmin, double kmax) const;
};

MeasuredData ReadMeasuredData(const std::string& path, const DataColumns& columns = {});

// A correlation function written by the Cartesian-harmonic arrays (a component
// directory "DIR/lx0_ly0_lz0.tmp" holding C - 1 and a second one holding its errors),
// as femtofakedata and the fit programs write them. The bins are centred at
// (i + 0.5) RADSTEP.
MeasuredData ReadComponentDirectory(const std::string& values_dir, const std::string& errors_dir);

// Fatal unless k is strictly increasing and every value and error is usable
// (message names `origin` and the bin).
void CheckMeasuredData(const MeasuredData& data);

}  // namespace femtokit::analysis

#endif  // FEMTOKIT_ANALYSIS_MEASUREDDATA_H

#ifndef FEMTOKIT_SOURCE_SOURCECALC_HISTOGRAM_H
#define FEMTOKIT_SOURCE_SOURCECALC_HISTOGRAM_H

// Histogram source: an isotropic S(r) given as a table, e.g. a transport-model
// source computed elsewhere, used like any analytic model.
//
// Table file (text or CSV): one row per point, "r S(r)" or "r S(r) error", the
// values separated by whitespace, commas or semicolons; r in fm (>= 0, strictly
// increasing), S and its error in fm^-3. '#' starts a comment; lines without
// numbers before the first row (a header) are skipped. At least two rows.
//
// Interpolation: S is linear in r between rows, equal to the first row's value
// below the first r (a smooth source is flat at the origin) and zero beyond the
// last r. Its normalisation
//   N = 4 pi int_0^rlast r^2 S(r) dr
// is exact for that interpolant (Simpson's rule on each cubic segment) and is
// reported when the table is read ("histogram source <file>: <n> rows, r =
// <r0> ... <rlast> fm, 4 pi int r^2 S dr = <N>") through femtokit::Progress.
//
// Parameters (keys, defaults): "filename" "" (the table), "lambda" 1.0,
// "normalize" false. The source is S(r) = lambda S_table(r) / (normalize ? N : 1),
// so with normalize set it integrates to lambda (up to the part beyond the array).
// The table is read when a computation first needs it and again whenever
// "filename" changes.
//
// Failure (fatal, message naming the file and line): a missing or unreadable
// file, a row with fewer than two numbers, non-finite values, negative or
// non-increasing r, fewer than two rows, an empty "filename", normalize with
// N = 0, a non-finite lambda.

#include <string>
#include <vector>

#include "source/sourcecalc_radial.h"

class CCHArray;

class CSourceCalc_Histogram : public CSourceCalc_Radial {
 public:
  CSourceCalc_Histogram();
  void InitSPars();
  // Stores "filename", "lambda" and "normalize".
  void SetSPars(const std::string& filename, double lambda, bool normalize);

  std::vector<double> Density(const std::vector<double>& r) const override;
  // The table's normalisation N (fm^-3 fm^3), reading the table if needed.
  double TableIntegral() const;
  // The errors of the table interpolated like S, with the same factor, into the
  // (0,0,0) component of E (other components zero). A table without an error
  // column gives zeros.
  void FillErrors(CCHArray* E) const;

 private:
  struct Table {
    std::string filename;
    std::vector<double> r, S, error;
    double integral = 0.0;
  };
  // The table of the current "filename", (re)read when it changed.
  const Table& CurrentTable() const;
  double Factor(const Table& table) const;
  static double Interpolate(const std::vector<double>& r, const std::vector<double>& y, double x);
  mutable Table table_;  // cache; not shared between threads
};

#endif  // FEMTOKIT_SOURCE_SOURCECALC_HISTOGRAM_H

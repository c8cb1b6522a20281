#ifndef FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H
#define FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

// Hand-made OSCAR event files for the event-file source tests, and a runner of ReadR that returns
// the kept points.

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "config/parameter.h"
#include "source/sourcecalc_oscar.h"

namespace oscar_test {

constexpr double kPionMass = 139.58;  // MeV, as the source takes it

// Five header lines.
inline std::string Header() {
  return "OSC1997A\nfinal_id_p_x\ntest events\nheader line 4\nheader line 5\n";
}

// One record: momenta in GeV/c, positions in fm; the energy defaults to the pion's on shell.
inline std::string Record(int code, double px, double py, double pz, double x = 0.0, double y = 0.0,
                          double z = 0.0, double t = 12.0, double E = -1.0) {
  if (E < 0.0) E = std::sqrt(px * px + py * py + pz * pz + 0.13958 * 0.13958);
  char buf[400];
  std::snprintf(buf, sizeof buf, "7 %d 0 %.17g %.17g %.17g %.17g 0.13958 %.17g %.17g %.17g %.17g\n",
                code, px, py, pz, E, x, y, z, t);
  return buf;
}

// An event: "n 0", the records, three trailer lines of text the reader must skip.
inline std::string Event(const std::vector<std::string>& records) {
  std::string s = std::to_string(records.size()) + " 0\n";
  for (const std::string& r : records) s += r;
  return s + "end of event\nnot a record line\n0 0\n";
}

// Point lists of NMAX points each, as CalcS allocates them.
struct PointLists {
  explicit PointLists(int nmax) : a(nmax), b(nmax), pa(nmax), pb(nmax) {
    for (int i = 0; i < nmax; ++i) {
      pa[i] = a[i].data();
      pb[i] = b[i].data();
    }
  }
  std::vector<std::array<double, 4>> a, b;
  std::vector<double*> pa, pb;
};

// Kept points and the reader's printout.
struct ReadResult {
  std::vector<std::array<double, 4>> a, b;
  std::string out;
};

inline ReadResult RunReadR(CSourceCalc_OSCAR& calc) {
  PointLists lists(parameter::getI(calc.spars, "NMAX", 10000));
  int na = -1, nb = -1;
  ReadResult result;
  result.out = CAPTURE_STDOUT(calc.ReadR(lists.pa.data(), lists.pb.data(), na, nb));
  result.a.assign(lists.a.begin(), lists.a.begin() + na);
  if (!parameter::getB(calc.spars, "AEQUALB", false))
    result.b.assign(lists.b.begin(), lists.b.begin() + nb);
  return result;
}

// ReadR with its printout left on standard output (for death tests, whose regular expressions
// read what the child prints).
inline void ReadUncaptured(CSourceCalc_OSCAR& calc) {
  PointLists lists(parameter::getI(calc.spars, "NMAX", 10000));
  int na = 0, nb = 0;
  calc.ReadR(lists.pa.data(), lists.pb.data(), na, nb);
}

// A calculator reading `path`.
inline void UseFile(CSourceCalc_OSCAR& calc, const std::string& path) {
  parameter::set(calc.spars, "OSCARfilename", path);
}

}  // namespace oscar_test

#endif  // FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

#ifndef FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H
#define FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

// Hand-made OSCAR event files for the event-file source tests, a runner of ReadR that returns
// the kept points, and a fixture reading a file of a scratch directory.

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/test_util.h"
#include "config/parameter.h"
#include "source/sourcecalc_oscar.h"

namespace oscar_test {

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

// Kept points and the reader's printout.
using Points = std::vector<std::array<double, 4>>;  // (t, x, y, z) in fm
struct ReadResult {
  Points a, b;
  std::string out;
};

// ReadR into lists of NMAX points each, as CalcS allocates them. Without `capture` the printout
// stays on standard output (for death tests, whose regular expressions read what the child
// prints).
inline ReadResult RunReadR(CSourceCalc_OSCAR& calc, bool capture = true) {
  const int nmax = parameter::getI(calc.spars, "NMAX", 10000);
  ReadResult r{Points(nmax), Points(nmax), ""};
  std::vector<double*> pa(nmax), pb(nmax);
  for (int i = 0; i < nmax; ++i) pa[i] = r.a[i].data(), pb[i] = r.b[i].data();
  int na = -1, nb = -1;
  auto read = [&]() { calc.ReadR(pa.data(), pb.data(), na, nb); };
  if (capture) r.out = CAPTURE_STDOUT(read());
  if (!capture) read();
  r.a.resize(na);
  r.b.resize(parameter::getB(calc.spars, "AEQUALB", false) ? 0 : nb);
  return r;
}

class OSCARFileTest : public ::testing::Test {
 protected:
  OSCARFileTest() { parameter::set(calc.spars, "OSCARfilename", path); }
  // Writes `text` as the event file and reads it.
  ReadResult Read(const std::string& text) {
    femtokit_test::WriteTextFile(path, text);
    return RunReadR(calc);
  }
  femtokit_test::ScratchDir dir;
  const std::string path = dir / "events.oscar";
  CSourceCalc_OSCAR calc;
};

}  // namespace oscar_test

#endif  // FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

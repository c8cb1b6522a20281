#ifndef FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H
#define FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

// Hand-made OSCAR event files for the event-file source tests, a runner of ReadR that returns
// the kept points, a fixture reading a file of a scratch directory, and the straightforward
// pair sum the pair sources (blast wave, event file) are checked against.

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "config/parameter.h"
#include "numeric/random.h"
#include "source/oscargen.h"
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

// Writes `nevents` generated events of `count` pi+ (and as many protons with `protons`), whose
// pair momentum is 600 MeV/c, in `format` to `path`; each species' pt spreads by `ptwidth`.
inline void GenerateEvents(const std::string& path, const std::string& format, int nevents,
                           int count, bool protons, const OSCARGen::Geometry& geometry, int seed,
                           double ptwidth = 15.0) {
  const double Ma = 139.58, Mb = protons ? 938.28 : 139.58;
  std::vector<OSCARGen::Species> species = {{211, Ma, count, 600.0 * Ma / (Ma + Mb), ptwidth}};
  if (protons) species.push_back({2212, Mb, count, 600.0 * Mb / (Ma + Mb), ptwidth});
  CRandom random(seed);
  EXPECT_TRUE(OSCARGen::WriteFormat(path, format, nevents, species, geometry, &random));
}

inline double ShellVolume(int ir, double dr) {
  return 4.0 * M_PI / 3.0 * dr * dr * dr * (3.0 * ir * (ir + 1) + 1.0);
}

// Every pair of points (t, x, y, z) of `a` and `b` (ib < ia only when `identical`: no point with
// itself, no pair twice) adds `weight` along its direction with IncrementAExpArrayFromE; each bin
// is then divided by the pair count and its shell volume. Returns the pairs within the array.
template <class Points>
int DirectPairSum(const Points& a, const Points& b, bool identical, double weight, CCHArray* B,
                  int* pairs) {
  const int nr = B->GetNRADIAL(), na = static_cast<int>(a.size());
  const double dr = B->GetRADSTEP();
  int inside = 0;
  *pairs = 0;
  for (int ia = 0; ia < na; ++ia)
    for (int ib = 0; ib < (identical ? ia : static_cast<int>(b.size())); ++ib, ++*pairs) {
      const double dx = a[ia][1] - b[ib][1], dy = a[ia][2] - b[ib][2], dz = a[ia][3] - b[ib][3];
      const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
      const int ir = static_cast<int>(std::floor(d / dr));
      if (ir < nr) inside++, B->IncrementAExpArrayFromE(dx / d, dy / d, dz / d, weight, ir);
    }
  for (int ir = 0; ir < nr; ir++) B->ScaleArray(1.0 / (*pairs * ShellVolume(ir, dr)), ir);
  return inside;
}

// Every stored component of every bin of A equals B's to rounding.
inline void ExpectSameComponents(const CCHArray& A, const CCHArray& B) {
  const int lmax = A.GetLMAX();
  for (int ir = 0; ir < A.GetNRADIAL(); ++ir)
    for (int lx = 0; lx <= lmax; lx += A.dlx)
      for (int ly = 0; ly <= lmax - lx; ly += A.dly)
        for (int lz = 0; lz <= lmax - lx - ly; lz += A.dlz)
          EXPECT_CLOSE_ABS(A.GetElement(lx, ly, lz, ir), B.GetElement(lx, ly, lz, ir), 1e-9,
                           1e-9 * A.GetBiggest(ir))
              << "l=(" << lx << "," << ly << "," << lz << ") ir=" << ir;
}

}  // namespace oscar_test

#endif  // FEMTOKIT_TESTS_SOURCE_OSCAR_TEST_FILES_H

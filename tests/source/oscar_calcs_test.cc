// Event-file source: the pair histogram of CalcS against the straightforward per-pair
// IncrementAExpArrayFromE, pair counting and normalisation, printouts, and the effective radii of
// generated files with known Gaussian emission.

#include <cmath>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "oscar_test_files.h"
#include "source/oscargen.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using oscar_test::Event;
using oscar_test::Header;
using oscar_test::Record;
using oscar_test::UseFile;

// The number printed after `prefix` in `text` (NaN when absent).
double PrintedValue(const std::string& text, const std::string& prefix) {
  const size_t pos = text.find(prefix);
  if (pos == std::string::npos) return NAN;
  return atof(text.c_str() + pos + prefix.size());
}

// The effective radius `name` ("Rout", "Rside", "Rlong") printed by CalcS.
double Radius(const std::string& text, const std::string& name) {
  const size_t pos = text.find("Effective radii: ");
  if (pos == std::string::npos) return NAN;
  return PrintedValue(text.substr(pos), name + "=");
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// The source computed the straightforward way from the points ReadR keeps: every pair added with
// IncrementAExpArrayFromE, then the normalisation by pair count and shell volume.
void ReferenceSource(CSourceCalc_OSCAR& calc, CCHArray* A) {
  if (parameter::getI(calc.spars, "IDa", 0) == parameter::getI(calc.spars, "IDb", 0))
    parameter::set(calc.spars, "AEQUALB", 1);
  const bool identical = parameter::getB(calc.spars, "AEQUALB", false);
  const oscar_test::ReadResult r = oscar_test::RunReadR(calc);
  const std::vector<std::array<double, 4>>& b = identical ? r.a : r.b;
  A->ZeroArray();
  const int na = static_cast<int>(r.a.size()), nb = static_cast<int>(b.size());
  for (int ia = 0; ia < na; ++ia)
    for (int ib = 0; ib < (identical ? ia : nb); ++ib) {
      const double dx = r.a[ia][1] - b[ib][1], dy = r.a[ia][2] - b[ib][2],
                   dz = r.a[ia][3] - b[ib][3];
      const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
      const int ir = static_cast<int>(std::floor(d / A->GetRADSTEP()));
      if (ir < A->GetNRADIAL()) A->IncrementAExpArrayFromE(dx / d, dy / d, dz / d, 1.0, ir);
    }
  const double n = identical ? 2.0 / (na * (na - 1.0)) : 1.0 / (double(na) * nb);
  const double dr = A->GetRADSTEP();
  for (int ir = 0; ir < A->GetNRADIAL(); ++ir)
    A->ScaleArray(
        n / ((4.0 * M_PI / 3.0) * dr * dr * dr * (std::pow(ir + 1.0, 3) - std::pow(ir, 3.0))), ir);
}

// Every stored component of every bin agrees to rounding (relative to the bin's largest value).
void ExpectSameArrays(const CCHArray& A, const CCHArray& B) {
  for (int ir = 0; ir < A.GetNRADIAL(); ++ir) {
    const double scale = A.GetBiggest(ir);
    for (int lx = 0; lx <= A.GetLMAX(); lx += A.dlx)
      for (int ly = 0; ly <= A.GetLMAX() - lx; ly += A.dly)
        for (int lz = 0; lz <= A.GetLMAX() - lx - ly; lz += A.dlz)
          EXPECT_CLOSE_ABS(A.GetElement(lx, ly, lz, ir), B.GetElement(lx, ly, lz, ir), 1e-9,
                           1e-9 * scale)
              << "l=(" << lx << "," << ly << "," << lz << ") ir=" << ir;
  }
}

// A generated file: `count` particles per event of each species (pi+ alone, or pi+ and p).
std::string Generate(const ScratchDir& dir, int nevents, int count, bool withprotons,
                     const OSCARGen::Geometry& geometry, int seed = 77, double ptwidth = 15.0) {
  const double Ma = 139.58, Mb = withprotons ? 938.28 : 139.58;
  std::vector<OSCARGen::Species> species(1);
  species[0].code = 211;
  species[0].mass = Ma;
  species[0].count = count;
  species[0].ptcentre = 600.0 * Ma / (Ma + Mb);
  species[0].ptwidth = ptwidth;
  if (withprotons) {
    OSCARGen::Species p = species[0];
    p.code = 2212;
    p.mass = Mb;
    p.ptcentre = 600.0 * Mb / (Ma + Mb);
    species.push_back(p);
  }
  CRandom random(seed);
  const std::string path = dir / "generated.oscar";
  EXPECT_TRUE(OSCARGen::WriteFile(path, nevents, species, geometry, &random));
  return path;
}

struct ArrayCase {
  int lmax;
  bool sym;
  bool protons;
};

class OSCARPairHistogram : public ::testing::TestWithParam<ArrayCase> {};

// The moment form reproduces the per-pair increments: ranks on both sides of the compiled-in
// limit (12), with and without symmetries, identical and different species; 300 particles make
// rows longer than one block of pairs.
TEST_P(OSCARPairHistogram, EqualsPerPairIncrements) {
  const ArrayCase c = GetParam();
  ScratchDir dir;
  OSCARGen::Geometry geometry;
  const std::string path = Generate(dir, 2, c.protons ? 80 : 150, c.protons, geometry);
  CSourceCalc_OSCAR calc;
  UseFile(calc, path);
  if (c.protons) calc.SetIDs(211, 2212);
  CCHArray A(c.lmax, 12, 2.0, c.sym, c.sym, c.sym), B(c.lmax, 12, 2.0, c.sym, c.sym, c.sym);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  ReferenceSource(calc, &B);
  ExpectSameArrays(A, B);
  EXPECT_NE(out.find(c.protons ? "na=160, nb=160" : "na=300, nb=300"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(Arrays, OSCARPairHistogram,
                         ::testing::Values(ArrayCase{4, false, false}, ArrayCase{2, true, false},
                                           ArrayCase{0, false, false}, ArrayCase{13, false, false},
                                           ArrayCase{5, false, true}, ArrayCase{6, true, true}),
                         [](const ::testing::TestParamInfo<ArrayCase>& info) {
                           return "L" + std::to_string(info.param.lmax) +
                                  (info.param.sym ? "Sym" : "") +
                                  (info.param.protons ? "PionProton" : "Pions");
                         });

// Identical particles: each unordered pair once, normalised by 2/(na (na-1)); the bin contents
// are pair counts over shell volumes.
TEST(OSCARCalcS, IdenticalPairsCountedOnce) {
  ScratchDir dir;
  // Three pions on the x axis (out direction for px > 0), at the pair frame's x = gamma (x - v t)
  // with t = 0: separations gamma * {1, 2, 3} fm.
  WriteTextFile(dir / "events.oscar",
                Header() + Event({Record(211, 0.3, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0),
                                  Record(211, 0.3, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0),
                                  Record(211, 0.3, 0.0, 0.0, 3.0, 0.0, 0.0, 0.0)}));
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "events.oscar");
  const double gamma = 2.37055;  // printed by ReadR, 6 digits
  CCHArray A(2, 10, 1.0);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_EQ(calc.spars["AEQUALB"], "1");
  EXPECT_NE(out.find("OSCAR file read: 1 events, na=3, nb=3\n"), std::string::npos) << out;
  EXPECT_EQ(Count(out, "finished"), 0);  // na < 10
  // Separations 2.37, 4.74, 7.11 fm: one pair each in bins 2, 4, 7; n = 2/(3*2) = 1/3.
  for (int ir = 0; ir < 10; ++ir) {
    const double shell = (4.0 * M_PI / 3.0) * (std::pow(ir + 1.0, 3) - std::pow(ir, 3.0));
    const double expected = (ir == 2 || ir == 4 || ir == 7) ? 1.0 / 3.0 : 0.0;
    EXPECT_CLOSE_ABS(A.GetElement(0, 0, 0, ir) * shell, expected, 1e-12, 1e-15) << ir;
    // Each pair lies along +x (a later particle minus an earlier one): A(1,0,0) = 3 A(0,0,0).
    EXPECT_CLOSE_ABS(A.GetElement(1, 0, 0, ir) * shell, 3.0 * expected, 1e-12, 1e-15);
    EXPECT_CLOSE_ABS(A.GetElement(2, 0, 0, ir) * shell, 5.0 * expected, 1e-12, 1e-15);
  }
  // Mean separation gamma * 2 along x; Rout^2 = (<dx^2> - <dx>^2)/2 = gamma^2 (14/3 - 4)/2.
  EXPECT_CLOSE(PrintedValue(out, "xbar="), 2.0 * gamma, 1e-5);
  EXPECT_CLOSE(Radius(out, "Rout"), gamma * std::sqrt(1.0 / 3.0), 1e-5);
  EXPECT_EQ(Radius(out, "Rside"), 0.0);
  EXPECT_NE(out.find("delr=1, nrmax=10\n"), std::string::npos);
}

TEST(OSCARCalcS, ProgressLinesFromTenParticles) {
  ScratchDir dir;
  std::vector<std::string> records;
  for (int i = 0; i < 25; ++i) records.push_back(Record(211, 0.3, 0.0, 0.0, 0.1 * i));
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "events.oscar");
  CCHArray A(1, 5, 1.0);
  // na = 9: no progress line.
  WriteTextFile(dir / "events.oscar",
                Header() + Event(std::vector<std::string>(records.begin(), records.begin() + 9)));
  EXPECT_EQ(Count(CAPTURE_STDOUT(calc.CalcS(&A)), "finished"), 0);
  // na = 20: ten lines, 10 to 100 percent, after every second outer particle.
  WriteTextFile(dir / "events.oscar",
                Header() + Event(std::vector<std::string>(records.begin(), records.begin() + 20)));
  std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_EQ(Count(out, "finished"), 10);
  EXPECT_NE(out.find("finished 10 percent\nfinished 20 percent\n"), std::string::npos);
  EXPECT_NE(out.find("finished 100 percent\nxbar="), std::string::npos);
  // na = 25: the step is floor(25/10) = 2 particles, so the count runs on to 120 percent.
  WriteTextFile(dir / "events.oscar", Header() + Event(records));
  out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_EQ(Count(out, "finished"), 12);
  EXPECT_NE(out.find("finished 120 percent\n"), std::string::npos);
}

TEST(OSCARCalcS, WithoutPairsTheSourceStaysZero) {
  ScratchDir dir;
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "events.oscar");
  CCHArray A(2, 5, 1.0);
  A.SetElement(0, 0, 0, 1, 4.0);  // cleared by CalcS
  WriteTextFile(dir / "events.oscar", Header() + Event({Record(211, 0.3, 0.0, 0.0)}));
  std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_NE(out.find("CSourceCalc_OSCAR: no pairs (na=1, nb=1), source left zero\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Effective radii"), std::string::npos);
  EXPECT_EQ(A.GetBiggest(1), 0.0);
  // Different species with no b particle (masses kept equal, so the pion stays in its window).
  parameter::set(calc.spars, "IDb", 2212);
  parameter::set(calc.spars, "AEQUALB", 0);
  out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_NE(out.find("no pairs (na=1, nb=0)"), std::string::npos) << out;
}

// Two particles at one point: the pair has no direction and counts in the L = 0 part of bin 0.
TEST(OSCARCalcS, PairAtZeroSeparationAddsOnlyToTheMonopole) {
  ScratchDir dir;
  const std::string rec = Record(211, 0.3, 0.0, 0.0, 1.0, 2.0, 3.0, 12.0);
  WriteTextFile(dir / "events.oscar", Header() + Event({rec, rec}));
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "events.oscar");
  CCHArray A(3, 4, 1.0);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_CLOSE(A.GetElement(0, 0, 0, 0), 1.0 / (4.0 * M_PI / 3.0), 1e-14);
  EXPECT_EQ(A.GetElement(0, 0, 1, 0), 0.0);
  EXPECT_EQ(A.GetElement(2, 0, 0, 0), 0.0);
  EXPECT_EQ(A.GetBiggest(0), A.GetElement(0, 0, 0, 0));
  EXPECT_NE(out.find("Effective radii: Rout=0, Rside=0, Rlong=0\n"), std::string::npos) << out;
}

// The pair histogram on its own: bins on both sides of the last edge, a separation far beyond
// the int range of bin numbers, and the origin, across several buffer flushes.
TEST(OSCARPairSum, RangeEdgesAndCounts) {
  CCHArray A(2, 3, 2.0);
  CPairSeparationSum sum(&A);
  const double qx[] = {1.0, -4.9, -5.0, 1.0 - 1e12};  // separations 0, 5.9, 6, 1e12 fm
  const double qy[] = {0.0, 0.0, 0.0, 0.0}, qz[] = {0.0, 0.0, 0.0, 0.0};
  for (int rep = 0; rep < 1000; ++rep) sum.AddPairs(1.0, 0.0, 0.0, qx, qy, qz, 4);
  sum.AddPairs(1.0, 0.0, 0.0, qx, qy, qz, 0);
  sum.Store(&A);
  EXPECT_EQ(sum.npairs, 4000);
  EXPECT_EQ(sum.nbinned, 2000);  // the origin and 5.9 fm; 6 fm is the outer edge of bin 2
  EXPECT_CLOSE(sum.sumx, 1000 * (5.9 + 6.0 + 1e12), 1e-12);
  EXPECT_EQ(A.GetElement(0, 0, 0, 0), 1000.0);
  EXPECT_EQ(A.GetElement(1, 0, 0, 0), 0.0);
  EXPECT_CLOSE(A.GetElement(0, 0, 0, 2), 1000.0, 1e-15);
  EXPECT_CLOSE(A.GetElement(1, 0, 0, 2), 3000.0, 1e-15);
  EXPECT_CLOSE(A.GetElement(2, 0, 0, 2), 5000.0, 1e-14);
  EXPECT_EQ(A.GetElement(0, 0, 0, 1), 0.0);
}

// Known Gaussian emission: the printed effective radii are gamma Rout, Rside, Rlong within the
// statistical error (about 1/sqrt(2N) relative for N particles: 1.1% at N = 4000; 4% allowed).
// The array holds the same pair distribution: its integral is 1 within the bins' reach and its
// effective Gaussian radii agree with the printed ones.
TEST(OSCARGaussian, PrintedRadiiMatchTheEmissionModel) {
  ScratchDir dir;
  OSCARGen::Geometry geometry;
  geometry.Rout = 3.0;
  geometry.Rside = 4.0;
  geometry.Rlong = 5.0;
  CSourceCalc_OSCAR calc;
  UseFile(calc, Generate(dir, 20, 200, false, geometry));
  CCHArray A(2, 60, 1.0);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  ASSERT_NE(out.find("na=4000, nb=4000"), std::string::npos) << out;
  const double mt = std::sqrt(300.0 * 300.0 + 139.58 * 139.58);
  const double gamma = mt / 139.58;  // pair-frame gamma of a pion with pt = 300 MeV/c
  EXPECT_CLOSE(Radius(out, "Rout"), gamma * 3.0, 0.04);
  EXPECT_CLOSE(Radius(out, "Rside"), 4.0, 0.04);
  EXPECT_CLOSE(Radius(out, "Rlong"), 5.0, 0.04);
  EXPECT_CLOSE_ABS(PrintedValue(out, "xbar="), 0.0, 0.0, 0.4);

  const std::string norm = CAPTURE_STDOUT(calc.NormCheck(&A));
  EXPECT_CLOSE(PrintedValue(norm, "normalization check = "), 1.0, 0.005);
  double Rx, Ry, Rz, Xoff, Yoff, Zoff;
  CAPTURE_STDOUT(calc.CalcEffGaussPars(&A, Rx, Ry, Rz, Xoff, Yoff, Zoff));
  EXPECT_CLOSE(Rx, Radius(out, "Rout"), 0.01);
  EXPECT_CLOSE(Ry, Radius(out, "Rside"), 0.01);
  EXPECT_CLOSE(Rz, Radius(out, "Rlong"), 0.01);
}

// An emission-time spread at fixed pair velocity v lengthens the out radius:
// Rout_eff = gamma sqrt(Rout^2 + v^2 sigma_t^2). Pions and protons at their own momentum shares
// move with the same v; normalisation 1/(na nb).
TEST(OSCARGaussian, TimeSpreadAndDifferentSpecies) {
  ScratchDir dir;
  OSCARGen::Geometry geometry;
  geometry.Rout = 2.0;
  geometry.Rside = 3.0;
  geometry.Rlong = 3.0;
  geometry.sigmatau = 6.0;
  CSourceCalc_OSCAR calc;
  UseFile(calc, Generate(dir, 20, 150, true, geometry, 91, 2.0));
  calc.SetIDs(211, 2212);
  CCHArray A(0, 80, 1.0);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  ASSERT_NE(out.find("na=3000, nb=3000"), std::string::npos) << out;
  const double v = 600.0 / std::sqrt(1077.86 * 1077.86 + 600.0 * 600.0);
  const double gamma = 1.0 / std::sqrt(1.0 - v * v);
  EXPECT_CLOSE(Radius(out, "Rout"), gamma * std::sqrt(4.0 + v * v * 36.0), 0.04);
  EXPECT_CLOSE(Radius(out, "Rside"), 3.0, 0.04);
  EXPECT_CLOSE(Radius(out, "Rlong"), 3.0, 0.04);
  const std::string norm = CAPTURE_STDOUT(calc.NormCheck(&A));
  EXPECT_CLOSE(PrintedValue(norm, "normalization check = "), 1.0, 0.005);
}

}  // namespace

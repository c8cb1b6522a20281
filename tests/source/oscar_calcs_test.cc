// Event-file source: the pair histogram of CalcS against the direct pair sum, pair counting and
// normalisation, printouts, and the effective radii of files with known Gaussian emission.

#include <cmath>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "oscar_test_files.h"
#include "source/oscargen.h"
#include "source/pairseparationsum.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using oscar_test::Event;
using oscar_test::Header;
using oscar_test::Record;
using OSCARCalcS = oscar_test::OSCARFileTest;

// The effective radius `name` ("Rout", "Rside", "Rlong") printed by CalcS.
double Radius(const std::string& text, const std::string& name) {
  return femtokit_test::PrintedValue(text, name + "=", "Effective radii: ");
}
using femtokit_test::PrintedValue;

// Writes `nevents` generated events of `count` particles per species (pi+ alone, or pi+ and p)
// to a file of `dir`, and makes `calc` read them.
void Generate(CSourceCalc_OSCAR& calc, const ScratchDir& dir, int nevents, int count, bool protons,
              const OSCARGen::Geometry& geometry, int seed, double ptwidth) {
  const double Ma = 139.58, Mb = protons ? 938.28 : 139.58;
  std::vector<OSCARGen::Species> species = {{211, Ma, count, 600.0 * Ma / (Ma + Mb), ptwidth}};
  if (protons) species.push_back({2212, Mb, count, 600.0 * Mb / (Ma + Mb), ptwidth});
  CRandom random(seed);
  EXPECT_TRUE(OSCARGen::WriteFile(dir / "generated.oscar", nevents, species, geometry, &random));
  parameter::set(calc.spars, "OSCARfilename", dir / "generated.oscar");
  if (protons) calc.SetIDs(211, 2212);
}

// The moment form of CalcS against the direct pair sum of the points ReadR keeps. Ranks on both
// sides of the compiled-in limit (12), with and without symmetries, identical and different
// species; 300 particles make rows longer than one block of pairs.
TEST(OSCARPairHistogram, EqualsPerPairIncrements) {
  const struct {
    int lmax;
    bool sym, protons;
  } cases[] = {{0, false, false}, {13, false, false}, {5, false, true}, {6, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE("lmax " + std::to_string(c.lmax) + (c.sym ? " symmetric" : "") +
                 (c.protons ? " pion-proton" : " pions"));
    ScratchDir dir;
    CSourceCalc_OSCAR calc;
    Generate(calc, dir, 2, c.protons ? 80 : 150, c.protons, OSCARGen::Geometry(), 77, 15);
    CCHArray A(c.lmax, 12, 2.0, c.sym, c.sym, c.sym), B(c.lmax, 12, 2.0, c.sym, c.sym, c.sym);
    const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
    EXPECT_NE(out.find(c.protons ? "na=160, nb=160" : "na=300, nb=300"), std::string::npos);

    const oscar_test::ReadResult r = oscar_test::RunReadR(calc);
    int pairs = 0;
    oscar_test::DirectPairSum(r.a, c.protons ? r.b : r.a, !c.protons, 1.0, &B, &pairs);
    oscar_test::ExpectSameComponents(A, B);
  }
}

// Identical particles: each unordered pair once, normalised by 2/(na (na-1)); the bin contents
// are pair counts over shell volumes.
TEST_F(OSCARCalcS, IdenticalPairsCountedOnce) {
  // Three pions on the x axis (out direction for px > 0), at the pair frame's x = gamma (x - v t)
  // with t = 0: separations gamma * {1, 2, 3} fm.
  WriteTextFile(path, Header() + Event({Record(211, 0.3, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0),
                                        Record(211, 0.3, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0),
                                        Record(211, 0.3, 0.0, 0.0, 3.0, 0.0, 0.0, 0.0)}));
  const double gamma = 2.37055;  // printed by ReadR, 6 digits
  CCHArray A(2, 10, 1.0);
  const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_EQ(calc.spars["AEQUALB"], "1");
  EXPECT_NE(out.find("delr=1, nrmax=10\n"), std::string::npos);
  EXPECT_NE(out.find("OSCAR file read: 1 events, na=3, nb=3\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("finished"), std::string::npos);  // na < 10
  // Separations 2.37, 4.74, 7.11 fm: one pair each in bins 2, 4, 7 of 1/3 = 2/(3*2) each, along
  // +x (a later particle minus an earlier one): A(lx,0,0) = (2 lx + 1) A(0,0,0).
  for (int ir = 0; ir < 10; ++ir)
    for (int lx = 0; lx <= 2; ++lx)
      EXPECT_CLOSE_ABS(A.GetElement(lx, 0, 0, ir) * oscar_test::ShellVolume(ir, 1.0),
                       (ir == 2 || ir == 4 || ir == 7) * (2 * lx + 1) / 3.0, 1e-12, 1e-15)
          << "lx=" << lx << " ir=" << ir;
  // Mean separation gamma * 2 along x; Rout^2 = (<dx^2> - <dx>^2)/2 = gamma^2 (14/3 - 4)/2.
  EXPECT_CLOSE(PrintedValue(out, "xbar="), 2.0 * gamma, 1e-5);
  EXPECT_CLOSE(Radius(out, "Rout"), gamma * std::sqrt(1.0 / 3.0), 1e-5);
  EXPECT_EQ(Radius(out, "Rside"), 0.0);
}

// Without a pair (one identical particle, or no b particle: the masses are kept equal, so the
// pion stays in its window) the source is left zero.
TEST_F(OSCARCalcS, WithoutPairsTheSourceStaysZero) {
  CCHArray A(2, 5, 1.0);
  A.SetElement(0, 0, 0, 1, 4.0);  // cleared by CalcS
  WriteTextFile(path, Header() + Event({Record(211, 0.3, 0.0, 0.0)}));
  std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
  EXPECT_NE(out.find("CSourceCalc_OSCAR: no pairs (na=1, nb=1), source left zero\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Effective radii"), std::string::npos);
  EXPECT_EQ(A.GetBiggest(1), 0.0);
}

// The pair histogram on its own: bins on both sides of the last edge, a separation far beyond
// the int range of bin numbers, and the origin (no direction: it adds to the L = 0 part of
// bin 0 only), across several buffer flushes.
TEST(OSCARPairSum, RangeEdgesOriginAndCounts) {
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
  EXPECT_TRUE(A.GetElement(0, 0, 0, 0) == 1000.0 && A.GetBiggest(0) == 1000.0);
  EXPECT_EQ(A.GetElement(0, 0, 0, 1), 0.0);
  for (int lx = 0; lx <= 2; ++lx)
    EXPECT_CLOSE(A.GetElement(lx, 0, 0, 2), 1000.0 * (2 * lx + 1), 1e-14) << lx;
}

// Known Gaussian emission: the printed effective radii are gamma sqrt(Rout^2 + v^2 sigma_t^2),
// Rside, Rlong (v the pair velocity, the same for pions and protons at their momentum shares)
// within 4% (1/sqrt(2N) = 1.1% at N = 4000). The array's integral is 1 within the bins' reach and
// its effective Gaussian radii are the printed ones.
TEST(OSCARGaussian, PrintedRadiiMatchTheEmissionModel) {
  const struct {
    OSCARGen::Geometry geometry;
    bool protons;
    int count, seed;
    double ptwidth;
    const char* lists;
  } cases[] = {{{3.0, 4.0, 5.0}, false, 200, 77, 15.0, "na=4000, nb=4000"},
               {{2.0, 3.0, 3.0, 12.0, 6.0}, true, 150, 91, 2.0, "na=3000, nb=3000"}};
  for (const auto& c : cases) {
    ScratchDir dir;
    CSourceCalc_OSCAR calc;
    Generate(calc, dir, 20, c.count, c.protons, c.geometry, c.seed, c.ptwidth);
    CCHArray A(2, 80, 1.0);
    const std::string out = CAPTURE_STDOUT(calc.CalcS(&A));
    ASSERT_NE(out.find(c.lists), std::string::npos) << out;
    const double mb = c.protons ? 938.28 : 139.58;
    const double v = 600.0 / std::sqrt((139.58 + mb) * (139.58 + mb) + 600.0 * 600.0);
    const double gamma = 1.0 / std::sqrt(1.0 - v * v);
    const double tau = c.geometry.sigmatau;
    const double R[3] = {gamma * std::sqrt(c.geometry.Rout * c.geometry.Rout + v * v * tau * tau),
                         c.geometry.Rside, c.geometry.Rlong};
    double eff[3], off[3];
    CAPTURE_STDOUT(calc.CalcEffGaussPars(&A, eff[0], eff[1], eff[2], off[0], off[1], off[2]));
    const char* names[3] = {"Rout", "Rside", "Rlong"};
    for (int i = 0; i < 3; ++i) {
      EXPECT_CLOSE(Radius(out, names[i]), R[i], 0.04) << names[i];
      EXPECT_CLOSE(eff[i], Radius(out, names[i]), 0.01) << names[i];
    }
    EXPECT_CLOSE_ABS(PrintedValue(out, "xbar="), 0.0, 0.0, 0.4);
    EXPECT_CLOSE(femtokit_test::PrintedNorm(&calc, &A), 1.0,
                 0.005);
  }
}

}  // namespace

// Event-file source: parameters, particle codes, reading of OSCAR files (kinematic window, event
// structure, frame of the stored points) and the fatal paths of the reader; the pair histogram of
// CalcS against the direct pair sum, pair counting and normalisation, printouts, and the effective
// radii of files with known Gaussian emission.

#include <cmath>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "oscar_test_files.h"
#include "source/oscargen.h"
#include "source/pairseparationsum.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::WriteTextFile;
using oscar_test::Event;
using oscar_test::Header;
using oscar_test::Record;
using oscar_test::RunReadR;
using OSCARWindow = oscar_test::OSCARFileTest;
using OSCARFrame = oscar_test::OSCARFileTest;
using OSCAREvents = oscar_test::OSCARFileTest;
using OSCARReadDeath = oscar_test::OSCARFileTest;

// Masses from the codes; the same-species flag is set by equal codes, never reset. Unknown codes
// are fatal, IDa checked first.
TEST(OSCARParameters, MassesAndSameSpeciesFromTheCodes) {
  CSourceCalc_OSCAR calc;
  auto ids = [&calc]() {
    return calc.spars["Ma"] + " " + calc.spars["Mb"] + " " + calc.spars["AEQUALB"];
  };
  calc.SetIDs(-211, 2212);
  EXPECT_EQ(ids(), "139.58 938.28 0");
  calc.SetIDs(-2212, -2212);
  calc.SetIDs(211, -211);
  EXPECT_EQ(ids(), "139.58 139.58 1");
  EXPECT_FATAL(calc.SetIDs(1, 2), "^1 for IDa not recognized\n$");
}

// Identical pions at Pt = 600 MeV/c: each particle's pt window is 300 +- 20 MeV/c, and every
// window edge (exact in double: 0.32 GeV, 90 degrees, rapidity 0) is rejected.
TEST_F(OSCARWindow, KeptParticlesAndEdges) {
  const std::string centre = Record(211, 0.3, 0.0, 0.0);  // phi = atan2(px, py) = pi/2
  // At the default limits: codes other than IDa, IDb are skipped whatever their kinematics, and
  // the azimuth exactly 0 (px = 0, py > 0) is the only one rejected.
  const std::vector<std::string> defaults = {
      Record(211, 0.32, 0, 0),   Record(211, 0.28, 0, 0),   Record(211, 0.3199, 0, 0),
      Record(211, 0.2801, 0, 0), Record(2212, 0.3, 0, 0),   Record(-211, 0.3, 0, 0),
      Record(211, 0.0, 0.3, 0),  Record(211, 1e-6, 0.3, 0), Record(211, -1e-6, 0.3, 0),
      Record(211, 0.0, -0.3, 0), Record(211, -0.3, 0.0, 0)};
  const struct {
    double phimin, phimax, ymin, ymax;
    std::vector<std::string> records;
    size_t kept;
  } cases[] = {
      {0, 360, -3, 3, defaults, 6},
      {0, 90, -3, 3, {centre}, 0},
      {90, 180, -3, 3, {centre}, 0},
      {89.9, 90.1, -3, 3, {centre}, 1},
      {0, 360, 0, 1, {centre}, 0},
      {0, 360, -1, 0, {centre}, 0},
      {0, 360, -0.001, 0.001, {centre, Record(211, 0.3, 0, 0.1)}, 1},
  };
  for (const auto& c : cases) {
    calc.SetSPars(600, 20, c.phimin, c.phimax, c.ymin, c.ymax);
    EXPECT_EQ(Read(Header() + Event(c.records)).a.size(), c.kept)
        << c.phimin << " " << c.phimax << " " << c.ymin;
  }
}

TEST_F(OSCARWindow, SpeciesBUsesItsOwnMomentumShareAndList) {
  calc.SetIDs(211, 2212);
  const double pa = 600.0 * 139.58 / (139.58 + 938.28);  // 77.7 MeV/c
  const double pb = 600.0 * 938.28 / (139.58 + 938.28);  // 522.3 MeV/c
  const oscar_test::ReadResult r =
      Read(Header() + Event({Record(211, pa / 1000.0, 0.0, 0.0),             // a, kept
                             Record(2212, pb / 1000.0, 0.0, 0.0),            // b, kept
                             Record(2212, pa / 1000.0, 0.0, 0.0),            // b outside pb window
                             Record(211, (pa + 25) / 1000.0, 0.0, 0.0),      // a outside
                             Record(2212, (pb + 15) / 1000.0, 0.0, 0.0)}));  // b, kept
  EXPECT_EQ(r.a.size(), 1u);
  EXPECT_EQ(r.b.size(), 2u);
  EXPECT_NE(r.out.find("OSCAR file read: 1 events, na=1, nb=2\n"), std::string::npos) << r.out;
}

// The stored point is in the frame moving with the pair velocity v along the particle's pt, at its
// own longitudinal rest frame: out* = gamma (out - v t'), side* = side, long* = cosh(Y) z -
// sinh(Y) t with t' = cosh(Y) t - sinh(Y) z. The reference time 12 fm/c drops out.
TEST_F(OSCARFrame, StoredPointIsTheEmissionPointInThePairFrame) {
  const double mt = std::sqrt(300.0 * 300.0 + 139.58 * 139.58);
  const double v = 300.0 / mt, gamma = 1.0 / std::sqrt(1.0 - v * v);
  const double Y = 0.5;
  const double pz = mt * std::sinh(Y) / 1000.0, E = mt * std::cosh(Y) / 1000.0;
  // Particle 1: along +x, at rest longitudinally. Particle 2: along -x, rapidity 0.5.
  const oscar_test::ReadResult r =
      Read(Header() + Event({Record(211, 0.3, 0.0, 0.0, 2.0, 1.5, -3.0, 17.0),
                             Record(211, -0.3, 0.0, pz, 2.0, 1.5, -3.0, 17.0, E)}));
  ASSERT_EQ(r.a.size(), 2u);
  // Moving along -x: out = -x, side = -y.
  const double tprime = std::cosh(Y) * 17.0 - std::sinh(Y) * -3.0;
  const double expected[2][3] = {
      {gamma * (2.0 - v * 17.0), 1.5, -3.0},
      {gamma * (-2.0 - v * tprime), -1.5, std::cosh(Y) * -3.0 - std::sinh(Y) * 17.0}};
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 3; ++k)
      EXPECT_CLOSE_ABS(r.a[i][k + 1], expected[i][k], 1e-12, 1e-12) << i << " " << k;
}

// Extra tokens after the last record of an event sit on its line and are skipped with it; a
// Fortran exponent letter reads as E; the last line may lack its newline.
TEST_F(OSCAREvents, PrintoutEventCountAndEndOfFile) {
  std::string last = Record(211, 0.3, 0.0, 0.0);
  last.insert(last.size() - 1, " 99 extra");
  const oscar_test::ReadResult r =
      Read(Header() + Event({Record(211, 0.3, 0.0, 0.0)}) + Event({}) +
           Event({Record(211, 0.3, 0.0, 0.0), last}) +
           "1 0\n1 211 0 0.3D+00 0.0 0.0d0 0.33 0.13958 1.0 2.0 3.0 12.0");
  EXPECT_NE(r.out.find("OSCAR file read: 4 events, na=4, nb=0\n"), std::string::npos) << r.out;
  ASSERT_EQ(r.a.size(), 4u);
  EXPECT_CLOSE_ABS(r.a[3][2], 2.0, kRoundoff, 1e-12);
  // Same species: one list, nb reported equal to na; NEVENTSMAX stops after whole events.
  parameter::set(calc.spars, "AEQUALB", 1);
  parameter::set(calc.spars, "NEVENTSMAX", 2);
  EXPECT_NE(RunReadR(calc).out.find("OSCAR file read: 2 events, na=1, nb=1\n"), std::string::npos);
  // A header of 79-character lines and no events.
  const std::string line79(79, 'h');
  const std::string out =
      Read(line79 + "\n" + line79 + "\n" + line79 + "\n" + line79 + "\n" + line79 + "\n\n  \n").out;
  EXPECT_NE(out.find("dummy line=" + line79 + "\n"), std::string::npos);
  EXPECT_NE(out.find("OSCAR file read: 0 events, na=0, nb=0\n"), std::string::npos);
}

// One case per message; the bad record (a non-finite value) names its event and position.
TEST_F(OSCARReadDeath, BadFilesNameTheFileAndEvent) {
  const std::string good = Record(211, 0.3, 0, 0);
  const struct {
    std::string text;
    const char* regex;
  } cases[] = {
      {"a\nb\n" + std::string(80, 'h') + "\nd\ne\n",
       "OSCAR file .*events\\.oscar: header line 3 has 80 or more characters\n$"},
      {"a\nb\nc\n", "OSCAR file .*events\\.oscar: file ends in header line 4\n$"},
      {Header() + Event({good}) + "x 0\n",
       "OSCAR file .*, event 2: event header is missing or does not parse\n$"},
      {Header() + Event({good}) + "3 0\n" + good + "1 211 0 0.3 nan 0 0.33 0.14 0 0 0 12\n" + good,
       "OSCAR file .*, event 2: particle record 2 of 3 is missing or does not parse\n$"},
  };
  parameter::set(calc.spars, "OSCARfilename", dir / "missing.oscar");
  EXPECT_FATAL(RunReadR(calc, false),
               "Opening .*missing\\.oscar\nCannot open OSCAR file .*missing\\.oscar\n$");
  parameter::set(calc.spars, "OSCARfilename", path);
  for (const auto& c : cases) {
    WriteTextFile(path, c.text);
    EXPECT_FATAL(RunReadR(calc, false), c.regex);
  }
}

TEST_F(OSCARReadDeath, ListCapacityIsNmaxMinusOne) {
  const std::string rec = Record(211, 0.3, 0.0, 0.0);
  parameter::set(calc.spars, "NMAX", 3);
  EXPECT_EQ(Read(Header() + Event({rec, rec})).a.size(), 2u);
  WriteTextFile(path, Header() + Event({rec, rec, rec}));
  EXPECT_FATAL(RunReadR(calc, false), "Too many type-a particles, increase NMAX\n$");
}

using femtokit_test::ScratchDir;
using OSCARCalcS = oscar_test::OSCARFileTest;

// The effective radius `name` ("Rout", "Rside", "Rlong") printed by CalcS.
double Radius(const std::string& text, const std::string& name) {
  return femtokit_test::PrintedValue(text, name + "=", "Effective radii: ");
}
using femtokit_test::PrintedValue;

// Writes `nevents` generated events of `count` particles per species (pi+ alone, or pi+ and p)
// to a legacy file of `dir`, and makes `calc` read them.
void Generate(CSourceCalc_OSCAR& calc, const ScratchDir& dir, int nevents, int count, bool protons,
              const OSCARGen::Geometry& geometry, int seed, double ptwidth) {
  oscar_test::GenerateEvents(dir / "generated.oscar", "legacy", nevents, count, protons, geometry,
                             seed, ptwidth);
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

// Event-file source: parameters, particle codes, reading of OSCAR files (kinematic window, event
// structure, frame of the stored points) and the fatal paths of the reader.

#include <cmath>
#include <map>
#include <string>

#include "common/test_util.h"
#include "oscar_test_files.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using oscar_test::Event;
using oscar_test::Header;
using oscar_test::Record;
using oscar_test::RunReadR;
using oscar_test::UseFile;

// Integer-form keys read back without a decimal point, doubles as "%g" writes them.
TEST(OSCARParameters, DefaultsAndSetter) {
  CSourceCalc_OSCAR calc;
  const std::map<std::string, std::string> defaults = {
      {"Pt", "600"},           {"DELPT", "20"},
      {"PHIMIN_DEG", "0"},     {"PHIMAX_DEG", "360"},
      {"YMIN", "-3"},          {"YMAX", "3"},
      {"IDa", "211"},          {"IDb", "211"},
      {"Ma", "139.58"},        {"Mb", "139.58"},
      {"AEQUALB", "0"},        {"NMAX", "20000"},
      {"NEVENTSMAX", "10000"}, {"OSCARfilename", "UNDEFINED"}};
  EXPECT_EQ(calc.spars, defaults);
  calc.SetSPars(500, 15, 10, 350, -1, 1.5);
  EXPECT_EQ(calc.spars["Pt"] + " " + calc.spars["DELPT"] + " " + calc.spars["PHIMIN_DEG"] + " " +
                calc.spars["PHIMAX_DEG"] + " " + calc.spars["YMIN"] + " " + calc.spars["YMAX"],
            "500 15 10 350 -1 1.5");
}

TEST(OSCARParameters, SetIDsStoresCodesMassesAndSameSpecies) {
  CSourceCalc_OSCAR calc;
  calc.SetIDs(-211, 2212);
  EXPECT_EQ(calc.spars["IDa"], "-211");
  EXPECT_EQ(calc.spars["IDb"], "2212");
  EXPECT_EQ(calc.spars["Ma"], "139.58");
  EXPECT_EQ(calc.spars["Mb"], "938.28");
  EXPECT_EQ(calc.spars["AEQUALB"], "0");  // different codes keep the flag
  calc.SetIDs(-2212, -2212);
  EXPECT_EQ(calc.spars["Ma"], "938.28");
  EXPECT_EQ(calc.spars["AEQUALB"], "1");
  calc.SetIDs(211, -211);
  EXPECT_EQ(calc.spars["AEQUALB"], "1");  // not reset by different codes
}

TEST(OSCARParametersDeath, UnknownCodesAreFatalIDaFirst) {
  CSourceCalc_OSCAR calc;
  EXPECT_FATAL(calc.SetIDs(321, 211), "^321 for IDa not recognized\n$");
  EXPECT_FATAL(calc.SetIDs(211, 111), "^111 for IDb not recognized\n$");
  EXPECT_FATAL(calc.SetIDs(1, 2), "^1 for IDa not recognized\n$");
}

// Identical pions at Pt = 600 MeV/c: each particle's pt window is 300 +- 20 MeV/c. The edge values
// below are exact in double (0.32 GeV * 1000 = 320 MeV exactly, and so on).
class OSCARWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(600.0 * 139.58 / (139.58 + 139.58), 300.0);
    ASSERT_EQ(0.32 * 1000.0, 320.0);
    ASSERT_EQ(0.28 * 1000.0, 280.0);
    UseFile(calc, dir / "events.oscar");
  }
  // Number of kept particles of one event made of `records`.
  int Kept(const std::vector<std::string>& records) {
    WriteTextFile(dir / "events.oscar", Header() + Event(records));
    return static_cast<int>(RunReadR(calc).a.size());
  }
  ScratchDir dir;
  CSourceCalc_OSCAR calc;
};

TEST_F(OSCARWindow, TransverseMomentumEdgesAreRejected) {
  // phi = atan2(px, py) = pi/2 for py = 0, px > 0: inside the default azimuth window.
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 1);
  EXPECT_EQ(Kept({Record(211, 0.32, 0.0, 0.0)}), 0);
  EXPECT_EQ(Kept({Record(211, 0.28, 0.0, 0.0)}), 0);
  EXPECT_EQ(Kept({Record(211, 0.3199, 0.0, 0.0), Record(211, 0.2801, 0.0, 0.0)}), 2);
  // Codes other than IDa, IDb are skipped whatever their kinematics.
  EXPECT_EQ(Kept({Record(2212, 0.3, 0.0, 0.0), Record(-211, 0.3, 0.0, 0.0)}), 0);
}

TEST_F(OSCARWindow, AzimuthEdgesAreRejected) {
  // Default limits 0 and 360 degrees: exactly 0 (px = 0, py > 0) is the only azimuth rejected.
  EXPECT_EQ(Kept({Record(211, 0.0, 0.3, 0.0)}), 0);
  EXPECT_EQ(Kept({Record(211, 1e-6, 0.3, 0.0), Record(211, -1e-6, 0.3, 0.0),
                  Record(211, 0.0, -0.3, 0.0), Record(211, -0.3, 0.0, 0.0)}),
            4);
  // A limit of 90 degrees is exactly the azimuth pi/2 of (px > 0, py = 0).
  ASSERT_EQ(90.0 * 2.0 * M_PI / 360.0, std::atan2(0.3, 0.0));
  calc.SetSPars(600, 20, 0, 90, -3, 3);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 0);
  calc.SetSPars(600, 20, 90, 180, -3, 3);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 0);
  calc.SetSPars(600, 20, 89.9, 90.1, -3, 3);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 1);
}

TEST_F(OSCARWindow, RapidityEdgesAreRejected) {
  // pz = 0 gives rapidity exactly 0.
  calc.SetSPars(600, 20, 0, 360, 0.0, 1.0);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 0);
  calc.SetSPars(600, 20, 0, 360, -1.0, 0.0);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0)}), 0);
  calc.SetSPars(600, 20, 0, 360, -0.001, 0.001);
  EXPECT_EQ(Kept({Record(211, 0.3, 0.0, 0.0), Record(211, 0.3, 0.0, 0.1)}), 1);
}

TEST_F(OSCARWindow, SpeciesBUsesItsOwnMomentumShareAndList) {
  calc.SetIDs(211, 2212);
  const double pa = 600.0 * 139.58 / (139.58 + 938.28);  // 77.7 MeV/c
  const double pb = 600.0 * 938.28 / (139.58 + 938.28);  // 522.3 MeV/c
  WriteTextFile(dir / "events.oscar",
                Header() + Event({Record(211, pa / 1000.0, 0.0, 0.0),         // a, kept
                                  Record(2212, pb / 1000.0, 0.0, 0.0),        // b, kept
                                  Record(2212, pa / 1000.0, 0.0, 0.0),        // b outside pb window
                                  Record(211, (pa + 25) / 1000.0, 0.0, 0.0),  // a outside
                                  Record(2212, (pb + 15) / 1000.0, 0.0, 0.0)}));  // b, kept
  const oscar_test::ReadResult r = RunReadR(calc);
  EXPECT_EQ(r.a.size(), 1u);
  EXPECT_EQ(r.b.size(), 2u);
  EXPECT_NE(r.out.find("OSCAR file read: 1 events, na=1, nb=2\n"), std::string::npos) << r.out;
}

// The stored point is the emission point in the frame moving with the pair velocity v along the
// particle's transverse momentum, at the particle's own longitudinal rest frame: for a particle at
// the window centre, out* = gamma (out - v t'), side* = side, long* = cosh(Y) z - sinh(Y) t with
// t' = cosh(Y) t - sinh(Y) z. The reference time 12 fm/c drops out.
TEST(OSCARFrame, StoredPointIsTheEmissionPointInThePairFrame) {
  ScratchDir dir;
  const double mt = std::sqrt(300.0 * 300.0 + 139.58 * 139.58);
  const double v = 300.0 / mt, gamma = 1.0 / std::sqrt(1.0 - v * v);
  const double Y = 0.5;
  const double pz = mt * std::sinh(Y) / 1000.0, E = mt * std::cosh(Y) / 1000.0;
  // Particle 1: along +x, at rest longitudinally. Particle 2: along -x, rapidity 0.5.
  WriteTextFile(dir / "events.oscar",
                Header() + Event({Record(211, 0.3, 0.0, 0.0, 2.0, 1.5, -3.0, 17.0),
                                  Record(211, -0.3, 0.0, pz, 2.0, 1.5, -3.0, 17.0, E)}));
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "events.oscar");
  const oscar_test::ReadResult r = RunReadR(calc);
  ASSERT_EQ(r.a.size(), 2u);
  EXPECT_CLOSE_ABS(r.a[0][1], gamma * (2.0 - v * 17.0), 1e-12, 1e-12);
  EXPECT_CLOSE_ABS(r.a[0][2], 1.5, kRoundoff, 1e-12);
  EXPECT_CLOSE_ABS(r.a[0][3], -3.0, kRoundoff, 1e-12);
  // Moving along -x: out = -x, side = -y.
  const double tprime = std::cosh(Y) * 17.0 - std::sinh(Y) * -3.0;
  EXPECT_CLOSE_ABS(r.a[1][1], gamma * (-2.0 - v * tprime), 1e-12, 1e-12);
  EXPECT_CLOSE_ABS(r.a[1][2], -1.5, kRoundoff, 1e-12);
  EXPECT_CLOSE_ABS(r.a[1][3], std::cosh(Y) * -3.0 - std::sinh(Y) * 17.0, 1e-12, 1e-12);
  EXPECT_NE(r.out.find("Pt=600, gammav=2.14931, gamma=2.37055\n"), std::string::npos) << r.out;
}

TEST(OSCAREvents, PrintoutEventCountAndEndOfFile) {
  ScratchDir dir;
  const std::string path = dir / "events.oscar";
  // Extra tokens after the last record of an event sit on its line and are skipped with it.
  std::string last = Record(211, 0.3, 0.0, 0.0);
  last.insert(last.size() - 1, " 99 extra");
  WriteTextFile(path, Header() + Event({Record(211, 0.3, 0.0, 0.0)}) + Event({}) +
                          Event({Record(211, 0.3, 0.0, 0.0), last}));
  CSourceCalc_OSCAR calc;
  UseFile(calc, path);
  oscar_test::ReadResult r = RunReadR(calc);
  EXPECT_EQ(r.out, "Pt=600, gammav=2.14931, gamma=2.37055\nOpening " + path +
                       "\ndummy line=OSC1997A\ndummy line=final_id_p_x\ndummy line=test events\n"
                       "dummy line=header line 4\ndummy line=header line 5\n"
                       "OSCAR file read: 3 events, na=3, nb=0\n");
  // Same species: one list, nb reported equal to na.
  parameter::set(calc.spars, "AEQUALB", 1);
  EXPECT_NE(RunReadR(calc).out.find("OSCAR file read: 3 events, na=3, nb=3\n"), std::string::npos);
  parameter::set(calc.spars, "NEVENTSMAX", 1);
  EXPECT_NE(RunReadR(calc).out.find("OSCAR file read: 1 events, na=1, nb=1\n"), std::string::npos);
  parameter::set(calc.spars, "NEVENTSMAX", 2);
  EXPECT_NE(RunReadR(calc).out.find("OSCAR file read: 2 events, na=1, nb=1\n"), std::string::npos);
  // A header of 79-character lines and no events.
  const std::string line79(79, 'h');
  WriteTextFile(
      path, line79 + "\n" + line79 + "\n" + line79 + "\n" + line79 + "\n" + line79 + "\n\n  \n");
  r = RunReadR(calc);
  EXPECT_NE(r.out.find("dummy line=" + line79 + "\n"), std::string::npos);
  EXPECT_NE(r.out.find("OSCAR file read: 0 events, na=0, nb=0\n"), std::string::npos);
}

TEST(OSCAREvents, FortranExponentsAndMissingFinalNewlineAreRead) {
  ScratchDir dir;
  const std::string path = dir / "events.oscar";
  WriteTextFile(path, Header() + "1 0\n1 211 0 0.3D+00 0.0 0.0d0 0.33 0.13958 1.0 2.0 3.0 12.0");
  CSourceCalc_OSCAR calc;
  UseFile(calc, path);
  const oscar_test::ReadResult r = RunReadR(calc);
  ASSERT_EQ(r.a.size(), 1u);
  EXPECT_CLOSE_ABS(r.a[0][2], 2.0, kRoundoff, 1e-12);
}

TEST(OSCARReadDeath, BadFilesNameTheFileAndEvent) {
  ScratchDir dir;
  const std::string path = dir / "events.oscar";
  CSourceCalc_OSCAR calc;
  UseFile(calc, dir / "missing.oscar");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "Opening .*missing\\.oscar\nCannot open OSCAR file .*missing\\.oscar\n$");
  UseFile(calc, path);
  WriteTextFile(path, "a\nb\n" + std::string(80, 'h') + "\nd\ne\n");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "OSCAR file .*events\\.oscar: header line 3 has 80 or more characters\n$");
  WriteTextFile(path, "a\nb\nc\n");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "OSCAR file .*events\\.oscar: file ends in header line 4\n$");
  WriteTextFile(path, Header() + Event({Record(211, 0.3, 0, 0)}) + "x 0\n");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "OSCAR file .*, event 2: event header is missing or does not parse\n$");
  WriteTextFile(path,
                Header() + Event({Record(211, 0.3, 0, 0)}) + "3 0\n" + Record(211, 0.3, 0, 0));
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "OSCAR file .*, event 2: particle record 2 of 3 is missing or does not parse\n$");
  WriteTextFile(path, Header() + "1 0\n1 211 0 0.3 abc 0 0.33 0.14 0 0 0 12\n0 0\n0 0\n0 0\n");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "OSCAR file .*, event 1: particle record 1 of 1 is missing or does not parse\n$");
  WriteTextFile(path, Header() + "1 0\n1 211 0 0.3 nan 0 0.33 0.14 0 0 0 12\n0 0\n0 0\n0 0\n");
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc),
               "particle record 1 of 1 is missing or does not parse\n$");
}

TEST(OSCARReadDeath, ListCapacityIsNmaxMinusOne) {
  ScratchDir dir;
  const std::string path = dir / "events.oscar";
  const std::string rec = Record(211, 0.3, 0.0, 0.0);
  CSourceCalc_OSCAR calc;
  UseFile(calc, path);
  parameter::set(calc.spars, "NMAX", 3);
  WriteTextFile(path, Header() + Event({rec, rec}));
  EXPECT_EQ(RunReadR(calc).a.size(), 2u);
  WriteTextFile(path, Header() + Event({rec, rec, rec}));
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc), "Too many type-a particles, increase NMAX\n$");
  // The same records as species b (the masses, hence the momentum shares, stay those of pions).
  parameter::set(calc.spars, "IDa", 2212);
  EXPECT_FATAL(oscar_test::ReadUncaptured(calc), "Too many type-b particles, increase NMAX\n$");
}

}  // namespace

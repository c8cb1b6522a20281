// Event-file layouts and the growing-list source: identical physics from every layout, the
// readers' refusals (file, event and line in every message), the species table, same-event
// pairing, threads, and partial sums that add up to the whole. The readers on their own: every
// layout is detected and hands back exactly the particles the generator drew, Fortran-style
// numbers, empty events and the partial-sums file's refusals.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "numeric/threads.h"
#include "oscar_test_files.h"
#include "source/eventreader.h"
#include "source/oscargen.h"
#include "source/sourcecalc_oscar.h"
#include "source/species.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

const char* const kFormats[] = {"legacy",    "OSC1997A",          "OSC1999A",
                                "OSCAR2013", "OSCAR2013Extended", "SMASHbinary"};

// Writes `nevents` events of `count` pions (and as many protons with `protons`) in `format`.
std::string Generate(const ScratchDir& dir, const std::string& format, int nevents, int count,
                     bool protons = false, double eventshift = 0.0) {
  OSCARGen::Geometry geometry{3.0, 4.0, 5.0};
  geometry.eventshift = eventshift;
  const std::string path = dir / ("events." + format);
  oscar_test::GenerateEvents(path, format, nevents, count, protons, geometry, 17);
  return path;
}

// CalcS of `file` with extra keys; the printout in *out.
void Source(CSourceCalc_OSCAR& calc, const std::string& file, CCHArray* A,
            std::string* out = nullptr) {
  parameter::set(calc.spars, "OSCARfilename", file);
  const std::string text = CAPTURE_STDOUT(calc.CalcS(A));
  if (out != nullptr) *out = text;
}

std::string Bytes(const std::vector<uint32_t>& words16_32, const std::vector<int>& sizes) {
  std::string s;
  for (size_t i = 0; i < words16_32.size(); ++i)
    for (int b = 0; b < sizes[i]; ++b) s.push_back(static_cast<char>(words16_32[i] >> (8 * b)));
  return s;
}

// One case per kind of fault; each message names the file, the layout, the line (byte) and the
// event.
TEST(EventFormatsDeath, FaultsNameFileEventAndLine) {
  ScratchDir dir;
  const std::string h2013 =
      "#!OSCAR2013 particle_lists t x y z mass p0 px py pz pdg ID charge\n# Units: fm\n# m\n";
  auto p2013 = [](const std::string& x, const std::string& px = "0.3") {
    return "12 " + x + " 0 0 0.13958 0.33 " + px + " 0 0 211 0 1\n";
  };
  const std::string ok = p2013("1");
  const std::string smsh = "SMSH" + Bytes({10, 0, 1}, {2, 2, 4}) + "v";
  const struct {
    std::string text, regex;
  } cases[] = {
      {h2013 + "# event 0 out 2\n" + ok,
       "\\(OSCAR2013\\), line 5, event 1: the file ends after 1 of 2 particle lines"},
      {h2013 + "# event 0 ensemble 0 out 2\n" + ok + "# event 0 ensemble 0 end 0 impact 0\n",
       "line 6, event 1: particle line 2 of 2 has 9 fields, the layout has 12"},
      {h2013 + "# event 0 out 1\n" + ok + "# event 0 end\n# event 1 out 1\n12 1 0 0\n",
       "line 8, event 2: particle line 1 of 1 has 4 fields"},
      {h2013 + "# event 0 out 1\n" + p2013("abc"), "line 5, .*\\(x\\) \"abc\" is not a finite"},
      {h2013 + "# event 0 out 1\n" + p2013("1", "-3.79e-"), "\\(px\\) \"-3.79e-\" is not a finite"},
      {h2013 + "# event 0 out 1\n" + p2013("1", "nan"), "\\(px\\) \"nan\" is not a finite"},
      {h2013 + "# event 0 out 1\n" + p2013("1e300"), "line 5, event 1: particle point .* beyond"},
      {h2013 + "# event 0 out 1\n" + ok.substr(0, ok.size() - 1),
       "line 5, event 1: particle line 1 of 1 is cut at the end of the file"},
      {h2013 + "# event 0 out 1\n" + ok, "line 5, event 1: the file ends before the event's"},
      {"OSC1997A\nfinal_id_p_x\nm\n1 2 0.0 0.0\n1 211 0.3 0 0 0.33 0.14 0 0 0 12\n",
       "\\(OSC1997A\\), line 5, event 1: the file ends after 1 of 2 particle lines"},
      {"# OSC1999A\n# full_event_history\n", "line 2 is not \"# final_id_p_x\""},
      {oscar_test::Header() + oscar_test::Event({oscar_test::Record(211, 0.3, 0, 0, 1e300)}),
       "\\(legacy\\), line 7, event 1: particle point"},
      {"one\ntwo\nthree\nfour\nfive\nsix seven\n",
       "none of the layouts understood: legacy .*SMASHbinary"},
      {"SMSH" + Bytes({9, 0}, {2, 2}), "byte 8, event 1: format version 9 is not understood"},
      {"SMSH" + Bytes({10, 2}, {2, 2}), "variant 2 is not understood"},
      {smsh + "p" + Bytes({0, 0, 2}, {4, 4, 4}) + std::string(84, '\0') + std::string(10, '\0'),
       "byte 120, event 1: the file ends inside particle record 2 of 2"},
      {smsh + "x", "byte 14, event 1: unknown block type byte 0x78"},
  };
  for (const auto& c : cases) {
    const std::string path = dir / "bad.events";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(c.text.data(), 1, c.text.size(), f);
    std::fclose(f);
    CSourceCalc_Events calc;
    parameter::set(calc.spars, "OSCARfilename", path);
    CCHArray A(1, 4, 1.0);
    EXPECT_FATAL(calc.CalcS(&A), "event file .*bad\\.events.*" + c.regex);
  }
}

// Masses and charges by PDG code, the antiparticle's sign; codes outside the table are unknown.
TEST(EventSpecies, TableByCode) {
  const struct {
    int code;
    double mass;
    int charge;
  } cases[] = {{-211, 139.58, -1}, {3122, 1115.683, 0}, {-3312, 1321.71, 1},
               {1000020040, 3727.379, 2}};
  for (const auto& c : cases) {
    femtokit::SpeciesInfo info;
    ASSERT_TRUE(femtokit::FindSpecies(c.code, &info)) << c.code;
    EXPECT_EQ(info.mass, c.mass) << c.code;
    EXPECT_EQ(info.charge, c.charge) << c.code;
  }
  femtokit::SpeciesInfo info;
  for (int code : {0, 1, 213, 999999})
    EXPECT_FALSE(femtokit::FindSpecies(code, &info)) << code;
  CSourceCalc_OSCAR calc;
  calc.SetIDs(321, -321);
  EXPECT_EQ(calc.spars["Ma"] + " " + calc.spars["Mb"], "493.677 493.677");
  EXPECT_FATAL(calc.SetIDs(211, 12345), "^12345 for IDb not recognized\n$");
}

// Effective radius `name` printed by CalcS.
double Radius(const std::string& out, const std::string& name) {
  return femtokit_test::PrintedValue(out, name + "=", "Effective radii:");
}

// Independent events: same-event and all-event pairing agree within statistics. A common shift
// of each event along the beam (spread 6 fm) leaves same-event pairs alone and widens Rlong of
// all-event pairs (to about sqrt(5^2 + <cosh^2 y> 6^2) = 8.0 fm).
TEST(EventPairing, SameEventAgainstAllEvents) {
  ScratchDir dir;
  const struct {
    double shift, rlong_all_min, rlong_all_max;
  } cases[] = {{0.0, 4.7, 5.3}, {6.0, 7.0, 9.0}};
  for (const auto& c : cases) {
    const std::string file = Generate(dir, "OSCAR2013", 40, 60, false, c.shift);
    double rlong[2];
    for (int same = 0; same < 2; ++same) {
      CSourceCalc_Events calc;
      parameter::set(calc.spars, "PAIRING", same ? "event" : "all");
      CCHArray A(0, 60, 1.0);
      std::string out;
      Source(calc, file, &A, &out);
      rlong[same] = Radius(out, "Rlong");
      EXPECT_CLOSE(Radius(out, "Rside"), 4.0, 0.07) << out;
    }
    EXPECT_CLOSE(rlong[1], 5.0, 0.07) << c.shift;
    EXPECT_TRUE(rlong[0] > c.rlong_all_min && rlong[0] < c.rlong_all_max) << rlong[0];
  }
  CSourceCalc_Events calc;
  parameter::set(calc.spars, "PAIRING", "pairs");
  parameter::set(calc.spars, "OSCARfilename", Generate(dir, "legacy", 1, 2));
  CCHArray A(0, 4, 1.0);
  EXPECT_FATAL(calc.CalcS(&A), "PAIRING \"pairs\" is neither");
}

// Two threads give the one-thread source; the shares of two jobs add up to the whole, also
// through the partial-sums file. Pions alone, pions with protons, both pairings.
TEST(EventPairSums, ThreadsAndSharesEqualTheWhole) {
  ScratchDir dir;
  for (bool protons : {false, true})
    for (const char* pairing : {"all", "event"}) {
      SCOPED_TRACE(std::string(pairing) + (protons ? " pion-proton" : " pions"));
      // Enough pairs (180,000 and more) for both threads to work.
      const std::string file = Generate(dir, "SMASHbinary", 16, 150, protons);
      CSourceCalc_Events calc;
      if (protons) calc.SetIDs(211, 2212);
      parameter::set(calc.spars, "OSCARfilename", file);
      parameter::set(calc.spars, "PAIRING", pairing);
      CCHArray whole(4, 15, 1.0), threads(4, 15, 1.0), halves(4, 15, 1.0), half(4, 15, 1.0);
      OSCARPairTotals t1, t2, sum, part;
      femtokit::SetThreadCount(1);
      CAPTURE_STDOUT(calc.AccumulateS(&whole, &t1));
      femtokit::SetThreadCount(2);
      CAPTURE_STDOUT(calc.AccumulateS(&threads, &t2));
      femtokit::SetThreadCount(0);
      // Equal codes pair as one species without SetIDs (every particle is kept).
      const double n = 16 * 150;
      EXPECT_EQ(t1.npairs, std::string(pairing) == "all" ? (protons ? n * n : n * (n - 1) / 2)
                                                          : (protons ? n * n / 16 : n * 149 / 2));
      oscar_test::ExpectSameComponents(threads, whole);
      EXPECT_EQ(t1.npairs, t2.npairs);
      EXPECT_CLOSE(t1.sumzz, t2.sumzz, 1e-12);
      halves.ZeroArray();
      for (int share = 0; share < 2; ++share) {
        CAPTURE_STDOUT(calc.AccumulateS(&half, &part, share, 2));
        ASSERT_TRUE(WriteOSCARPartial(dir / "part", half, part));
        OSCARPairTotals back;
        const auto read = ReadOSCARPartial(dir / "part", &back);
        AddFlattened(FlattenArray(*read), &halves);
        sum.Add(back);
      }
      oscar_test::ExpectSameComponents(halves, whole);
      EXPECT_EQ(sum.npairs, t1.npairs);
      EXPECT_CLOSE(sum.sumxx, t1.sumxx, 1e-12);
    }
}

// The common time: a particle moving with the pair velocity keeps its pair-frame point whatever
// TCOMMON; one at another velocity v' moves by (TCOMMON - 12) (gamma v' - gamma v) along out.
TEST(EventFrame, CommonTimeKey) {
  ScratchDir dir;
  WriteTextFile(dir / "e.oscar",
                oscar_test::Header() + oscar_test::Event({oscar_test::Record(211, 0.3, 0, 0, 1.0),
                                                          oscar_test::Record(211, 0.315, 0, 0, 1.0)}));
  CSourceCalc_OSCAR calc;
  parameter::set(calc.spars, "OSCARfilename", dir / "e.oscar");
  const oscar_test::ReadResult at12 = oscar_test::RunReadR(calc);
  parameter::set(calc.spars, "TCOMMON", 30.0);
  const oscar_test::ReadResult at30 = oscar_test::RunReadR(calc);
  const double v = 300.0 / std::sqrt(300.0 * 300.0 + 139.58 * 139.58);
  const double vp = 315.0 / std::sqrt(315.0 * 315.0 + 139.58 * 139.58);
  const double gamma = 1.0 / std::sqrt(1.0 - v * v);
  ASSERT_EQ(at30.a.size(), 2u);
  EXPECT_CLOSE_ABS(at30.a[0][1], at12.a[0][1], 1e-12, 1e-12);
  EXPECT_CLOSE(at30.a[1][1] - at12.a[1][1], 18.0 * gamma * (vp - v), 1e-9);
}

// Lists grow: 200 events of 110 pions (22,000 kept, beyond the old default of 20,000) pair per
// event without NMAX; NMAX, when given, is a cap.
TEST(EventLists, GrowWithoutNmaxAndStopAtAGivenCap) {
  ScratchDir dir;
  const std::string file = Generate(dir, "OSCAR2013", 200, 110);
  CSourceCalc_Events calc;
  parameter::set(calc.spars, "PAIRING", "event");
  parameter::set(calc.spars, "DELPT", 100);
  CCHArray A(0, 30, 1.0);
  std::string out;
  Source(calc, file, &A, &out);
  EXPECT_NE(out.find("na=22000, nb=22000"), std::string::npos) << out;
  parameter::set(calc.spars, "NMAX", 20000);
  EXPECT_FATAL(calc.CalcS(&A), "Too many type-a particles, increase NMAX");
}

using femtokit::EventParticle;

class EventReaderLayout : public ::testing::TestWithParam<const char*> {};

// Pions and antiprotons of a thermal source, three events: the file read back equals the draws
// bit for bit (17 digits in text, raw doubles in binary), whatever the layout writes besides the
// final state.
TEST_P(EventReaderLayout, ReturnsTheGeneratedParticlesExactly) {
  ScratchDir dir;
  std::vector<OSCARGen::Species> species = {{211, 139.58, 7}, {-2212, 938.28, 4}};
  species[1].T = 150.0;
  const OSCARGen::Geometry geometry{3.0, 4.0, 5.0, 10.0, 2.0};
  CRandom write_random(5), draw_random(5);
  ASSERT_TRUE(OSCARGen::WriteFormat(dir / "e", GetParam(), 3, species, geometry, &write_random));
  EXPECT_EQ(femtokit::DetectEventFormat(dir / "e"), GetParam());  // from its first lines
  auto reader = femtokit::OpenEventFile(dir / "e", GetParam());
  EXPECT_EQ(std::string(reader->Name()), GetParam());
  std::vector<EventParticle> got;
  for (int event = 1; event <= 3; ++event) {
    ASSERT_TRUE(reader->NextEvent(&got)) << event;
    const std::vector<EventParticle> drawn = OSCARGen::GenerateEvent(species, geometry, &draw_random);
    ASSERT_EQ(got.size(), drawn.size());
    for (size_t i = 0; i < got.size(); ++i) {
      const EventParticle &g = got[i], &d = drawn[i];
      EXPECT_EQ(g.code, d.code);
      const double gv[] = {g.E, g.px, g.py, g.pz, g.mass, g.t, g.x, g.y, g.z};
      const double dv[] = {d.E, d.px, d.py, d.pz, d.mass, d.t, d.x, d.y, d.z};
      for (int k = 0; k < 9; ++k) EXPECT_EQ(gv[k], dv[k]) << "event " << event << " particle " << i << " value " << k;
    }
  }
  EXPECT_FALSE(reader->NextEvent(&got));
  EXPECT_EQ(reader->EventsRead(), 3);
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, EventReaderLayout, ::testing::ValuesIn(kFormats));

// Fortran numbers (E and D exponents, a leading +, CRLF line ends) in an OSC1997A file; an event
// without particles is an event; blank lines between events are passed over.
TEST(EventReaderText, FortranNumbersAndEmptyEvents) {
  ScratchDir dir;
  WriteTextFile(dir / "u",
                "OSC1997A\r\nfinal_id_p_x\r\nUrQMD 3.4 (197, 79)+(197, 79) eqsp 0.2000E+03 1\r\n"
                "1 1 0.5000E+00 0.1D+01\r\n"
                "1 -321 +0.125E+00 -0.25D+00 0.5 0.75E0 0.493677E+00 1.5 -2.5D1 3 12\r\n"
                "\n2 0 0.0 0.0\n");
  auto reader = femtokit::OpenEventFile(dir / "u");
  std::vector<EventParticle> p;
  ASSERT_TRUE(reader->NextEvent(&p));
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].code, -321);
  const double got[] = {p[0].px, p[0].py, p[0].pz, p[0].E, p[0].mass, p[0].x, p[0].y, p[0].z, p[0].t};
  const double want[] = {0.125, -0.25, 0.5, 0.75, 0.493677, 1.5, -25.0, 3.0, 12.0};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(got[k], want[k]) << k;
  ASSERT_TRUE(reader->NextEvent(&p));
  EXPECT_TRUE(p.empty());
  EXPECT_FALSE(reader->NextEvent(&p));
}

// A partial-sums file that is not whole is refused with its name and line.
TEST(EventPartialFileDeath, MalformedFilesNameFileAndLine) {
  ScratchDir dir;
  CCHArray A(1, 2, 1.0);
  OSCARPairTotals totals;
  totals.npairs = 3;
  ASSERT_TRUE(WriteOSCARPartial(dir / "good", A, totals));
  const std::string good = femtokit_test::ReadTextFile(dir / "good");
  const size_t values = good.find("values");
  const struct {
    std::string text, regex;
  } cases[] = {
      {"something else\n", "line 1: femtokit pair-separation partial sums 1 expected"},
      {good.substr(0, values) + "values 7\n", "line 4: \"values N\" for this array expected"},
      {good.substr(0, good.size() - 2), "line 12: the file ends where a value was expected"},
      {good.substr(0, good.size() - 2) + "nan\n", "line 12: a finite value expected"},
  };
  for (const auto& c : cases) {
    WriteTextFile(dir / "bad", c.text);
    OSCARPairTotals t;
    EXPECT_FATAL(ReadOSCARPartial(dir / "bad", &t), "partial sums file .*bad, " + c.regex);
  }
}

}  // namespace

// Event-file readers on their own: every layout hands back exactly the particles the generator
// drew (code, four-momentum, mass, point, event by event), Fortran-style numbers, empty events
// and the partial-sums file's refusals.

#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "numeric/random.h"
#include "source/eventreader.h"
#include "source/oscargen.h"
#include "source/sourcecalc_oscar.h"

namespace {

using femtokit::EventParticle;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;

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

INSTANTIATE_TEST_SUITE_P(AllLayouts, EventReaderLayout,
                         ::testing::Values("legacy", "OSC1997A", "OSC1999A", "OSCAR2013",
                                           "OSCAR2013Extended", "SMASHbinary"));

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

// The wave function of the solved pairs: the free and Coulomb limits, continuity in r, unitarity
// of the solutions and the pair file.

#include "wavefunctions/wf_solved.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "common/test_util.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/threads.h"
#include "wavefunctions/pairs.h"

namespace {

using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
namespace constants = femtokit::constants;

std::string WfPars(const ScratchDir& dir, const std::string& extra = "") {
  const std::string path = dir / "wf.dat";
  WriteTextFile(path, "int NQMAX 6\ndouble DELQ 8.0\ndouble EPSILON 5.0\n" + extra);
  return path;
}

std::unique_ptr<CWaveFunction_solved> Make(const std::string& pars, femtokit::SolvedPair pair) {
  std::unique_ptr<CWaveFunction_solved> wf;
  CAPTURE_STDOUT(wf = std::make_unique<CWaveFunction_solved>(pars.c_str(), std::move(pair)));
  return wf;
}

// A neutral pair whose s and p waves go through the solver with potentials of zero strength:
// distinct, identical spin-1/2 fermions, or identical spin-0 bosons.
enum class Kind { kDistinct, kFermions, kBosons };
femtokit::SolvedPair ZeroPotentialPair(Kind kind) {
  femtokit::SolvedPair pair;
  pair.name = "zero";
  pair.m1 = pair.m2 = constants::kMassNeutron;
  pair.identical = kind != Kind::kDistinct;
  const auto zero = std::make_shared<femtokit::SquareWell>(0.0, 2.0);
  const femtokit::SolvedWave s{"S", 0, -1, zero}, p{"P", 1, -1, zero};
  if (kind == Kind::kFermions)
    pair.channels = {{"singlet", 0, 0.25, {s}}, {"triplet", 1, 0.75, {p}}};
  else if (kind == Kind::kBosons)
    pair.channels = {{"spin 0", 0, 1.0, {s}}};
  else
    pair.channels = {{"all", 0, 1.0, {s, p}}};
  return pair;
}

// Without interaction: distinct particles 1, identical spin-1/2 fermions 1 - cos(2 q.r)/2,
// identical bosons 1 + cos(2 q.r).
TEST(SolvedWaveFunction, PotentialOffGivesTheFreeWaves) {
  ScratchDir dir;
  const std::string pars = WfPars(dir);
  const auto distinct = Make(pars, ZeroPotentialPair(Kind::kDistinct));
  const auto fermions = Make(pars, ZeroPotentialPair(Kind::kFermions));
  const auto bosons = Make(pars, ZeroPotentialPair(Kind::kBosons));
  for (int iq = 0; iq < 6; iq++)
    for (const double r : {0.0, 0.3, 1.7, 6.0, 30.0})
      for (const double c : {-1.0, -0.2, 0.5, 1.0}) {
        const double x = 2.0 * distinct->GetQ(iq) * r * c / constants::kHbarC;
        EXPECT_NEAR(distinct->CalcPsiSquared(iq, r, c), 1.0, 1e-8);
        EXPECT_NEAR(fermions->CalcPsiSquared(iq, r, c), 1.0 - 0.5 * std::cos(x), 1e-8);
        EXPECT_NEAR(bosons->CalcPsiSquared(iq, r, c), 1.0 + std::cos(x), 1e-8);
      }
}

// pp with its potentials switched off is the spin-averaged Coulomb wave; with them on it differs.
TEST(SolvedWaveFunction, StrongOffIsTheCoulombWaveOfTheSameEta) {
  ScratchDir dir;
  const auto off = Make(WfPars(dir, "bool STRONG 0\n"), femtokit::ReidProtonProton());
  const auto on = Make(WfPars(dir), femtokit::ReidProtonProton());
  for (const int iq : {0, 5}) {
    CPlaneWave plane(femtokit::SommerfeldEta(constants::kMassProton / 2, 1, off->GetQ(iq)), 1,
                     off->GetQ(iq));
    for (const double r : {0.5, 3.0}) {
      const auto pp = plane.planewave(r, 0.4), pm = plane.planewave(r, -0.4);
      const double expected = 0.125 * std::norm(pp + pm) + 0.375 * std::norm(pp - pm);
      EXPECT_NEAR(off->CalcPsiSquared(iq, r, 0.4), expected, 1e-8);
      EXPECT_GT(std::fabs(on->CalcPsiSquared(iq, r, 0.4) - expected), 1e-3);
    }
  }
}

class SolvedPairs : public ::testing::TestWithParam<std::string> {};

// No seam at any wave's matching radius, none between grid points, and unitary solutions.
TEST_P(SolvedPairs, ContinuousInRAndUnitary) {
  ScratchDir dir;
  std::unique_ptr<CWaveFunction> base;
  CAPTURE_STDOUT(base = femtokit::MakeWaveFunction(GetParam(), WfPars(dir)));
  auto* wf = dynamic_cast<CWaveFunction_solved*>(base.get());
  ASSERT_NE(wf, nullptr);
  const femtokit::SolvedPair& pair = wf->Pair();
  for (size_t c = 0; c < pair.channels.size(); c++)
    for (size_t w = 0; w < pair.channels[c].waves.size(); w++) {
      const double rm = wf->Wave(c, w).MatchingRadius();
      for (int iq = 0; iq < wf->GetNQMAX(); iq++) {
        const femtokit::WaveSolution& s = wf->Solution(c, w, iq);
        EXPECT_NEAR(std::abs(s.e), std::cos(2.0 * s.mixing), 1e-10);
        for (const double ct : {-0.7, 0.9}) {
          EXPECT_CLOSE_ABS(wf->CalcPsiSquared(iq, rm * (1 - 1e-9), ct),
                           wf->CalcPsiSquared(iq, rm * (1 + 1e-9), ct), 2e-6, 1e-8);
          // Across half a grid step deep inside: smooth, no jump of a table lookup.
          const double a = wf->CalcPsiSquared(iq, 1.2349, ct);
          const double b = wf->CalcPsiSquared(iq, 1.2351, ct);
          EXPECT_CLOSE_ABS(a, b, 1e-3, 1e-6);
        }
      }
    }
}

INSTANTIATE_TEST_SUITE_P(ByName, SolvedPairs,
                         ::testing::Values("pp", "nn", "np", "plambda", "pomega"));

TEST(SolvedPairFile, Reads) {
  ScratchDir dir;
  WriteTextFile(dir / "plambda.pot",
                "string NAME plambda-file\ndouble M1 938.271\ndouble M2 1115.683\n"
                "int NCHANNELS 2\n"
                "double C0_WEIGHT 0.25\nint C0_SPIN 0\nstring C0_W0_POTENTIAL usmani\n"
                "double C0_W0_WC 2137\ndouble C0_W0_RC 0.5\ndouble C0_W0_AC 0.2\n"
                "double C0_W0_M 0.7\ndouble C0_W0_CUT 2\ndouble C0_W0_V 6.3875\n"
                "double C1_WEIGHT 0.75\nint C1_SPIN 1\nstring C1_W0_POTENTIAL usmani\n"
                "double C1_W0_WC 2137\ndouble C1_W0_RC 0.5\ndouble C1_W0_AC 0.2\n"
                "double C1_W0_M 0.7\ndouble C1_W0_CUT 2\ndouble C1_W0_V 6.1375\n");
  // The file name is relative to the parameter file's directory.
  const std::string pars = WfPars(dir, "string POTENTIALFILE plambda.pot\n");
  std::unique_ptr<CWaveFunction> fromfile, builtin;
  CAPTURE_STDOUT(fromfile = femtokit::MakeWaveFunction("potential", pars);
                 builtin = femtokit::MakeWaveFunction("plambda", pars));
  for (int iq = 0; iq < 6; iq++)
    for (const double r : {0.4, 2.0, 12.0})
      // The parameter map keeps six digits: the file's Lambda mass reads as 1115.68 MeV.
      EXPECT_CLOSE(fromfile->CalcPsiSquared(iq, r, 0.3), builtin->CalcPsiSquared(iq, r, 0.3),
                   2e-5);
  // The demo's p-Omega file is the built-in pair.
  const auto demo = Make(pars, femtokit::ReadSolvedPair(std::string(FEMTOKIT_SOURCE_DIR) +
                                                        "/demo/potentials/pomega_hal.pot"));
  const auto pomega = Make(pars, femtokit::HalProtonOmega());
  for (int iq = 0; iq < 6; iq++)
    EXPECT_CLOSE(demo->CalcPsiSquared(iq, 1.3, -0.4), pomega->CalcPsiSquared(iq, 1.3, -0.4), 2e-5);
  WriteTextFile(dir / "bad.pot", "double M1 938\ndouble M2 938\nint NCHANNELS 1\n"
                                 "double C0_WEIGHT 0.5\n");
  EXPECT_FATAL(femtokit::ReadSolvedPair(dir / "bad.pot");
               CWaveFunction_solved(pars.c_str(), femtokit::ReadSolvedPair(dir / "bad.pot")),
               "weights sum to 0.5");
}

// The waves are solved in parallel: one thread and two give the same numbers, and a fatal
// condition inside the parallel loop reaches an embedding program's throwing handler.
TEST(SolvedWaveFunction, ThreadCountIndependentAndFailuresLeaveTheParallelLoop) {
  ScratchDir dir;
  const std::string pars = WfPars(dir);
  femtokit::SetThreadCount(1);
  const auto one = Make(pars, femtokit::ReidProtonProton());
  femtokit::SetThreadCount(2);
  const auto two = Make(pars, femtokit::ReidProtonProton());
  for (int iq = 0; iq < 6; iq++)
    EXPECT_EQ(one->CalcPsiSquared(iq, 1.1, 0.2), two->CalcPsiSquared(iq, 1.1, 0.2));

  // At q = 0.001 MeV/c (eta = 3400) the Coulomb functions at the matching radius overflow.
  WriteTextFile(dir / "q.dat", "2\n0.001 1.0\n");
  WriteTextFile(dir / "tiny.dat", "double DELQ -1\nstring QARRAYFILENAME " + (dir / "q.dat") + "\n");
  const femtokit::FatalHandler previous =
      femtokit::SetFatalHandler([](const std::string& message) { throw std::runtime_error(message); });
  // (Not captured: a capture left open by the exception would break the next one.)
  EXPECT_THROW(CWaveFunction_solved((dir / "tiny.dat").c_str(), femtokit::ReidProtonProton()),
               std::runtime_error);
  femtokit::SetFatalHandler(previous);
  femtokit::SetThreadCount(0);
}

}  // namespace

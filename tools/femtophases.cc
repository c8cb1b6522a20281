// femtophases: the phase shifts that the radial solver finds for a pair, per channel and wave.
//
//   femtophases PAIR WF_PARAMETERS
//
// PAIR is a pair with exact radial waves ("pp", "nn", "np", "plambda", "pomega", "potential" with
// POTENTIALFILE in WF_PARAMETERS); its q grid comes from WF_PARAMETERS. Per wave a block
//   # pair PAIR channel NAME (spin S, weight W) wave NAME ell L, matching radius R fm
//   # a = A fm, r0 = R0 fm                      (s waves, also the 3S1 of 3S1-3D1; nuclear sign,
//                                               Coulomb-modified if charged)
//   q[MeV/c]  delta[deg]                        (single waves)
//   q[MeV/c]  delta[deg]  delta2[deg]  eps[deg] (tensor-coupled pairs, nuclear-bar phases)
// on standard output; phases lie in (-90, 90] degrees, except those of a wave with a bound state
// (np 3S1: Levinson's branch from 180 degrees, wf_solved.h). Exit status 0 on success, 2 on a usage
// error (unknown pair, a pair without radial waves), 1 on a fatal condition of the library.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "numeric/constants.h"
#include "numeric/output.h"
#include "wavefunctions/pairs.h"
#include "tools/program_args.h"
#include "wavefunctions/wf_solved.h"

namespace {

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: femtophases PAIR WF_PARAMETERS\n"
               "Writes the phase shifts of every wave of PAIR on the q grid of WF_PARAMETERS.\n");
}

constexpr double kDegrees = 180.0 / femtokit::constants::kPi;

}  // namespace

int main(int argc, char** argv) {
  const int status = femtokit::HelpOrUsage(argc, argv, 2, 2, [] { PrintUsage(stdout); }, [] {
    std::fprintf(stderr, "femtophases: needs PAIR and WF_PARAMETERS\n");
    PrintUsage(stderr);
  });
  if (status != femtokit::kCarryOn) return status;
  const std::string pairname = argv[1];
  const femtokit::PairInfo* info = femtokit::FindPair(pairname);
  if (info == nullptr) {
    std::fprintf(stderr, "femtophases: unknown pair %s\n", pairname.c_str());
    PrintUsage(stderr);
    return 2;
  }
  // The phase table is the output: keep the library's progress lines out of it.
  femtokit::SetVerbosity(femtokit::Verbosity::kWarning);
  // The wave-function constructors print their parameters with printf: send them to stderr.
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  std::unique_ptr<CWaveFunction> wf = info->make(argv[2]);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  const auto* solved = dynamic_cast<const CWaveFunction_solved*>(wf.get());
  if (solved == nullptr) {
    std::fprintf(stderr, "femtophases: pair %s has no radial waves of its own\n",
                 pairname.c_str());
    return 2;
  }
  const femtokit::SolvedPair& pair = solved->Pair();
  for (size_t c = 0; c < pair.channels.size(); c++) {
    const femtokit::SolvedChannel& ch = pair.channels[c];
    for (size_t w = 0; w < ch.waves.size(); w++) {
      const femtokit::RadialWave& radial = solved->Wave(c, w);
      std::printf("# pair %s channel %s (spin %d, weight %g) wave %s ell %d, matching radius %g fm\n",
                  pair.name.c_str(), ch.name.c_str(), ch.spin, ch.weight, ch.waves[w].name.c_str(),
                  radial.Ell(), radial.MatchingRadius());
      if (radial.Ell() == 0 && ch.waves[w].potential != nullptr) {
        const femtokit::EffectiveRange er = femtokit::EffectiveRangeParameters(radial);
        std::printf("# a = %.4f fm, r0 = %.4f fm\n", er.a, er.r0);
      }
      std::printf(radial.Coupled() ? "# q[MeV/c] delta[deg] delta2[deg] eps[deg]\n"
                                   : "# q[MeV/c] delta[deg]\n");
      for (int iq = 0; iq < wf->GetNQMAX(); iq++) {
        const femtokit::WaveSolution& s = solved->Solution(c, w, iq);
        if (radial.Coupled())
          std::printf("%g %.6f %.6f %.6f\n", wf->GetQ(iq), s.delta * kDegrees,
                      s.delta2 * kDegrees, s.mixing * kDegrees);
        else
          std::printf("%g %.6f\n", wf->GetQ(iq), s.delta * kDegrees);
      }
      std::printf("\n");
    }
  }
  return 0;
}

// Interactions of the solved pairs: per channel and wave, the phase shifts the exact radial
// solver finds on the wave function's q grid and the s-wave scattering parameters (what the
// femtophases program prints), as numpy arrays.

#include <memory>
#include <string>

#include "bind_common.h"
#include "numeric/constants.h"
#include "wavefunctions/radialsolver.h"
#include "wavefunctions/wf_solved.h"

namespace femtokit_python {
namespace {

constexpr double kDegrees = 180.0 / femtokit::constants::kPi;

py::list PhaseShifts(const WaveFunction& w) {
  const auto* solved = dynamic_cast<const CWaveFunction_solved*>(w.wf.get());
  if (solved == nullptr)
    throw py::value_error("pair " + w.pair + " has no radial waves of its own (use pp, nn, np, plambda, "
                          "pomega or potential)");
  const femtokit::SolvedPair& pair = solved->Pair();
  const int nq = w.wf->GetNQMAX();
  py::list out;
  for (std::size_t c = 0; c < pair.channels.size(); ++c) {
    const femtokit::SolvedChannel& ch = pair.channels[c];
    for (std::size_t iw = 0; iw < ch.waves.size(); ++iw) {
      const femtokit::RadialWave& radial = solved->Wave(c, iw);
      py::array_t<double> q(nq), delta(nq), delta2(nq), mixing(nq);
      for (int iq = 0; iq < nq; ++iq) {
        const femtokit::WaveSolution& s = solved->Solution(c, iw, iq);
        q.mutable_at(iq) = w.wf->GetQ(iq);
        delta.mutable_at(iq) = s.delta * kDegrees;
        delta2.mutable_at(iq) = s.delta2 * kDegrees;
        mixing.mutable_at(iq) = s.mixing * kDegrees;
      }
      py::dict d;
      d["channel"] = ch.name;
      d["spin"] = ch.spin;
      d["weight"] = ch.weight;
      d["wave"] = ch.waves[iw].name;
      d["ell"] = radial.Ell();
      d["coupled"] = radial.Coupled();
      d["matching_radius"] = radial.MatchingRadius();
      d["q"] = q;
      d["delta"] = delta;
      if (radial.Coupled()) {
        d["delta2"] = delta2;
        d["mixing"] = mixing;
      }
      if (radial.Ell() == 0 && ch.waves[iw].potential != nullptr) {
        const femtokit::EffectiveRange er = femtokit::EffectiveRangeParameters(radial);
        d["a"] = er.a;
        d["r0"] = er.r0;
      }
      out.append(d);
    }
  }
  return out;
}

}  // namespace

void BindInteractions(py::module_& m) {
  m.def("_phase_shifts", &PhaseShifts, py::arg("wavefunction"),
        "Per wave of a solved pair: phases (degrees) on its q grid, a and r0 of s waves.");
}

}  // namespace femtokit_python

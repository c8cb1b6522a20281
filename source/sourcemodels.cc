#include "source/sourcemodels.h"

#include "numeric/fatal.h"
#include "source/sourcecalc_blast.h"
#include "source/sourcecalc_cauchy.h"
#include "source/sourcecalc_exponential.h"
#include "source/sourcecalc_gaussian.h"
#include "source/sourcecalc_histogram.h"
#include "source/sourcecalc_levy.h"
#include "source/sourcecalc_mtscaled.h"
#include "source/sourcecalc_oscar.h"

namespace femtokit {

namespace {
template <class Model>
std::unique_ptr<CSourceCalc> Make() {
  return std::make_unique<Model>();
}
}  // namespace

const std::vector<SourceModelInfo>& SourceModels() {
  static const std::vector<SourceModelInfo> models = {
      {"gx1d", "Gaussian plus exponential (lambdaG, R, lambdaX, X, a)", Make<CSourceCalc_GX1D>},
      {"gaussian3d", "three-dimensional Gaussian (lambda, Rx, Ry, Rz, Xoff, Yoff, Zoff, Euler angles)",
       Make<CSourceCalc_Gaussian>},
      {"blast", "blast wave (T, Pt, Beta, R, Tau, DelTau, masses, Nsample)",
       Make<CSourceCalc_Blast>},
      {"oscar", "pairs from an event file (OSCARfilename, IDa, IDb, cuts)",
       Make<CSourceCalc_OSCAR>},
      {"events", "pairs from an event file in any known layout, growing lists (PAIRING, TCOMMON)",
       Make<CSourceCalc_Events>},
      {"cauchy1d", "isotropic Cauchy lambda R/(pi^2 (r^2+R^2)^2) (lambda, R)",
       Make<CSourceCalc_Cauchy1D>},
      {"cauchy3d", "out-side-long Cauchy (lambda, Ro, Rs, Rl)", Make<CSourceCalc_Cauchy3D>},
      {"exponential", "exponential lambda exp(-r/R)/(8 pi R^3) (lambda, R)",
       Make<CSourceCalc_Exponential>},
      {"levy1d", "isotropic Levy-stable, C-1 = lambda exp(-|2qR/hbar c|^alpha) (lambda, R, alpha)",
       Make<CSourceCalc_Levy1D>},
      {"levy3d", "out-side-long Levy-stable (lambda, Ro, Rs, Rl, alpha)", Make<CSourceCalc_Levy3D>},
      {"histogram", "S(r) interpolated from a table r, S[, error] (filename, lambda, normalize)",
       Make<CSourceCalc_Histogram>},
  };
  return models;
}

const SourceModelInfo* FindSourceModel(const std::string& name) {
  for (const SourceModelInfo& model : SourceModels())
    if (model.name == name) return &model;
  return nullptr;
}

std::unique_ptr<CSourceCalc> MakeSourceCalc(const std::string& name) {
  if (const SourceModelInfo* model = FindSourceModel(name)) return model->make();
  // "mtscaled:<model>": <model> with its lengths scaled with the transverse mass.
  const std::string mtscaled = "mtscaled:";
  if (name.compare(0, mtscaled.size(), mtscaled) == 0)
    return MakeMtScaledSourceCalc(name.substr(mtscaled.size()));
  std::string known;
  for (const SourceModelInfo& model : SourceModels()) known += " " + model.name;
  Fatal("unknown source model %s; known:%s\n", name.c_str(), known.c_str());
}

}  // namespace femtokit

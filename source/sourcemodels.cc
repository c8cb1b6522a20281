#include "source/sourcemodels.h"

#include "numeric/fatal.h"
#include "source/sourcecalc_blast.h"
#include "source/sourcecalc_gaussian.h"
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
  std::string known;
  for (const SourceModelInfo& model : SourceModels()) known += " " + model.name;
  Fatal("unknown source model %s; known:%s\n", name.c_str(), known.c_str());
}

}  // namespace femtokit

#include "source/sourcecalc_mtscaled.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "numeric/fatal.h"
#include "source/sourcecalc_radial.h"
#include "source/sourcemodels.h"

namespace {

const char* const kModel = "CSourceCalc_MtScaled";
const char* const kOwnKeys[] = {"mT", "mTref", "aMT", "mTkeys"};

bool IsOwnKey(const std::string& key) {
  for (const char* own : kOwnKeys)
    if (key == own) return true;
  return false;
}

std::string Join(const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += (text.empty() ? "" : " ") + key;
  return text;
}

}  // namespace

namespace femtokit {

std::vector<std::string> DefaultMtScaledKeys(const std::string& model_name) {
  if (model_name == "gx1d") return {"R", "X", "a"};
  if (model_name == "gaussian3d") return {"Rx", "Ry", "Rz", "Xoff", "Yoff", "Zoff"};
  if (model_name == "cauchy1d" || model_name == "exponential" || model_name == "levy1d")
    return {"R"};
  if (model_name == "cauchy3d" || model_name == "levy3d") return {"Ro", "Rs", "Rl"};
  return {};
}

std::unique_ptr<CSourceCalc> MakeMtScaledSourceCalc(const std::string& model_name) {
  std::unique_ptr<CSourceCalc> model = MakeSourceCalc(model_name);  // fatal when unknown
  const std::vector<std::string> keys = DefaultMtScaledKeys(model_name);
  if (keys.empty())
    Fatal("%s: model %s has no default lengths to scale; wrap it with explicit keys\n", kModel,
          model_name.c_str());
  return std::make_unique<CSourceCalc_MtScaled>(std::move(model), model_name, keys);
}

}  // namespace femtokit

CSourceCalc_MtScaled::CSourceCalc_MtScaled(std::unique_ptr<CSourceCalc> model,
                                           const std::string& model_name,
                                           const std::vector<std::string>& keys)
    : model_(std::move(model)) {
  if (!model_) femtokit::Fatal("%s: no model to wrap\n", kModel);
  model_defaults_ = model_->spars;
  spars = model_->spars;
  parameter::set(spars, "mT", 1000.0);
  parameter::set(spars, "mTref", 1000.0);
  parameter::set(spars, "aMT", 0.5);
  parameter::set(spars, "mTkeys",
                 Join(keys.empty() ? femtokit::DefaultMtScaledKeys(model_name) : keys));
}

double CSourceCalc_MtScaled::ScaleFactor() const {
  using femtokit::SourcePar::Finite;
  const double mT = Finite(spars, kModel, "mT", 1000.0);
  const double mTref = Finite(spars, kModel, "mTref", 1000.0);
  const double a = Finite(spars, kModel, "aMT", 0.5);
  if (!(mT > 0.0) || !(mTref > 0.0))
    femtokit::Fatal("%s: transverse masses mT=%g and mTref=%g must be positive (MeV)\n", kModel, mT,
                    mTref);
  return std::pow(mT / mTref, -a);
}

CSourceCalc* CSourceCalc_MtScaled::Prepared() {
  const double factor = ScaleFactor();
  const std::vector<std::string> keys = parameter::getVS(spars, "mTkeys", "");
  if (keys.empty() || (keys.size() == 1 && keys[0].empty()))
    femtokit::Fatal("%s: parameter mTkeys names no key to scale\n", kModel);
  for (const std::string& key : keys)
    if (model_defaults_.count(key) == 0 || IsOwnKey(key))
      femtokit::Fatal("%s: scaled key %s is not a parameter of the wrapped model\n", kModel,
                      key.c_str());
  for (const auto& [key, value] : spars)
    if (!IsOwnKey(key)) model_->spars[key] = value;
  for (const std::string& key : keys) {
    const double R0 = femtokit::SourcePar::Finite(spars, kModel, key.c_str(), 0.0);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", R0 * factor);
    parameter::set(model_->spars, key, std::string(text));
  }
  return model_.get();
}

void CSourceCalc_MtScaled::CalcS(CCHArray* A) { Prepared()->CalcS(A); }

void CSourceCalc_MtScaled::CalcS(int lx, int ly, int lz, CCHArray* A) {
  Prepared()->CalcS(lx, ly, lz, A);
}

#ifndef FEMTOKIT_SOURCE_SOURCECALC_MTSCALED_H
#define FEMTOKIT_SOURCE_SOURCECALC_MTSCALED_H

// Transverse-mass scaling of any source model: the lengths of a wrapped model
// follow
//   R(m_T) = R0 (m_T / m_ref)^(-a),
// so that data sets at several pair transverse masses share R0 and a.
//
// CSourceCalc_MtScaled holds another source model (a registry model, e.g. made
// by femtokit::MakeSourceCalc). Its own map `spars` holds every key of the wrapped
// model plus
//   "mT"     pair transverse mass m_T of this data set, MeV (default 1000),
//   "mTref"  reference transverse mass m_ref, MeV (default 1000),
//   "aMT"    the exponent a (default 0.5),
//   "mTkeys" the keys that scale, separated by spaces (default: the model's lengths,
//            see DefaultMtScaledKeys).
// A scaled key holds R0, its value at m_ref; every other key is passed on as is.
// Each computation copies the map into the wrapped model, the scaled keys
// multiplied by (mT/mTref)^(-aMT) (written with 17 digits, so no rounding is
// added), and lets the wrapped model compute. A fit over several data sets gives
// each its own wrapper (its own mT) and writes the shared R0 and aMT into all.
//
// Fatal: mT or mTref not > 0 or not finite, aMT not finite, an empty "mTkeys", a
// scaled key the wrapped model does not have.

#include <memory>
#include <string>
#include <vector>

#include "source/sourcecalc.h"

class CCHArray;

class CSourceCalc_MtScaled : public CSourceCalc {
 public:
  // Wraps model (not null); scaled keys as given, or the defaults of model_name
  // when keys is empty.
  CSourceCalc_MtScaled(std::unique_ptr<CSourceCalc> model, const std::string& model_name,
                       const std::vector<std::string>& keys = {});

  void CalcS(CCHArray* A) override;
  void CalcS(int lx, int ly, int lz, CCHArray* A) override;

  // The factor (mT/mTref)^(-aMT) of the current parameters.
  double ScaleFactor() const;
  // Copies the map into the wrapped model with the scaled keys scaled; returns it.
  CSourceCalc* Prepared();
  // The wrapped model (its map as last prepared).
  CSourceCalc* Wrapped() { return model_.get(); }

 private:
  std::unique_ptr<CSourceCalc> model_;
  parameter_map model_defaults_;  // the wrapped model's own keys, as it was given
};

namespace femtokit {

// The lengths of a registry model that scale by default: "R" for the isotropic
// models (gx1d: "R X a"), "Ro Rs Rl" for the out-side-long ones, "Rx Ry Rz
// Xoff Yoff Zoff" for gaussian3d; empty for models without a default (blast,
// oscar, histogram): give the keys explicitly.
std::vector<std::string> DefaultMtScaledKeys(const std::string& model_name);

// The registry model called model_name wrapped with its default keys (fatal for
// an unknown name or a model without default keys).
std::unique_ptr<CSourceCalc> MakeMtScaledSourceCalc(const std::string& model_name);

}  // namespace femtokit

#endif  // FEMTOKIT_SOURCE_SOURCECALC_MTSCALED_H

// Source parameters that cannot describe a source (an infinite radius, offset, weight, mass or
// momentum) are refused with the model and value named, instead of filling the arrays with NaN.

#include <cmath>
#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "config/parameter.h"
#include "source/sourcecalc.h"
#include "source/sourcecalc_blast.h"
#include "source/sourcecalc_gaussian.h"

namespace {

TEST(SourceValuesDeathTest, NonFiniteParametersAreFatal) {
  struct Case {
    const char* model;
    const char* key;
    double value;
    const char* message;
  };
  const Case cases[] = {
      {"gaussian", "Rx", INFINITY, "CSourceCalc_Gaussian: radii Rx=inf"},
      {"gaussian", "Zoff", -INFINITY, "CSourceCalc_Gaussian: .* must be positive"},
      {"gx1d", "R", INFINITY, "CSourceCalc_GX1D: lengths R=inf"},
      {"gx1d", "lambdaG", NAN, "CSourceCalc_GX1D: lambdaG=nan, .* must be finite"},
      {"blast", "Pt", INFINITY, "CSourceCalc_Blast: Pt=inf MeV/c"},
      {"blast", "Ma", INFINITY, "CSourceCalc_Blast: masses Ma=inf"},
      {"blast", "T", INFINITY, "CSourceCalc_Blast: temperature T=inf"},
  };
  for (const Case& c : cases) {
    CCHArray A(2, 10, 1.0);
    const std::string model = c.model;
    std::unique_ptr<CSourceCalc> source;
    if (model == "gaussian") {
      source = std::make_unique<CSourceCalc_Gaussian>();
    } else if (model == "gx1d") {
      source = std::make_unique<CSourceCalc_GX1D>();
    } else {
      auto blast = std::make_unique<CSourceCalc_Blast>();
      blast->SetSPars(0.5, 10.0, 8.0, 2.0, 0.0, 120.0, 600.0, 1.0, 139.58, 139.58);
      source = std::move(blast);
    }
    parameter::set(source->spars, c.key, c.value);
    EXPECT_FATAL(source->CalcS(&A), c.message) << c.model << " " << c.key;
  }
}

}  // namespace

// The one-dimensional model fit: construction from the model's map (its fit of
// data made from a known source runs end to end in tests/driver).

#include "fit/cf2sfit_models.h"

#include <string>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "source/sourcecalc.h"

namespace {

TEST(CCF2SFit_GX1DTest, StartsFromTheModelsMap) {
  CSourceCalc_GX1D source;
  source.SetSPars(0.5, 6.0, 0.0, 10.0, 5.0);
  CCHArray a(0, 4, 1.0);
  CCF2SFit_GX1D* fit = nullptr;
  EXPECT_EQ(CAPTURE_STDOUT(fit = new CCF2SFit_GX1D(&source, &a, &a, &a, &a, nullptr)),
            "SFit Arrays Initialized\n");
  EXPECT_TRUE(fit->ndim == 1 && fit->nfreepars == 5 && fit->cexp3D == nullptr);
  EXPECT_EQ(CAPTURE_STDOUT(fit->PrintPars()),
            "ipar        name     value       error       min         max     fixed\n"
            " 0 :      lambdaG  5.0000e-01  2.0000e-02  0.0000e+00  1.5000e+00  0\n"
            " 1 :            R  6.0000e+00  2.0000e-01  1.0000e+00  1.2000e+01  0\n"
            " 2 :      lambdaX  0.0000e+00  2.0000e-02  0.0000e+00  1.5000e+00  0\n"
            " 3 :            X  1.0000e+01  4.0000e-01  1.0000e+00  2.5000e+01  0\n"
            " 4 :            a  5.0000e+00  2.0000e-01  1.0000e+00  2.0000e+01  0\n");
  // Matrices seeded with the errors (step) and their squares (error matrix).
  const double errors[5] = {0.02, 0.2, 0.02, 0.4, 0.2};
  for (int i = 0; i < 5; i++) {
    for (int j = 0; j < 5; j++) {
      EXPECT_EQ(fit->StepMatrix[i][j], i == j ? errors[i] : 0.0);
      EXPECT_EQ(fit->ErrorMatrix[i][j], i == j ? errors[i] * errors[i] : 0.0);
    }
  }
  delete fit;
  // A name missing from the map starts at its default; values carry six digits.
  source.SetSPars(1.0 / 3.0, 6.0, 0.0, 10.0, 5.0);
  source.spars.erase("R");
  CAPTURE_STDOUT(fit = new CCF2SFit_GX1D(&source, &a, &a, &a, &a, nullptr));
  EXPECT_EQ(fit->par[0]->currentx, 0.333333);
  EXPECT_EQ(fit->par[1]->currentx, 5.0);
  delete fit;
}

}  // namespace

#ifndef FEMTOKIT_TESTS_FIT_FIT_TEST_MODEL_H
#define FEMTOKIT_TESTS_FIT_FIT_TEST_MODEL_H

// A fit problem with a chi-square known in closed form, run through the real pipeline (model
// map -> CalcS -> S2CF::s2c -> CFCalc::GetChiSquared). The source puts f(p_i) / (4 pi r_i^2 dr)
// into bin i of its (0,0,0) component; with the kernel K_0[iq][ir] = M[iq][ir] the model is
// CF_q = sum_i M[q][i] f(p_i). With f(p) = p the chi-square is the quadratic form
//   chi^2(p) = sum_q (sum_i M[q][i] p_i - t_q)^2 / sigma_q^2,
// whose curvature matrix (second derivatives) is 2 M^T diag(1/sigma^2) M.

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "common/test_util.h"
#include "config/parameter.h"
#include "fit/cf2sfit.h"
#include "kernel/kernel.h"
#include "source/sourcecalc.h"

namespace fit_test {

// Parameters "A", "B", ... read from the map; bin i holds f(value of name i).
class CSourceCalc_Bins : public CSourceCalc {
 public:
  using CSourceCalc::CalcS;
  explicit CSourceCalc_Bins(int n, bool cube = false) : nbins(n), cubic(cube) {}
  void CalcS(int, int, int, CCHArray* A) override {
    const double dr = A->GetRADSTEP();
    for (int ir = 0; ir < nbins; ir++) {
      const double p = parameter::getD(spars, Name(ir), 0.0);
      const double r = (ir + 0.5) * dr;
      const double f = cubic ? p * p * p : p;
      A->SetElement(0, 0, 0, ir, f / (4.0 * M_PI * r * r * dr));
    }
  }
  static std::string Name(int i) { return std::string(1, static_cast<char>('A' + i)); }
  int nbins;
  bool cubic;  // f(p) = p^3 instead of p: a chi^2 that is not quadratic
};

// Everything one problem needs, owned together. The fit is built the way the
// library's model fits are: Init, Set each parameter, diagonal matrices.
class BinsProblem {
 public:
  // M is n x n, targets t and errors sigma of length n, starting values x0.
  BinsProblem(const std::vector<std::vector<double>>& M, const std::vector<double>& t,
              const std::vector<double>& sigma, const std::vector<double>& x0, double error = 0.1,
              double xmin = -100.0, double xmax = 100.0, bool cubic = false)
      : n(static_cast<int>(t.size())), source(n, cubic) {
    const std::string kpars = dir / "kparameters.dat", sn = std::to_string(n);
    femtokit_test::WriteTextFile(kpars, "int NQMAX " + sn + "\nint NRMAX " + sn +
                                            "\nint KLMAX 0\ndouble DELQ 1.0\ndouble DELR 1.0\n");
    CAPTURE_STDOUT(kernel = new CKernel(kpars.c_str()));
    for (int iq = 0; iq < n; iq++)
      for (int ir = 0; ir < n; ir++) kernel->kernel[0][iq][ir] = M[iq][ir];
    for (int i = 0; i < n; i++) {
      cexpCH.SetElement(0, 0, 0, i, t[i]);
      cerrorCH.SetElement(0, 0, 0, i, sigma[i]);
      parameter::set(source.spars, CSourceCalc_Bins::Name(i), x0[i]);
    }
    fit->npars = n;
    fit->ndim = 1;
    fit->sourcecalc = &source, fit->kernel = kernel, fit->sourceCH = &sourceCH;
    fit->cexpCH = &cexpCH, fit->cerrorCH = &cerrorCH, fit->ctheoryCH = &ctheoryCH;
    CAPTURE_STDOUT(fit->Init());
    for (int i = 0; i < n; i++) {
      fit->par[i]->Set(CSourceCalc_Bins::Name(i).c_str(), x0[i], error, xmin, xmax);
      fit->StepMatrix[i][i] = error;
      fit->ErrorMatrix[i][i] = error * error;
    }
    fit->SetL(0, 0, 0);
  }
  ~BinsProblem() { CAPTURE_STDOUT(delete kernel); }

  int n;
  femtokit_test::ScratchDir dir;
  CSourceCalc_Bins source;
  CKernel* kernel;
  CCHArray sourceCH{0, n, 1.0}, cexpCH{0, n, 1.0}, cerrorCH{0, n, 1.0}, ctheoryCH{0, n, 1.0};
  std::unique_ptr<CCF2SFit> fit{new CCF2SFit};
};

// The identity kernel: parameter i is model bin i.
inline std::vector<std::vector<double>> Identity(int n) {
  std::vector<std::vector<double>> M(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; i++) M[i][i] = 1.0;
  return M;
}

}  // namespace fit_test

#endif  // FEMTOKIT_TESTS_FIT_FIT_TEST_MODEL_H

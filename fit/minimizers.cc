// The minimisers of CCF2SFit: Newton's method, steepest descent and a
// Metropolis walk, with the two helpers that turn matrices into errors and
// Metropolis steps. All of them evaluate chi^2 only through GetChiSquared,
// which also keeps bestchi2 and bestx up to date; each evaluation reruns the
// source model and the transform, so the number of evaluations is the cost.
//
// Notation: n = nfreepars, N = npars, e_i = error of position i.

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fit/cf2sfit.h"
#include "numeric/fatal.h"
#include "numeric/gslmatrix.h"
#include "numeric/random.h"
#include "numeric/output.h"

namespace {

// n x n matrix as row pointers into one block, the layout CGSLMatrix_Real reads.
class SquareMatrix {
 public:
  explicit SquareMatrix(int n) : data_(n * n, 0.0), rows_(n) {
    for (int i = 0; i < n; i++) rows_[i] = data_.data() + i * n;
  }
  double** rows() { return rows_.data(); }
  double* operator[](int i) { return rows_[i]; }

 private:
  std::vector<double> data_;
  std::vector<double*> rows_;
};

bool AllFinite(const std::vector<double>& v) {
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

// Relative size below which an eigenvalue of the curvature matrix counts as
// zero. chi^2 differences carry the six-digit rounding of the trial values, so
// no curvature direction resolved by them is 1e12 times weaker than another;
// a parameter that does not enter chi^2 gives a round-off eigenvalue (~1e-16
// relative) and a meaningless step of ~1e15 errors.
constexpr double kSingularRatio = 1.0e-12;

// Solves C delx = g and reports whether delx is a usable step: C and g finite,
// C not singular (no eigenvalue |lambda| <= kSingularRatio max |lambda|), and
// delx finite with a small residual (GSL's LU solve leaves its result untouched
// for an exactly singular matrix, since its error handler is off).
bool SolveCurvature(CGSLMatrix_Real& linalg, SquareMatrix& C, const std::vector<double>& g,
                    std::vector<double>& delx, bool* positive) {
  *positive = false;
  const int n = static_cast<int>(g.size());
  double cnorm = 0.0;
  double gnorm = 0.0;
  for (int i = 0; i < n; i++) {
    double rowsum = 0.0;
    for (int j = 0; j < n; j++) {
      if (!std::isfinite(C[i][j])) return false;
      rowsum += std::fabs(C[i][j]);
    }
    if (!std::isfinite(g[i])) return false;
    cnorm = std::fmax(cnorm, rowsum);
    gnorm = std::fmax(gnorm, std::fabs(g[i]));
  }
  SquareMatrix V(n);
  std::vector<double> lambda(n);
  linalg.EigenFind(C.rows(), V.rows(), lambda.data());
  double lmin = HUGE_VAL;
  double lmax = 0.0;
  double lsigned = HUGE_VAL;
  for (int k = 0; k < n; k++) {
    lmin = std::fmin(lmin, std::fabs(lambda[k]));
    lmax = std::fmax(lmax, std::fabs(lambda[k]));
    lsigned = std::fmin(lsigned, lambda[k]);
  }
  if (!(lmin > kSingularRatio * lmax)) return false;
  *positive = lsigned > 0.0;

  for (int i = 0; i < n; i++) delx[i] = 0.0;
  linalg.SolveLinearEqs(g.data(), C.rows(), delx.data());
  if (!AllFinite(delx)) return false;
  // LU with partial pivoting is backward stable: |C delx - g| ~ n eps |C| |delx|.
  double xnorm = 0.0;
  double rnorm = 0.0;
  for (int i = 0; i < n; i++) xnorm = std::fmax(xnorm, std::fabs(delx[i]));
  for (int i = 0; i < n; i++) {
    double r = -g[i];
    for (int j = 0; j < n; j++) r += C[i][j] * delx[j];
    rnorm = std::fmax(rnorm, std::fabs(r));
  }
  return rnorm <= 1.0e-8 * (cnorm * xnorm + gnorm);
}

// Consecutive out-of-bounds proposals tolerated for one Metropolis trial before
// the walk gives up (a proposal centred outside the bounds may never land
// inside; the walk must not redraw without end).
constexpr int kMaxMetropolisRedraws = 10000;

// Newton has converged when the estimated distance to the minimum is below this
// fraction of one standard deviation in chi^2 (scaled by chi^2/ndof when above 1).
constexpr double kEdmTolerance = 0.01;

// Fatal when chi^2 at x is not a number: no result can be made of it.
void RequireFiniteChi2(const CCF2SFit& fit, const std::vector<double>& x, double chi2) {
  if (std::isfinite(chi2)) return;
  std::string values;
  for (size_t i = 0; i < x.size(); i++)
    values += std::string(i ? ", " : "") + fit.par[i]->name + "=" + std::to_string(x[i]);
  femtokit::Fatal("Newton: chi^2 = %g is not finite at %s; no fit possible\n", chi2,
                  values.c_str());
}

// Curvature C and gradient g of chi^2 at x by central differences with steps dx (chi2_0 =
// chi^2 at x); the probes may lie outside the bounds. itry numbers the progress lines.
void NewtonDerivatives(CCF2SFit& fit, const std::vector<double>& x, const std::vector<double>& dx,
                       double chi2_0, int itry, SquareMatrix& C, std::vector<double>& grad) {
  const int n = static_cast<int>(x.size());
  std::vector<double> xpp(n), xpm(n), xmp(n), xmm(n);
  // Mixed second derivatives from the four corners around (x_i, x_j).
  for (int i = 1; i < n; i++) {
    for (int j = 0; j < i; j++) {
      xpp = xpm = xmp = xmm = x;
      xpp[i] += dx[i];
      xpp[j] += dx[j];
      xpm[i] += dx[i];
      xpm[j] -= dx[j];
      xmp[i] -= dx[i];
      xmp[j] += dx[j];
      xmm[i] -= dx[i];
      xmm[j] -= dx[j];
      const double chipp = fit.GetChiSquared(xpp.data());
      const double chipm = fit.GetChiSquared(xpm.data());
      const double chimp = fit.GetChiSquared(xmp.data());
      const double chimm = fit.GetChiSquared(xmm.data());
      C[i][j] = C[j][i] = (chipp + chimm - chipm - chimp) / (4.0 * dx[i] * dx[j]);
      femtokit::Progress("___ itry=%d, Curvature[%d][%d]=%g ___\n", itry, i, j, C[i][j]);
    }
  }
  // Diagonal curvature and gradient.
  for (int i = 0; i < n; i++) {
    xpp = x;
    xpp[i] += dx[i];
    const double chiplus = fit.GetChiSquared(xpp.data());
    xmm = x;
    xmm[i] -= dx[i];
    const double chiminus = fit.GetChiSquared(xmm.data());
    C[i][i] = (chiplus + chiminus - 2.0 * chi2_0) / (dx[i] * dx[i]);
    femtokit::Progress("___ itry=%d, Curvature[%d][%d]=%g ___\n", itry, i, i, C[i][i]);
    grad[i] = (chiplus - chiminus) / (2.0 * dx[i]);
  }
}

// How a Newton iteration with a usable step stands.
struct NewtonState {
  bool converged;
  bool at_limit;
  std::string reason;
};

// The verdict after iteration itry: a curvature that is not positive definite is no minimum;
// an estimated distance edm to the minimum within tolerance is convergence; otherwise the
// run is at its iteration limit if it stops here.
NewtonState JudgeNewtonIteration(bool positive, double edm, double tolerance, int itry) {
  char reason[200];
  if (!positive) {
    snprintf(reason, sizeof reason,
             "curvature matrix not positive definite at iteration %d (a saddle or maximum, "
             "not a minimum)",
             itry);
    return {false, false, reason};
  }
  if (edm <= tolerance) {
    snprintf(reason, sizeof reason, "estimated distance to minimum %.3g (tolerance %.3g)", edm,
             tolerance);
    return {true, false, reason};
  }
  snprintf(reason, sizeof reason,
           "iteration limit reached after %d iterations with the minimum still an estimated "
           "%.3g away in chi^2 (tolerance %.3g); run more iterations or start closer",
           itry, edm, tolerance);
  return {false, true, reason};
}

// The Newton step xnew = x - delx, halved while it leaves the bounds (five halvings, the
// sixth violation is fatal) or raises chi^2 above chi2_0. Returns chi^2 at xnew.
double NewtonStepDownhill(CCF2SFit& fit, const std::vector<double>& x, double chi2_0,
                          std::vector<double>& delx, std::vector<double>& xnew) {
  const int n = static_cast<int>(x.size());
  int nrescale = 0;
  while (true) {
    femtokit::Progress("delx[] = ");
    for (int i = 0; i < n; i++) femtokit::Progress("%g ", delx[i]);
    femtokit::Progress("\n");
    for (int i = 0; i < n; i++) xnew[i] = x[i] - delx[i];

    bool outside = false;
    for (int i = 0; i < n; i++) {
      if (xnew[i] < fit.par[i]->xmin || xnew[i] > fit.par[i]->xmax) outside = true;
    }
    if (outside) {
      for (int i = 0; i < n; i++) delx[i] *= 0.5;
      if (nrescale > 4) femtokit::Fatal("Stepped outside min/max, will rescale delx[]\n");
      femtokit::Progress("Stepped outside min/max, will rescale delx[]\n");
      nrescale += 1;
      continue;
    }

    const double chi2new = fit.GetChiSquared(xnew.data());
    // A trial point whose chi^2 is not a number counts as worse. No limit needed: once the
    // step is below the six significant digits that reach the model, chi2new equals chi2_0
    // and the trial succeeds.
    if (!(chi2new <= chi2_0)) {
      for (int i = 0; i < n; i++) delx[i] *= 0.5;
      femtokit::Progress("new chi^2 bigger than previous, will rescale delx[]\n");
      continue;
    }
    return chi2new;
  }
}

// Gradient G of chi^2 in the scaled coordinates q_i = x_i / scale_i by central differences
// with step dq, for the n free positions; returns |G|.
double ScaledGradient(CCF2SFit& fit, const std::vector<double>& x,
                      const std::vector<double>& scale, double dq, int n, std::vector<double>& G) {
  std::vector<double> xa(x.size()), xb(x.size());
  double Gnorm = 0.0;
  for (int i = 0; i < n; i++) {
    const double d = dq * scale[i];
    xa = x;
    xa[i] -= 0.5 * d;
    const double chia = fit.GetChiSquared(xa.data());
    xb = x;
    xb[i] += 0.5 * d;
    const double chib = fit.GetChiSquared(xb.data());
    G[i] = (chib - chia) * scale[i] / d;
    Gnorm += G[i] * G[i];
  }
  return std::sqrt(Gnorm);
}

// Curvature of chi^2 along -G (in q) from the probes x -+ dq/2 along the unit direction:
// K = 4 (chi2(a) + chi2(b) - 2 chi2_0) / dq^2.
double LineCurvature(CCF2SFit& fit, const std::vector<double>& x,
                     const std::vector<double>& scale, const std::vector<double>& G, double Gnorm,
                     double dq, double chi2_0, int n) {
  std::vector<double> xa = x, xb = x;
  for (int i = 0; i < n; i++) {
    const double d = (-dq * G[i] / Gnorm) * scale[i];
    xa[i] = x[i] - 0.5 * d;
    xb[i] = x[i] + 0.5 * d;
    femtokit::Progress("xa[%d]=%g, xb[%d]=%g\n", i, xa[i], i, xb[i]);
  }
  const double chia = fit.GetChiSquared(xa.data());
  const double chib = fit.GetChiSquared(xb.data());
  return 4.0 * (chia + chib - 2.0 * chi2_0) / (dq * dq);
}

// xnew = x - t G/|G| (in q), t halved while chi^2 exceeds chi2_0; returns chi^2 at xnew.
double LineStepDownhill(CCF2SFit& fit, const std::vector<double>& x,
                        const std::vector<double>& scale, const std::vector<double>& G,
                        double Gnorm, double chi2_0, int n, double* t, std::vector<double>& xnew) {
  xnew = x;
  while (true) {
    for (int i = 0; i < n; i++) xnew[i] = x[i] + (-*t * G[i] / Gnorm) * scale[i];
    const double chi2new = fit.GetChiSquared(xnew.data());
    if (chi2new > chi2_0) {
      *t *= 0.5;
      femtokit::Progress("new chi^2 not so good\n");
      continue;
    }
    return chi2new;
  }
}

// Whether every fixed parameter (positions n ... N-1) lies inside its bounds; a fixed one
// outside fails every Metropolis trial's bounds test, and is reported.
bool FixedParsInsideBounds(const CCF2SFit& fit) {
  bool inside = true;
  for (int i = fit.nfreepars; i < fit.npars; i++) {
    const CParInfo& p = *fit.par[i];
    if (p.currentx < p.xmin || p.currentx > p.xmax) {
      femtokit::Warn(
          "Metropolis: fixed parameter %s=%g lies outside its bounds [%g,%g], "
          "no trial can be made\n",
          p.name, p.currentx, p.xmin, p.xmax);
      inside = false;
    }
  }
  return inside;
}

// A Metropolis trial x = currentx + f StepMatrix z on the free positions (z standard normal),
// redrawn while it leaves the bounds; false after kMaxMetropolisRedraws draws outside.
bool DrawMetropolisTrial(CCF2SFit& fit, double f, std::vector<double>& x, std::vector<double>& z) {
  const int N = fit.npars;
  const int n = fit.nfreepars;
  bool inside = false;
  for (int ndraw = 0; ndraw < kMaxMetropolisRedraws && !inside; ndraw++) {
    for (int j = 0; j < N; j++) z[j] = fit.randy->gauss();
    inside = true;
    for (int i = 0; i < N; i++) {
      if (i < n) {
        x[i] = fit.par[i]->currentx;
        for (int j = 0; j < N; j++) x[i] += f * fit.StepMatrix[i][j] * z[j];
      }
      if (x[i] < fit.par[i]->xmin || x[i] > fit.par[i]->xmax) inside = false;
    }
  }
  return inside;
}

// Statistics over the M points of a Metropolis walk with A accepted (distinct) points:
// xbar = Sx / M and, from the sums of x_i x_j the walk left in ErrorMatrix, the covariance
// corrected with A/(A-1). Fewer than two accepted points have no spread to measure:
// ErrorMatrix gets back the matrix the walk started with (previous).
void FinishWalkStatistics(CCF2SFit& fit, const std::vector<double>& Sx, int M, int A,
                          SquareMatrix& previous) {
  const int N = fit.npars;
  for (int i = 0; i < N; i++) fit.par[i]->xbar = (M > 0) ? Sx[i] / M : fit.par[i]->currentx;
  if (A >= 2) {
    for (int i = 0; i < N; i++) {
      for (int j = 0; j < N; j++) {
        fit.ErrorMatrix[i][j] = (fit.ErrorMatrix[i][j] / M - fit.par[i]->xbar * fit.par[j]->xbar) *
                                static_cast<double>(A) / static_cast<double>(A - 1);
      }
    }
  } else {
    femtokit::Warn(
        "Metropolis: %d trials with %d accepted, too few for a covariance; "
        "error matrix left unchanged\n",
        M, A);
    for (int i = 0; i < N; i++)
      for (int j = 0; j < N; j++) fit.ErrorMatrix[i][j] = previous[i][j];
  }
}

}  // namespace

// Newton iteration x -> x - C^-1 g, with g and C from central differences of
// chi^2 using the errors as steps:
//   C_ij = (chi2(++) + chi2(--) - chi2(+-) - chi2(-+)) / (4 dx_i dx_j),  i != j,
//   C_ii = (chi2(+) + chi2(-) - 2 chi2(0)) / dx_i^2,
//   g_i  = (chi2(+) - chi2(-)) / (2 dx_i).
void CCF2SFit::Newton(int maxtries) {
  const int n = nfreepars;
  CheckData();
  newton_converged_ = false;
  newton_at_limit_ = false;
  newton_reason_ = "no fit run";
  if (n == 0) {
    // Nothing to vary: the run only evaluates the current point.
    femtokit::Warn("Newton: no free parameters, nothing to minimise\n");
    currentchi2 = GetChiSquared(nullptr);
    newton_converged_ = std::isfinite(currentchi2);
    newton_reason_ = "no free parameters, chi^2 of the given values";
    return;
  }
  const int ndof = NBins() - n;
  std::vector<double> x(n), xnew(n), dx(n), delx(n), grad(n);
  SquareMatrix C(n);
  CGSLMatrix_Real linalg(n);

  for (int i = 0; i < n; i++) {
    dx[i] = par[i]->error;
    x[i] = par[i]->currentx;
  }
  double chi2new = 0.0;
  int itry = 0;
  do {
    itry += 1;
    const double chi2_0 = GetChiSquared(x.data());
    RequireFiniteChi2(*this, x, chi2_0);
    NewtonDerivatives(*this, x, dx, chi2_0, itry, C, grad);

    // A singular curvature matrix (or a non-finite chi^2) gives no usable step;
    // stop here rather than carry NaN or garbage into the parameters.
    bool positive = false;
    if (!SolveCurvature(linalg, C, grad, delx, &positive)) {
      femtokit::Warn(
          "Newton: curvature matrix is singular or not finite, no step possible; "
          "stopping at the current parameters\n");
      chi2new = chi2_0;
      newton_converged_ = false;
      newton_at_limit_ = false;
      newton_reason_ =
          "no step possible: curvature matrix singular or not finite (a free parameter that "
          "does not enter chi^2?)";
      break;
    }
    // Estimated distance to the minimum from this iteration's point.
    double edm = 0.0;
    for (int i = 0; i < n; i++) edm += 0.5 * grad[i] * delx[i];
    const double tolerance = kEdmTolerance * std::fmax(1.0, ndof > 0 ? chi2_0 / ndof : 1.0);
    NewtonState state = JudgeNewtonIteration(positive, edm, tolerance, itry);
    newton_converged_ = state.converged;
    newton_at_limit_ = state.at_limit;
    newton_reason_ = std::move(state.reason);

    chi2new = NewtonStepDownhill(*this, x, chi2_0, delx, xnew);
    // Success: the step lowered chi^2, or the point was already at the minimum.
    if (chi2new < chi2_0 || newton_converged_) {
      femtokit::Progress("SUCCESS!!!!!!!!!!!\n");
    } else {
      femtokit::Warn(
          "Newton: no step lowers chi^2 (the step was halved below the parameters' precision)\n");
    }
    CalcErrorMatrixFromCurvature(C.rows());
    for (int i = 0; i < n; i++) {
      dx[i] = par[i]->error;
      x[i] = xnew[i];
    }
    // The run ends after the second iteration at the latest, whatever maxtries
    // allows: two curvature estimates bound its cost.
  } while (itry < maxtries && itry != 2);

  currentchi2 = chi2new;
  for (int i = 0; i < n; i++) par[i]->currentx = x[i];
}

// ErrorMatrix = C^-1 = sum_k v_k v_k^T / lambda_k on the free block. This is
// the inverse of the curvature of chi^2 (not twice it).
void CCF2SFit::CalcErrorMatrixFromCurvature(const double* const* C) {
  const int n = nfreepars;
  if (n == 0) {
    for (int i = 0; i < npars; i++) {
      for (int j = 0; j < npars; j++) ErrorMatrix[i][j] = 0.0;
      par[i]->error = 0.0;
    }
    return;
  }
  bool finite = true;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      if (!std::isfinite(C[i][j])) finite = false;
  SquareMatrix V(n);
  std::vector<double> lambda(n, 1.0);
  CGSLMatrix_Real linalg(n);
  // A zero eigenvalue makes 1/lambda infinite and is caught below.
  if (finite) linalg.EigenFind(C, V.rows(), lambda.data());

  SquareMatrix inverse(n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      double sum = 0.0;
      for (int k = 0; k < n; k++) sum += V[i][k] * V[j][k] / lambda[k];
      inverse[i][j] = sum;
      if (!std::isfinite(sum)) finite = false;
    }
  }
  if (!finite) {
    femtokit::Warn(
        "CalcErrorMatrixFromCurvature: curvature matrix is singular or not finite, "
        "error matrix and errors left unchanged\n");
    return;
  }
  for (int i = 0; i < npars; i++) {
    for (int j = 0; j < npars; j++) ErrorMatrix[i][j] = (i < n && j < n) ? inverse[i][j] : 0.0;
  }
  for (int i = 0; i < npars; i++) par[i]->error = std::sqrt(std::fabs(ErrorMatrix[i][i]));
}

// StepMatrix_ij = V_ij sqrt(|lambda_j|) with ErrorMatrix = V diag(lambda) V^T,
// so StepMatrix StepMatrix^T = ErrorMatrix.
void CCF2SFit::UpdateMetroStepSize() {
  const int N = npars;
  if (N == 0) return;
  std::vector<double> lambda(N);
  CGSLMatrix_Real linalg(N);
  linalg.EigenFind(ErrorMatrix, StepMatrix, lambda.data());
  for (int j = 0; j < N; j++) {
    if (lambda[j] < -1.0e-10) {
      femtokit::Fatal("FATAL: In UpdateStepSize, negative eigenvalue, =%g\n", lambda[j]);
    }
  }
  for (int i = 0; i < N; i++) {
    double sum = 0.0;
    for (int j = 0; j < N; j++) {
      // Tiny negative eigenvalues are round-off of a zero one: use |lambda|.
      StepMatrix[i][j] *= std::sqrt(std::fabs(lambda[j]));
      sum += StepMatrix[i][j] * StepMatrix[i][j];
    }
    par[i]->error = std::sqrt(sum);
  }
}

// Steepest descent in scaled coordinates q_i = x_i / e_i: the gradient G by
// central differences with step dq, the curvature K along -G from two probes
// dq apart, the step t = |G| / K (at most 10 dq), halved until chi^2 does not
// grow. dq shrinks by 3 after each success; two successes end the run.
void CCF2SFit::SteepestDescent(int maxcalls) {
  const int N = npars;
  const int n = nfreepars;
  std::vector<double> x(N), xnew(N), scale(N), G(N);
  for (int i = 0; i < N; i++) {
    scale[i] = par[i]->fixed ? 0.0 : par[i]->error;
    x[i] = par[i]->currentx;
  }
  double dq = 3.0;
  double chi2_0 = GetChiSquared(x.data());
  int iter = 0;
  int nsuccess = 0;
  do {
    iter += 1;
    const double Gnorm = ScaledGradient(*this, x, scale, dq, n, G);
    // No direction to descend along (no free parameter, a flat chi^2 or a
    // non-finite gradient): dividing by |G| would only produce NaN.
    if (!(Gnorm > 0.0) || !std::isfinite(Gnorm)) {
      femtokit::Warn("SteepestDescent: gradient is zero or not finite, stopping\n");
      break;
    }
    const double K = LineCurvature(*this, x, scale, G, Gnorm, dq, chi2_0, n);

    double t = Gnorm / K;
    if (t < 0.0) {
      // Negative curvature: the quadratic model has no minimum along the line.
      femtokit::Warn("Warning: curvature in q has wrong sign\n");
      t = dq;
    }
    if (t > 10.0 * dq) t = 10.0 * dq;
    const double chi2new = LineStepDownhill(*this, x, scale, G, Gnorm, chi2_0, n, &t, xnew);

    if (t < 2.0 * dq) {
      chi2_0 = chi2new;
      nsuccess += 1;
      dq /= 3.0;
    }
    for (int i = 0; i < n; i++) x[i] = xnew[i];
  } while (iter < maxcalls && nsuccess <= 1);

  currentchi2 = GetChiSquared(x.data());
  for (int i = 0; i < n; i++) par[i]->currentx = x[i];
}

// Metropolis walk: trial x = currentx + StepMatrix z / sqrt(n) on the free
// positions (z standard normal, redrawn while the trial leaves the bounds),
// accepted with probability min(1, exp(-(chi2 - currentchi2)/2)). The walk's
// points (the current point after every decision) give xbar and the covariance.
void CCF2SFit::Metropolis(int ncalls) {
  const int N = npars;
  const int n = nfreepars;
  std::vector<double> x(N), z(N), Sx(N, 0.0);
  // The previous matrix is kept for the case that the walk yields no covariance.
  SquareMatrix previous(N > 0 ? N : 1);
  for (int i = 0; i < N; i++) {
    x[i] = par[i]->currentx;
    for (int j = 0; j < N; j++) {
      previous[i][j] = ErrorMatrix[i][j];
      ErrorMatrix[i][j] = 0.0;
    }
  }
  const double f = (n > 0) ? 1.0 / std::sqrt(static_cast<double>(n)) : 0.0;

  const bool possible = FixedParsInsideBounds(*this);

  int naccept = 0;
  int ntrials = 0;
  for (int m = 1; possible && m <= ncalls; m++) {
    if (!DrawMetropolisTrial(*this, f, x, z)) {
      femtokit::Warn(
          "Metropolis: no trial point inside the bounds after %d draws, "
          "ending the walk after %d trials\n",
          kMaxMetropolisRedraws, ntrials);
      break;
    }
    ntrials = m;

    const double chi2 = GetChiSquared(x.data());
    bool accept = chi2 < currentchi2;
    if (!accept) accept = randy->ran() < std::exp(-0.5 * (chi2 - currentchi2));
    if (accept) {
      currentchi2 = chi2;
      naccept += 1;
      for (int i = 0; i < N; i++) par[i]->currentx = x[i];
      femtokit::Progress("SUCCESS, Nsuccess=%d, Ncalls=%d\n", naccept, m);
    }
    for (int i = 0; i < N; i++) {
      Sx[i] += par[i]->currentx;
      for (int j = 0; j < N; j++) ErrorMatrix[i][j] += par[i]->currentx * par[j]->currentx;
    }
  }

  FinishWalkStatistics(*this, Sx, ntrials, naccept, previous);

  femtokit::Progress("Best chi^2=%g, Best x[] = ", bestchi2);
  for (int i = 0; i < N; i++) femtokit::Progress("%g ", par[i]->bestx);
  femtokit::Progress("\n");
}

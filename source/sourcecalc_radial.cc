#include "source/sourcecalc_radial.h"

#include <gsl/gsl_integration.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "arrays/charray.h"
#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "numeric/gslerror.h"

namespace femtokit::SourcePar {

double Finite(const parameter_map& pars, const char* model, const char* key, double def) {
  const double value = parameter::getD(pars, key, def);
  if (!std::isfinite(value)) Fatal("%s: parameter %s=%g must be finite\n", model, key, value);
  return value;
}

double Length(const parameter_map& pars, const char* model, const char* key, double def) {
  const double value = Finite(pars, model, key, def);
  if (!(value > 0.0)) Fatal("%s: parameter %s=%g must be positive (fm)\n", model, key, value);
  return value;
}

}  // namespace femtokit::SourcePar

namespace {

std::vector<double> BinCentres(const CCHArray& A) {
  std::vector<double> r(A.GetNRADIAL());
  for (int ir = 0; ir < A.GetNRADIAL(); ir++) r[ir] = (ir + 0.5) * A.GetRADSTEP();
  return r;
}

// Angular nodes on the unit sphere with weights summing to 1 (the angular average).
struct SphereNodes {
  std::vector<double> ex, ey, ez, w;
};

// Gauss-Legendre in cos(theta) times the trapezoid rule in phi (exact for
// periodic trigonometric polynomials of degree < nphi): exact for spherical
// polynomials of degree <= 2 ntheta - 1. Only the nodes of the octant x, y, z > 0
// are kept, with eight times their weight: with ntheta even the node set is
// symmetric under each reflection and no node lies on a plane, so for a
// function even in x, y and z this is the same sum.
SphereNodes MakeOctantNodes(int ntheta) {
  ntheta += ntheta % 2;
  const int nphi = 2 * ntheta;
  std::unique_ptr<gsl_integration_glfixed_table, void (*)(gsl_integration_glfixed_table*)> table(
      gsl_integration_glfixed_table_alloc(ntheta), gsl_integration_glfixed_table_free);
  SphereNodes nodes;
  for (int it = 0; it < ntheta; it++) {
    double ct = 0.0, wt = 0.0;
    gsl_integration_glfixed_point(-1.0, 1.0, it, &ct, &wt, table.get());
    const double st = std::sqrt(std::fmax(0.0, 1.0 - ct * ct));
    if (ct < 0.0) continue;
    for (int ip = 0; ip < nphi / 4; ip++) {
      const double phi = 2.0 * femtokit::constants::kPi * (ip + 0.5) / nphi;
      nodes.ex.push_back(st * std::cos(phi));
      nodes.ey.push_back(st * std::sin(phi));
      nodes.ez.push_back(ct);
      nodes.w.push_back(8.0 * 0.5 * wt / nphi);
    }
  }
  return nodes;
}

// Gauss-Legendre nodes in cos(theta) for the projection up to rank lmax. At large
// r, S on the sphere behaves like Q(e)^-p with Q = ex^2/Ro^2 + ey^2/Rs^2 +
// ez^2/Rl^2, whose expansion in powers of the squared direction cosines falls
// like t^n, t = (sqrt(k) - 1)/(sqrt(k) + 1), k = (Rmax/Rmin)^2 (the ratio of the
// extremes of Q); n nodes integrate exactly up to degree 2n - 1, so
// n = lmax + 2 + 12 ln 10 / (-ln t) leaves an error ~1e-12. Capped at 400 (axis
// ratios beyond ~30).
int AngularNodes(const CSourceCalc_Elliptic::Shape& shape, int lmax) {
  const double rmax = std::fmax(shape.Ro, std::fmax(shape.Rs, shape.Rl));
  const double rmin = std::fmin(shape.Ro, std::fmin(shape.Rs, shape.Rl));
  const double t = (rmax / rmin - 1.0) / (rmax / rmin + 1.0);
  const int extra = t > 0.0 ? static_cast<int>(std::ceil(12.0 * std::log(10.0) / -std::log(t))) : 0;
  return std::min(lmax + 2 + extra, 400);
}

}  // namespace

void CSourceCalc_Radial::CalcS(CCHArray* A) {
  const std::vector<double> S = Density(BinCentres(*A));
  A->ZeroArray();
  for (int ir = 0; ir < A->GetNRADIAL(); ir++) A->SetElement(0, 0, 0, ir, S[ir]);
}

void CSourceCalc_Radial::CalcS(int lx, int ly, int lz, CCHArray* A) {
  if (lx + ly + lz > 0) {
    A->ZeroArray(lx, ly, lz);
    return;
  }
  const std::vector<double> S = Density(BinCentres(*A));
  for (int ir = 0; ir < A->GetNRADIAL(); ir++) A->SetElement(0, 0, 0, ir, S[ir]);
}

CSourceCalc_Elliptic::Shape CSourceCalc_Elliptic::ReadLambdaRadii(const char* model) const {
  // Braced initialisation reads the keys in this order, so the first bad one is reported.
  return {femtokit::SourcePar::Finite(spars, model, "lambda", 1.0),
          femtokit::SourcePar::Length(spars, model, "Ro", 4.0),
          femtokit::SourcePar::Length(spars, model, "Rs", 4.0),
          femtokit::SourcePar::Length(spars, model, "Rl", 4.0)};
}

std::vector<double> CSourceCalc_Elliptic::Density(const std::vector<double>& x,
                                                  const std::vector<double>& y,
                                                  const std::vector<double>& z) const {
  const Shape shape = ReadShape();
  std::vector<double> rho(x.size());
  for (size_t i = 0; i < x.size(); i++)
    rho[i] = std::sqrt(x[i] * x[i] / (shape.Ro * shape.Ro) + y[i] * y[i] / (shape.Rs * shape.Rs) +
                       z[i] * z[i] / (shape.Rl * shape.Rl));
  std::vector<double> S = Profile(rho);
  const double norm = shape.lambda / (shape.Ro * shape.Rs * shape.Rl);
  for (double& s : S) s *= norm;
  return S;
}

void CSourceCalc_Elliptic::CalcS(CCHArray* A) {
  const Shape shape = ReadShape();
  const SphereNodes nodes = MakeOctantNodes(AngularNodes(shape, A->GetLMAX()));
  const size_t nn = nodes.w.size();
  const std::vector<double> r = BinCentres(*A);
  // Scaled radius of every (bin, node), then the profile in one call (models
  // that tabulate do it once for all points).
  std::vector<double> rho(r.size() * nn);
  for (size_t j = 0; j < nn; j++) {
    const double scale = std::sqrt(nodes.ex[j] * nodes.ex[j] / (shape.Ro * shape.Ro) +
                                   nodes.ey[j] * nodes.ey[j] / (shape.Rs * shape.Rs) +
                                   nodes.ez[j] * nodes.ez[j] / (shape.Rl * shape.Rl));
    for (size_t ir = 0; ir < r.size(); ir++) rho[ir * nn + j] = r[ir] * scale;
  }
  const std::vector<double> g = Profile(rho);
  const double norm = shape.lambda / (shape.Ro * shape.Rs * shape.Rl);
  // S is even in x, y and z: its odd components vanish, and the even ones are
  // projected in an array that keeps only those (fewer terms per node).
  const int lmax = A->GetLMAX();
  CCHArray even(lmax, A->GetNRADIAL(), A->GetRADSTEP(), true, true, true);
  for (size_t ir = 0; ir < r.size(); ir++)
    for (size_t j = 0; j < nn; j++)
      even.IncrementAExpArrayFromE(nodes.ex[j], nodes.ey[j], nodes.ez[j],
                                   norm * nodes.w[j] * g[ir * nn + j], static_cast<int>(ir));
  A->ZeroArray();
  for (int lx = 0; lx <= lmax; lx += 2)
    for (int ly = 0; lx + ly <= lmax; ly += 2)
      for (int lz = 0; lx + ly + lz <= lmax; lz += 2)
        for (int ir = 0; ir < A->GetNRADIAL(); ir++)
          A->SetElement(lx, ly, lz, ir, even.GetElement(lx, ly, lz, ir));
}

void CSourceCalc_Elliptic::CalcS(int lx, int ly, int lz, CCHArray* A) {
  // A component A does not store: the array's own fatal message, before any work.
  if (A->GetNRADIAL() > 0 && !A->IsStored(lx, ly, lz, 0)) A->SetElement(lx, ly, lz, 0, 0.0);
  CCHArray whole(A->GetLMAX(), A->GetNRADIAL(), A->GetRADSTEP(), A->GetXSYM(), A->GetYSYM(),
                 A->GetZSYM());
  CalcS(&whole);
  for (int ir = 0; ir < A->GetNRADIAL(); ir++)
    A->SetElement(lx, ly, lz, ir, whole.GetElement(lx, ly, lz, ir));
}

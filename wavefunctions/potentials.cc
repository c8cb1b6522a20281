#include "wavefunctions/potentials.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "numeric/constants.h"
#include "numeric/fatal.h"
#include "wavefunctions/reid93.h"

namespace femtokit {

void Potential::Matrix(double r, double* v11, double* v12, double* v22) const {
  *v11 = (*this)(r);
  *v12 = 0.0;
  *v22 = 0.0;
}

double Yukawa::operator()(double r) const {
  const double x = m_ * r;
  return v0_ * std::exp(-x) / x;
}

double WoodsSaxon::operator()(double r) const {
  // exp overflows far outside; the potential is zero there to any precision.
  const double z = (r - radius_) / a_;
  return z > 700.0 ? 0.0 : v0_ / (1.0 + std::exp(z));
}

double GaussianSum::operator()(double r) const {
  double v = 0.0;
  for (const Gaussian& g : gaussians_) {
    const double z = r / g.beta;
    v += g.alpha * std::exp(-z * z);
  }
  for (const Tail& t : tails_) {
    // Near the origin (1 - exp(-rho r^2))^n / r^p stays finite for 2n >= p; the tail is taken
    // as 0 at r = 0 exactly.
    if (r <= 0.0) continue;
    const double ff = -std::expm1(-t.rho * r * r);
    v += t.lambda * std::pow(ff, t.n) * std::pow(std::exp(-t.m * r) / r, t.p);
  }
  return v;
}

double Usmani::operator()(double r) const {
  const double z = (r - rc_) / a_;
  const double core = z > 700.0 ? 0.0 : wc_ / (1.0 + std::exp(z));
  if (r <= 0.0) return core;
  const double x = m_ * r;
  const double ff = -std::expm1(-c_ * r * r);
  const double t = (1.0 + 3.0 / x + 3.0 / (x * x)) * std::exp(-x) / x * ff * ff;
  return core - v_ * t * t;
}

Tabulated::Tabulated(std::vector<double> r, std::vector<double> v)
    : r_(std::move(r)), v_(std::move(v)) {
  if (r_.size() != v_.size() || r_.size() < 2)
    Fatal("potential table: needs at least two (r, V) points, has %zu r and %zu V values\n",
          r_.size(), v_.size());
  for (size_t i = 1; i < r_.size(); i++)
    if (!(r_[i] > r_[i - 1]))
      Fatal("potential table: r must increase, point %zu (%g) follows %g\n", i, r_[i], r_[i - 1]);
}

double Tabulated::operator()(double r) const {
  if (r <= r_.front()) return v_.front();
  if (r >= r_.back()) return 0.0;
  const size_t i = std::upper_bound(r_.begin(), r_.end(), r) - r_.begin();
  const double w = (r - r_[i - 1]) / (r_[i] - r_[i - 1]);
  return (1.0 - w) * v_[i - 1] + w * v_[i];
}

Reid93Wave::Reid93Wave(const std::string& wave, const std::string& type)
    : wave_(wave), type_(type), coupled_(wave.size() >= 2 && (wave[1] == 'C' || wave[1] == 'c')) {
  double v11, v12, v22;
  Matrix(1.0, &v11, &v12, &v22);  // an unknown wave or type is fatal here, not mid-integration
}

double Reid93Wave::operator()(double r) const {
  double v11, v12, v22;
  Matrix(r, &v11, &v12, &v22);
  return v11;
}

void Reid93Wave::Matrix(double r, double* v11, double* v12, double* v22) const {
  creid93(&r, wave_.c_str(), type_.c_str(), v11, v12, v22);
}

void ScaledSum::Add(double coefficient, std::shared_ptr<const Potential> term) {
  terms_.emplace_back(coefficient, std::move(term));
}

double ScaledSum::operator()(double r) const {
  double v = 0.0;
  for (const auto& [c, term] : terms_) v += c * (*term)(r);
  return v;
}

double ScaledSum::SingularStrength() const {
  double s = 0.0;
  for (const auto& [c, term] : terms_) s += c * term->SingularStrength();
  return s;
}

namespace {

double Need(const parameter_map& pars, const std::string& key) {
  if (pars.find(key) == pars.end()) Fatal("potential: key %s missing\n", key.c_str());
  return parameter::getD(pars, key, 0.0);
}

std::vector<double> NeedAll(const parameter_map& pars, const std::string& prefix,
                            std::initializer_list<const char*> keys) {
  std::vector<double> values;
  for (const char* key : keys) values.push_back(Need(pars, prefix + key));
  return values;
}

std::string NeedS(const parameter_map& pars, const std::string& key) {
  if (pars.find(key) == pars.end()) Fatal("potential: key %s missing\n", key.c_str());
  return parameter::getS(pars, key, "");
}

std::shared_ptr<const Potential> ReadTable(const std::string& filename) {
  std::ifstream in(filename);
  if (!in) Fatal("potential table: cannot open %s\n", filename.c_str());
  std::vector<double> r, v;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    double ri, vi;
    if (!(fields >> ri >> vi)) Fatal("potential table %s: bad line '%s'\n", filename.c_str(),
                                     line.c_str());
    r.push_back(ri);
    v.push_back(vi);
  }
  return std::make_shared<Tabulated>(std::move(r), std::move(v));
}

std::shared_ptr<const Potential> ReadGaussians(const parameter_map& pars, const std::string& p) {
  std::vector<GaussianSum::Gaussian> gaussians;
  const int ng = parameter::getI(pars, p + "NG", 0);
  for (int j = 1; j <= ng; j++) {
    const std::string idx = std::to_string(j);
    const double alpha = Need(pars, p + "ALPHA" + idx);
    // Either a width beta (fm) or an inverse square width b (fm^-2): both forms are published.
    const double beta = pars.count(p + "B" + idx) ? 1.0 / std::sqrt(Need(pars, p + "B" + idx))
                                                  : Need(pars, p + "BETA" + idx);
    gaussians.push_back({alpha, beta});
  }
  std::vector<GaussianSum::Tail> tails;
  const int nt = parameter::getI(pars, p + "NTAIL", 0);
  for (int k = 1; k <= nt; k++) {
    const std::string t = p + "TAIL" + std::to_string(k) + "_";
    const std::vector<double> v = NeedAll(pars, t, {"LAMBDA", "RHO", "MPI"});
    tails.push_back({v[0], v[1], v[2] / constants::kHbarC, parameter::getI(pars, t + "N", 1),
                     parameter::getI(pars, t + "P", 2)});
  }
  return std::make_shared<GaussianSum>(std::move(gaussians), std::move(tails));
}

}  // namespace

std::shared_ptr<const Potential> ReadPotential(const parameter_map& pars, const std::string& prefix,
                                               const std::string& basedir) {
  const std::string family = parameter::getS(pars, prefix + "POTENTIAL", "none");
  const std::string& p = prefix;
  if (family == "none") return nullptr;
  // Keys are read in their listed order, so the first missing one is the one reported.
  if (family == "square") {
    const std::vector<double> v = NeedAll(pars, p, {"V0", "R"});
    return std::make_shared<SquareWell>(v[0], v[1]);
  }
  if (family == "yukawa") {
    const std::vector<double> v = NeedAll(pars, p, {"V0", "M"});
    return std::make_shared<Yukawa>(v[0], v[1]);
  }
  if (family == "woodssaxon") {
    const std::vector<double> v = NeedAll(pars, p, {"V0", "R", "A"});
    return std::make_shared<WoodsSaxon>(v[0], v[1], v[2]);
  }
  if (family == "gaussians") return ReadGaussians(pars, p);
  if (family == "usmani") {
    const std::vector<double> v = NeedAll(pars, p, {"WC", "RC", "AC", "M", "CUT", "V"});
    return std::make_shared<Usmani>(v[0], v[1], v[2], v[3], v[4], v[5]);
  }
  if (family == "table") {
    std::filesystem::path file = NeedS(pars, p + "FILE");
    if (file.is_relative() && !basedir.empty()) file = std::filesystem::path(basedir) / file;
    return ReadTable(file.string());
  }
  if (family == "reid93") {
    const std::string wave = NeedS(pars, p + "WAVE");
    return std::make_shared<Reid93Wave>(wave, NeedS(pars, p + "TYPE"));
  }
  Fatal("potential: unknown family %s (key %sPOTENTIAL)\n", family.c_str(), prefix.c_str());
}

}  // namespace femtokit

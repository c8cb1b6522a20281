#include "analysis/analysisconfig.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <filesystem>
#include <sstream>

#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include "analysis/lednickycorrelation.h"
#include "numeric/fatal.h"
#include "numeric/output.h"
#include "source/sourcemodels.h"

namespace femtokit::analysis {
namespace {

using KeyList = std::vector<std::string>;

std::string Where(const std::string& where, const std::string& key) {
  return where.empty() ? key : where + "." + key;
}

void CheckKeys(const toml::table& t, const KeyList& allowed, const std::string& where) {
  for (const auto& [key, node] : t) {
    const std::string k(key.str());
    if (std::find(allowed.begin(), allowed.end(), k) != allowed.end()) continue;
    std::string known;
    for (const std::string& a : allowed) known += " " + a;
    Fatal("configuration: unknown key '%s'%s%s; allowed here:%s\n", k.c_str(),
          where.empty() ? "" : " in ", where.c_str(), known.c_str());
  }
}

const toml::table* Table(const toml::table& t, const std::string& key, const std::string& where) {
  const toml::node* n = t.get(key);
  if (n == nullptr) return nullptr;
  if (!n->is_table()) Fatal("configuration: %s must be a table\n", Where(where, key).c_str());
  return n->as_table();
}

double Number(const toml::node& n, const std::string& where) {
  if (auto v = n.value<double>()) return *v;
  Fatal("configuration: %s must be a number\n", where.c_str());
}

double GetNumber(const toml::table& t, const std::string& key, const std::string& where, double def) {
  const toml::node* n = t.get(key);
  return n == nullptr ? def : Number(*n, Where(where, key));
}

bool GetBool(const toml::table& t, const std::string& key, const std::string& where, bool def) {
  const toml::node* n = t.get(key);
  if (n == nullptr) return def;
  if (auto v = n->value<bool>()) return *v;
  Fatal("configuration: %s must be true or false\n", Where(where, key).c_str());
}

int GetInt(const toml::table& t, const std::string& key, const std::string& where, int def) {
  const toml::node* n = t.get(key);
  if (n == nullptr) return def;
  if (n->is_integer()) return static_cast<int>(n->as_integer()->get());
  Fatal("configuration: %s must be an integer\n", Where(where, key).c_str());
}

std::string GetString(const toml::table& t, const std::string& key, const std::string& where,
                      const std::string& def) {
  const toml::node* n = t.get(key);
  if (n == nullptr) return def;
  if (auto v = n->value<std::string>()) return *v;
  Fatal("configuration: %s must be a string\n", Where(where, key).c_str());
}

std::vector<double> GetNumbers(const toml::table& t, const std::string& key,
                               const std::string& where, std::size_t count) {
  const toml::node* n = t.get(key);
  if (n == nullptr) return {};
  const toml::array* a = n->as_array();
  if (a == nullptr || a->size() != count)
    Fatal("configuration: %s must be an array of %zu numbers\n", Where(where, key).c_str(), count);
  std::vector<double> out;
  for (const toml::node& e : *a) out.push_back(Number(e, Where(where, key)));
  return out;
}

// Tables of `over` replace or extend those of `base`, recursively.
void Merge(toml::table& base, const toml::table& over) {
  for (const auto& [key, node] : over) {
    toml::node* existing = base.get(key);
    if (existing != nullptr && existing->is_table() && node.is_table())
      Merge(*existing->as_table(), *node.as_table());
    else
      base.insert_or_assign(key, node);
  }
}

std::string Resolve(const std::string& base_dir, const std::string& file) {
  if (file.empty() || std::filesystem::path(file).is_absolute() || base_dir.empty()) return file;
  return (std::filesystem::path(base_dir) / file).string();
}

// f0 as a number (real) or as [re, im] (fm).
std::complex<double> ScatteringLength(const toml::node& n, const std::string& where) {
  if (const toml::array* a = n.as_array()) {
    if (a->size() != 2) Fatal("configuration: %s must be a number or [re, im]\n", where.c_str());
    return {Number(*a->get(0), where), Number(*a->get(1), where)};
  }
  return Number(n, where);
}

// The pair of a Lednicky-Lyuboshitz genuine correlation: a built-in pair (its channels'
// f0 and d0 may be overridden by name) or one described in full.
NamedLednickyPair LednickyFromConfig(const toml::table& l, const std::string& where) {
  CheckKeys(l, {"pair", "name", "masses", "charges", "identical", "channels"}, where);
  NamedLednickyPair pair;
  const bool builtin = l.get("pair") != nullptr;
  if (builtin) {
    for (const char* key : {"name", "masses", "charges", "identical"})
      if (l.get(key))
        Fatal("configuration: %s.%s comes from the built-in pair; give pair or %s, not both\n",
              where.c_str(), key, key);
    pair = BuiltinLednickyPair(GetString(l, "pair", where, ""));
  } else {
    pair.name = GetString(l, "name", where, "pair");
    pair.pair.identical = GetBool(l, "identical", where, false);
    if (l.get("charges")) {
      const std::vector<double> z = GetNumbers(l, "charges", where, 2);
      if (z[0] != std::round(z[0]) || z[1] != std::round(z[1]))
        Fatal("configuration: %s.charges must be whole numbers\n", where.c_str());
      pair.pair.z1z2 = static_cast<int>(z[0] * z[1]);
    }
    if (l.get("masses")) {
      const std::vector<double> m = GetNumbers(l, "masses", where, 2);
      if (!(m[0] > 0.0) || !(m[1] > 0.0))
        Fatal("configuration: %s.masses must be positive (MeV)\n", where.c_str());
      pair.pair.mu = m[0] * m[1] / (m[0] + m[1]);
    } else if (pair.pair.z1z2 != 0) {
      Fatal("configuration: %s needs masses = [m1, m2] (MeV) for a charged pair\n", where.c_str());
    }
  }
  const toml::node* c = l.get("channels");
  if (c == nullptr) {
    if (!builtin) Fatal("configuration: %s needs pair or channels = [{spin, weight, f0, d0}, ...]\n", where.c_str());
    return pair;
  }
  if (!c->is_array_of_tables())
    Fatal("configuration: %s.channels must be an array of tables\n", where.c_str());
  int i = 0;
  for (const toml::node& e : *c->as_array()) {
    const toml::table& t = *e.as_table();
    const std::string cw = where + ".channels[" + std::to_string(i++) + "]";
    LednickyChannel* ch = nullptr;
    if (builtin) {
      CheckKeys(t, {"name", "f0", "d0"}, cw);
      const std::string name = GetString(t, "name", cw, "");
      const auto& names = pair.channel_names;
      const auto it = std::find(names.begin(), names.end(), name);
      if (it == names.end()) {
        std::string known;
        for (const std::string& n : names) known += " " + n;
        Fatal("configuration: %s.name '%s' is no channel of pair %s; known:%s\n", cw.c_str(),
              name.c_str(), pair.name.c_str(), known.c_str());
      }
      ch = &pair.pair.channels[it - names.begin()];
    } else {
      CheckKeys(t, {"name", "spin", "weight", "f0", "d0"}, cw);
      LednickyChannel added;
      added.spin = GetInt(t, "spin", cw, 0);
      added.weight = GetNumber(t, "weight", cw, 1.0);
      pair.pair.channels.push_back(added);
      pair.channel_names.push_back(GetString(t, "name", cw, "S" + std::to_string(added.spin)));
      ch = &pair.pair.channels.back();
    }
    if (const toml::node* f0 = t.get("f0")) ch->f0 = ScatteringLength(*f0, cw + ".f0");
    ch->d0 = GetNumber(t, "d0", cw, ch->d0);
  }
  return pair;
}

}  // namespace

struct AnalysisConfig::Impl {
  toml::table root;
  std::string base_dir;
  mutable std::map<std::string, std::shared_ptr<KernelTable>> kernels;

  std::string File(const toml::table& t, const std::string& key, const std::string& where) const {
    return Resolve(base_dir, GetString(t, key, where, ""));
  }
  void CheckTop(const toml::table& t) const;
  FitOptions Options(const toml::table& t) const;
  std::vector<FitParameter> Parameters(const toml::table& t) const;
  DataSet MakeDataSet(const toml::table& d, const std::string& where,
                      const std::vector<FitParameter>& pars) const;
  MeasuredData Data(const toml::table& d, const std::string& where) const;
  std::shared_ptr<KernelTable> Kernel(const toml::table& d, const std::string& where,
                                      const std::vector<double>& true_k,
                                      const std::string& source_model,
                                      const parameter_map& settings,
                                      const std::map<std::string, std::string>& rename,
                                      const std::vector<FitParameter>& pars) const;
};

void AnalysisConfig::Impl::CheckTop(const toml::table& t) const {
  CheckKeys(t, {"fit", "dataset", "parameters", "variation"}, "");
  if (const toml::node* v = t.get("variation")) {
    if (!v->is_array_of_tables()) Fatal("configuration: variation must be an array of tables ([[variation]])\n");
    int i = 0;
    for (const toml::node& e : *v->as_array()) {
      const std::string where = "variation[" + std::to_string(i++) + "]";
      CheckKeys(*e.as_table(), {"name", "dataset", "parameters", "fit"}, where);
      if (GetString(*e.as_table(), "name", where, "").empty())
        Fatal("configuration: %s needs a name\n", where.c_str());
    }
  }
  const toml::node* d = t.get("dataset");
  if (d == nullptr || !d->is_array_of_tables() || d->as_array()->empty())
    Fatal("configuration: at least one [[dataset]] is needed\n");
}

FitOptions AnalysisConfig::Impl::Options(const toml::table& t) const {
  FitOptions o;
  const toml::table* f = Table(t, "fit", "");
  if (f == nullptr) return o;
  CheckKeys(*f, {"minimizer", "max_iterations", "metropolis_steps", "xtol", "gtol"}, "fit");
  o.minimizer = GetString(*f, "minimizer", "fit", o.minimizer);
  o.max_iterations = GetInt(*f, "max_iterations", "fit", o.max_iterations);
  o.metropolis_steps = GetInt(*f, "metropolis_steps", "fit", o.metropolis_steps);
  o.xtol = GetNumber(*f, "xtol", "fit", o.xtol);
  o.gtol = GetNumber(*f, "gtol", "fit", o.gtol);
  if (o.minimizer != "trust-region" && o.minimizer != "newton" && o.minimizer != "metropolis")
    Fatal("configuration: fit.minimizer '%s' unknown; known: trust-region newton metropolis\n",
          o.minimizer.c_str());
  if (o.max_iterations < 1) Fatal("configuration: fit.max_iterations must be positive\n");
  return o;
}

std::vector<FitParameter> AnalysisConfig::Impl::Parameters(const toml::table& t) const {
  std::vector<FitParameter> pars;
  const toml::table* p = Table(t, "parameters", "");
  if (p == nullptr) return pars;
  for (const auto& [key, node] : *p) {
    const std::string where = "parameters." + std::string(key.str());
    FitParameter fp;
    fp.name = std::string(key.str());
    if (!node.is_table()) {
      fp.start = Number(node, where);  // NAME = value: fixed at that value
      fp.fixed = true;
    } else {
      const toml::table& q = *node.as_table();
      CheckKeys(q, {"start", "lower", "upper", "fixed"}, where);
      if (q.get("start") == nullptr) Fatal("configuration: %s needs a start value\n", where.c_str());
      fp.start = GetNumber(q, "start", where, 0.0);
      fp.lower = GetNumber(q, "lower", where, fp.lower);
      fp.upper = GetNumber(q, "upper", where, fp.upper);
      fp.fixed = GetBool(q, "fixed", where, false);
    }
    pars.push_back(fp);
  }
  return pars;
}

MeasuredData AnalysisConfig::Impl::Data(const toml::table& d, const std::string& where) const {
  const int sources = (d.get("file") ? 1 : 0) + (d.get("values_dir") ? 1 : 0) + (d.get("kbins") ? 1 : 0);
  if (sources != 1)
    Fatal("configuration: %s needs exactly one of file, values_dir (with errors_dir) or kbins\n",
          where.c_str());
  MeasuredData data;
  if (d.get("file")) {
    DataColumns columns;
    if (const toml::table* c = Table(d, "columns", where)) {
      CheckKeys(*c, {"k", "value", "error"}, where + ".columns");
      columns.k = GetString(*c, "k", where, "");
      columns.value = GetString(*c, "value", where, "");
      columns.error = GetString(*c, "error", where, "");
    }
    if (const toml::node* h = d.get("header")) {
      if (!h->is_array()) Fatal("configuration: %s.header must be an array of names\n", where.c_str());
      for (const toml::node& e : *h->as_array()) {
        auto s = e.value<std::string>();
        if (!s) Fatal("configuration: %s.header must be an array of names\n", where.c_str());
        columns.header.push_back(*s);
      }
    }
    columns.add_systematic = GetBool(d, "systematic", where, false);
    data = ReadMeasuredData(File(d, "file", where), columns);
  } else if (d.get("values_dir")) {
    if (!d.get("errors_dir")) Fatal("configuration: %s.values_dir needs errors_dir\n", where.c_str());
    data = ReadComponentDirectory(File(d, "values_dir", where), File(d, "errors_dir", where));
  } else {
    const std::vector<double> b = GetNumbers(d, "kbins", where, 3);
    if (!(b[2] > 0.0) || !(b[1] > b[0]) || b[0] < 0.0)
      Fatal("configuration: %s.kbins = [kmin, kmax, step] needs 0 <= kmin < kmax and step > 0\n",
            where.c_str());
    data.origin = where + ".kbins";
    for (double lo = b[0]; lo + b[2] <= b[1] + 1e-9 * b[2]; lo += b[2]) {
      data.k.push_back(lo + 0.5 * b[2]);
      data.k_low.push_back(lo);
      data.k_high.push_back(lo + b[2]);
      data.value.push_back(1.0);  // no measurement: placeholders for a prediction
      data.error.push_back(1.0);
    }
    CheckMeasuredData(data);
  }
  if (d.get("range")) {
    const std::vector<double> r = GetNumbers(d, "range", where, 2);
    if (!(r[1] > r[0])) Fatal("configuration: %s.range needs kmin < kmax\n", where.c_str());
    data = data.InRange(r[0], r[1]);
  }
  return data;
}

std::shared_ptr<KernelTable> AnalysisConfig::Impl::Kernel(
    const toml::table& d, const std::string& where, const std::vector<double>& true_k,
    const std::string& source_model, const parameter_map& settings,
    const std::map<std::string, std::string>& rename, const std::vector<FitParameter>& pars) const {
  const toml::table* k = Table(d, "kernel", where);
  if (k == nullptr) Fatal("configuration: %s needs a kernel = {pair = ...} or {directory = ...}\n", where.c_str());
  const std::string kw = where + ".kernel";
  CheckKeys(*k, {"pair", "directory", "hbt", "epsilon", "strong", "coulomb", "delr", "rmax"}, kw);
  const int kinds = (k->get("pair") ? 1 : 0) + (k->get("directory") ? 1 : 0) + (k->get("hbt") ? 1 : 0);
  if (kinds != 1) Fatal("configuration: %s needs exactly one of pair, directory, hbt\n", kw.c_str());
  if (k->get("directory")) {
    const std::string dir = File(*k, "directory", kw);
    auto& cached = kernels["dir|" + dir];
    if (!cached) cached = KernelTable::FromDirectory(dir);
    return cached;
  }
  // The r grid: given, or what the source needs over the start values and bounds.
  double rmax = GetNumber(*k, "rmax", kw, 0.0);
  if (rmax <= 0.0) {
    std::map<std::string, std::string> local;  // fit name -> the model's name
    for (const auto& [name, fit_name] : rename) local[fit_name] = name;
    auto Local = [&](const std::string& n) { return local.count(n) ? local.at(n) : n; };
    ParameterValues start;
    for (const FitParameter& p : pars) start[Local(p.name)] = p.start;
    std::vector<ParameterValues> sets{start};
    for (const FitParameter& p : pars) {
      if (p.fixed) continue;
      for (double bound : {p.lower, p.upper})
        if (std::isfinite(bound)) {
          ParameterValues v = start;
          v[Local(p.name)] = bound;
          sets.push_back(v);
        }
    }
    constexpr double kCap = 200.0;
    rmax = RequiredRadius(source_model, settings, sets, kCap);
    if (rmax >= kCap)
      Warn("warning: %s: the %s source needs more than %g fm for 99.9%% of its lambda at some "
           "parameter values; the kernel stops at %g fm\n",
           where.c_str(), source_model.c_str(), kCap, kCap);
  }
  const KernelGrid grid = GridFor(true_k, rmax, GetNumber(*k, "delr", kw, 0.5));
  if (GetBool(*k, "hbt", kw, false) == false && k->get("hbt"))
    Fatal("configuration: %s.hbt must be true when given\n", kw.c_str());
  WaveFunctionOptions wo;
  wo.epsilon = GetNumber(*k, "epsilon", kw, wo.epsilon);
  wo.strong = GetBool(*k, "strong", kw, wo.strong);
  wo.coulomb = GetBool(*k, "coulomb", kw, wo.coulomb);
  const std::string pair = GetString(*k, "pair", kw, "");
  char key[256];
  std::snprintf(key, sizeof key, "%s|%.9g|%d|%.9g|%d|%.9g|%d|%d", pair.c_str(), grid.delq,
                grid.nq, grid.delr, grid.nr, wo.epsilon, wo.strong, wo.coulomb);
  auto& cached = kernels[key];
  if (!cached) cached = pair.empty() ? KernelTable::PureHBT(grid) : KernelTable::FromPair(pair, grid, wo);
  return cached;
}

DataSet AnalysisConfig::Impl::MakeDataSet(const toml::table& d, const std::string& where,
                                          const std::vector<FitParameter>& pars) const {
  CheckKeys(d, {"name", "file", "values_dir", "errors_dir", "kbins", "columns", "header",
                "systematic", "range", "genuine", "kernel", "source", "lednicky", "resolution",
                "baseline", "rename", "residual"},
            where);
  DataSet set;
  set.name = GetString(d, "name", where, where);
  set.data = Data(d, where);

  std::map<std::string, std::string> rename;
  if (const toml::table* r = Table(d, "rename", where))
    for (const auto& [key, node] : *r) {
      auto s = node.value<std::string>();
      if (!s) Fatal("configuration: %s.rename.%s must be a string\n", where.c_str(), std::string(key.str()).c_str());
      rename[std::string(key.str())] = *s;
    }

  std::optional<BinMatrix> resolution;
  if (d.get("resolution")) resolution = ReadBinMatrix(File(d, "resolution", where));
  const std::vector<double> true_k = resolution ? resolution->col_k : set.data.k;

  // The genuine correlation: a source model through the pair's kernel, or the analytic
  // Lednicky-Lyuboshitz model.
  const std::string genuine = GetString(d, "genuine", where, "kernel-source");
  std::shared_ptr<GenuineCorrelation> correlation;
  if (genuine == "lednicky") {
    for (const char* unused : {"kernel", "source"})
      if (d.get(unused))
        Fatal("configuration: %s.%s is not used with genuine = \"lednicky\"\n", where.c_str(), unused);
    const toml::table* l = Table(d, "lednicky", where);
    if (l == nullptr) Fatal("configuration: %s needs lednicky = {pair = ...} or {masses, charges, channels}\n", where.c_str());
    correlation = std::make_shared<LednickyCorrelation>(LednickyFromConfig(*l, where + ".lednicky"));
  } else if (genuine == "kernel-source") {
    if (d.get("lednicky"))
      Fatal("configuration: %s.lednicky needs genuine = \"lednicky\"\n", where.c_str());
    const toml::table* s = Table(d, "source", where);
    if (s == nullptr) Fatal("configuration: %s needs source = {model = ...}\n", where.c_str());
    CheckKeys(*s, {"model", "settings"}, where + ".source");
    const std::string model_name = GetString(*s, "model", where + ".source", "");
    if (FindSourceModel(model_name) == nullptr) MakeSourceCalc(model_name);  // fatal, lists the models
    parameter_map settings;
    if (const toml::table* st = Table(*s, "settings", where + ".source"))
      for (const auto& [key, node] : *st) {
        std::ostringstream text;
        if (auto str = node.value<std::string>())
          text << *str;
        else if (node.is_boolean())
          text << (node.as_boolean()->get() ? 1 : 0);
        else
          text.precision(17), text << Number(node, where + ".source.settings." + std::string(key.str()));
        settings[std::string(key.str())] = text.str();
      }
    auto kernel = Kernel(d, where, true_k, model_name, settings, rename, pars);
    correlation = std::make_shared<KernelSourceCorrelation>(kernel, model_name, settings);
  } else {
    Fatal("configuration: %s.genuine '%s' unknown; known: kernel-source lednicky\n", where.c_str(),
          genuine.c_str());
  }
  auto model = std::make_shared<Model>(correlation);

  if (resolution) model->SetResolution(*resolution);
  if (const toml::table* b = Table(d, "baseline", where)) {
    CheckKeys(*b, {"degree", "table"}, where + ".baseline");
    Baseline baseline;
    baseline.degree = GetInt(*b, "degree", where + ".baseline", 0);
    if (b->get("table")) baseline.table = ReadCurveTable(File(*b, "table", where + ".baseline"));
    model->SetBaseline(baseline);
  }
  if (const toml::node* res = d.get("residual")) {
    if (!res->is_array_of_tables())
      Fatal("configuration: %s.residual must be an array of tables ([[dataset.residual]])\n", where.c_str());
    int i = 0;
    for (const toml::node& e : *res->as_array()) {
      const toml::table& r = *e.as_table();
      const std::string rw = where + ".residual[" + std::to_string(i++) + "]";
      CheckKeys(r, {"name", "kind", "table", "matrix"}, rw);
      Residual residual;
      residual.name = GetString(r, "name", rw, "");
      const std::string kind = GetString(r, "kind", rw, "flat");
      if (kind == "flat") {
        residual.kind = Residual::Kind::kFlat;
      } else if (kind == "table" || kind == "decay") {
        if (!r.get("table")) Fatal("configuration: %s (%s) needs a table\n", rw.c_str(), kind.c_str());
        residual.table = ReadCurveTable(File(r, "table", rw));
        residual.kind = kind == "table" ? Residual::Kind::kTable : Residual::Kind::kDecay;
        if (kind == "decay") {
          if (!r.get("matrix")) Fatal("configuration: %s (decay) needs a matrix\n", rw.c_str());
          residual.decay = ReadBinMatrix(File(r, "matrix", rw));
        }
      } else {
        Fatal("configuration: %s.kind '%s' unknown; known: flat table decay\n", rw.c_str(), kind.c_str());
      }
      model->AddResidual(std::move(residual));
    }
  }
  for (const auto& [name, fit_name] : rename) model->Rename(name, fit_name);
  // A table must cover the k the model evaluates it at: check now, not mid-fit.
  ParameterValues start;
  for (const FitParameter& p : pars) start[p.name] = p.start;
  model->Evaluate(set.data.k, start);
  set.model = model;
  return set;
}

AnalysisConfig::AnalysisConfig() : impl_(std::make_unique<Impl>()) {}
AnalysisConfig::AnalysisConfig(AnalysisConfig&&) noexcept = default;
AnalysisConfig& AnalysisConfig::operator=(AnalysisConfig&&) noexcept = default;
AnalysisConfig::~AnalysisConfig() = default;

AnalysisConfig AnalysisConfig::Load(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    Fatal("configuration file %s does not exist\n", path.c_str());
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return Parse(text.str(), std::filesystem::path(path).parent_path().string());
}

AnalysisConfig AnalysisConfig::Parse(const std::string& text, const std::string& base_dir) {
  AnalysisConfig config;
  try {
    config.impl_->root = toml::parse(text);
  } catch (const toml::parse_error& e) {
    std::ostringstream where;
    where << e.source().begin;
    Fatal("configuration: %s (%s)\n", std::string(e.description()).c_str(), where.str().c_str());
  }
  config.impl_->base_dir = base_dir;
  config.impl_->CheckTop(config.impl_->root);
  return config;
}

std::string AnalysisConfig::Json() const {
  std::ostringstream out;
  out << toml::json_formatter{impl_->root};
  return out.str();
}

std::vector<std::string> AnalysisConfig::VariationNames() const {
  std::vector<std::string> names;
  if (const toml::node* v = impl_->root.get("variation"))
    for (const toml::node& e : *v->as_array()) names.push_back(GetString(*e.as_table(), "name", "", ""));
  return names;
}

AnalysisSetup AnalysisConfig::Build(int variation) const {
  toml::table root = impl_->root;
  std::string name = "nominal";
  if (variation >= 0) {
    const toml::array* all = root.get("variation")->as_array();
    if (static_cast<std::size_t>(variation) >= all->size())
      Fatal("configuration has no variation %d\n", variation);
    toml::table v = *all->get(variation)->as_table();
    name = GetString(v, "name", "", "");
    if (const toml::table* over = Table(v, "dataset", "variation"))
      for (toml::node& e : *root.get("dataset")->as_array()) {
        Merge(*e.as_table(), *over);
        // A variation that switches the genuine model drops the tables of the other one.
        if (over->get("genuine") != nullptr) {
          const bool lednicky = GetString(*over, "genuine", "variation.dataset", "") == "lednicky";
          for (const std::string& key : lednicky ? KeyList{"kernel", "source"} : KeyList{"lednicky"})
            if (over->get(key) == nullptr) e.as_table()->erase(key);
        }
      }
    for (const char* key : {"parameters", "fit"})
      if (const toml::table* over = Table(v, key, "variation")) {
        if (!root.get(key)) root.insert(key, toml::table{});
        Merge(*root.get(key)->as_table(), *over);
      }
  }
  AnalysisSetup setup;
  setup.name = name;
  setup.options = impl_->Options(root);
  const std::vector<FitParameter> pars = impl_->Parameters(root);
  int i = 0;
  for (const toml::node& e : *root.get("dataset")->as_array())
    setup.analysis.AddDataSet(
        impl_->MakeDataSet(*e.as_table(), "dataset[" + std::to_string(i++) + "]", pars));
  // A variation may drop a part (a baseline term, a residual) whose parameter the
  // nominal configuration sets: that parameter is simply not used there.
  const std::vector<std::string> read = setup.analysis.ParameterNames();
  const toml::table* nominal_pars = Table(impl_->root, "parameters", "");
  for (const FitParameter& p : pars) {
    const bool unused = std::find(read.begin(), read.end(), p.name) == read.end();
    if (variation >= 0 && unused && nominal_pars != nullptr && nominal_pars->get(p.name)) continue;
    setup.analysis.SetParameter(p);
  }
  setup.analysis.Parameters();  // a parameter no model reads is an error now
  return setup;
}

}  // namespace femtokit::analysis

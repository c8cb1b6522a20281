#include "analysis/measureddata.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "numeric/fatal.h"

namespace femtokit::analysis {
namespace {

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Splits at commas when the line has any (outside quotes), else at white space.
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  bool quoted = false, has_comma = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) has_comma = true;
  }
  std::string field;
  quoted = false;
  bool in_field = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_field = true;
      continue;
    }
    const bool sep = !quoted && (has_comma ? c == ',' : std::isspace(static_cast<unsigned char>(c)));
    if (sep) {
      if (has_comma || in_field) fields.push_back(Trim(field));
      field.clear();
      in_field = false;
    } else {
      field += c;
      in_field = true;
    }
  }
  if (has_comma || in_field) fields.push_back(Trim(field));
  return fields;
}

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && Trim(end).empty();
}

bool AllNumbers(const std::vector<std::string>& fields) {
  double v;
  for (const std::string& f : fields)
    if (!ParseNumber(f, v)) return false;
  return !fields.empty();
}

struct Table {
  std::vector<std::string> names;
  std::vector<std::vector<double>> rows;
  std::vector<int> lines;  // file line of each row
};

Table ReadTable(const std::string& path, const std::vector<std::string>& given_header) {
  std::ifstream in(path);
  if (!in) Fatal("cannot open data file %s\n", path.c_str());
  Table table;
  table.names = given_header;
  std::string line;
  int number = 0;
  bool header_from_file = false;
  while (std::getline(in, line)) {
    ++number;
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (Trim(line).empty()) continue;
    std::vector<std::string> fields = SplitFields(line);
    if (!AllNumbers(fields)) {
      if (!table.rows.empty())
        Fatal("data file %s, line %d: not a row of numbers: %s\n", path.c_str(), number,
              line.c_str());
      if (header_from_file)
        Fatal("data file %s, line %d: a second header line: %s\n", path.c_str(), number,
              line.c_str());
      if (given_header.empty()) table.names = fields;  // else the caller's names stand
      header_from_file = true;
      continue;
    }
    if (table.names.empty())
      Fatal("data file %s has no header line naming its columns; name them (header)\n",
            path.c_str());
    if (fields.size() < table.names.size())
      Fatal("data file %s, line %d: %zu values for %zu columns\n", path.c_str(), number,
            fields.size(), table.names.size());
    std::vector<double> row(table.names.size());
    for (std::size_t i = 0; i < row.size(); ++i) ParseNumber(fields[i], row[i]);
    table.rows.push_back(std::move(row));
    table.lines.push_back(number);
  }
  if (table.rows.empty()) Fatal("data file %s holds no data rows\n", path.c_str());
  return table;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string KnownColumns(const Table& table) {
  std::string known;
  for (const std::string& n : table.names) known += " '" + n + "'";
  return known;
}

// Column named `wanted` (or, when empty, the first of `defaults`, case-insensitive).
int FindColumn(const Table& table, const std::string& wanted,
               const std::vector<std::string>& defaults, const char* role, const std::string& path) {
  const std::vector<std::string> candidates = wanted.empty() ? defaults : std::vector{wanted};
  for (const std::string& c : candidates)
    for (std::size_t i = 0; i < table.names.size(); ++i)
      if (table.names[i] == c || (wanted.empty() && Lower(table.names[i]) == Lower(c)))
        return static_cast<int>(i);
  if (wanted.empty())
    Fatal("data file %s: no %s column (looked for the names%s); columns:%s\n", path.c_str(), role,
          [&] {
            std::string s;
            for (const std::string& c : defaults) s += " '" + c + "'";
            return s;
          }().c_str(),
          KnownColumns(table).c_str());
  Fatal("data file %s: unknown %s column '%s'; columns:%s\n", path.c_str(), role, wanted.c_str(),
        KnownColumns(table).c_str());
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsHEPData(const Table& t) {
  return t.names.size() >= 6 && EndsWith(t.names[1], "LOW") && EndsWith(t.names[2], "HIGH");
}

MeasuredData FromHEPData(const Table& t, const std::string& path, bool add_systematic) {
  // Columns 4, 5 are the stat +/- pair; later pairs are systematic.
  if ((t.names.size() - 4) % 2 != 0)
    Fatal("data file %s: HEPData layout needs +/- error pairs after the value; columns:%s\n",
          path.c_str(), KnownColumns(t).c_str());
  MeasuredData data;
  data.origin = path;
  for (const std::vector<double>& row : t.rows) {
    data.k.push_back(row[0]);
    data.k_low.push_back(row[1]);
    data.k_high.push_back(row[2]);
    data.value.push_back(row[3]);
    double variance = 0.0;
    for (std::size_t c = 4; c + 1 < row.size() && c + 1 < t.names.size(); c += 2) {
      if (c > 4 && !add_systematic) break;
      const double e = 0.5 * (std::fabs(row[c]) + std::fabs(row[c + 1]));
      variance += e * e;
    }
    data.error.push_back(std::sqrt(variance));
  }
  return data;
}

}  // namespace

void CheckMeasuredData(const MeasuredData& d) {
  const char* origin = d.origin.c_str();
  if (d.k.empty()) Fatal("%s: no data bins\n", origin);
  if (d.value.size() != d.k.size() || d.error.size() != d.k.size() ||
      d.k_low.size() != d.k.size() || d.k_high.size() != d.k.size())
    Fatal("%s: k, value, error and bin edges differ in length\n", origin);
  for (std::size_t i = 0; i < d.k.size(); ++i) {
    if (!std::isfinite(d.k[i]) || d.k[i] < 0.0)
      Fatal("%s: bin %zu has k=%g (must be finite and >= 0)\n", origin, i, d.k[i]);
    if (i > 0 && !(d.k[i] > d.k[i - 1]))
      Fatal("%s: k is not increasing at bin %zu (k=%g after %g; duplicate or unsorted)\n", origin,
            i, d.k[i], d.k[i - 1]);
    if (!std::isfinite(d.value[i]))
      Fatal("%s: bin %zu (k=%g) has a value that is not finite\n", origin, i, d.k[i]);
    if (!(d.error[i] > 0.0) || !std::isfinite(d.error[i]))
      Fatal("%s: bin %zu (k=%g) has error %g (must be finite and > 0)\n", origin, i, d.k[i],
            d.error[i]);
  }
}

MeasuredData MeasuredData::InRange(double kmin, double kmax) const {
  MeasuredData out;
  out.origin = origin;
  for (std::size_t i = 0; i < k.size(); ++i) {
    if (k[i] < kmin || k[i] > kmax) continue;
    out.k.push_back(k[i]);
    out.k_low.push_back(k_low[i]);
    out.k_high.push_back(k_high[i]);
    out.value.push_back(value[i]);
    out.error.push_back(error[i]);
  }
  if (out.k.empty())
    Fatal("%s: the fit range %g ... %g MeV/c holds no data bin\n", origin.c_str(), kmin, kmax);
  return out;
}

MeasuredData ReadMeasuredData(const std::string& path, const DataColumns& columns) {
  const Table table = ReadTable(path, columns.header);
  MeasuredData data;
  if (columns.k.empty() && columns.value.empty() && columns.error.empty() && IsHEPData(table)) {
    data = FromHEPData(table, path, columns.add_systematic);
  } else {
    const int ik = FindColumn(table, columns.k, {"k", "kstar", "k*", "q"}, "k", path);
    const int iv = FindColumn(table, columns.value, {"C", "CF", "value"}, "value", path);
    const int ie = FindColumn(table, columns.error, {"error", "err", "sigma", "dC"}, "error", path);
    data.origin = path;
    for (const std::vector<double>& row : table.rows) {
      data.k.push_back(row[ik]);
      data.value.push_back(row[iv]);
      data.error.push_back(row[ie]);
    }
    data.k_low = data.k;
    data.k_high = data.k;
  }
  CheckMeasuredData(data);
  return data;
}

namespace {

// One component file: "NRADIAL RADSTEP", then NRADIAL values.
std::vector<double> ReadComponentFile(const std::string& dir, double& radstep) {
  const std::string path = dir + "/lx0_ly0_lz0.tmp";
  std::ifstream in(path);
  if (!in) Fatal("cannot open component file %s\n", path.c_str());
  int n = 0;
  if (!(in >> n >> radstep) || n < 1 || !(radstep > 0.0))
    Fatal("component file %s: unreadable header (NRADIAL RADSTEP)\n", path.c_str());
  std::vector<double> values(n);
  for (double& v : values)
    if (!(in >> v)) Fatal("component file %s: fewer than %d values\n", path.c_str(), n);
  return values;
}

}  // namespace

MeasuredData ReadComponentDirectory(const std::string& values_dir, const std::string& errors_dir) {
  double step = 0.0, error_step = 0.0;
  const std::vector<double> values = ReadComponentFile(values_dir, step);
  const std::vector<double> errors = ReadComponentFile(errors_dir, error_step);
  if (values.size() != errors.size() || std::fabs(step - error_step) > 1e-9 * step)
    Fatal("component directories %s and %s have different bins\n", values_dir.c_str(),
          errors_dir.c_str());
  MeasuredData data;
  data.origin = values_dir;
  for (std::size_t i = 0; i < values.size(); ++i) {
    data.k.push_back((i + 0.5) * step);
    data.k_low.push_back(i * step);
    data.k_high.push_back((i + 1) * step);
    data.value.push_back(1.0 + values[i]);  // the component holds C - 1
    data.error.push_back(errors[i]);
  }
  CheckMeasuredData(data);
  return data;
}

}  // namespace femtokit::analysis

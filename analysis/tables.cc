#include "analysis/tables.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "numeric/fatal.h"

namespace femtokit::analysis {
namespace {

constexpr double kBinTolerance = 1e-3;  // MeV/c: bin centres written with a few decimals

// Lines of numbers of a text file, '#' comments and one leading header line skipped.
std::vector<std::vector<double>> ReadRows(const std::string& path, std::size_t columns,
                                          std::vector<int>& lines) {
  std::ifstream in(path);
  if (!in) Fatal("cannot open table %s\n", path.c_str());
  std::vector<std::vector<double>> rows;
  std::string line;
  int number = 0;
  bool header_seen = false;
  while (std::getline(in, line)) {
    ++number;
    if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    for (char& c : line)
      if (c == ',') c = ' ';
    std::istringstream fields(line);
    std::vector<double> row;
    double v;
    while (fields >> v) row.push_back(v);
    const bool blank = line.find_first_not_of(" \t\r") == std::string::npos;
    if (blank) continue;
    if (row.empty() && rows.empty() && !header_seen) {
      header_seen = true;
      continue;
    }
    fields.clear();
    std::string rest;
    if (row.size() != columns || (fields >> rest))
      Fatal("table %s, line %d: expected %zu numbers\n", path.c_str(), number, columns);
    for (double x : row)
      if (!std::isfinite(x)) Fatal("table %s, line %d: a value is not finite\n", path.c_str(), number);
    rows.push_back(std::move(row));
    lines.push_back(number);
  }
  if (rows.empty()) Fatal("table %s holds no rows\n", path.c_str());
  return rows;
}

std::vector<double> DistinctSorted(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::vector<double> out;
  for (double v : values)
    if (out.empty() || v - out.back() > kBinTolerance) out.push_back(v);
  return out;
}

std::size_t IndexOf(const std::vector<double>& bins, double k) {
  auto it = std::lower_bound(bins.begin(), bins.end(), k - kBinTolerance);
  if (it == bins.end() || std::fabs(*it - k) > kBinTolerance) return bins.size();
  return static_cast<std::size_t>(it - bins.begin());
}

}  // namespace

double CurveTable::At(double x) const {
  if (k.empty() || x < k.front() - kBinTolerance || x > k.back() + kBinTolerance)
    Fatal("table %s covers k = %g ... %g MeV/c, not k = %g\n", origin.c_str(),
          k.empty() ? 0.0 : k.front(), k.empty() ? 0.0 : k.back(), x);
  if (k.size() == 1 || x <= k.front()) return value.front();
  if (x >= k.back()) return value.back();
  const std::size_t i = static_cast<std::size_t>(std::upper_bound(k.begin(), k.end(), x) - k.begin());
  const double t = (x - k[i - 1]) / (k[i] - k[i - 1]);
  return (1.0 - t) * value[i - 1] + t * value[i];
}

CurveTable ReadCurveTable(const std::string& path) {
  std::vector<int> lines;
  const auto rows = ReadRows(path, 2, lines);
  CurveTable table;
  table.origin = path;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i > 0 && !(rows[i][0] > rows[i - 1][0]))
      Fatal("table %s, line %d: k is not increasing (duplicate or unsorted)\n", path.c_str(),
            lines[i]);
    table.k.push_back(rows[i][0]);
    table.value.push_back(rows[i][1]);
  }
  return table;
}

std::size_t BinMatrix::RowOf(double k) const {
  const std::size_t i = IndexOf(row_k, k);
  if (i == row_k.size())
    Fatal("matrix %s has no row for k = %g MeV/c (rows %g ... %g)\n", origin.c_str(), k,
          row_k.front(), row_k.back());
  return i;
}

void BinMatrix::NormaliseRows() {
  const std::size_t nc = col_k.size();
  for (std::size_t r = 0; r < row_k.size(); ++r) {
    double sum = 0.0;
    for (std::size_t c = 0; c < nc; ++c) sum += weight[r * nc + c];
    if (!(sum > 0.0))
      Fatal("matrix %s: row k = %g MeV/c has no positive weight\n", origin.c_str(), row_k[r]);
    for (std::size_t c = 0; c < nc; ++c) weight[r * nc + c] /= sum;
  }
}

BinMatrix ReadBinMatrix(const std::string& path) {
  std::vector<int> lines;
  const auto rows = ReadRows(path, 3, lines);
  BinMatrix m;
  m.origin = path;
  std::vector<double> rk, ck;
  for (const auto& row : rows) {
    rk.push_back(row[0]);
    ck.push_back(row[1]);
  }
  m.row_k = DistinctSorted(rk);
  m.col_k = DistinctSorted(ck);
  m.weight.assign(m.row_k.size() * m.col_k.size(), 0.0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i][2] < 0.0)
      Fatal("matrix %s, line %d: negative weight %g\n", path.c_str(), lines[i], rows[i][2]);
    m.weight[IndexOf(m.row_k, rows[i][0]) * m.col_k.size() + IndexOf(m.col_k, rows[i][1])] +=
        rows[i][2];
  }
  m.NormaliseRows();
  return m;
}

BinMatrix IdentityMatrix(const std::vector<double>& k) {
  BinMatrix m;
  m.origin = "identity";
  m.row_k = k;
  m.col_k = k;
  m.weight.assign(k.size() * k.size(), 0.0);
  for (std::size_t i = 0; i < k.size(); ++i) m.weight[i * k.size() + i] = 1.0;
  return m;
}

}  // namespace femtokit::analysis

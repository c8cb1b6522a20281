#include "config/parameter.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "numeric/fatal.h"
#include "numeric/output.h"

namespace parameter {
namespace {

const std::string* Find(const parameter_map& pars, const std::string& key) {
  auto it = pars.find(key);
  return it == pars.end() ? nullptr : &it->second;
}

std::string DoubleText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", value);
  return buf;
}

// Numbers of one line of text, up to the first token that is not a number. Each token is
// read as strtod reads it, so everything the double setter writes ("inf", "nan", values
// beyond the range of a double) reads back.
std::vector<double> NumbersOf(const std::string& text) {
  std::vector<double> numbers;
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    char* end = nullptr;
    const double x = std::strtod(token.c_str(), &end);
    if (end == token.c_str()) break;
    numbers.push_back(x);
  }
  return numbers;
}

// Lines of this many characters or fewer cannot hold "type key value".
constexpr std::size_t kMinLineLength = 4;

// The value of an "int" line: as atoi reads it (leading number, fraction dropped), but text
// without a number is refused rather than read as 0, and a number beyond the range of an int
// rather than wrapped.
int IntValue(const std::string& value, const std::string& key, const std::string& filename,
             const char* type = "int") {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(value.c_str(), &end, 10);
  // No digits at all: the key would silently read as 0.
  if (end == value.c_str())
    femtokit::Fatal("parameter file %s: %s %s = %s is not a number\n", filename.c_str(), type,
                    key.c_str(), value.c_str());
  if (errno == ERANGE || v > INT_MAX || v < INT_MIN)
    femtokit::Fatal("parameter file %s: int %s = %s is beyond the range of an int\n",
                    filename.c_str(), key.c_str(), value.c_str());
  return static_cast<int>(v);
}

// The value of a "bool" line: the words true and false (any case) as meant, else the leading
// integer, nonzero for true.
bool BoolValue(const std::string& value, const std::string& key, const std::string& filename) {
  std::string word = value;
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (word == "true") return true;
  if (word == "false") return false;
  return IntValue(value, key, filename, "bool") != 0;
}

// The value of a "double" line: as atof reads it, but text without a number, inf, nan and
// numbers beyond the range of a double are refused (no parameter means anything at infinity).
double DoubleValue(const std::string& value, const std::string& key, const std::string& filename) {
  char* end = nullptr;
  const double v = std::strtod(value.c_str(), &end);
  if (end == value.c_str())
    femtokit::Fatal("parameter file %s: double %s = %s is not a number\n", filename.c_str(),
                    key.c_str(), value.c_str());
  if (!std::isfinite(v))
    femtokit::Fatal("parameter file %s: double %s = %s is not a finite number\n", filename.c_str(),
                    key.c_str(), value.c_str());
  return v;
}

}  // namespace

double getD(const parameter_map& pars, const std::string& key, double def) {
  const std::string* v = Find(pars, key);
  return v ? std::atof(v->c_str()) : def;
}

int getI(const parameter_map& pars, const std::string& key, int def) {
  const std::string* v = Find(pars, key);
  return v ? std::atoi(v->c_str()) : def;
}

bool getB(const parameter_map& pars, const std::string& key, bool def) {
  const std::string* v = Find(pars, key);
  return v ? std::atoi(v->c_str()) != 0 : def;
}

std::string getS(const parameter_map& pars, const std::string& key, const std::string& def) {
  const std::string* v = Find(pars, key);
  return v ? *v : def;
}

std::vector<double> getV(const parameter_map& pars, const std::string& key, double def) {
  const std::string* v = Find(pars, key);
  return v ? NumbersOf(*v) : std::vector<double>{def};
}

std::vector<std::string> getVS(const parameter_map& pars, const std::string& key,
                               const std::string& def) {
  const std::string* v = Find(pars, key);
  if (!v) return {def};
  std::vector<std::string> tokens;
  std::istringstream in(*v);
  std::string token;
  while (in >> token) tokens.push_back(token);
  return tokens;
}

std::vector<std::vector<double>> getM(const parameter_map& pars, const std::string& key,
                                      double def) {
  const std::string* v = Find(pars, key);
  if (!v) return {{def}};
  std::vector<std::vector<double>> rows;
  std::istringstream in(*v);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<double> row = NumbersOf(line);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

void set(parameter_map& pars, const std::string& key, const std::string& val) { pars[key] = val; }

void set(parameter_map& pars, const std::string& key, const char* val) { pars[key] = val; }

void set(parameter_map& pars, const std::string& key, double val) { pars[key] = DoubleText(val); }

void set(parameter_map& pars, const std::string& key, int val) { pars[key] = std::to_string(val); }

void set(parameter_map& pars, const std::string& key, bool val) { pars[key] = val ? "1" : "0"; }

void set(parameter_map& pars, const std::string& key, const std::vector<double>& val) {
  std::string text;
  for (double x : val) text += "    " + DoubleText(x) + "\n";
  pars[key] = text;
}

void set(parameter_map& pars, const std::string& key, const std::vector<std::string>& val) {
  std::string text;
  for (const std::string& s : val) text += "    " + s + "\n";
  pars[key] = text;
}

void set(parameter_map& pars, const std::string& key, const std::vector<std::vector<double>>& val) {
  std::string text;
  for (const std::vector<double>& row : val) {
    text += "    ";
    for (double x : row) text += DoubleText(x) + " ";
    text += "\n";
  }
  pars[key] = text;
}

void PrintPars(const parameter_map& pars) {
  for (const auto& [key, value] : pars) std::cout << key << " = " << value << "\n";
  std::cout.flush();
}

void ReadParsFromFile(parameter_map& pars, const std::string& filename) {
  std::error_code ec;
  // A directory opens as an empty stream on some systems: refuse it by name.
  if (std::filesystem::is_directory(filename, ec))
    femtokit::Fatal("parameter file %s is a directory\n", filename.c_str());
  std::ifstream in(filename);
  if (!in) femtokit::Fatal("attempting to read non-existent parameter file %s\n", filename.c_str());
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() <= kMinLineLength || line[0] == '#') continue;
    std::istringstream tokens(line);
    std::string type, key, value;
    if (!(tokens >> type >> key >> value)) continue;
    if (type == "int") {
      set(pars, key, IntValue(value, key, filename));
    } else if (type == "double") {
      set(pars, key, DoubleValue(value, key, filename));
    } else if (type == "bool") {
      set(pars, key, BoolValue(value, key, filename));
    } else if (type == "string") {
      set(pars, key, value);
    } else {
      femtokit::Warn(
          "parameter file %s: unknown type %s of %s (int, double, bool or string), line "
          "skipped\n",
          filename.c_str(), type.c_str(), key.c_str());
    }
  }
  if (in.bad()) femtokit::Fatal("error reading parameter file %s\n", filename.c_str());
}

void ReadParsFromFile(parameter_map& pars, const char* filename) {
  ReadParsFromFile(pars, std::string(filename));
}

}  // namespace parameter

#ifndef FEMTOKIT_CONFIG_PARAMETER_H
#define FEMTOKIT_CONFIG_PARAMETER_H

// Parameter maps: every configurable quantity (array sizes and symmetries,
// kernel and wave-function settings, source-model parameters) is a text value
// under a text key. Typed getters convert the text anew on every access and
// fall back to the caller's default when the key is absent; typed setters store
// the value's text. Doubles are stored as C's "%g" writes them, so a double
// that passes through a map keeps six significant digits (1/3 reads back as
// 0.333333) -- fits rely on this rounding of trial values.
//
// Keys are ordered byte by byte (upper-case letters before lower-case ones).
//
// Parameter files hold lines "type key value" with type one of int, double,
// bool, string; see ReadParsFromFile.
//
// Choices for text the getters cannot read as a number (never produced by the
// setters or the file reader):
//  - getD/getI read as atof/atoi would: text that does not begin with a number
//    gives 0;
//  - getB reads the text as an integer: 0 (including non-numeric text) is
//    false, any other integer is true.

#include <map>
#include <string>
#include <vector>

using parameter_map = std::map<std::string, std::string>;

namespace parameter {

double getD(const parameter_map& pars, const std::string& key, double def);
int getI(const parameter_map& pars, const std::string& key, int def);
bool getB(const parameter_map& pars, const std::string& key, bool def);
std::string getS(const parameter_map& pars, const std::string& key, const std::string& def);
// Every number of the value text up to the first token that is not a number;
// absent key: {def}.
std::vector<double> getV(const parameter_map& pars, const std::string& key, double def);
// Every whitespace-separated token; absent key: {def}.
std::vector<std::string> getVS(const parameter_map& pars, const std::string& key,
                               const std::string& def);
// One row per line of the value text (lines without a number add no row);
// absent key: {{def}}.
std::vector<std::vector<double>> getM(const parameter_map& pars, const std::string& key,
                                      double def);

void set(parameter_map& pars, const std::string& key, const std::string& val);
void set(parameter_map& pars, const std::string& key, const char* val);
void set(parameter_map& pars, const std::string& key, double val);  // "%g"
void set(parameter_map& pars, const std::string& key, int val);
void set(parameter_map& pars, const std::string& key, bool val);  // "1" / "0"
// Each element as "    <value>\n".
void set(parameter_map& pars, const std::string& key, const std::vector<double>& val);
void set(parameter_map& pars, const std::string& key, const std::vector<std::string>& val);
// Each row as "    " then "<value> " per element, then "\n".
void set(parameter_map& pars, const std::string& key,
         const std::vector<std::vector<double>>& val);

// Prints "key = value" per entry, in key order, on standard output.
void PrintPars(const parameter_map& pars);

// Reads a parameter file into `pars`, adding and replacing entries, never
// removing one. Rules, line by line:
//  - a file that cannot be opened is fatal: "attempting to read non-existent
//    parameter file <name>" and exit status 1; so is a directory;
//  - lines may be of any length;
//  - lines starting with '#' and lines of 4 or fewer characters are skipped;
//  - other lines are split at whitespace: type word, key, value (further
//    tokens ignored). int and bool values are read as atoi, double as atof,
//    string unchanged; another type word skips the line; an int beyond the
//    range of an int and a double that is not finite (inf, nan, 1e999) are
//    fatal, naming the file, key and value;
//  - a line with a type word and key but no value stores nothing.
void ReadParsFromFile(parameter_map& pars, const std::string& filename);
void ReadParsFromFile(parameter_map& pars, const char* filename);

}  // namespace parameter

#endif  // FEMTOKIT_CONFIG_PARAMETER_H

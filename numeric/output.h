#ifndef FEMTOKIT_NUMERIC_OUTPUT_H
#define FEMTOKIT_NUMERIC_OUTPUT_H

// One switch for what the library prints on its own: progress (per chi-square
// evaluation, per kernel q row), diagnostics and warnings.
//
// Levels: 0 quiet (nothing but what a caller asks for explicitly), 1 warnings,
// 2 progress and diagnostics (the default, what the programs have always
// printed). Messages at a level above the current verbosity are dropped.
// A sink may be installed (the Python package hands messages to logging);
// without one, messages go to standard output unchanged, so the programs'
// output stays as it was. Fatal errors do not pass through here (numeric/fatal.h).

#include <string>

namespace femtokit {

enum class Verbosity : int { kQuiet = 0, kWarning = 1, kProgress = 2 };

using OutputSink = void (*)(Verbosity level, const std::string& message);

void SetVerbosity(Verbosity level);
Verbosity GetVerbosity();
// Installs sink (nullptr: standard output) and returns the previous one.
OutputSink SetOutputSink(OutputSink sink);

// printf-style; printed exactly as given (the format carries its newlines).
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Progress(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_OUTPUT_H

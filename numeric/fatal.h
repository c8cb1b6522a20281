#ifndef FEMTOKIT_NUMERIC_FATAL_H
#define FEMTOKIT_NUMERIC_FATAL_H

// The one way the library reports a condition it cannot continue from.
//
// Every fatal condition (a missing input file, mismatched arrays, an impossible
// parameter) goes through Fatal. By default it prints its message on standard
// output (and on standard error when standard output cannot be written) and
// ends the process with exit status 1, which is what the programs
// rely on. Routing all of them through one function keeps the fatal paths easy
// to find (grep Fatal) and to test (death tests that expect status 1).
//
// A program that embeds the library (the Python package) installs a handler
// with SetFatalHandler: the handler receives the formatted message and is
// expected to throw (a C++ exception that the embedding layer turns into its
// own error). A handler that returns normally falls back to the default:
// print and exit(1). The handler is process-wide; set it once, before
// threads start.
//
// The format is printf-style and is printed exactly as given: messages that
// should end with a newline carry it in their own text.

#include <string>

namespace femtokit {

using FatalHandler = void (*)(const std::string& message);

[[noreturn]] void Fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs handler (nullptr restores the default) and returns the previous one.
FatalHandler SetFatalHandler(FatalHandler handler);

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_FATAL_H

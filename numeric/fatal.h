#ifndef FEMTOKIT_NUMERIC_FATAL_H
#define FEMTOKIT_NUMERIC_FATAL_H

// The one way the library ends the process.
//
// Every fatal condition (a missing input file, mismatched arrays, an impossible
// parameter) prints its message on standard output and ends the process with
// exit status 1. Routing all of them through Fatal keeps the fatal paths easy
// to find (grep Fatal) and to test (death tests that expect status 1).
//
// The format is printf-style and is printed exactly as given: messages that
// should end with a newline carry it in their own text.

namespace femtokit {

[[noreturn]] void Fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_FATAL_H

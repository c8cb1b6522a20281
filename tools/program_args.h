#ifndef FEMTOKIT_TOOLS_PROGRAM_ARGS_H
#define FEMTOKIT_TOOLS_PROGRAM_ARGS_H

// The start every program with positional arguments shares: "-h" or "--help" as the only
// argument prints the help and ends with status 0; a count of arguments outside
// [min_args, max_args] prints the usage (to stderr) and ends with status 2.

#include <cstring>

namespace femtokit {

// The exit status the prologue decided on, or kCarryOn when the program goes ahead.
inline constexpr int kCarryOn = -1;

template <class Help, class Usage>
int HelpOrUsage(int argc, char** argv, int min_args, int max_args, Help&& print_help,
                Usage&& print_usage) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    print_help();
    return 0;
  }
  const int nargs = argc - 1;
  if (nargs < min_args || nargs > max_args) {
    print_usage();
    return 2;
  }
  return kCarryOn;
}

}  // namespace femtokit

#endif  // FEMTOKIT_TOOLS_PROGRAM_ARGS_H

// The two options that every Kavri program answers alike, before it reads any of its own:
// "--help" and "--version", each as the only argument; and what a misuse prints. A program that
// takes options answers these first, so they never depend on a display, a card or a file.
#pragma once

#include <optional>
#include <string_view>

namespace kavri {

// What a program says about itself.
struct ProgramUsage {
  std::string_view name;  // as typed: "kavri-gauge"
  // The whole usage text, each line ending with a newline. Places are named in the platform's
  // words: "{settings}" for the folder that the desktop menu's entry runs the driver in,
  // "{menu}" for that menu, "{/}" for the path separator.
  std::string_view usage;
};

// When the arguments after the program name are exactly "--help" or exactly "--version": prints
// the usage text in this platform's words, or "<name> <PROGRAM_VERSION>", on standard output and
// gives the exit code (0, or 1 when standard output cannot be written). None, with nothing printed,
// otherwise.
std::optional<int> answer_help_or_version(int argc, const char* const* argv,
                                          const ProgramUsage& program);

// A command line the program cannot read: prints the usage text on standard error and gives the
// exit code of a misuse, 2.
int usage_error(const ProgramUsage& program);

}  // namespace kavri

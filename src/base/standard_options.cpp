#include "base/standard_options.h"

#include <iostream>
#include <string_view>

#include "base/program_version.h"

namespace kavri {

std::optional<int> answer_help_or_version(int argc, const char* const* argv,
                                          const ProgramUsage& program) {
  if (argc != 2) return std::nullopt;
  const std::string_view option = argv[1];
  if (option == "--help") {
    std::cout << program.usage;
  } else if (option == "--version") {
    std::cout << program.name << ' ' << PROGRAM_VERSION << '\n';
  } else {
    return std::nullopt;
  }
  // A reader that went away, or a full disk, must not pass for an answer given.
  return std::cout.flush() ? 0 : 1;
}

int usage_error(const ProgramUsage& program) {
  std::cerr << program.usage;
  return 2;
}

}  // namespace kavri

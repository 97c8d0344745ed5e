#include "base/standard_options.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "base/platform_text.h"
#include "base/program_version.h"

namespace kavri {
namespace {

// `usage` with its places in `words`, and their note on text at its end.
std::string usage_in(std::string_view usage, const PlatformWords& words) {
  const std::pair<std::string_view, std::string_view> places[] = {
      {"{settings}", words.desktop_settings_folder},
      {"{menu}", words.desktop_menu},
      {"{/}", words.path_separator}};
  std::string text;
  while (!usage.empty()) {
    const auto place = std::find_if(std::begin(places), std::end(places),
                                    [&](const auto& p) { return usage.starts_with(p.first); });
    if (place == std::end(places)) {
      text += usage.front();
      usage.remove_prefix(1);
    } else {
      text += place->second;
      usage.remove_prefix(place->first.size());
    }
  }
  return text + std::string(words.text_note);
}

}  // namespace

std::optional<int> answer_help_or_version(int argc, const char* const* argv,
                                          const ProgramUsage& program) {
  if (argc != 2) return std::nullopt;
  const std::string_view option = argv[1];
  if (option == "--help") {
    std::cout << usage_in(program.usage, platform_words());
  } else if (option == "--version") {
    std::cout << program.name << ' ' << PROGRAM_VERSION << '\n';
  } else {
    return std::nullopt;
  }
  // A reader that went away, or a full disk, must not pass for an answer given.
  return std::cout.flush() ? 0 : 1;
}

int usage_error(const ProgramUsage& program) {
  std::cerr << usage_in(program.usage, platform_words());
  return 2;
}

}  // namespace kavri

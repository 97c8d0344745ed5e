#include "bridges/fgfs_options.h"

namespace kavri {
namespace {

// Whole seconds, at most nine digits, as milliseconds.
std::optional<std::int64_t> parse_whole_seconds(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::int64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds * 1000;
}

}  // namespace

std::optional<FgfsOptions> parse_fgfs_options(std::span<const std::string_view> args) {
  FgfsOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--print") {
      options.print = true;
      continue;
    }
    if (i + 1 >= args.size()) return std::nullopt;
    const std::string_view value = args[++i];
    if (arg == "--map") {
      options.map_file = std::string(value);
    } else if (arg == "--write-protocol") {
      options.protocol_dir = std::string(value);
    } else if (arg == "--listen" || arg == "--send") {
      const auto endpoint = parse_udp_endpoint(value);
      if (!endpoint) return std::nullopt;
      (arg == "--listen" ? options.listen : options.send) = *endpoint;
    } else if (arg == "--run-for") {
      options.run_for_ms = parse_whole_seconds(value);
      if (!options.run_for_ms) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace kavri

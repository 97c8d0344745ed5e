#include "bridges/fgfs_options.h"

#include "bridges/bridge_options.h"

namespace kavri {
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
      if (value.empty()) return std::nullopt;  // "" would name the root folder
      options.protocol_dir = std::string(value);
    } else if (arg == "--accept") {
      if (value.empty()) return std::nullopt;
      options.accept = std::string(value);
    } else if (arg == "--listen" || arg == "--send") {
      const auto endpoint = parse_net_address(value);
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

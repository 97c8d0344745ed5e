#include "bridges/xplane_options.h"

#include "bridges/bridge_options.h"

namespace kavri {
namespace {

// True for a dotted IPv4 address of 224.0.0.0 and above: multicast groups, reserved ones and
// the broadcast address, none of which is one X-Plane.
bool group_or_broadcast(std::string_view host) {
  const auto dot = host.find('.');
  const auto first = parse_whole_number(host.substr(0, dot), 3);
  return dot != std::string_view::npos && first && *first >= 224 && *first <= 255;
}

bool is_one_xplane(const NetAddress& endpoint) {
  return endpoint.port != 0 && !group_or_broadcast(endpoint.host);
}

}  // namespace

std::optional<XplaneOptions> parse_xplane_options(std::span<const std::string_view> args) {
  XplaneOptions options;
  bool xplane_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--print" || arg == "--find") {
      (arg == "--print" ? options.print : options.find) = true;
      continue;
    }
    if (i + 1 >= args.size()) return std::nullopt;
    const std::string_view value = args[++i];
    if (arg == "--map") {
      options.map_file = std::string(value);
    } else if (arg == "--xplane" || arg == "--listen") {
      const auto endpoint = parse_net_address(value);
      if (!endpoint || (arg == "--xplane" && !is_one_xplane(*endpoint))) return std::nullopt;
      (arg == "--xplane" ? options.xplane : options.listen) = *endpoint;
      xplane_given = xplane_given || arg == "--xplane";
    } else if (arg == "--rate") {
      const auto rate = parse_whole_number(value, 3);
      if (!rate || *rate < 1 || *rate > 100) return std::nullopt;
      options.rate = static_cast<int>(*rate);
    } else if (arg == "--run-for") {
      options.run_for_ms = parse_whole_seconds(value);
      if (!options.run_for_ms) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (options.find && xplane_given) return std::nullopt;
  return options;
}

}  // namespace kavri

#include "bridges/udp_socket.h"

namespace kavri {

std::optional<UdpEndpoint> parse_udp_endpoint(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5) return std::nullopt;
  std::uint32_t number = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (number > 65535) return std::nullopt;
  return UdpEndpoint{std::string(text.substr(0, colon)), static_cast<std::uint16_t>(number)};
}

}  // namespace kavri

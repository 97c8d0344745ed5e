#include "bridges/udp_endpoint.h"

#include <cstring>

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

std::string ipv4_host_text(std::uint32_t network_order) {
  unsigned char bytes[4];
  std::memcpy(bytes, &network_order, sizeof bytes);  // network order: the first byte first
  std::string text;
  for (const unsigned char byte : bytes) {
    if (!text.empty()) text += '.';
    text += std::to_string(byte);
  }
  return text;
}

std::string ipv4_text(const Ipv4Address& address) {
  return ipv4_host_text(address.network_order) + ":" + std::to_string(address.port);
}

}  // namespace kavri

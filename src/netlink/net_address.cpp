#include "netlink/net_address.h"

#include <charconv>

namespace kavri {
namespace {

// A decimal number of at most `digits` digits and at most `max`, nothing around it.
bool parse_bounded(std::string_view text, std::size_t digits, std::uint32_t max,
                   std::uint32_t& number) {
  if (text.empty() || text.size() > digits) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && end == text.data() + text.size() && number <= max;
}

}  // namespace

Result<NetAddress> parse_net_address(std::string_view text) {
  const auto colon = text.rfind(':');
  std::uint32_t port = 0;
  if (colon == std::string_view::npos || colon == 0 ||
      !parse_bounded(text.substr(colon + 1), 5, 65535, port)) {
    return fail("\"" + std::string(text) + "\" is not HOST:PORT (a port from 0 to 65535)");
  }
  return NetAddress{std::string(text.substr(0, colon)), static_cast<std::uint16_t>(port)};
}

Result<Ipv4> parse_ipv4(std::string_view text) {
  Ipv4 address = 0;
  std::string_view rest = text;
  for (int part = 0; part < 4; ++part) {
    const auto dot = part < 3 ? rest.find('.') : rest.size();
    std::uint32_t number = 0;
    if (dot == std::string_view::npos || !parse_bounded(rest.substr(0, dot), 3, 255, number)) {
      return fail("\"" + std::string(text) + "\" is not an IPv4 address (a.b.c.d)");
    }
    address = address << 8 | number;
    rest.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return address;
}

std::string ipv4_text(Ipv4 address) {
  return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
         std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool Ipv4Range::contains(Ipv4 address) const {
  if (prefix == 0) return true;
  const Ipv4 mask = ~Ipv4{0} << (32 - prefix);
  return (address & mask) == (base & mask);
}

Result<Ipv4Range> parse_ipv4_range(std::string_view text) {
  const auto slash = text.find('/');
  std::uint32_t prefix = 32;
  if (slash != std::string_view::npos && !parse_bounded(text.substr(slash + 1), 2, 32, prefix)) {
    return fail("\"" + std::string(text) + "\" is not an address range (a.b.c.d/N, N up to 32)");
  }
  const auto base = parse_ipv4(text.substr(0, slash));
  if (!base) return fail(base.error());
  return Ipv4Range{*base, prefix};
}

}  // namespace kavri

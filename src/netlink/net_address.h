// Addresses of the network link: "HOST:PORT" as the programs' options give them, IPv4 ranges
// ("10.0.0.0/8") that a relay takes connections from, and the one resolution of a host name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"

namespace kavri {

// A host (name or dotted IPv4 address) and a port.
struct NetAddress {
  std::string host;
  std::uint16_t port = 0;
};

// "HOST:PORT": a host of at least one character, a port of 0 to 65535 in decimal.
Result<NetAddress> parse_net_address(std::string_view text);

// An IPv4 address in host order (10.0.0.1 is 0x0A000001).
using Ipv4 = std::uint32_t;

// "a.b.c.d", each part 0 to 255 in decimal, nothing else.
Result<Ipv4> parse_ipv4(std::string_view text);
std::string ipv4_text(Ipv4 address);

// The addresses whose first `prefix` bits are those of `base`.
struct Ipv4Range {
  Ipv4 base = 0;
  unsigned prefix = 32;
  bool contains(Ipv4 address) const;
};

// "a.b.c.d/N" (N from 0 to 32) or a lone "a.b.c.d" (one address).
Result<Ipv4Range> parse_ipv4_range(std::string_view text);

// The first IPv4 address of `host`, a name or a dotted address (the platform's resolver).
Result<Ipv4> resolve_ipv4(const std::string& host);

}  // namespace kavri

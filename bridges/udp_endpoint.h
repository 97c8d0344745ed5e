// Where the bridges' sockets send and listen: a host and port as the user writes them, and the
// IPv4 address a host resolves to. The text forms are platform-free; the resolution of a host
// name is the platform's (udp_endpoint_posix.cpp, udp_endpoint_win32.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace kavri {

// An IPv4 host (name or dotted address) and a port; port 0 to bind lets the system choose.
struct UdpEndpoint {
  std::string host;
  std::uint16_t port = 0;
};

// "HOST:PORT" with a host of at least one character and a port of 0 to 65535 in decimal.
std::optional<UdpEndpoint> parse_udp_endpoint(std::string_view text);

// An IPv4 address and a port, as the system's socket addresses hold them.
struct Ipv4Address {
  std::uint32_t network_order = 0;  // the address's four bytes in network order
  std::uint16_t port = 0;
};

// "A.B.C.D" of an address in network order.
std::string ipv4_host_text(std::uint32_t network_order);
// "A.B.C.D:PORT".
std::string ipv4_text(const Ipv4Address& address);

// The first IPv4 address of `endpoint`'s host, with its port. Fails with "cannot resolve HOST"
// and the system's reason when the host has none. On Windows, Winsock must be started.
Result<Ipv4Address> resolve_ipv4(const UdpEndpoint& endpoint);

}  // namespace kavri

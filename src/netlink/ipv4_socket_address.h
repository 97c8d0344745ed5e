// The system's socket address of an IPv4 host and port, for the socket backends only (never a
// seam header): the TCP and UDP backends of both platforms fill it the same way.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <cstdint>

#include "netlink/net_address.h"

namespace kavri {

inline sockaddr_in ipv4_socket_address(Ipv4 host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(host);
  address.sin_port = htons(port);
  return address;
}

}  // namespace kavri

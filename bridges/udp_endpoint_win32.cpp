#include <winsock2.h>
#include <ws2tcpip.h>

#include "bridges/udp_endpoint.h"

namespace kavri {

Result<Ipv4Address> resolve_ipv4(const UdpEndpoint& endpoint) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(endpoint.host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return fail("cannot resolve " + endpoint.host + " (Winsock error " +
                std::to_string(WSAGetLastError()) + ")");
  }
  const std::uint32_t address =
      reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return Ipv4Address{address, endpoint.port};
}

}  // namespace kavri

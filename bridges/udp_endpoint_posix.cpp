#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "bridges/udp_endpoint.h"

namespace kavri {

Result<Ipv4Address> resolve_ipv4(const UdpEndpoint& endpoint) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(endpoint.host.c_str(), nullptr, &hints, &found);
  if (status != 0 || found == nullptr) {
    return fail("cannot resolve " + endpoint.host + ": " + gai_strerror(status));
  }
  const std::uint32_t address =
      reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return Ipv4Address{address, endpoint.port};
}

}  // namespace kavri

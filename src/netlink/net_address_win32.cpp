#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "base/winsock_use_win32.h"
#include "netlink/net_address.h"

namespace kavri {

// Winsock is started for the resolution itself: a host is resolved before any socket is open.
Result<Ipv4> resolve_ipv4(const std::string& host) {
  WinsockUse winsock;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (!winsock.started() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
      found == nullptr) {
    return fail("cannot resolve " + host + ": Winsock error " + std::to_string(WSAGetLastError()));
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  return Ipv4{ntohl(address.sin_addr.s_addr)};
}

}  // namespace kavri

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "bridges/beacon_listener.h"
#include "bridges/xplane_datagrams.h"

namespace kavri {

std::optional<UdpEndpoint> wait_for_xplane_beacon(Millis limit, bool (*keep_waiting)(),
                                                  std::string& error) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    error = "cannot start Winsock";
    return std::nullopt;
  }
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const BOOL yes = TRUE;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(BEACON_PORT);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  ip_mreq group{};
  inet_pton(AF_INET, BEACON_GROUP, &group.imr_multiaddr);
  group.imr_interface.s_addr = htonl(INADDR_ANY);
  if (s == INVALID_SOCKET ||
      setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes) !=
          0 ||
      bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&group),
                 sizeof group) != 0) {
    error = std::string("cannot listen for X-Plane's beacon on ") + BEACON_GROUP + ":" +
            std::to_string(BEACON_PORT) + " (Winsock error " + std::to_string(WSAGetLastError()) +
            ")";
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return std::nullopt;
  }
  std::vector<char> buffer(65536);
  SystemEnv env;
  const std::int64_t give_up = env.now_ms() + limit.count();
  std::optional<UdpEndpoint> found;
  while (!found && keep_waiting() && env.now_ms() < give_up) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval timeout{0, 50000};
    if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) continue;
    sockaddr_in sender{};
    int length = sizeof sender;
    const int got = recvfrom(s, buffer.data(), static_cast<int>(buffer.size()), 0,
                             reinterpret_cast<sockaddr*>(&sender), &length);
    if (got <= 0) continue;
    if (const auto port = beacon_port({buffer.data(), static_cast<std::size_t>(got)})) {
      char host[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &sender.sin_addr, host, sizeof host);
      found = UdpEndpoint{host, *port};
    }
  }
  closesocket(s);
  WSACleanup();
  if (!found) error = "no beacon from X-Plane";
  return found;
}

}  // namespace kavri

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "bridges/beacon_listener.h"
#include "bridges/xplane_datagrams.h"

namespace kavri {

std::optional<UdpEndpoint> wait_for_xplane_beacon(Millis limit, bool (*keep_waiting)(),
                                                  std::string& error) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return std::nullopt;
  }
  // Other programs of this computer may wait for the beacon too.
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(BEACON_PORT);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  ip_mreq group{};
  inet_pton(AF_INET, BEACON_GROUP, &group.imr_multiaddr);
  group.imr_interface.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
    error = std::string("cannot listen for X-Plane's beacon on ") + BEACON_GROUP + ":" +
            std::to_string(BEACON_PORT) + ": " + std::strerror(errno);
    close(fd);
    return std::nullopt;
  }
  std::vector<char> buffer(65536);
  SystemEnv env;
  const std::int64_t give_up = env.now_ms() + limit.count();
  std::optional<UdpEndpoint> found;
  while (!found && keep_waiting() && env.now_ms() < give_up) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 50) <= 0) continue;
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&sender), &length);
    if (got <= 0) continue;
    if (const auto port = beacon_port({buffer.data(), static_cast<std::size_t>(got)})) {
      char host[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &sender.sin_addr, host, sizeof host);
      found = UdpEndpoint{host, *port};
    }
  }
  close(fd);
  if (!found) error = "no beacon from X-Plane";
  return found;
}

}  // namespace kavri

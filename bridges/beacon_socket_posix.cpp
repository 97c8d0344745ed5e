#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include "bridges/beacon_socket.h"
#include "bridges/xplane_datagrams.h"
#include "netlink/net_address.h"

namespace kavri {
namespace {

// The IPv4 addresses (network order) of the interfaces that are up and take multicast.
std::set<in_addr_t> multicast_interfaces() {
  std::set<in_addr_t> found;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return found;
  for (const ifaddrs* i = all; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_MULTICAST) == 0) continue;
    found.insert(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
  }
  freeifaddrs(all);
  return found;
}

class PosixBeaconSocket final : public BeaconSocket {
 public:
  explicit PosixBeaconSocket(int fd) : fd_(fd) { inet_pton(AF_INET, BEACON_GROUP, &group_); }
  ~PosixBeaconSocket() override { close(fd_); }

  void join_new_interfaces() override {
    const std::set<in_addr_t> now = multicast_interfaces();
    // An interface gone has taken its membership with it: joined again when it comes back.
    std::erase_if(joined_, [&now](in_addr_t address) { return !now.contains(address); });
    for (const in_addr_t address : now) {
      if (joined_.contains(address)) continue;
      ip_mreq membership{};
      membership.imr_multiaddr = group_;
      membership.imr_interface.s_addr = address;
      if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 ||
          errno == EADDRINUSE) {
        joined_.insert(address);
      }
    }
  }

  std::optional<BeaconDatagram> receive(Millis wait) override {
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
    sockaddr_in sender{};
    iovec data{buffer_.data(), buffer_.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = recvmsg(fd_, &message, MSG_DONTWAIT);
    if (got < 0 || (message.msg_flags & MSG_TRUNC) != 0) return std::nullopt;
    BeaconDatagram datagram;
    datagram.bytes.assign(buffer_.data(), static_cast<std::size_t>(got));
    datagram.sender_host = ipv4_text(ntohl(sender.sin_addr.s_addr));
    // The datagram's own destination address, as its IP header carries it.
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      datagram.to_group = info.ipi_addr.s_addr == group_.s_addr;
    }
    return datagram;
  }

 private:
  int fd_;
  in_addr group_{};
  std::set<in_addr_t> joined_;
  std::vector<char> buffer_ = std::vector<char>(65536);
};

}  // namespace

Result<std::unique_ptr<BeaconSocket>> make_platform_beacon_socket() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(std::string("cannot create a UDP socket: ") + std::strerror(errno));
  // Other programs of this computer may wait for the beacon too.
  const int yes = 1, no = 0;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &yes, sizeof yes);
#ifdef IP_MULTICAST_ALL
  // Only the groups this socket joined, not those that other sockets of the computer joined.
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &no, sizeof no);
#else
  static_cast<void>(no);
#endif
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(BEACON_PORT);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const std::string reason = std::strerror(errno);
    close(fd);
    return fail("cannot listen for X-Plane's beacon on port " + std::to_string(BEACON_PORT) + ": " +
                reason);
  }
  return std::unique_ptr<BeaconSocket>(std::make_unique<PosixBeaconSocket>(fd));
}

}  // namespace kavri

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridges/udp_socket.h"

namespace kavri {
namespace {

sockaddr_in socket_address(const Ipv4Address& address) {
  sockaddr_in socket{};
  socket.sin_family = AF_INET;
  socket.sin_addr.s_addr = address.network_order;
  socket.sin_port = htons(address.port);
  return socket;
}

class PosixUdpSocket final : public UdpSocket {
 public:
  PosixUdpSocket(int fd, const Ipv4Address& peer, std::uint32_t accepted, std::uint16_t port)
      : fd_(fd), peer_(socket_address(peer)), accepted_(accepted), port_(port) {}
  ~PosixUdpSocket() override { close(fd_); }

  std::optional<std::size_t> receive(std::span<char> buffer, Millis wait) override {
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    // MSG_TRUNC makes recvfrom tell the datagram's whole size, so one that did not fit is seen.
    const ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&sender), &length);
    if (got < 0) return std::nullopt;
    if (sender.sin_family != AF_INET || sender.sin_addr.s_addr != accepted_) {
      note_refused_sender(ipv4_text({sender.sin_addr.s_addr, ntohs(sender.sin_port)}));
      return std::nullopt;
    }
    if (static_cast<std::size_t>(got) > buffer.size()) return std::nullopt;
    return static_cast<std::size_t>(got);
  }

  bool send(std::string_view datagram) override {
    const ssize_t sent = sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_);
    if (sent == static_cast<ssize_t>(datagram.size())) return true;
    note_failed_send(sent < 0 ? std::strerror(errno) : "sent in part");
    return false;
  }

  std::uint16_t local_port() const override { return port_; }

 private:
  int fd_;
  sockaddr_in peer_;
  std::uint32_t accepted_;  // network order
  std::uint16_t port_;
};

}  // namespace

Result<std::unique_ptr<UdpSocket>> make_platform_udp_socket(const UdpEndpoint& local,
                                                            const UdpEndpoint& peer,
                                                            const std::string& accept) {
  const auto local_address = resolve_ipv4(local);
  if (!local_address) return fail(local_address.error());
  const auto peer_address = resolve_ipv4(peer);
  if (!peer_address) return fail(peer_address.error());
  const auto accepted = resolve_ipv4({accept, 0});
  if (!accepted) return fail(accepted.error());
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(std::string("cannot create a UDP socket: ") + std::strerror(errno));
  sockaddr_in bound = socket_address(*local_address);
  socklen_t length = sizeof bound;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    const std::string reason = std::strerror(errno);
    close(fd);
    return fail("cannot listen on " + local.host + ":" + std::to_string(local.port) + ": " +
                reason);
  }
  return std::unique_ptr<UdpSocket>(std::make_unique<PosixUdpSocket>(
      fd, *peer_address, accepted->network_order, ntohs(bound.sin_port)));
}

}  // namespace kavri

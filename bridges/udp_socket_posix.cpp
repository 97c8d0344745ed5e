#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridges/udp_socket.h"
#include "netlink/ipv4_socket_address.h"

namespace kavri {
namespace {

class PosixUdpSocket final : public UdpSocket {
 public:
  PosixUdpSocket(int fd, const sockaddr_in& peer, Ipv4 accepted, std::uint16_t port)
      : fd_(fd), peer_(peer), accepted_(accepted), port_(port) {}
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
    const Ipv4 from = ntohl(sender.sin_addr.s_addr);
    if (sender.sin_family != AF_INET || from != accepted_) {
      note_refused_sender(ipv4_text(from) + ":" + std::to_string(ntohs(sender.sin_port)));
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
  Ipv4 accepted_;
  std::uint16_t port_;
};

}  // namespace

Result<std::unique_ptr<UdpSocket>> make_platform_udp_socket(const NetAddress& local,
                                                            const NetAddress& peer,
                                                            const std::string& accept) {
  const auto local_address = resolve_ipv4(local.host);
  if (!local_address) return fail(local_address.error());
  const auto peer_address = resolve_ipv4(peer.host);
  if (!peer_address) return fail(peer_address.error());
  const auto accepted = resolve_ipv4(accept);
  if (!accepted) return fail(accepted.error());
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(std::string("cannot create a UDP socket: ") + std::strerror(errno));
  sockaddr_in bound = ipv4_socket_address(*local_address, local.port);
  socklen_t length = sizeof bound;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    const std::string reason = std::strerror(errno);
    close(fd);
    return fail("cannot listen on " + local.host + ":" + std::to_string(local.port) + ": " +
                reason);
  }
  return std::unique_ptr<UdpSocket>(std::make_unique<PosixUdpSocket>(
      fd, ipv4_socket_address(*peer_address, peer.port), *accepted, ntohs(bound.sin_port)));
}

}  // namespace kavri

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bridges/udp_socket.h"

namespace kavri {
namespace {

// The first IPv4 address of `endpoint`, or nullopt with the reason in `error`.
std::optional<sockaddr_in> resolve(const UdpEndpoint& endpoint, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(endpoint.host.c_str(), nullptr, &hints, &found);
  if (status != 0 || found == nullptr) {
    error = "cannot resolve " + endpoint.host + ": " + gai_strerror(status);
    return std::nullopt;
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(endpoint.port);
  return address;
}

std::string address_text(const sockaddr_in& address) {
  char host[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

class PosixUdpSocket final : public UdpSocket {
 public:
  PosixUdpSocket(int fd, const sockaddr_in& peer, in_addr accepted, std::uint16_t port)
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
    if (sender.sin_family != AF_INET || sender.sin_addr.s_addr != accepted_.s_addr) {
      note_refused_sender(address_text(sender));
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
  in_addr accepted_;
  std::uint16_t port_;
};

}  // namespace

std::unique_ptr<UdpSocket> make_platform_udp_socket(const UdpEndpoint& local,
                                                    const UdpEndpoint& peer,
                                                    const std::string& accept, std::string& error) {
  const auto local_address = resolve(local, error);
  const auto peer_address = local_address ? resolve(peer, error) : std::nullopt;
  const auto accepted = peer_address ? resolve({accept, 0}, error) : std::nullopt;
  if (!accepted) return nullptr;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return nullptr;
  }
  sockaddr_in bound = *local_address;
  socklen_t length = sizeof bound;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    error = "cannot listen on " + local.host + ":" + std::to_string(local.port) + ": " +
            std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixUdpSocket>(fd, *peer_address, accepted->sin_addr,
                                          ntohs(bound.sin_port));
}

}  // namespace kavri

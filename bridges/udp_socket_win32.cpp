#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: mswsock.h needs its types.
#include <mswsock.h>

#include <cstring>

#include "base/winsock_use_win32.h"
#include "bridges/udp_socket.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kavri {
namespace {

std::string last_error_text(const char* what) {
  return std::string(what) + " (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

std::optional<sockaddr_in> resolve(const UdpEndpoint& endpoint, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(endpoint.host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    error = last_error_text(("cannot resolve " + endpoint.host).c_str());
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

class Win32UdpSocket final : public UdpSocket {
 public:
  Win32UdpSocket(std::unique_ptr<WinsockUse> winsock, SOCKET s, const sockaddr_in& peer,
                 in_addr accepted, std::uint16_t port)
      : winsock_(std::move(winsock)), socket_(s), peer_(peer), accepted_(accepted), port_(port) {}
  ~Win32UdpSocket() override { closesocket(socket_); }

  std::optional<std::size_t> receive(std::span<char> buffer, Millis wait) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval timeout{static_cast<long>(wait.count() / 1000),
                    static_cast<long>(wait.count() % 1000 * 1000)};
    if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return std::nullopt;
    sockaddr_in sender{};
    int length = sizeof sender;
    // A datagram larger than the buffer fails with WSAEMSGSIZE: dropped, never cut.
    const int got = recvfrom(socket_, buffer.data(), static_cast<int>(buffer.size()), 0,
                             reinterpret_cast<sockaddr*>(&sender), &length);
    if (got < 0) return std::nullopt;
    if (sender.sin_family != AF_INET || sender.sin_addr.s_addr != accepted_.s_addr) {
      note_refused_sender(address_text(sender));
      return std::nullopt;
    }
    return static_cast<std::size_t>(got);
  }

  bool send(std::string_view datagram) override {
    const int sent = sendto(socket_, datagram.data(), static_cast<int>(datagram.size()), 0,
                            reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_);
    if (sent == static_cast<int>(datagram.size())) return true;
    note_failed_send(sent < 0 ? last_error_text("cannot send") : "sent in part");
    return false;
  }

  std::uint16_t local_port() const override { return port_; }

 private:
  std::unique_ptr<WinsockUse> winsock_;
  SOCKET socket_;
  sockaddr_in peer_;
  in_addr accepted_;
  std::uint16_t port_;
};

}  // namespace

std::unique_ptr<UdpSocket> make_platform_udp_socket(const UdpEndpoint& local,
                                                    const UdpEndpoint& peer,
                                                    const std::string& accept, std::string& error) {
  auto winsock = std::make_unique<WinsockUse>();
  if (!winsock->started()) {
    error = last_error_text("cannot start Winsock");
    return nullptr;
  }
  const auto local_address = resolve(local, error);
  const auto peer_address = local_address ? resolve(peer, error) : std::nullopt;
  const auto accepted = peer_address ? resolve({accept, 0}, error) : std::nullopt;
  if (!accepted) return nullptr;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    error = last_error_text("cannot create a UDP socket");
    return nullptr;
  }
  // Without this, an ICMP "port unreachable" for a datagram sent while FlightGear is not
  // listening makes the next receive fail with WSAECONNRESET instead of waiting for data.
  BOOL report_resets = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0, &returned,
           nullptr, nullptr);
  sockaddr_in bound = *local_address;
  int length = sizeof bound;
  if (bind(s, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    error = last_error_text(
        ("cannot listen on " + local.host + ":" + std::to_string(local.port)).c_str());
    closesocket(s);
    return nullptr;
  }
  return std::make_unique<Win32UdpSocket>(std::move(winsock), s, *peer_address, accepted->sin_addr,
                                          ntohs(bound.sin_port));
}

}  // namespace kavri

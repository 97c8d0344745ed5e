#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: mswsock.h needs its types.
#include <mswsock.h>

#include "base/winsock_use_win32.h"
#include "bridges/udp_socket.h"
#include "netlink/ipv4_socket_address.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kavri {
namespace {

std::string last_error_text(const char* what) {
  return std::string(what) + " (Winsock error " + std::to_string(WSAGetLastError()) + ")";
}

class Win32UdpSocket final : public UdpSocket {
 public:
  Win32UdpSocket(std::unique_ptr<WinsockUse> winsock, SOCKET s, const sockaddr_in& peer,
                 Ipv4 accepted, std::uint16_t port)
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
    const Ipv4 from = ntohl(sender.sin_addr.s_addr);
    if (sender.sin_family != AF_INET || from != accepted_) {
      note_refused_sender(ipv4_text(from) + ":" + std::to_string(ntohs(sender.sin_port)));
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
  Ipv4 accepted_;
  std::uint16_t port_;
};

}  // namespace

Result<std::unique_ptr<UdpSocket>> make_platform_udp_socket(const NetAddress& local,
                                                            const NetAddress& peer,
                                                            const std::string& accept) {
  auto winsock = std::make_unique<WinsockUse>();
  if (!winsock->started()) return fail(last_error_text("cannot start Winsock"));
  const auto local_address = resolve_ipv4(local.host);
  if (!local_address) return fail(local_address.error());
  const auto peer_address = resolve_ipv4(peer.host);
  if (!peer_address) return fail(peer_address.error());
  const auto accepted = resolve_ipv4(accept);
  if (!accepted) return fail(accepted.error());
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return fail(last_error_text("cannot create a UDP socket"));
  // Without this, an ICMP "port unreachable" for a datagram sent while FlightGear is not
  // listening makes the next receive fail with WSAECONNRESET instead of waiting for data.
  BOOL report_resets = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0, &returned,
           nullptr, nullptr);
  sockaddr_in bound = ipv4_socket_address(*local_address, local.port);
  int length = sizeof bound;
  if (bind(s, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    const std::string reason = last_error_text(
        ("cannot listen on " + local.host + ":" + std::to_string(local.port)).c_str());
    closesocket(s);
    return fail(reason);
  }
  return std::unique_ptr<UdpSocket>(std::make_unique<Win32UdpSocket>(
      std::move(winsock), s, ipv4_socket_address(*peer_address, peer.port), *accepted,
      ntohs(bound.sin_port)));
}

}  // namespace kavri

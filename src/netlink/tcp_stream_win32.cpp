// Winsock, non-blocking throughout: every wait is a select() with its own bound, cut into short
// slices where a stop request must end it (Winsock has no way to wake a select from outside).
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: mstcpip.h needs its types.
#include <mstcpip.h>

#include <algorithm>
#include <chrono>

#include "base/winsock_use_win32.h"
#include "netlink/ipv4_socket_address.h"
#include "netlink/tcp_stream.h"

namespace kavri {
namespace {

using Clock = std::chrono::steady_clock;

constexpr Millis STOP_SLICE{50};

std::string system_reason() { return "Winsock error " + std::to_string(WSAGetLastError()); }

enum class Ready { yes, no, failed };

// Waits until `s` can be read (`writing` false) or written, until `deadline` or a stop request.
// A connection attempt that failed shows as failed.
Ready wait_for(SOCKET s, bool writing, Clock::time_point deadline, const std::stop_token& stop) {
  for (;;) {
    if (stop.stop_requested()) return Ready::no;
    const auto left = std::chrono::ceil<Millis>(deadline - Clock::now());
    const auto slice = std::clamp(left, Millis(0), STOP_SLICE);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval timeout{0, static_cast<long>(slice.count() * 1000)};
    const int count =
        select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &timeout);
    if (count < 0 || FD_ISSET(s, &failed)) return Ready::failed;
    if (count > 0) return Ready::yes;
    if (left <= slice) return Ready::no;
  }
}

// Keep-alive (a silent peer is probed), no delay (a request block goes out at once) and
// non-blocking calls.
void tune(SOCKET s) {
  u_long non_blocking = 1;
  ioctlsocket(s, FIONBIO, &non_blocking);
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  // Windows probes 10 times (before Vista 5) a keep-alive interval apart: 300 ms keeps the
  // time to give up a half-open connection near the POSIX backend's.
  tcp_keepalive values{1, KEEPALIVE_IDLE_SECONDS * 1000, 300};
  DWORD returned = 0;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr);
}

bool would_block() { return WSAGetLastError() == WSAEWOULDBLOCK; }

class Win32TcpStream final : public TcpStream {
 public:
  Win32TcpStream(std::unique_ptr<WinsockUse> winsock, SOCKET s, Ipv4 peer)
      : winsock_(std::move(winsock)), socket_(s), peer_(peer) {
    tune(socket_);
  }
  ~Win32TcpStream() override { closesocket(socket_); }
  Win32TcpStream(const Win32TcpStream&) = delete;
  Win32TcpStream& operator=(const Win32TcpStream&) = delete;

  Status send_all(std::span<const std::uint8_t> bytes, Millis bound) override {
    const Clock::time_point deadline = Clock::now() + bound;
    while (!bytes.empty()) {
      const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
      const int sent = ::send(socket_, reinterpret_cast<const char*>(bytes.data()), chunk, 0);
      if (sent > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        continue;
      }
      if (!would_block()) return broken(system_reason());
      if (wait_for(socket_, true, deadline, {}) != Ready::yes) {
        return broken("the peer took nothing in time");
      }
    }
    return done();
  }

  Result<std::size_t> receive(std::span<std::uint8_t> buffer, Millis wait,
                              std::stop_token stop) override {
    const Ready ready = wait_for(socket_, false, Clock::now() + wait, stop);
    if (stop.stop_requested()) return broken("stopped");
    if (ready == Ready::failed) return broken(system_reason());
    if (ready == Ready::no) return std::size_t{0};
    const int room = static_cast<int>(std::min<std::size_t>(buffer.size(), 1 << 20));
    const int got = recv(socket_, reinterpret_cast<char*>(buffer.data()), room, 0);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got < 0 && would_block()) return std::size_t{0};
    return broken(got == 0 ? "closed by the peer" : system_reason());
  }

  Ipv4 peer() const override { return peer_; }

 private:
  Failure broken(const std::string& reason) {
    shutdown(socket_, SD_BOTH);
    return fail("connection with " + ipv4_text(peer_) + " ended: " + reason);
  }

  std::unique_ptr<WinsockUse> winsock_;
  SOCKET socket_;
  Ipv4 peer_;
};

class Win32TcpListener final : public TcpListener {
 public:
  Win32TcpListener(std::unique_ptr<WinsockUse> winsock, SOCKET s, std::uint16_t port)
      : winsock_(std::move(winsock)), socket_(s), port_(port) {}
  ~Win32TcpListener() override { closesocket(socket_); }
  Win32TcpListener(const Win32TcpListener&) = delete;
  Win32TcpListener& operator=(const Win32TcpListener&) = delete;

  Result<std::unique_ptr<TcpStream>> accept(Millis wait, std::stop_token stop) override {
    if (wait_for(socket_, false, Clock::now() + wait, stop) != Ready::yes) {
      return std::unique_ptr<TcpStream>{};
    }
    sockaddr_in from{};
    int length = sizeof from;
    const SOCKET s = ::accept(socket_, reinterpret_cast<sockaddr*>(&from), &length);
    if (s != INVALID_SOCKET) {
      return std::unique_ptr<TcpStream>(
          new Win32TcpStream(std::make_unique<WinsockUse>(), s, ntohl(from.sin_addr.s_addr)));
    }
    if (would_block() || WSAGetLastError() == WSAECONNRESET) return std::unique_ptr<TcpStream>{};
    return fail("cannot accept a connection: " + system_reason());
  }

  std::uint16_t local_port() const override { return port_; }

 private:
  std::unique_ptr<WinsockUse> winsock_;
  SOCKET socket_;
  std::uint16_t port_;
};

// A socket of its own Winsock use, or the reason there is none.
Result<SOCKET> new_socket(const WinsockUse& winsock) {
  if (!winsock.started()) return fail("cannot start Winsock");
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return fail("cannot create a TCP socket: " + system_reason());
  return s;
}

}  // namespace

Result<std::unique_ptr<TcpStream>> connect_tcp(const NetAddress& to, Millis bound,
                                               std::stop_token stop) {
  const auto host = resolve_ipv4(to.host);
  if (!host) return fail(host.error());
  auto winsock = std::make_unique<WinsockUse>();
  const auto s = new_socket(*winsock);
  if (!s) return fail(s.error());
  const std::string target = to.host + ":" + std::to_string(to.port);
  u_long non_blocking = 1;
  ioctlsocket(*s, FIONBIO, &non_blocking);
  const sockaddr_in address = ipv4_socket_address(*host, to.port);
  if (connect(*s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const bool pending = would_block();
    if (!pending || wait_for(*s, true, Clock::now() + bound, stop) != Ready::yes) {
      closesocket(*s);
      return fail("cannot connect to " + target + (pending ? ": refused or no answer" : ""));
    }
  }
  return std::unique_ptr<TcpStream>(new Win32TcpStream(std::move(winsock), *s, *host));
}

Result<std::unique_ptr<TcpListener>> listen_tcp(const NetAddress& on) {
  const auto host = resolve_ipv4(on.host);
  if (!host) return fail(host.error());
  auto winsock = std::make_unique<WinsockUse>();
  const auto s = new_socket(*winsock);
  if (!s) return fail(s.error());
  // Another program may not take the port while it is ours.
  const BOOL on_flag = TRUE;
  setsockopt(*s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on_flag),
             sizeof on_flag);
  u_long non_blocking = 1;
  ioctlsocket(*s, FIONBIO, &non_blocking);
  sockaddr_in bound = ipv4_socket_address(*host, on.port);
  int length = sizeof bound;
  if (bind(*s, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      listen(*s, 16) != 0 || getsockname(*s, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    const std::string reason = system_reason();
    closesocket(*s);
    return fail("cannot listen on " + on.host + ":" + std::to_string(on.port) + ": " + reason);
  }
  return std::unique_ptr<TcpListener>(
      new Win32TcpListener(std::move(winsock), *s, ntohs(bound.sin_port)));
}

}  // namespace kavri

// BSD sockets, non-blocking throughout: every wait is a poll() with its own bound, so no send,
// receive, connect or accept can block longer than asked.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "netlink/ipv4_socket_address.h"
#include "netlink/tcp_stream.h"

namespace kavri {
namespace {

using Clock = std::chrono::steady_clock;

// Waits that must also watch a stop token are cut into slices of at most this long.
constexpr Millis STOP_SLICE{100};

std::string system_reason() { return std::strerror(errno); }

int poll_timeout(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<Millis>(deadline - Clock::now());
  return static_cast<int>(std::max<Millis::rep>(left.count(), 0));
}

// Waits for `events` on `fd` until `deadline` or a stop request: true when they came.
bool wait_for(int fd, short events, Clock::time_point deadline, const std::stop_token& stop) {
  for (;;) {
    if (stop.stop_requested()) return false;
    const int timeout = std::min(poll_timeout(deadline), static_cast<int>(STOP_SLICE.count()));
    pollfd waiting{fd, events, 0};
    const int ready = poll(&waiting, 1, timeout);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
    if (ready == 0 && Clock::now() >= deadline) return false;
  }
}

// Keep-alive (a silent peer is probed) and no delay (a request block goes out at once, never
// held back to be merged with the next).
void tune(int fd) {
  const int on = 1, idle = KEEPALIVE_IDLE_SECONDS, interval = 1, probes = KEEPALIVE_PROBES;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

class PosixTcpStream final : public TcpStream {
 public:
  PosixTcpStream(int fd, Ipv4 peer) : fd_(fd), peer_(peer) { tune(fd_); }
  ~PosixTcpStream() override { ::close(fd_); }
  PosixTcpStream(const PosixTcpStream&) = delete;
  PosixTcpStream& operator=(const PosixTcpStream&) = delete;

  Status send_all(std::span<const std::uint8_t> bytes, Millis bound) override {
    const Clock::time_point deadline = Clock::now() + bound;
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return broken(system_reason());
      if (!wait_for(fd_, POLLOUT, deadline, {})) return broken("the peer took nothing in time");
    }
    return done();
  }

  Result<std::size_t> receive(std::span<std::uint8_t> buffer, Millis wait,
                              std::stop_token stop) override {
    // A stop shuts the connection down, which wakes the poll below at once.
    const std::stop_callback wake(stop, [fd = fd_] { shutdown(fd, SHUT_RDWR); });
    pollfd waiting{fd_, POLLIN, 0};
    int ready = 0;
    do {
      ready = poll(&waiting, 1, static_cast<int>(wait.count()));
    } while (ready < 0 && errno == EINTR && !stop.stop_requested());
    if (stop.stop_requested()) return broken("stopped");
    if (ready == 0) return std::size_t{0};
    if (ready < 0) return broken(system_reason());
    ssize_t got = 0;
    do {
      got = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got > 0) return static_cast<std::size_t>(got);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return std::size_t{0};
    return broken(got == 0 ? "closed by the peer" : system_reason());
  }

  Ipv4 peer() const override { return peer_; }

 private:
  Failure broken(const std::string& reason) {
    shutdown(fd_, SHUT_RDWR);
    return fail("connection with " + ipv4_text(peer_) + " ended: " + reason);
  }

  int fd_;
  Ipv4 peer_;
};

class PosixTcpListener final : public TcpListener {
 public:
  PosixTcpListener(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
  ~PosixTcpListener() override { ::close(fd_); }
  PosixTcpListener(const PosixTcpListener&) = delete;
  PosixTcpListener& operator=(const PosixTcpListener&) = delete;

  Result<std::unique_ptr<TcpStream>> accept(Millis wait, std::stop_token stop) override {
    if (!wait_for(fd_, POLLIN, Clock::now() + wait, stop)) return std::unique_ptr<TcpStream>{};
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const int fd =
        accept4(fd_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0)
      return std::unique_ptr<TcpStream>(new PosixTcpStream(fd, ntohl(from.sin_addr.s_addr)));
    // Gone before it was taken, or a signal: nothing came.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EINTR) {
      return std::unique_ptr<TcpStream>{};
    }
    return fail("cannot accept a connection: " + system_reason());
  }

  std::uint16_t local_port() const override { return port_; }

 private:
  int fd_;
  std::uint16_t port_;
};

}  // namespace

Result<std::unique_ptr<TcpStream>> connect_tcp(const NetAddress& to, Millis bound,
                                               std::stop_token stop) {
  const auto host = resolve_ipv4(to.host);
  if (!host) return fail(host.error());
  const std::string target = to.host + ":" + std::to_string(to.port);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail("cannot create a TCP socket: " + system_reason());
  const sockaddr_in address = ipv4_socket_address(*host, to.port);
  int error = 0;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      socklen_t length = sizeof error;
      error = wait_for(fd, POLLOUT, Clock::now() + bound, stop) &&
                      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0
                  ? error
                  : ETIMEDOUT;
    }
  }
  if (error != 0) {
    ::close(fd);
    return fail("cannot connect to " + target + ": " + std::strerror(error));
  }
  return std::unique_ptr<TcpStream>(new PosixTcpStream(fd, *host));
}

Result<std::unique_ptr<TcpListener>> listen_tcp(const NetAddress& on) {
  const auto host = resolve_ipv4(on.host);
  if (!host) return fail(host.error());
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail("cannot create a TCP socket: " + system_reason());
  const int on_flag = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on_flag, sizeof on_flag);
  sockaddr_in bound = ipv4_socket_address(*host, on.port);
  socklen_t length = sizeof bound;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&bound), sizeof bound) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    const std::string reason = system_reason();
    ::close(fd);
    return fail("cannot listen on " + on.host + ":" + std::to_string(on.port) + ": " + reason);
  }
  return std::unique_ptr<TcpListener>(new PosixTcpListener(fd, ntohs(bound.sin_port)));
}

}  // namespace kavri

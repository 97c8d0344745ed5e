// The network link's one need of the system: TCP connections, each a stream of bytes with
// bounded sends and stoppable receives, and a listener that accepts them. Keep-alive is on for
// every connection, so a peer gone without a word (a pulled cable, a host switched off) is found
// within seconds even by a side that only waits. Backends: BSD sockets (POSIX), Winsock (Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>
#include <string>

#include "base/env.h"
#include "base/result.h"
#include "netlink/net_address.h"

namespace kavri {

// How long a connection may stay silent before the system probes it, and how many probes a
// second apart go unanswered before it is given up: a half-open connection ends in about
// KEEPALIVE_IDLE + KEEPALIVE_PROBES seconds.
inline constexpr int KEEPALIVE_IDLE_SECONDS = 3;
inline constexpr int KEEPALIVE_PROBES = 3;

// send_all() and receive() may run on two threads at once; neither on two. A Failure from
// either means the connection is over: every later call fails too.
class TcpStream {
 public:
  virtual ~TcpStream() = default;

  // Sends all of `bytes` within `bound`: a Failure when the peer is gone or does not take them
  // in time (then part of them may have gone, and the connection is over).
  virtual Status send_all(std::span<const std::uint8_t> bytes, Millis bound) = 0;
  // Waits up to `wait` for bytes and copies what has arrived (at most buffer.size()): how many,
  // 0 when none came within the wait. A stop request on `stop` ends the wait at once and ends
  // the connection (a Failure). A Failure when the peer closed or the connection broke.
  virtual Result<std::size_t> receive(std::span<std::uint8_t> buffer, Millis wait,
                                      std::stop_token stop) = 0;
  // The peer's address.
  virtual Ipv4 peer() const = 0;
};

class TcpListener {
 public:
  virtual ~TcpListener() = default;
  // Waits up to `wait` (less on a stop request) for a connection: the stream, or null when none
  // came. A Failure when the system refused to accept (the listener stays usable).
  virtual Result<std::unique_ptr<TcpStream>> accept(Millis wait, std::stop_token stop) = 0;
  // The port it listens on (the one the system chose for port 0).
  virtual std::uint16_t local_port() const = 0;
};

// Connects to `to` within `bound` (less on a stop request).
Result<std::unique_ptr<TcpStream>> connect_tcp(const NetAddress& to, Millis bound,
                                               std::stop_token stop);
// Listens on `on` (host "0.0.0.0" for every interface).
Result<std::unique_ptr<TcpListener>> listen_tcp(const NetAddress& on);

}  // namespace kavri

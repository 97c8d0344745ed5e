// The bridges' one network need: a UDP socket bound to a local address that receives
// datagrams, and sends datagrams to one peer. Backends: BSD sockets (POSIX), Winsock (Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/env.h"

namespace kavri {

// An IPv4 host (name or dotted address) and a port; port 0 to bind lets the system choose.
struct UdpEndpoint {
  std::string host;
  std::uint16_t port = 0;
};

// "HOST:PORT" with a host of at least one character and a port of 0 to 65535 in decimal.
std::optional<UdpEndpoint> parse_udp_endpoint(std::string_view text);

// receive() and send() may run on two threads at once; neither may run on two.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;

  // Waits up to `wait` for one datagram and copies it into `buffer`: its size, or nullopt when
  // none came, or when it did not fit (it is then dropped whole, never cut).
  virtual std::optional<std::size_t> receive(std::span<char> buffer, Millis wait) = 0;
  // Sends one datagram to the peer; false when the system refused it.
  virtual bool send(std::string_view datagram) = 0;
  // The port it is bound to (the one the system chose for port 0).
  virtual std::uint16_t local_port() const = 0;
};

// Bound to `local`, sending to `peer`. Null, with the reason in `error`, when a host does not
// resolve to an IPv4 address or the address cannot be bound (in use, not ours).
std::unique_ptr<UdpSocket> make_platform_udp_socket(const UdpEndpoint& local,
                                                    const UdpEndpoint& peer, std::string& error);

}  // namespace kavri

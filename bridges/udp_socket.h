// The bridges' one network need: a UDP socket bound to a local address that receives
// datagrams from one host only, and sends datagrams to one peer. Backends: BSD sockets
// (POSIX), Winsock (Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/env.h"
#include "base/result.h"
#include "netlink/net_address.h"

namespace kavri {

// What went wrong on a socket since it was last asked: datagrams from hosts it does not take,
// and datagrams the system would not send, each with the last one's detail.
struct SocketTroubles {
  std::int64_t refused_senders = 0;
  std::string last_refused_sender;  // "ADDRESS:PORT"
  std::int64_t failed_sends = 0;
  std::string last_send_failure;  // the system's reason
};

// receive() and send() may run on two threads at once; neither may run on two.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;

  // Waits up to `wait` for one datagram and copies it into `buffer`: its size, or nullopt when
  // none came, when it did not fit (it is then dropped whole, never cut), or when it came
  // from another host than the one the socket takes (it is then counted in the troubles).
  virtual std::optional<std::size_t> receive(std::span<char> buffer, Millis wait) = 0;
  // Sends one datagram to the peer; false when the system refused it (counted, with the
  // system's reason, in the troubles).
  virtual bool send(std::string_view datagram) = 0;
  // The port it is bound to (the one the system chose for port 0).
  virtual std::uint16_t local_port() const = 0;

  // The troubles since the last call, on any thread.
  SocketTroubles take_troubles() {
    std::lock_guard lock(troubles_mutex_);
    return std::exchange(troubles_, {});
  }

 protected:
  void note_refused_sender(std::string sender) {
    std::lock_guard lock(troubles_mutex_);
    ++troubles_.refused_senders;
    troubles_.last_refused_sender = std::move(sender);
  }
  void note_failed_send(std::string reason) {
    std::lock_guard lock(troubles_mutex_);
    ++troubles_.failed_sends;
    troubles_.last_send_failure = std::move(reason);
  }

 private:
  std::mutex troubles_mutex_;
  SocketTroubles troubles_;
};

// Bound to `local`, sending to `peer`, taking datagrams only from the address of `accept`'s
// host (its port is not looked at). Fails with the reason when a host does not resolve to an
// IPv4 address or the address cannot be bound (in use, not ours).
Result<std::unique_ptr<UdpSocket>> make_platform_udp_socket(const NetAddress& local,
                                                            const NetAddress& peer,
                                                            const std::string& accept);

}  // namespace kavri

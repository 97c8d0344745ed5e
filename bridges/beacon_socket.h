// The socket on which X-Plane's beacon is awaited: bound to the beacon's port, member of its
// multicast group on every interface that can take multicast. Backends: BSD sockets (POSIX),
// Winsock (Win32).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/env.h"
#include "base/result.h"

namespace kavri {

struct BeaconDatagram {
  std::string bytes;
  std::string sender_host;  // dotted IPv4 address
  bool to_group = false;    // sent to the beacon's group, not to this computer alone
};

// Used by one thread.
class BeaconSocket {
 public:
  virtual ~BeaconSocket() = default;
  // Joins the group on each interface that is up, can take multicast and was not joined yet
  // (one that came up since the last call, too).
  virtual void join_new_interfaces() = 0;
  // Waits up to `wait` for one datagram on the beacon's port: nullopt when none came.
  virtual std::optional<BeaconDatagram> receive(Millis wait) = 0;
};

// Fails with the reason when the beacon's port cannot be bound.
Result<std::unique_ptr<BeaconSocket>> make_platform_beacon_socket();

}  // namespace kavri

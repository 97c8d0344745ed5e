// Finding X-Plane on the network: every X-Plane announces itself with a BECN beacon on a
// multicast group; its sender's address and the port it carries are where X-Plane listens.
#pragma once

#include <optional>
#include <string>

#include "base/env.h"
#include "bridges/udp_socket.h"

namespace kavri {

// Waits for the beacon of a master X-Plane sent to the beacon's group, heard on every interface
// that can take multicast (joined again once a second for those that come up meanwhile), up
// to `limit` or until `keep_waiting` says no (checked every 50 ms). Other datagrams, and
// beacons sent to this computer alone, are ignored. Nullopt, with the reason in `error`, when
// none came or the beacon's port cannot be bound.
std::optional<UdpEndpoint> wait_for_xplane_beacon(Millis limit, bool (*keep_waiting)(),
                                                  std::string& error);

}  // namespace kavri

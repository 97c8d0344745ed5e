// Finding X-Plane on the network: every X-Plane announces itself with a BECN beacon on a
// multicast group; its sender's address and the port it carries are where X-Plane listens.
#pragma once

#include <optional>
#include <string>

#include "base/env.h"
#include "bridges/udp_socket.h"

namespace kavri {

// Waits for the beacon of a master X-Plane, up to `limit` or until `keep_waiting` says no
// (checked every RECEIVE_WAIT); other datagrams on the group are ignored. Nullopt, with the
// reason in `error`, when none came or the group cannot be joined.
std::optional<UdpEndpoint> wait_for_xplane_beacon(Millis limit, bool (*keep_waiting)(),
                                                  std::string& error);

}  // namespace kavri

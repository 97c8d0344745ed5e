// Finding X-Plane on the network: every X-Plane announces itself with a BECN beacon on a
// multicast group; its sender's address and the port it carries are where X-Plane listens.
#pragma once

#include <functional>

#include "base/env.h"
#include "base/result.h"
#include "bridges/beacon_socket.h"
#include "netlink/net_address.h"

namespace kavri {

// Waits on `socket` for the beacon of a master X-Plane sent to the beacon's group, heard on
// every interface that can take multicast (joined again once a second of `env`'s clock for those
// that come up meanwhile), up to `limit` on that clock or until `keep_waiting` says no (asked
// at least every 50 ms). Other datagrams, and beacons sent to this computer alone, are
// ignored. Fails with "no beacon from X-Plane" when none came.
Result<NetAddress> wait_for_xplane_beacon(Env& env, BeaconSocket& socket, Millis limit,
                                          const std::function<bool()>& keep_waiting);

}  // namespace kavri

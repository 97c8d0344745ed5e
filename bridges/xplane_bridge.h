// The X-Plane bridge: the core fed by X-Plane's RREF answers. It subscribes every read line of
// the map (RREF request, index = the line's number in the map file) from its own socket, to
// which X-Plane answers; while no answer came for 2 s it subscribes again once a second (a
// restarted X-Plane has forgotten the subscriptions), and at its end it unsubscribes them. The
// driver's writes of write lines go to X-Plane as DREF datagrams.
#pragma once

#include "bridges/bridge.h"
#include "bridges/xplane_map.h"

namespace kavri {

class XplaneBridge : public Bridge {
 public:
  static constexpr Millis SUBSCRIBE_AGAIN{1000};

  // `rate`: answers per second asked of X-Plane (1 to 100).
  XplaneBridge(Env& env, BridgeMap map, UdpSocket& socket, int rate, BridgeOptions options = {});
};

}  // namespace kavri

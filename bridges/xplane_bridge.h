// The X-Plane bridge: the core fed by X-Plane's RREF answers. It subscribes every read line of
// the map (RREF request, index = the line's number in the map file) from its own socket, to
// which X-Plane answers, in batches of at most BATCH requests BATCH_PERIOD apart (X-Plane
// takes only so many at one go); while no answer came for 2 s it subscribes again once a
// second (a restarted X-Plane has forgotten the subscriptions), and at its end it unsubscribes
// them. An answer's index that is no read line is ignored and unsubscribed (at most once per
// UNSUBSCRIBE_AGAIN for each). The driver's writes of write lines go to X-Plane as DREF
// datagrams.
#pragma once

#include "bridges/bridge.h"
#include "bridges/xplane_map.h"

namespace kavri {

class XplaneBridge : public Bridge {
 public:
  static constexpr Millis SUBSCRIBE_AGAIN{1000};
  static constexpr std::size_t BATCH = 100;
  static constexpr Millis BATCH_PERIOD{100};
  static constexpr Millis UNSUBSCRIBE_AGAIN{1000};

  // `rate`: answers per second asked of X-Plane (1 to 100).
  XplaneBridge(Env& env, BridgeMap map, UdpSocket& socket, int rate, BridgeOptions options = {});
};

}  // namespace kavri

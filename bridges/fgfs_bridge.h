// The FlightGear bridge: the core fed by FlightGear's generic-protocol frames (one line of
// numbers, one per read line of the map), sending the driver's writes back as generic-protocol
// input lines. It sends FlightGear nothing before the first frame, and then only lines of
// well-formed numbers, each ending with "\n".
#pragma once

#include "bridges/bridge.h"
#include "bridges/fgfs_frame.h"
#include "bridges/fgfs_map.h"

namespace kavri {

using FgfsBridgeOptions = BridgeOptions;

class FgfsBridge : public Bridge {
 public:
  // FlightGear reads its input this often (the protocol file's rate, 10 per second): a faster
  // line would replace one it has not read.
  static constexpr Millis INPUT_PERIOD{100};

  FgfsBridge(Env& env, BridgeMap map, UdpSocket& socket, FgfsBridgeOptions options = {});
};

}  // namespace kavri

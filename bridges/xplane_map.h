// X-Plane's side of the map: its variables are datarefs, named as X-Plane's list names them
// ("sim/cockpit2/engine/indicators/engine_speed_rpm[0]" for an array element), and kavri-xplane
// has a built-in map for X-Plane 12's default Cessna 172 (bridges/xplane-c172.map).
#pragma once

#include <string_view>

#include "bridges/bridge_map.h"

namespace kavri {

// A name must fit an RREF request's field with its final zero byte (399 characters): a longer
// one is a bad map line.
extern const SimulatorNames XPLANE_NAMES;

const BridgeMap& builtin_xplane_map();
std::string_view builtin_xplane_map_text();

}  // namespace kavri

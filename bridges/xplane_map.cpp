#include "bridges/xplane_map.h"

#include <string>

#include "bridges/xplane_datagrams.h"

namespace kavri {
namespace {

Status dataref_name(std::string_view name) {
  if (name.size() >= RREF_NAME_FIELD) {
    return fail("dataref of " + std::to_string(name.size()) +
                " characters: X-Plane's requests hold " + std::to_string(RREF_NAME_FIELD - 1));
  }
  const bool plausible = name_characters_only(name);
  if (plausible && name.front() != '/') return done();
  return fail("dataref \"" + std::string(name) +
              "\" is not a name such as sim/cockpit2/gauges/indicators/airspeed_kts_pilot");
}

}  // namespace

const SimulatorNames XPLANE_NAMES{"X-Plane", dataref_name};

const BridgeMap& builtin_xplane_map() {
  static const BridgeMap map = builtin_bridge_map(builtin_xplane_map_text(), XPLANE_NAMES);
  return map;
}

}  // namespace kavri

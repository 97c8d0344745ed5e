#include "bridges/fgfs_map.h"

namespace kavri {
namespace {

Status property_path(std::string_view path) {
  const bool plausible = path.size() >= 2 && path[0] == '/' && name_characters_only(path);
  if (plausible) return done();
  return fail("property \"" + std::string(path) +
              "\" is not a path such as /velocities/airspeed-kt");
}

}  // namespace

const SimulatorNames FGFS_NAMES{"FlightGear", property_path};

const BridgeMap& builtin_fgfs_map() {
  static const BridgeMap map = builtin_bridge_map(builtin_fgfs_map_text(), FGFS_NAMES);
  return map;
}

}  // namespace kavri

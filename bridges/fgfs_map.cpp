#include "bridges/fgfs_map.h"

#include <algorithm>

namespace kavri {
namespace {

std::string property_refusal(std::string_view path) {
  const bool plausible =
      path.size() >= 2 && path[0] == '/' && std::all_of(path.begin(), path.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '/' || c == '_' || c == '-' || c == '.' || c == '[' || c == ']';
      });
  if (plausible) return {};
  return "property \"" + std::string(path) + "\" is not a path such as /velocities/airspeed-kt";
}

}  // namespace

const SimulatorNames FGFS_NAMES{"FlightGear", property_refusal};

const BridgeMap& builtin_fgfs_map() {
  static const BridgeMap map = builtin_bridge_map(builtin_fgfs_map_text(), FGFS_NAMES);
  return map;
}

}  // namespace kavri

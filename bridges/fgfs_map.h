// FlightGear's side of the map: its variables are property paths, and kavri-fgfs has a
// built-in map for the Cessna 172P (bridges/c172p.map).
#pragma once

#include <string>
#include <string_view>

#include "bridges/bridge_map.h"

namespace kavri {

// Property paths go into the protocol file's XML as they are: only the characters of
// FlightGear's node names, indices and separators, after a first "/".
extern const SimulatorNames FGFS_NAMES;

inline Result<BridgeMap> parse_fgfs_map(std::string_view text, std::string_view source) {
  return parse_bridge_map(text, source, FGFS_NAMES);
}

// The map kavri-fgfs uses without --map: a Cessna 172P's panel.
const BridgeMap& builtin_fgfs_map();
std::string_view builtin_fgfs_map_text();

}  // namespace kavri

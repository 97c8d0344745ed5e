// FlightGear's side of the map: the generic-protocol file (kavri.xml) whose output chunks are
// the map's read lines and whose input chunks are its write lines, each in map order. It is
// generated from the map, so the fields FlightGear sends and reads are always the ones the
// bridge expects.
#pragma once

#include <string>

#include "bridges/fgfs_map.h"

namespace kavri {

// The protocol's name: FlightGear loads it from $FG_ROOT/Protocol/kavri.xml.
constexpr const char* FGFS_PROTOCOL_NAME = "kavri";

// The whole file. Every chunk is a double printed "%.6f"; fields are separated by "," and
// each record ends with a newline. A map without write lines has no <input> section.
std::string fgfs_protocol_xml(const FgfsMap& map);

}  // namespace kavri

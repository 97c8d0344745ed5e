// FlightGear's generic protocol: the file (kavri.xml) whose output chunks are
// the map's read lines and whose input chunks are its write lines, each in map order. It is
// generated from the map, so the fields FlightGear sends and reads are always the ones the
// bridge expects.
#pragma once

#include <optional>
#include <string>

#include "bridges/fgfs_map.h"
#include "bridges/write_back.h"

namespace kavri {

// The protocol's name: FlightGear loads it from $FG_ROOT/Protocol/kavri.xml.
constexpr const char* FGFS_PROTOCOL_NAME = "kavri";

// The whole file. Every chunk is a double printed "%.6f"; fields are separated by "," and
// each record ends with a newline. A map without write lines has no <input> section.
std::string fgfs_protocol_xml(const BridgeMap& map);

// The input line for the driver's values: one field per write line, in map order, "%.6f",
// joined by "," with a final "\n". FlightGear sets every field's property, so each field
// carries a value that means something: the one the driver wrote, else (for a "both" line)
// the one FlightGear last reported; the line stops before the first field with neither (a
// write-only line the driver has not written). Nullopt before FlightGear's first frame or
// when no field has a value.
std::optional<std::string> fgfs_input_line(const WriteBack& writes);

}  // namespace kavri

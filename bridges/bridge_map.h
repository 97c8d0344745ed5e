// The map between a simulator's variables and the link's offsets, shared by every bridge: which
// variable feeds which offset, in which units, and which offsets the driver writes back. The
// text format is documented in docs/flightgear.md; the built-in maps (bridges/c172p.map,
// bridges/xplane-c172.map) are written in it. Only the variables' names depend on the
// simulator: FlightGear's property paths, X-Plane's datarefs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kavri {

enum class MapKind : std::uint8_t {
  integer,   // round(property x scale + bias), little-endian, two's complement
  floating,  // property x scale + bias as an 8-byte IEEE double
  bit,       // one bit of a word that several lines build: set when the property is not 0
};

enum class MapDirection : std::uint8_t { read, write, both };

struct MapLine {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;  // 1, 2, 4 or 8
  MapKind kind = MapKind::integer;
  std::uint32_t bit = 0;  // bit lines: the bit's number within the word
  std::string property;   // the simulator's variable: a FlightGear property, an X-Plane dataref
  double scale = 1;
  double bias = 0;
  MapDirection direction = MapDirection::read;
  std::string note;  // the line's comment, without "#"
  int line_number = 0;

  // Read lines take the simulator's values; write lines send the driver's back to it.
  bool reads() const { return direction != MapDirection::write; }
  bool writes() const { return direction != MapDirection::read; }
};

struct BridgeMap {
  std::vector<MapLine> lines;  // in the text's order

  std::vector<const MapLine*> read_lines() const;
  std::vector<const MapLine*> write_lines() const;
};

// True when `name` holds only the characters of both simulators' variable names (letters,
// digits, "/", "_", "-", ".", "[" and "]"): none that a map line, an XML file or a request
// field would read otherwise.
bool name_characters_only(std::string_view name);

// What one simulator accepts as a variable's name.
struct SimulatorNames {
  const char* simulator;  // "FlightGear", "X-Plane": for messages
  // Done when `name` may be one of its variables, else why it is not.
  Status (*accepts)(std::string_view name);
};

// The map in `text`, or "SOURCE:LINE: reason" for the first bad line (or "SOURCE: reason" for
// a map that has no read line). Linear in the number of lines.
Result<BridgeMap> parse_bridge_map(std::string_view text, std::string_view source,
                                   const SimulatorNames& names);

// The map whose text is built in; the text must be a good map.
BridgeMap builtin_bridge_map(std::string_view text, const SimulatorNames& names);

// The value an integer or bit line stores for a property value, before it is cut to the
// offset's bytes (read as signed or unsigned): nullopt when the property is not a finite
// number; a result beyond what the bytes hold is set to the nearest limit, and `clamped`
// (when given) tells it. Bit lines give 0 or 1 << bit.
std::optional<std::int64_t> integer_offset_value(const MapLine& line, double property,
                                                 bool* clamped = nullptr);
// The value a floating line stores: nullopt when the property is not a finite number; a
// result beyond the double range is set to its nearest limit, and `clamped` tells it.
std::optional<double> floating_offset_value(const MapLine& line, double property,
                                            bool* clamped = nullptr);

// The property value for the offset's bytes (little-endian, `line.size` of them; integers
// read as signed): the reverse of the two above. Nullopt for bit lines, a scale of 0, or a
// result that is not finite.
std::optional<double> property_value(const MapLine& line, std::uint64_t offset_bytes);

}  // namespace kavri

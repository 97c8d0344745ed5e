// The map between FlightGear properties and simulator offsets: which property feeds which
// offset, in which units, and which offsets the driver writes back. The text format is
// documented in docs/flightgear.md; the built-in map (bridges/c172p.map) is written in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  std::string property;   // FlightGear property path
  double scale = 1;
  double bias = 0;
  MapDirection direction = MapDirection::read;
  std::string note;  // the line's comment, without "#"
  int line_number = 0;

  // Read lines take a field of FlightGear's output; write lines a field of its input.
  bool reads() const { return direction != MapDirection::write; }
  bool writes() const { return direction != MapDirection::read; }
};

struct FgfsMap {
  std::vector<MapLine> lines;  // in the text's order

  std::vector<const MapLine*> read_lines() const;
  std::vector<const MapLine*> write_lines() const;
};

// The map in `text`; nullopt with "SOURCE:LINE: reason" in `error` for the first bad line (or
// "SOURCE: reason" for a map that has no read line).
std::optional<FgfsMap> parse_fgfs_map(std::string_view text, std::string_view source,
                                      std::string& error);

// The map kavri-fgfs uses without --map: a Cessna 172P's panel.
const FgfsMap& builtin_fgfs_map();
std::string_view builtin_fgfs_map_text();

// The value an integer or bit line stores for a property value, before it is cut to the
// offset's bytes: nullopt when the property is not a finite number or the result does not fit
// the offset's bytes, read as signed or unsigned. Bit lines give 0 or 1 << bit.
std::optional<std::int64_t> integer_offset_value(const MapLine& line, double property);
// The value a floating line stores; nullopt when it is not finite.
std::optional<double> floating_offset_value(const MapLine& line, double property);

// The property value for the offset's bytes (little-endian, `line.size` of them; integers
// read as signed): the reverse of the two above. Nullopt for bit lines, a scale of 0, or a
// result that is not finite.
std::optional<double> property_value(const MapLine& line, std::uint64_t offset_bytes);

}  // namespace kavri

// What the bridge sends FlightGear: one line of its generic-protocol input, one field per
// write line of the map, in map order. FlightGear sets every field's property, so each field
// must carry a value that means something: the one the driver wrote, else (for a "both" line)
// the one FlightGear last reported. Not thread-safe: the bridge holds a lock around it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bridges/fgfs_map.h"

namespace kavri {

class FgfsInput {
 public:
  explicit FgfsInput(const FgfsMap& map);

  // FlightGear's values of the map's read lines (Frame::properties) from an accepted frame.
  void take_frame(std::span<const double> properties);
  enum class WriteEffect { none, same_values, new_value };
  // A driver's write of `bytes` at `offset`: whether it reached a write line, and whether it
  // changed the value of one.
  WriteEffect take_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes);

  // The datagram to send: "%.6f" fields joined by "," and a final "\n". FlightGear sets only
  // the properties of the fields a line has, so the line stops before the first field with no
  // value yet (a write-only line the driver has not written). Nullopt before the first frame
  // (nothing is known of FlightGear's values) or when no field has a value.
  std::optional<std::string> datagram() const;

 private:
  struct Field {
    const MapLine* line = nullptr;
    std::optional<std::size_t> read_index;  // its place among the read lines, for "both"
    std::uint64_t written_bytes = 0;        // what the driver's writes left in its bytes
    std::optional<double> written;          // the property value they give
    std::optional<double> reported;         // FlightGear's value, for "both" lines
  };
  std::vector<Field> fields_;
  bool frame_seen_ = false;
};

}  // namespace kavri

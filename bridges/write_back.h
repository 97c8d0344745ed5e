// The driver's writes on their way back to the simulator: for each write line of the map, the
// value the driver's writes left in its offset, and (for a "both" line) the simulator's own
// last value. Not thread-safe: the bridge holds a lock around it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bridges/bridge_map.h"

namespace kavri {

class WriteBack {
 public:
  struct Field {
    const MapLine* line = nullptr;
    std::optional<std::size_t> read_index;  // its place among the read lines, for "both"
    std::uint64_t written_bytes = 0;        // what the driver's writes left in its bytes
    std::uint8_t written_mask = 0;          // which of its bytes they reached (bit i: byte i)
    // The variable's value they give, once they reached every byte of it: a byte the driver
    // has not written is the server's, never part of a lever's position.
    std::optional<double> written;
    std::optional<double> reported;  // the simulator's value, for "both" lines
  };

  explicit WriteBack(const BridgeMap& map);

  // The simulator's values of the map's read lines (one per read line, in map order).
  void take_reported(std::span<const double> values);
  enum class WriteEffect { none, same_values, new_value };
  // A driver's write of `bytes` at `offset`: whether it reached a write line, and whether it
  // changed the value of one.
  WriteEffect take_client_write(std::uint32_t offset, std::span<const std::uint8_t> bytes);

  // The driver's writes are forgotten, the simulator's values kept: a new connection of the
  // driver sends nothing until it writes again.
  void forget_written();

  // One per write line, in map order.
  const std::vector<Field>& fields() const { return fields_; }
  // False until the simulator's first values came: nothing is known of its state before.
  bool reported_once() const { return reported_once_; }

 private:
  std::vector<Field> fields_;
  bool reported_once_ = false;
};

}  // namespace kavri

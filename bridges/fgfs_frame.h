// One frame of FlightGear's generic-protocol output, as the map reads it: one line of
// comma-separated decimal numbers, one per read line of the map, in map order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridges/fgfs_map.h"

namespace kavri {

// The longest field a frame may hold: "%.6f" prints any value a property holds in far less.
constexpr std::size_t MAX_FRAME_FIELD = 64;

// What one offset receives from a frame; the bit lines of a word make one value.
struct OffsetValue {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  bool floating = false;
  std::int64_t integer = 0;  // integer and bit words; two's complement of the offset's bytes
  double real = 0;           // floating

  // The offset's bytes as one little-endian number (the low `size` bytes count).
  std::uint64_t bytes() const;
  // "$02BC:4=9587", "$02CC:8=204.00836": kavri-sim's --set notation.
  std::string text() const;
};

struct Frame {
  std::vector<double> properties;    // one per read line, in map order
  std::vector<OffsetValue> offsets;  // one per offset, in the order of first appearance
};

// The frame in `datagram` (one line; a final "\n" or "\r\n" is allowed), or nullopt with the
// reason in `error`: not exactly one field per read line, a field that is not a finite
// decimal number or longer than MAX_FRAME_FIELD, or a value that its offset cannot hold.
std::optional<Frame> decode_frame(const FgfsMap& map, std::string_view datagram,
                                  std::string& error);

// The frame as --print shows it: each offset's text, separated by blanks.
std::string frame_text(const Frame& frame);

}  // namespace kavri

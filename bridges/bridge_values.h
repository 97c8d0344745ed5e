// The offsets that a simulator's values give through the map: what a bridge writes into the
// offset space, and what --print shows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bridges/bridge_map.h"

namespace kavri {

// What one offset receives; the bit lines of a word make one value.
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

// The offsets of the read lines `reads` for their values `values` (one per line, same order),
// one per offset in the order of first appearance. A value that is not a finite number gives
// its line nothing; one beyond what its offset holds is set to the offset's nearest limit and
// described in `clamped` (when given): "PROPERTY = VALUE, beyond what 0xOFFSET holds".
std::vector<OffsetValue> offset_values(std::span<const MapLine* const> reads,
                                       std::span<const double> values,
                                       std::vector<std::string>* clamped = nullptr);

// The offsets as --print shows them: each one's text, separated by blanks.
std::string offsets_text(std::span<const OffsetValue> offsets);

}  // namespace kavri

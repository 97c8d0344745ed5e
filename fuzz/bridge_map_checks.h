// What every bridge's map promises once parsed, whichever simulator names its variables: each
// line lies inside the offsets, and converts any property value either way without a value
// its offset cannot hold. Shared by the FlightGear and X-Plane map targets.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "bridges/bridge_map.h"
#include "fuzz/fuzz_target.h"
#include "server/offset_space.h"

namespace kavri::fuzz {

inline void expect_sound_map_lines(const BridgeMap& map) {
  expect(!map.read_lines().empty(), "a map has a read line");
  constexpr double INF = std::numeric_limits<double>::infinity();
  for (const MapLine& line : map.lines) {
    expect((line.size == 1 || line.size == 2 || line.size == 4 || line.size == 8) &&
               std::uint64_t{line.offset} + line.size <= OffsetSpace::SIZE &&
               line.bit < 8 * line.size,
           "a line lies inside the offsets");
    for (double property : {0.0, -1.5, 255.5, 1e300, -INF, std::nan("")}) {
      if (const auto value = integer_offset_value(line, property); value && line.size < 8) {
        const std::int64_t limit = std::int64_t{1} << (8 * line.size);
        expect(*value > -limit && *value < limit, "an integer fits its offset");
      }
      const auto real = floating_offset_value(line, property);
      expect(!real || std::isfinite(*real), "a floating value is a number");
    }
    for (std::uint64_t bytes :
         {0ull, 1ull, 0x80ull, 0xFFFFFFFFFFFFFFFFull, 0x7FF0000000000000ull}) {
      const auto property = property_value(line, bytes);
      expect(!property || std::isfinite(*property), "a property value is a number");
    }
  }
}

}  // namespace kavri::fuzz

// One frame of FlightGear's generic-protocol output, as the map reads it: one line of
// comma-separated decimal numbers, one per read line of the map, in map order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "bridges/bridge_values.h"
#include "bridges/fgfs_map.h"

namespace kavri {

// The longest field a frame may hold: "%.6f" prints any value a property holds in far less.
constexpr std::size_t MAX_FRAME_FIELD = 64;

struct Frame {
  std::vector<double> properties;    // one per read line, in map order; NaN or infinite ones too
  std::vector<OffsetValue> offsets;  // one per offset, in the order of first appearance
};

// The frame in `datagram` (one line; a final "\n" or "\r\n" is allowed), or why it is none:
// not exactly one field per read line, or a field that is neither a decimal
// number nor printf's "nan" or "inf" (signed or not), or longer than MAX_FRAME_FIELD. The
// offsets leave out the values that are not finite and hold the others, those beyond their
// offset set to its nearest limit.
Result<Frame> decode_frame(const BridgeMap& map, std::string_view datagram);

// The frame as --print shows it: each offset's text, separated by blanks.
inline std::string frame_text(const Frame& frame) { return offsets_text(frame.offsets); }

}  // namespace kavri

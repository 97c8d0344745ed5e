// A stream as a socket hands it to its reader: in receives of any size up to the room the
// reader offers. Shared by the targets of the link's two ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_target.h"

namespace kavri::fuzz {

// Copies `stream` into `reader.room()` one receive at a time, the sizes drawn from `seed`
// (1 to 320 bytes, so that a receive may end inside a frame or hold several), and calls
// `take(count)` after each; `take` returns false when the connection ends. A reader must
// always offer room: a receive into none reads as the peer gone.
template <class Reader, class Take>
void receive_in_pieces(Reader& reader, Bytes stream, std::uint8_t seed, Take take) {
  std::uint32_t state = 0x9E3779B9u ^ seed;
  while (!stream.empty()) {
    const std::span<std::uint8_t> room = reader.room();
    expect(!room.empty(), "a reader offers room for the next receive");
    state = state * 1103515245u + 12345u;
    const std::size_t piece = 1 + (state >> 16) % 320;
    const std::size_t count = std::min({room.size(), stream.size(), piece});
    std::copy_n(stream.begin(), count, room.begin());
    stream = stream.subspan(count);
    if (!take(count)) return;
  }
}

}  // namespace kavri::fuzz

// The server's half of one exchange: carrying out the records of a request block against the
// offset space, as any transport's server does once it holds the block.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "server/offset_space.h"

namespace kavri {

// Called for each client write, in order, with the offset space locked (it must not use it).
using WriteObserver = std::function<void(std::uint32_t offset, std::span<const std::uint8_t>)>;

// Carries out every record of `area` in order: fills each read's data, applies each write, and
// leaves type, offset, size and destination fields as they were. A record whose bytes lie
// outside the offset space is skipped (a read's data is zeroed). Returns the reply: 1 when the
// block was carried out to its end marker, 0 when it was malformed (a record past the area, an
// unknown type); the records before the fault have been carried out.
// Each field is read once, so a client that keeps writing cannot move a checked bound.
std::uint32_t carry_out_requests(OffsetSpace& space, std::span<std::uint8_t> area,
                                 const WriteObserver& on_write);

}  // namespace kavri

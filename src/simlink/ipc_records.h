// The layout of the request block that client and server share: its size, the read and write
// records, and the offsets the handshake uses. All fields are 32-bit little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavri {

constexpr std::size_t IPC_AREA_SIZE = 0x8000;
// Queued records may use this much of the area; the rest holds at most the end marker.
constexpr std::size_t IPC_QUEUE_LIMIT = 0x7F00;
// A request fits when queued bytes + IPC_RECORD_MARGIN + size stay within IPC_QUEUE_LIMIT,
// for writes as for reads (a write header is only 12 bytes).
constexpr std::size_t IPC_RECORD_MARGIN = 16;

constexpr std::uint32_t IPC_END_MARKER = 0;
constexpr std::uint32_t IPC_READ_TYPE = 1;
constexpr std::uint32_t IPC_WRITE_TYPE = 2;
constexpr std::size_t IPC_READ_HEADER = 16;   // type, offset, size, destination
constexpr std::size_t IPC_WRITE_HEADER = 12;  // type, offset, size

constexpr std::uint32_t OFFSET_SERVER_VERSION = 0x3304;     // 4 bytes
constexpr std::uint32_t OFFSET_SIMULATOR_VERSION = 0x3308;  // 4 bytes, check pattern high
constexpr std::uint32_t OFFSET_CLIENT_VERSION = 0x330A;     // 2 bytes, written by clients
constexpr std::uint32_t MIN_SERVER_VERSION = 0x19980005;
constexpr std::uint16_t SIMULATOR_CHECK_PATTERN = 0xFADE;
constexpr std::uint16_t CLIENT_VERSION = 2002;

inline std::uint32_t load_le32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

inline void store_le32(std::uint8_t* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace kavri

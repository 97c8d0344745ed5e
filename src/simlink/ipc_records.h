// What client and server of the simulator link share, whatever the platform: the result codes,
// the server classes, the request block's size, its read and write records, and the offsets the
// handshake uses. All fields are 32-bit little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kavri {

// The result of every link operation but close.
enum class IpcResult : int {
  ok = 0,
  already_open = 1,
  no_server = 2,
  message_failed = 3,
  atom_failed = 4,
  area_failed = 5,
  view_failed = 6,
  version_uipcmain = 7,
  wrong_simulator = 8,
  not_open = 9,
  nothing_queued = 10,
  send_failed = 11,
  send_error = 12,
  bad_reply = 13,
  version_fs98main = 14,
  too_large = 15,
};

// The two window classes a server may go by, in the order the client looks for them.
enum class IpcServerClass : std::uint8_t { uipcmain, fs98main };

constexpr std::string_view server_class_name(IpcServerClass server_class) {
  return server_class == IpcServerClass::uipcmain ? "UIPCMAIN" : "FS98MAIN";
}

constexpr std::optional<IpcServerClass> parse_server_class(std::string_view name) {
  if (name == "UIPCMAIN") return IpcServerClass::uipcmain;
  if (name == "FS98MAIN") return IpcServerClass::fs98main;
  return std::nullopt;
}

// The window message that asks a server to carry out a block (registered by both sides).
constexpr const char* IPC_MESSAGE_NAME = "FsasmLib:IPC";

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

// What a cockpit and the relay say to each other inside sealed messages. The cockpit asks for
// the simulator's server (the relay answers the class it found, or none) and sends request
// blocks; the relay answers each block with the local link's outcome and, when the server
// answered, the block as the server left it. Every field is little-endian; a block is the first
// `used` bytes of a request area, end marker included. Parsing checks every length and kind:
// bad input is a Failure, never a crash or a read past the message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/result.h"
#include "simlink/ipc_records.h"
#include "simlink/ipc_transport.h"

namespace kavri {

// The smallest block: the end marker alone.
inline constexpr std::size_t RELAY_BLOCK_MIN = 4;

struct CockpitRequest {
  enum class Kind : std::uint8_t { find_server = 1, exchange = 2 };
  Kind kind = Kind::find_server;
  std::uint32_t sequence = 0;       // exchange: the number its answer carries back
  std::vector<std::uint8_t> block;  // exchange: RELAY_BLOCK_MIN to IPC_AREA_SIZE bytes
};

struct RelayAnswer {
  enum class Kind : std::uint8_t { server = 0x81, exchange = 0x82 };
  Kind kind = Kind::server;
  std::optional<IpcServerClass> server;  // server: the class found, none when absent
  std::uint32_t sequence = 0;            // exchange: the request's number
  IpcReply reply;                        // exchange: the local link's outcome
  std::vector<std::uint8_t> block;       // exchange, when answered: the block back
};

std::vector<std::uint8_t> encode(const CockpitRequest& request);
Result<CockpitRequest> parse_cockpit_request(std::span<const std::uint8_t> body);

// A block goes only with an answered exchange.
std::vector<std::uint8_t> encode(const RelayAnswer& answer);
Result<RelayAnswer> parse_relay_answer(std::span<const std::uint8_t> body);

}  // namespace kavri

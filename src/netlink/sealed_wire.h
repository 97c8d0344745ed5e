// The byte layout of the relay link's messages, shared by the channel and the reader that cuts
// them from a stream. Every message starts with the count of the bytes that follow it (4 bytes,
// little-endian). Handshake messages then carry a kind byte and fixed-size fields; a sealed
// message carries its sequence number (8 bytes, little-endian), its body and its MAC.
#pragma once

#include <cstddef>
#include <cstdint>

#include "netlink/link_crypto.h"
#include "netlink/sealed_channel.h"

namespace kavri::sealed_wire {

inline constexpr std::size_t LENGTH_BYTES = 4;
inline constexpr std::size_t SEQUENCE_BYTES = 8;
inline constexpr std::size_t CHALLENGE_BYTES = 32;

enum class Kind : std::uint8_t { hello = 1, relay_answer = 2, cockpit_proof = 3 };

// What follows the length of each message.
inline constexpr std::size_t HELLO_CONTENT = 1 + CHALLENGE_BYTES;
inline constexpr std::size_t RELAY_ANSWER_CONTENT = 1 + CHALLENGE_BYTES + MAC_BYTES;
inline constexpr std::size_t COCKPIT_PROOF_CONTENT = 1 + MAC_BYTES;
inline constexpr std::size_t SEALED_OVERHEAD = SEQUENCE_BYTES + MAC_BYTES;
inline constexpr std::size_t CONTENT_MAX = SEALED_OVERHEAD + SEALED_BODY_MAX;

inline std::uint64_t load_le(const std::uint8_t* bytes, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

inline void store_le(std::uint8_t* bytes, std::size_t count, std::uint64_t value) {
  for (std::size_t i = 0; i < count; ++i, value >>= 8) {
    bytes[i] = static_cast<std::uint8_t>(value & 0xFF);
  }
}

}  // namespace kavri::sealed_wire

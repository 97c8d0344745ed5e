// The relay link's guard: before anything else passes, each end proves to the other that it
// holds the same key (a fresh challenge both ways), and every message after that carries a MAC
// over its direction, its sequence number and its body. A message that was altered, replayed,
// reordered, cut short or made with another key is refused, and the connection is to be closed.
// Transport-free: the caller moves the bytes (a TCP stream, a test's buffer).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace kavri {

inline constexpr std::size_t LINK_KEY_BYTES = 32;
using LinkKey = std::array<std::uint8_t, LINK_KEY_BYTES>;

// The largest body a sealed message carries: a whole request block and a small header.
inline constexpr std::size_t SEALED_BODY_MAX = 0x8000 + 64;

// Makes a new random key in `path`, readable and writable by its owner only (mode 0600; on
// Windows an access list that names the owner alone). Refuses a path that exists already.
Status write_new_link_key(const std::string& path);
// Reads a key written by write_new_link_key; refuses a file of any other size or, on POSIX, a
// file that others than its owner may read.
Result<LinkKey> read_link_key(const std::string& path);

enum class LinkRole { cockpit, relay };

// One connection's guard. Not thread-safe: a connection's reads and writes use it in turn, or
// the caller locks it.
class SealedChannel {
 public:
  SealedChannel(const LinkKey& key, LinkRole role);
  ~SealedChannel();
  SealedChannel(const SealedChannel&) = delete;
  SealedChannel& operator=(const SealedChannel&) = delete;

  // Handshake. The cockpit speaks first: it sends opening(); each side then passes every
  // message it receives to take_handshake() and sends what that gives back (when not empty),
  // until established(). The relay's opening() is empty.
  std::vector<std::uint8_t> opening();
  // A Failure (wrong key, a message of the wrong size or kind) ends the channel.
  Result<std::vector<std::uint8_t>> take_handshake(std::span<const std::uint8_t> message);
  bool established() const;

  // After the handshake: the message to write for `body` (at most SEALED_BODY_MAX bytes).
  std::vector<std::uint8_t> seal(std::span<const std::uint8_t> body);
  // The body of one received message; a Failure (altered, replayed, out of order, too short)
  // ends the channel.
  Result<std::vector<std::uint8_t>> open(std::span<const std::uint8_t> message);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Cuts a byte stream into the messages opening(), take_handshake() and seal() make (each one
// carries its length first). Bytes may arrive in any pieces.
class MessageReader {
 public:
  // Appends bytes read from the stream.
  void feed(std::span<const std::uint8_t> bytes);
  // The next whole message when one has arrived, nullopt while it is incomplete; a Failure when
  // the stream announces a message longer than any this link sends (the connection is to be
  // closed, nothing is buffered for it).
  Result<std::optional<std::vector<std::uint8_t>>> next();

 private:
  std::vector<std::uint8_t> pending_;
};

}  // namespace kavri
